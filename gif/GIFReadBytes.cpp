// Field, sub-block and budget reading for the GIF reader.
#include "gif/GIFReadBytes.h"

#include "gif/GIFException.h"
#include "platform/Format.h"

namespace vidorant {

const char* const PrematureEndOfData = "Premature end of data";

void ReadExact(TStream& stream, void* buffer, int64_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    int64_t got = stream.Read(bytes + done, count - done);
    if (got <= 0) throw GIFException(PrematureEndOfData);
    done += got;
  }
}

uint8_t ReadGIFByte(TStream& stream) {
  uint8_t value = 0;
  ReadExact(stream, &value, 1);
  return value;
}

uint16_t ReadWord(TStream& stream) {
  uint8_t bytes[2];
  ReadExact(stream, bytes, 2);
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

int PeekByte(TStream& stream) {
  uint8_t value = 0;
  if (stream.Read(&value, 1) != 1) return -1;
  stream.Seek(-1, soCurrent);
  return value;
}

TSubBlockResult ReadSubBlock(TStream& stream, std::vector<uint8_t>& block) {
  block.clear();
  uint8_t length = 0;
  if (stream.Read(&length, 1) != 1) return sbEndOfStream;
  if (length == 0) return sbTerminator;
  block.resize(length);
  int64_t done = 0;
  while (done < length) {
    int64_t got = stream.Read(block.data() + done, length - done);
    if (got <= 0) break;
    done += got;
  }
  if (done < length) {
    block.resize(static_cast<size_t>(done));
    return sbTruncated;
  }
  return sbData;
}

void SkipSubBlocks(TStream& stream) {
  std::vector<uint8_t> block;
  while (ReadSubBlock(stream, block) == sbData) {
  }
}

TGIFPixelBudget::TGIFPixelBudget(TStream& stream, const TGIFReadLimits& limits)
    : FMaxFramePixels(limits.MaxFramePixels),
      FMaxDocumentPixels(limits.MaxDocumentPixels),
      FDocumentRemaining(limits.MaxDocumentPixels) {
  int64_t left = stream.GetSize() - stream.GetPosition();
  if (left < 0) left = 0;
  FFileRemaining = Allowance + left * PixelsPerByte;
}

void TGIFPixelBudget::Take(int width, int height) {
  const int64_t pixels = static_cast<int64_t>(width) * height;
  // A valid file may still ask for more than this reader allocates: that is unsupported, not
  // invalid, and the text says which limit it passed.
  if (pixels > FMaxFramePixels)
    throw GIFException(Format("Unsupported GIF: a frame of %d x %d pixels exceeds the reader's limit of %lld pixels per frame",
                              width, height, static_cast<long long>(FMaxFramePixels)));
  if (pixels > FDocumentRemaining)
    throw GIFException(Format("Unsupported GIF: a frame of %d x %d pixels exceeds the reader's limit of %lld pixels per document",
                              width, height, static_cast<long long>(FMaxDocumentPixels)));
  if (pixels > FFileRemaining)
    throw GIFException(Format("Invalid GIF data: a frame of %d x %d pixels is larger than the file can hold", width, height));
  FDocumentRemaining -= pixels;
  FFileRemaining -= pixels;
}

}  // namespace vidorant

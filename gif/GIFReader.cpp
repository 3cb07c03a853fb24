// Reading a GIF stream into a document: header and global table, then frames (each with the
// extensions before it) until the trailer. Tolerant where a defect leaves the rest readable
// (warnings), strict where it does not (GIFException); in both cases nothing in the file is
// trusted to size an allocation beyond what the stream can hold.
#include <algorithm>
#include <cctype>

#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "gif/GIFReadBytes.h"
#include "gif/LZWDecoder.h"
#include "platform/FileStream.h"

namespace vidorant {

namespace {

const char* const LoadingText = "Loading...";

// Reads a colour table of count entries (red, green, blue each) into map.
void ReadColorMap(TStream& stream, TGIFColorMap& map, int count, bool sorted) {
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * 3);
  ReadExact(stream, bytes.data(), static_cast<int64_t>(bytes.size()));
  map.Clear();
  for (size_t i = 0; i < bytes.size(); i += 3)
    map.Add(static_cast<TColor>(bytes[i]) | (static_cast<TColor>(bytes[i + 1]) << 8) |
            (static_cast<TColor>(bytes[i + 2]) << 16));
  map.SetOptimized(sorted);
}

// The table-size field of a packed byte: 2 << (packed AND 7) entries.
int TableEntries(uint8_t packed) { return 2 << (packed & 0x07); }

void SkipZeros(TStream& stream) {
  while (PeekByte(stream) == 0) stream.Seek(1, soCurrent);
}

}  // namespace

void TGIFItem::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead);
  LoadFromStream(stream);
}

void TGIFHeader::LoadFromStream(TStream& stream) {
  int64_t start = stream.GetPosition();
  auto isSignature = [](const uint8_t* b) {
    return std::toupper(b[0]) == 'G' && std::toupper(b[1]) == 'I' && std::toupper(b[2]) == 'F';
  };
  uint8_t signature[6];
  ReadExact(stream, signature, 6);
  if (!isSignature(signature)) {
    // Some files carry 4 bytes of another format in front of the signature.
    stream.SetPosition(start + 4);
    ReadExact(stream, signature, 6);
    if (!isSignature(signature)) throw GIFException("Invalid GIF signature");
  }
  ScreenWidth = ReadWord(stream);
  ScreenHeight = ReadWord(stream);
  uint8_t rest[3];
  ReadExact(stream, rest, 3);
  FPacked = rest[0];
  BackgroundColorIndex = rest[1];
  AspectRatio = rest[2];
  if (FPacked & 0x80)
    ReadColorMap(stream, FColorMap, TableEntries(FPacked), (FPacked & 0x08) != 0);
  else
    FColorMap.Clear();
}

void TGIFTrailer::LoadFromStream(TStream& stream) {
  uint8_t value = 0;
  if (stream.Read(&value, 1) != 1 || value != TrailerByte) Warning(gsWarning, "Invalid Image trailer");
}

void TGIFSubImage::LoadFromStream(TStream& stream) {
  TGIFPixelBudget budget(stream, FImage ? FImage->ReadLimits : GIFImageDefaults.ReadLimits);
  LoadFromStream(stream, budget);
}

void TGIFSubImage::LoadFromStream(TStream& stream, TGIFPixelBudget& budget) {
  Clear();
  FExtensions.LoadFromStream(stream);
  // Anything but an image separator here starts no image; the frame keeps its extensions and
  // the frame list decides what the byte is.
  if (PeekByte(stream) != ImageSeparator) return;

  uint8_t descriptor[10];
  ReadExact(stream, descriptor, 10);
  auto word = [&descriptor](int at) { return static_cast<int>(descriptor[at] | (descriptor[at + 1] << 8)); };
  int left = word(1), top = word(3), width = word(5), height = word(7);
  uint8_t packed = descriptor[9];
  if (width == 0 || height == 0) {
    width = FImage ? FImage->Header().ScreenWidth : 0;
    height = FImage ? FImage->Header().ScreenHeight : 0;
    Warning(gsWarning, "Image exceeds Logical Screen size");
  }
  if (packed & 0x80) ReadColorMap(stream, FColorMap, TableEntries(packed), (packed & 0x20) != 0);

  // The descriptor's fields reach 131070 together, the screen only 65535: such a frame keeps
  // the part that fits, so that the file's other frames are not lost with it.
  const int keptWidth = std::min(width, MaxDimension - left);
  const int keptHeight = std::min(height, MaxDimension - top);
  if (keptWidth < width || keptHeight < height) Warning(gsWarning, "Image clipped to the GIF limit of 65535 pixels");

  budget.Take(keptWidth, keptHeight);
  // Frames reaching past the screen are common in real files: the screen grows to hold them
  // without a warning.
  StoreBounds(left, top, keptWidth, keptHeight);
  GrowScreen(false);
  FPacked = packed;
  if (Transparent()) std::fill(FData.begin(), FData.end(), GraphicControlExtension()->TransparentColorIndex());
  TLZWDecoder(stream, *this).Decode(FData.data(), width, height, Interlaced(), keptWidth, keptHeight);
}

void TGIFImageList::LoadFromStream(TStream& stream) {
  TGIFPixelBudget budget(stream, FImage->ReadLimits);
  int64_t size = stream.GetSize();
  SkipZeros(stream);
  for (;;) {
    int next = PeekByte(stream);
    if (next < 0 || next == TrailerByte) return;
    if (next != ExtensionIntroducer && next != ImageSeparator) {
      FImage->Warning(FImage, gsWarning, "Unknown GIF block type");
      return;
    }
    auto frame = std::make_unique<TGIFSubImage>(FImage);
    frame->LoadFromStream(stream, budget);
    Add(std::move(frame));
    int64_t position = stream.GetPosition();
    FImage->Progress(psRunning, size > 0 ? static_cast<int>(position * 100 / size) : 0, LoadingText);
    SkipZeros(stream);
  }
}

void TGIFImage::LoadFromStream(TStream& stream) {
  Progress(psStarting, 0, LoadingText);
  int64_t start = 0;
  try {
    Clear();
    start = stream.GetPosition();
    FHeader->LoadFromStream(stream);
    // Each frame has grown the screen to hold it as it was read.
    FImages.LoadFromStream(stream);
    TGIFTrailer(this).LoadFromStream(stream);
  } catch (...) {
    stream.SetPosition(start);
    Changed();
    Progress(psEnding, 0, LoadingText);
    throw;
  }
  Changed();
  Progress(psEnding, 100, LoadingText);
}

void TGIFImage::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead);
  LoadFromStream(stream);
}

}  // namespace vidorant

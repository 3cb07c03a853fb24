// TGIFEncoder: framing, walk and bit packing shared by the LZW and RLE encoders.
#include "gif/GIFEncoder.h"

#include "gif/GIFException.h"
#include "platform/Format.h"

namespace vidorant {

namespace {

// First row and row step of the four interlace passes of the GIF format.
constexpr int PassStart[4] = {0, 4, 2, 1};
constexpr int PassStep[4] = {8, 8, 4, 2};

}  // namespace

void TGIFEncoder::ColorNotInTable() { throw GIFException("Color not in color table"); }

void TGIFEncoder::Compress(TStream& stream, int bitsPerPixel, int validColors, const uint8_t* data,
                           bool interlaced, int height, int width) {
  if (bitsPerPixel > 8) throw GIFException(Format("Invalid code size %d", bitsPerPixel));
  // GIF does not allow a minimum code size of 1.
  FBitsPerPixel = bitsPerPixel < 2 ? 2 : bitsPerPixel;
  // A colour index at or above the clear code would be read as a control code.
  FValidColors = validColors < (1 << FBitsPerPixel) ? validColors : (1 << FBitsPerPixel);
  FData = data;
  FInterlaced = interlaced;
  FHeight = height;
  FWidth = width;

  FInitialCodeWidth = FBitsPerPixel + 1;
  FCodeWidth = FInitialCodeWidth;
  FMaxCode = (1 << FCodeWidth) - 1;

  stream.WriteByte(static_cast<uint8_t>(FBitsPerPixel));

  FClearCode = 1 << FBitsPerPixel;
  FEndCode = FClearCode + 1;
  FFirstFreeCode = FClearCode + 2;
  FClearPending = false;
  FAccumulator = 0;
  FBitCount = 0;

  bool hasPixels = data != nullptr && width > 0 && height > 0;
  FRemaining = !hasPixels ? 0 : interlaced ? width : static_cast<int64_t>(width) * height;
  FRow = 0;
  FPass = 0;
  FNext = data;

  FWriter = std::make_unique<TGIFWriter>(stream);
  try {
    if (hasPixels) DoCompress();
    TGIFEncoder::Output(FEndCode);
    FWriter->Flush();
  } catch (...) {
    // The bytes written so far stay; the partial block is flushed, the terminator is not.
    // Whole bytes still in the accumulator count as written: a byte-wise packer had written them.
    try {
      for (; FBitCount >= 8; FBitCount -= 8) {
        FWriter->WriteByte(static_cast<uint8_t>(FAccumulator));
        FAccumulator >>= 8;
      }
      FWriter->Flush();
    } catch (...) {
    }
    FWriter.reset();
    throw;
  }
  FWriter.reset();
  stream.WriteByte(0);
}

bool TGIFEncoder::NextRow() {
  if (!FInterlaced) return false;
  FRow += PassStep[FPass];
  while (FRow >= FHeight) {
    if (++FPass > 3) return false;
    FRow = PassStart[FPass];
  }
  FNext = FData + static_cast<int64_t>(FRow) * FWidth;
  FRemaining = FWidth;
  return true;
}

void TGIFEncoder::Output(int code) {
  PutCode(code);
  if (code == FEndCode) {
    // Every pending bit goes out, the last byte padded with zero bits.
    for (; FBitCount > 0; FBitCount -= 8) {
      FWriter->WriteByte(static_cast<uint8_t>(FAccumulator));
      FAccumulator >>= 8;
    }
    FAccumulator = 0;
    FBitCount = 0;
  }
}

void TGIFEncoder::Clear() {
  FClearPending = true;
  TGIFEncoder::Output(FClearCode);
}

}  // namespace vidorant

// The reader and writer of colour reduction's bitmaps.
#include "gif/DIB.h"

#include "gif/GIFException.h"

#include <algorithm>
#include <new>

namespace vidorant {

namespace {

constexpr size_t FileHeaderSize = 14;
constexpr size_t InfoHeaderSize = 40;
constexpr size_t TableEntries = 256;

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

}  // namespace

TDIB::TDIB(TPixelFormat pixelFormat) : PixelFormat_(pixelFormat) {
  if (pixelFormat != pf8bit && pixelFormat != pf24bit) throw GIFException("Unsupported PixelFormat");
}

void TDIB::CheckRow(int row) const {
  if (row < 0 || row >= Height_) throw GIFException("Scan line index out of range");
}

TDIBReader::TDIBReader(TBitmap& bitmap, TPixelFormat pixelFormat) : TDIB(pixelFormat), Source_(&bitmap) {
  bitmap.SetPixelFormat(pixelFormat);
  Width_ = bitmap.Width();
  Height_ = bitmap.Height();
}

TDIBReader::TDIBReader(const TBitmap& bitmap, TPixelFormat pixelFormat) : TDIB(pixelFormat), Source_(&bitmap) {
  if (bitmap.PixelFormat() != pixelFormat) throw GIFException("Unsupported PixelFormat");
  Width_ = bitmap.Width();
  Height_ = bitmap.Height();
}

const uint8_t* TDIBReader::ScanLine(int row) const {
  CheckRow(row);
  return Source_->ScanLine(row);
}

TDIBWriter::TDIBWriter(TBitmap& target, TPixelFormat pixelFormat, int width, int height, const TPalette& palette)
    : TDIB(pixelFormat), Target_(&target) {
  if (width <= 0 || height <= 0) throw GIFException("Invalid image dimensions");
  Width_ = width;
  Height_ = height;
  const int bits = PixelFormatBits(pixelFormat);
  const size_t tableEntries = pixelFormat == pf8bit ? TableEntries : 0;
  Stride_ = static_cast<size_t>((static_cast<uint64_t>(width) * static_cast<uint64_t>(bits) + 31) / 32 * 4);
  BitsOffset_ = FileHeaderSize + InfoHeaderSize + tableEntries * 4;
  const uint64_t imageBytes = static_cast<uint64_t>(Stride_) * static_cast<uint64_t>(height);
  // The bitmap file format counts its sizes in 32 bits.
  if (imageBytes > UINT32_MAX - BitsOffset_) throw GIFException("Failed to allocate memory for GIF DIB");
  try {
    Image_.assign(BitsOffset_ + imageBytes, 0);
  } catch (const std::bad_alloc&) {
    throw GIFException("Failed to allocate memory for GIF DIB");
  }

  uint8_t* p = Image_.data();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, static_cast<uint32_t>(Image_.size()));
  Put32(p + 10, static_cast<uint32_t>(BitsOffset_));
  uint8_t* info = p + FileHeaderSize;
  Put32(info, InfoHeaderSize);
  Put32(info + 4, static_cast<uint32_t>(width));
  Put32(info + 8, static_cast<uint32_t>(height));  // positive: bottom-up
  Put16(info + 12, 1);
  Put16(info + 14, static_cast<uint32_t>(bits));
  Put32(info + 16, 0);  // uncompressed
  Put32(info + 20, static_cast<uint32_t>(imageBytes));
  if (tableEntries != 0) {
    const size_t count = std::min<size_t>(static_cast<size_t>(palette.Count()), TableEntries);
    Put32(info + 32, static_cast<uint32_t>(TableEntries));  // colours used: always the full table
    Put32(info + 36, static_cast<uint32_t>(count));         // colours important: the palette's own
    uint8_t* table = info + InfoHeaderSize;
    for (size_t i = 0; i < count; ++i) {
      const TPaletteEntry& e = palette.Entry(static_cast<int>(i));
      table[4 * i] = e.Blue;
      table[4 * i + 1] = e.Green;
      table[4 * i + 2] = e.Red;
    }
  }
}

uint8_t* TDIBWriter::ScanLine(int row) {
  CheckRow(row);
  return Image_.data() + BitsOffset_ + static_cast<size_t>(Height_ - 1 - row) * Stride_;
}

void TDIBWriter::Finish() { Target_->LoadFromBytes(Image_.data(), Image_.size()); }

}  // namespace vidorant

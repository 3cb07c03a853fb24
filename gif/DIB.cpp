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
  const uint64_t stride = (static_cast<uint64_t>(width) * static_cast<uint64_t>(bits) + 31) / 32 * 4;
  const uint64_t imageBytes = stride * static_cast<uint64_t>(height);
  // The bitmap file format, which these images must fit, counts its sizes in 32 bits.
  if (imageBytes > UINT32_MAX - (FileHeaderSize + InfoHeaderSize + tableEntries * 4))
    throw GIFException("Failed to allocate memory for GIF DIB");

  std::vector<TRGBQuad> table(tableEntries);
  const size_t count = std::min<size_t>(static_cast<size_t>(palette.Count()), tableEntries);
  for (size_t i = 0; i < count; ++i) {
    const TPaletteEntry& e = palette.Entry(static_cast<int>(i));
    table[i] = TRGBQuad{e.Blue, e.Green, e.Red, 0};
  }
  // The rows are written straight into the target: the image it would load from a bitmap file
  // is exactly a zeroed bitmap of this size, format and table, so building the file image and
  // parsing it again only cost two more passes over every frame.
  try {
    target.SetSize(0, 0);
    target.SetPixelFormat(pixelFormat);
    target.SetSize(width, height);
  } catch (const std::bad_alloc&) {
    throw GIFException("Failed to allocate memory for GIF DIB");
  }
  target.SetColorTable(std::move(table));
}

uint8_t* TDIBWriter::ScanLine(int row) {
  CheckRow(row);
  return Target_->ScanLine(row);
}

void TDIBWriter::Finish() {}

}  // namespace vidorant

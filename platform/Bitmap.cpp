// TBitmap: storage, resizing, pixel access, pixel-format conversion, transparency and mask.
#include "platform/Bitmap.h"

#include "platform/Canvas.h"
#include "platform/Exception.h"
#include "platform/PixelAccess.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vidorant {

namespace {

// The 16 basic colours of a 4-bit bitmap, in the platform's order, taken from the system colours.
std::vector<TRGBQuad> BasicColors() {
  static constexpr int Order[16] = {0, 1, 2, 3, 4, 5, 6, 12, 7, 13, 14, 15, 16, 17, 18, 19};
  const TPalette system = TPalette::Default();
  std::vector<TRGBQuad> table;
  for (int i : Order) {
    const TPaletteEntry& e = system.Entry(i);
    table.push_back({e.Blue, e.Green, e.Red, 0});
  }
  return table;
}

std::vector<TRGBQuad> DefaultTable(TPixelFormat format) {
  switch (format) {
    case pf1bit: return {RGBQuad(RGB(0, 0, 0)), RGBQuad(RGB(255, 255, 255))};
    case pf4bit: return BasicColors();
    case pf8bit: {
      std::vector<TRGBQuad> table;
      const TPalette halftone = TPalette::Halftone();
      for (const TPaletteEntry& e : halftone.Entries()) table.push_back({e.Blue, e.Green, e.Red, 0});
      return table;
    }
    default: return {};
  }
}

size_t TableLimit(TPixelFormat format) { return IsIndexedFormat(format) ? size_t{1} << PixelFormatBits(format) : 0; }

}  // namespace

int PixelFormatBits(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

bool IsIndexedFormat(TPixelFormat format) { return format == pf1bit || format == pf4bit || format == pf8bit; }

int TBitmap::ScanLineBytes(int width, TPixelFormat format) {
  // Rows of a device-independent bitmap end on a 32-bit boundary.
  return static_cast<int>(((static_cast<int64_t>(width) * PixelFormatBits(format) + 31) / 32) * 4);
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
  SetPixelFormat(format);
  SetSize(width, height);
}

TBitmap::TBitmap(const TBitmap& other)
    : TGraphic(other),
      Width_(other.Width_),
      Height_(other.Height_),
      Format_(other.Format_),
      Bits_(other.Bits_),
      ColorTable_(other.ColorTable_),
      Transparent_(other.Transparent_),
      TransparentMode_(other.TransparentMode_),
      TransparentColor_(other.TransparentColor_) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this == &other) return *this;
  Width_ = other.Width_;
  Height_ = other.Height_;
  Format_ = other.Format_;
  Bits_ = other.Bits_;
  ColorTable_ = other.ColorTable_;
  Transparent_ = other.Transparent_;
  TransparentMode_ = other.TransparentMode_;
  TransparentColor_ = other.TransparentColor_;
  TablePalette_.reset();
  return *this;
}

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int width, int height) {
  // A row must stay addressable by int, whatever the format becomes later (32 bits at most).
  if (width < 0 || height < 0 || width > (INT32_MAX / 4) - 4) throw EInvalidGraphic("Invalid bitmap dimensions");
  if (width == Width_ && height == Height_) return;
  const size_t newStride = static_cast<size_t>(ScanLineBytes(width, Format_));
  std::vector<uint8_t> bits(width == 0 || height == 0 ? 0 : newStride * static_cast<size_t>(height), 0);
  if (!Bits_.empty() && !bits.empty()) {
    const size_t oldStride = static_cast<size_t>(BytesPerScanLine());
    const size_t keep = static_cast<size_t>(ScanLineBytes(std::min(width, Width_), Format_));
    for (int y = 0; y < std::min(height, Height_); ++y)
      std::memcpy(&bits[static_cast<size_t>(y) * newStride], &Bits_[static_cast<size_t>(y) * oldStride], std::min(keep, newStride));
  }
  Bits_ = std::move(bits);
  Width_ = width;
  Height_ = height;
}

uint8_t* TBitmap::ScanLine(int row) {
  if (row < 0 || row >= Height_ || Width_ == 0) throw EInvalidGraphic("Scan line index out of range");
  return Bits_.data() + static_cast<size_t>(row) * static_cast<size_t>(BytesPerScanLine());
}

const uint8_t* TBitmap::ScanLine(int row) const { return const_cast<TBitmap*>(this)->ScanLine(row); }

void TBitmap::SetColorTable(std::vector<TRGBQuad> table) {
  if (!IsIndexedFormat(Format_) && !table.empty()) throw EInvalidGraphic("Bitmap format has no colour table");
  if (table.size() > TableLimit(Format_)) throw EInvalidGraphic("Colour table too large for the pixel format");
  ColorTable_ = std::move(table);
  TablePalette_.reset();
}

TPalette TBitmap::Palette() const {
  std::vector<TPaletteEntry> entries;
  for (const TRGBQuad& q : ColorTable_) entries.push_back({q.Red, q.Green, q.Blue, 0});
  return TPalette(std::move(entries));
}

int TBitmap::NearestTableIndex(TColor color) const {
  if (!TablePalette_) TablePalette_ = std::make_unique<TPalette>(Palette());
  return std::max(TablePalette_->GetNearestPaletteIndex(color), 0);
}

TColor TBitmap::GetPixel(int x, int y) const {
  if (x < 0 || x >= Width_ || y < 0 || y >= Height_) return 0;
  const uint8_t* row = ScanLine(y);
  if (!IsIndexedFormat(Format_)) return ReadDirect(row, x, Format_);
  const unsigned index = ReadIndex(row, x, Format_);
  return index < ColorTable_.size() ? QuadColor(ColorTable_[index]) : 0;
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || x >= Width_ || y < 0 || y >= Height_) return;
  uint8_t* row = ScanLine(y);
  if (IsIndexedFormat(Format_))
    WriteIndex(row, x, Format_, static_cast<unsigned>(NearestTableIndex(color)));
  else
    WriteDirect(row, x, Format_, color);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format > pfCustom) throw EInvalidGraphic("Invalid pixel format");
  if (format == Format_ && (!IsIndexedFormat(format) || !ColorTable_.empty())) return;
  TBitmap converted;
  converted.Format_ = format;
  converted.Transparent_ = Transparent_;
  converted.TransparentMode_ = TransparentMode_;
  converted.TransparentColor_ = TransparentColor_;
  const bool keepIndices = IsIndexedFormat(format) && IsIndexedFormat(Format_) && !ColorTable_.empty() &&
                           ColorTable_.size() <= TableLimit(format);
  converted.ColorTable_ = keepIndices ? ColorTable_ : DefaultTable(format);
  converted.SetSize(Width_, Height_);
  for (int y = 0; y < Height_; ++y) {
    const uint8_t* from = ScanLine(y);
    uint8_t* to = converted.ScanLine(y);
    for (int x = 0; x < Width_; ++x) {
      if (keepIndices)
        WriteIndex(to, x, format, ReadIndex(from, x, Format_));
      else
        converted.SetPixel(x, y, GetPixel(x, y));
    }
  }
  Format_ = format;
  Bits_ = std::move(converted.Bits_);
  ColorTable_ = std::move(converted.ColorTable_);
  TablePalette_.reset();
}

TColor TBitmap::TransparentColor() const {
  if (TransparentMode_ == tmFixed) return TransparentColor_;
  return Empty() ? 0 : GetPixel(0, Height_ - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
  TransparentColor_ = color & 0xFFFFFFu;
  TransparentMode_ = tmFixed;
}

std::unique_ptr<TBitmap> TBitmap::CreateMask() const {
  auto mask = std::make_unique<TBitmap>(Width_, Height_, pf1bit);
  const TColor transparent = TransparentColor();
  for (int y = 0; y < Height_; ++y) {
    uint8_t* row = mask->ScanLine(y);
    for (int x = 0; x < Width_; ++x)
      if (GetPixel(x, y) == transparent) WriteIndex(row, x, pf1bit, 1);
  }
  return mask;
}

TCanvas& TBitmap::Canvas() {
  if (!Canvas_) Canvas_ = std::make_unique<TCanvas>(*this);
  return *Canvas_;
}

}  // namespace vidorant

// A device-independent bitmap held in memory: width, height, pixel format, top-down rows each
// padded to a multiple of 4 bytes, and for the indexed formats a colour table of at most
// 2^bits (and never more than 256) entries. Invariants: Bits_ holds exactly
// BytesPerScanLine() * Height() bytes; a bitmap with a zero width or height holds no bits.
#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"
#include "platform/Graphic.h"
#include "platform/Palette.h"
#include "platform/TObject.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vidorant {

class TCanvas;

// Numbered as the platform numbers them: 1 = 1 bit, 2 = 4 bits, 3 = 8 bits, 6 = 24 bits.
// Device and custom bitmaps are stored as 32 bits per pixel (blue, green, red, unused).
enum TPixelFormat : uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// Bits per pixel of the rows of a bitmap in that format.
int PixelFormatBits(TPixelFormat format);
bool IsIndexedFormat(TPixelFormat format);

// Automatic takes the colour of the bottom-left pixel as the transparent colour.
enum TTransparentMode : uint8_t { tmAuto, tmFixed };

class TBitmap : public TGraphic {
public:
  TBitmap();
  TBitmap(int width, int height, TPixelFormat format);
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  ~TBitmap() override;

  void Assign(const TBitmap& source) { *this = source; }

  int Width() const { return Width_; }
  int Height() const { return Height_; }
  bool Empty() const { return Width_ == 0 || Height_ == 0; }
  int GetWidth() const override { return Width_; }
  int GetHeight() const override { return Height_; }
  bool GetEmpty() const override { return Empty(); }
  // Resizing keeps the pixels of the overlapping top-left area; new pixels are 0.
  // Negative sizes raise EInvalidGraphic.
  void SetWidth(int width) { SetSize(width, Height_); }
  void SetHeight(int height) { SetSize(Width_, height); }
  void SetSize(int width, int height);

  TPixelFormat PixelFormat() const { return Format_; }
  // Converts the pixels to the new format. Into an indexed format, a colour table that fits is
  // kept (indices unchanged); otherwise the depth's default table is taken (black and white,
  // the 16 basic system colours, the halftone palette) and every pixel maps to its nearest entry.
  void SetPixelFormat(TPixelFormat format);
  int BitsPerPixel() const { return PixelFormatBits(Format_); }
  int BytesPerScanLine() const { return ScanLineBytes(Width_, Format_); }
  static int ScanLineBytes(int width, TPixelFormat format);

  // Row 0 is the top row. A row outside the image raises EInvalidGraphic
  // "Scan line index out of range".
  uint8_t* ScanLine(int row);
  const uint8_t* ScanLine(int row) const;

  // Colour table of an indexed bitmap; empty for the other formats.
  const std::vector<TRGBQuad>& ColorTable() const { return ColorTable_; }
  // Raises EInvalidGraphic for a table larger than the format holds or on a non-indexed bitmap.
  void SetColorTable(std::vector<TRGBQuad> table);
  // The colour table as a logical palette (flags 0); empty for the other formats.
  TPalette Palette() const;

  // Colour of one pixel; an index beyond the colour table reads as black.
  TColor GetPixel(int x, int y) const;
  // Indexed formats store the nearest table entry. Outside the image nothing happens.
  void SetPixel(int x, int y, TColor color);

  bool Transparent() const { return Transparent_; }
  void SetTransparent(bool value) { Transparent_ = value; }
  TTransparentMode TransparentMode() const { return TransparentMode_; }
  void SetTransparentMode(TTransparentMode mode) { TransparentMode_ = mode; }
  // With tmAuto the colour of the bottom-left pixel (black for an empty bitmap).
  TColor TransparentColor() const;
  // Sets the colour and switches to tmFixed.
  void SetTransparentColor(TColor color);
  // A 1-bit bitmap of the same size whose bit is set (index 1, white) where this bitmap shows
  // the transparent colour. The caller owns it.
  std::unique_ptr<TBitmap> CreateMask() const;

  // The canvas drawing on this bitmap; owned by the bitmap.
  TCanvas& Canvas();

  // The bitmap file format: "BM" file header, 40-byte info header, colour table, bottom-up
  // rows. Load accepts 1, 4, 8, 16 (5-5-5, or 5-6-5 by bit fields), 24 and 32 bits, bottom-up or
  // top-down, uncompressed; anything else or a truncated image raises EInvalidGraphic and leaves
  // the bitmap unchanged.
  std::vector<uint8_t> SaveToBytes() const;
  void LoadFromBytes(const uint8_t* data, size_t size);
  void SaveToFile(const std::string& fileName) const;
  // Stream errors (EFOpenError, EReadError ...) pass on unchanged.
  void LoadFromFile(const std::string& fileName);
  // Reads one bitmap file image from the stream's position: as many bytes as its header
  // says, or the rest of the stream when the header gives no usable size.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;

  // Draws this bitmap stretched into rect of the canvas (nearest pixel).
  void Draw(TCanvas& canvas, const TRect& rect) override;

private:
  int Width_ = 0;
  int Height_ = 0;
  TPixelFormat Format_ = pf24bit;
  std::vector<uint8_t> Bits_;
  std::vector<TRGBQuad> ColorTable_;
  bool Transparent_ = false;
  TTransparentMode TransparentMode_ = tmAuto;
  TColor TransparentColor_ = 0;
  std::unique_ptr<TCanvas> Canvas_;
  // The colour table as a palette for SetPixel's nearest-entry search; dropped on change.
  mutable std::unique_ptr<TPalette> TablePalette_;

  int NearestTableIndex(TColor color) const;
};

}  // namespace vidorant

// Row access to the bitmaps of colour reduction. A TDIBReader converts the bitmap it is given
// to its pixel format in place (or reads a constant bitmap already in that format) and hands
// out its rows, row 0 at the top. A TDIBWriter makes its target a new, zeroed 8-bit (or
// 24-bit) device-independent bitmap -- rows padded to 4 bytes, a colour table of always 256
// entries for 8 bits, just what loading the equivalent bitmap file image gives -- and hands
// out the target's rows to fill. Only 8 and 24 bits per pixel are handled.
#pragma once

#include "platform/Bitmap.h"
#include "platform/Palette.h"
#include "platform/TObject.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vidorant {

class TDIB : public TObject {
public:
  // Raises GIFException "Unsupported PixelFormat" for anything but pf8bit and pf24bit.
  explicit TDIB(TPixelFormat pixelFormat);
  int Width() const { return Width_; }
  int Height() const { return Height_; }
  TPixelFormat PixelFormat() const { return PixelFormat_; }

protected:
  // Raises GIFException "Scan line index out of range".
  void CheckRow(int row) const;

  TPixelFormat PixelFormat_;
  int Width_ = 0;
  int Height_ = 0;
};

class TDIBReader : public TDIB {
public:
  TDIBReader(TBitmap& bitmap, TPixelFormat pixelFormat);
  // Reads the bitmap as it is: raises "Unsupported PixelFormat" unless it is in pixelFormat.
  TDIBReader(const TBitmap& bitmap, TPixelFormat pixelFormat);
  const uint8_t* ScanLine(int row) const;

private:
  const TBitmap* Source_;  // not owned
};

class TDIBWriter : public TDIB {
public:
  // Raises "Invalid image dimensions" for a zero width or height and "Failed to allocate memory
  // for GIF DIB" when the image cannot be allocated. The palette's first 256 entries make the
  // colour table of an 8-bit image.
  TDIBWriter(TBitmap& target, TPixelFormat pixelFormat, int width, int height, const TPalette& palette);
  uint8_t* ScanLine(int row);
  // The end of writing. The rows are the target's own, so nothing is left to move.
  void Finish();

private:
  TBitmap* Target_;  // not owned
};

}  // namespace vidorant

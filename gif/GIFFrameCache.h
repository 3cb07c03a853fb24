// The pictures a frame draws from: an 8-bit bitmap of its pixels with its colours, the mask of
// its transparent pixels and its colours as a display palette. Made on first use and kept until
// the frame's pixels, colours or transparency differ from the copy they were made from; the
// pixel data is reachable for writing through TGIFSubImage::Data, so a change cannot be
// signalled and is found by comparison instead (far cheaper than rebuilding the bitmap).
// Private to gif/; owned by the frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Palette.h"

namespace vidorant {

struct TGIFFrameCache {
  // What the pictures were made from.
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
  std::vector<TRGBQuad> Table;
  int TransparentIndex = -1;  // -1: the frame is not transparent

  std::unique_ptr<TBitmap> Bitmap;
  std::unique_ptr<TBitmap> Mask;  // null when the frame is not transparent
  std::unique_ptr<TPalette> Palette;
};

}  // namespace vidorant

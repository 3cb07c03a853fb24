// Colour reduction: turns a true-colour bitmap into an 8-bit bitmap with a palette chosen or
// built by one of ten methods, mapping every pixel through a colour lookup and a dither engine.
// Invariant: every non-empty result of methods 1-9 is an 8-bit bitmap with a colour table of
// exactly 256 entries.
#pragma once

#include "gif/DitherEngine.h"
#include "platform/Bitmap.h"
#include "platform/Palette.h"

#include <cstdint>
#include <memory>

namespace vidorant {

// The reduction methods, numbered as a document's ReductionMethod stores them.
enum TColorReduction : uint8_t {
  ReduceNone = 0,          // a 24-bit copy
  ReduceSystem20 = 1,      // the 20 stock system colours
  ReduceHalftone = 2,      // the halftone palette
  ReduceGray4 = 3,         // greys 0, 128, 192, 255
  ReduceMono = 4,          // black and white
  ReduceGray256 = 5,       // 256 greys
  ReduceWebCube = 6,       // the 216-colour web cube
  ReduceOctree = 7,        // 2^bitDepth octree colours of the picture
  ReduceOctreeSystem = 8,  // 236 octree colours framed by the 20 system colours
  ReduceCustom = 9,        // the caller's palette
};

// The fixed palettes of the methods that have one (grey and monochrome entries carry the
// no-collapse flag, the web cube none).
TPalette Gray4Palette();
TPalette MonochromePalette();
TPalette Gray256Palette();
TPalette WebCubePalette();

// Reduces bitmap (read as 24 bits; the bitmap itself is left as it is) and returns the new
// bitmap, owned by the caller. An unknown method or dither method, or a palette with no
// entries (ReduceCustom without one), gives an empty bitmap. bitDepth (for ReduceOctree) is
// taken within 1 to 8. Raises GIFException "Invalid image dimensions" for an empty source of
// methods 1-9.
std::unique_ptr<TBitmap> ReduceColors(const TBitmap& bitmap, TColorReduction method, TDitherMode ditherMethod,
                                      const TPalette* customPalette, int bitDepth);

}  // namespace vidorant

// The process-wide defaults a new GIF document copies. Set once at start-up (before documents
// are made on other threads); the converter changes its own document's ReductionMethod after
// construction instead of these.
#pragma once

#include <cstdint>

#include "gif/ColorReduction.h"
#include "gif/GIFEncoder.h"
#include "gif/GIFReadBytes.h"

namespace vidorant {

struct TGIFImageDefaults {
  uint16_t DrawOptions = 0x068F;    // paint option bits of the animation painter
  TColorReduction ReductionMethod = ReduceWebCube;  // for true-colour frames
  int ReductionBitDepth = 8;        // palette depth in bits for the octree reduction
  TDitherMode DitherMethod = DitherNearest;
  TGIFEncoderKind EncoderKind = EncodeLZW;
  int ThreadPriority = 3;           // normal priority for an asynchronous painter
  int AnimationSpeed = 100;         // percent
  bool OptimizeOnStream = false;    // optimise before the document is streamed as a property
  TGIFReadLimits ReadLimits;        // what the reader allocates at most, whatever a file claims
};

extern TGIFImageDefaults GIFImageDefaults;

}  // namespace vidorant

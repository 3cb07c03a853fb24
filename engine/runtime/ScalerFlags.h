// The scaler's flag word (libswscale's SWS_* values), as a type of its own: it travels from a
// task's option state to every scaling context the engine makes, beside sizes and pixel formats
// that are plain ints too, and the scaler's calls would take any of them in its place.
// Invariant: every enumerator is the library's own value; ScalerFlagsValue is the only way back
// to the int the library's calls take.
#pragma once

extern "C" {
#include <libswscale/swscale.h>
}

namespace vidorant {

// The interpolation method; the library's modifier bits may be or-ed into the value it carries.
enum class TScalerFlags : int {
  FastBilinear = SWS_FAST_BILINEAR,
  Bilinear = SWS_BILINEAR,
  Bicubic = SWS_BICUBIC,
  Experimental = SWS_X,
  Point = SWS_POINT,
  Area = SWS_AREA,
  Bicublin = SWS_BICUBLIN,
  Gauss = SWS_GAUSS,
  Sinc = SWS_SINC,
  Lanczos = SWS_LANCZOS,
  Spline = SWS_SPLINE,
};

constexpr int ScalerFlagsValue(TScalerFlags flags) { return static_cast<int>(flags); }

}  // namespace vidorant

// Entry points of libswscale: picture scaling and pixel-format conversion.
// Each is a process-wide pointer vidorant::ff::<export name>, bound by the loader (FFLoad); the
// names are listed in SwScaleNames.inc.
#pragma once

extern "C" {
#include <libswscale/swscale.h>
}

#include "engine/runtime/FFEntryPoint.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/SwScaleNames.inc"
#include "engine/runtime/DeclareEntryPoints.inc"
#pragma GCC diagnostic pop

namespace vidorant {
extern const TBindingModule SwScaleStubs;
}  // namespace vidorant

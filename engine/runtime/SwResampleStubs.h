// Entry points of libswresample: audio resampling and sample-format conversion (the successor of the old avcore library's audio role).
// Each is a process-wide pointer vidorant::ff::<export name>, bound by the loader (FFLoad); the
// names are listed in SwResampleNames.inc.
#pragma once

extern "C" {
#include <libswresample/swresample.h>
}

#include "engine/runtime/FFEntryPoint.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/SwResampleNames.inc"
#include "engine/runtime/DeclareEntryPoints.inc"
#pragma GCC diagnostic pop

namespace vidorant {
extern const TBindingModule SwResampleStubs;
}  // namespace vidorant

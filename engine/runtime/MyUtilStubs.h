// Entry points of the C runtime: file and formatting functions (loaded like the media libraries, by bare name).
// Each is a process-wide pointer vidorant::ff::<export name>, bound by the loader (FFLoad); the
// names are listed in MyUtilNames.inc.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/runtime/FFEntryPoint.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/MyUtilNames.inc"
#include "engine/runtime/DeclareEntryPoints.inc"
#pragma GCC diagnostic pop

namespace vidorant {
extern const TBindingModule MyUtilStubs;
}  // namespace vidorant

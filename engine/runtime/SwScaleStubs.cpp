// Definitions and binding table of libswscale's entry points.
#include "engine/runtime/SwScaleStubs.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/SwScaleNames.inc"
#define VIDORANT_FF_MODULE SwScaleStubs
#define VIDORANT_FF_MAJOR LIBSWSCALE_VERSION_MAJOR
#include "engine/runtime/DefineEntryPoints.inc"

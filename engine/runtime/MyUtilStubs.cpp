// Definitions and binding table of the C runtime's entry points.
#include "engine/runtime/MyUtilStubs.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/MyUtilNames.inc"
#define VIDORANT_FF_MODULE MyUtilStubs
#define VIDORANT_FF_MAJOR -1
#include "engine/runtime/DefineEntryPoints.inc"

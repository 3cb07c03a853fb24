// Definitions and binding table of libavutil's entry points.
#include "engine/runtime/AVUtilStubs.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/AVUtilNames.inc"
#define VIDORANT_FF_MODULE AVUtilStubs
#define VIDORANT_FF_MAJOR LIBAVUTIL_VERSION_MAJOR
#include "engine/runtime/DefineEntryPoints.inc"

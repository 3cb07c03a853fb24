// Definitions and binding table of libavfilter's entry points.
#include "engine/runtime/AVFilterStubs.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/AVFilterNames.inc"
#define VIDORANT_FF_MODULE AVFilterStubs
#define VIDORANT_FF_MAJOR LIBAVFILTER_VERSION_MAJOR
#include "engine/runtime/DefineEntryPoints.inc"

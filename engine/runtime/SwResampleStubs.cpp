// Definitions and binding table of libswresample's entry points.
#include "engine/runtime/SwResampleStubs.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/SwResampleNames.inc"
#define VIDORANT_FF_MODULE SwResampleStubs
#define VIDORANT_FF_MAJOR LIBSWRESAMPLE_VERSION_MAJOR
#include "engine/runtime/DefineEntryPoints.inc"

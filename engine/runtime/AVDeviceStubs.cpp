// Definitions and binding table of libavdevice's entry points.
#include "engine/runtime/AVDeviceStubs.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/AVDeviceNames.inc"
#define VIDORANT_FF_MODULE AVDeviceStubs
#define VIDORANT_FF_MAJOR LIBAVDEVICE_VERSION_MAJOR
#include "engine/runtime/DefineEntryPoints.inc"

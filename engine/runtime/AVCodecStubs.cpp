// Definitions and binding table of libavcodec's entry points.
#include "engine/runtime/AVCodecStubs.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/AVCodecNames.inc"
#define VIDORANT_FF_MODULE AVCodecStubs
#define VIDORANT_FF_MAJOR LIBAVCODEC_VERSION_MAJOR
#include "engine/runtime/DefineEntryPoints.inc"

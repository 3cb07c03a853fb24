// Definitions and binding table of libavformat's entry points.
#include "engine/runtime/AVFormatStubs.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/AVFormatNames.inc"
#define VIDORANT_FF_MODULE AVFormatStubs
#define VIDORANT_FF_MAJOR LIBAVFORMAT_VERSION_MAJOR
#include "engine/runtime/DefineEntryPoints.inc"

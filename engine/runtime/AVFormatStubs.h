// Entry points of libavformat: demuxers, muxers and byte I/O.
// Each is a process-wide pointer vidorant::ff::<export name>, bound by the loader (FFLoad); the
// names are listed in AVFormatNames.inc.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
}

#include "engine/runtime/FFEntryPoint.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/AVFormatNames.inc"
#include "engine/runtime/DeclareEntryPoints.inc"
#pragma GCC diagnostic pop

namespace vidorant {
extern const TBindingModule AVFormatStubs;
}  // namespace vidorant

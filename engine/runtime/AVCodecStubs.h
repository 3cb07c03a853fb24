// Entry points of libavcodec: audio/video decoders and encoders, packets, bitstream filters and parsers.
// Each is a process-wide pointer vidorant::ff::<export name>, bound by the loader (FFLoad); the
// names are listed in AVCodecNames.inc.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavcodec/avfft.h>
}

#include "engine/runtime/FFEntryPoint.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/AVCodecNames.inc"
#include "engine/runtime/DeclareEntryPoints.inc"
#pragma GCC diagnostic pop

namespace vidorant {
extern const TBindingModule AVCodecStubs;
}  // namespace vidorant

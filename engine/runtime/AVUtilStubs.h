// Entry points of libavutil: memory, frames, dictionaries, options, images, samples, FIFOs, parsing, maths and the log.
// Each is a process-wide pointer vidorant::ff::<export name>, bound by the loader (FFLoad); the
// names are listed in AVUtilNames.inc.
#pragma once

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/buffer.h>
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/fifo.h>
#include <libavutil/frame.h>
#include <libavutil/hwcontext.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libavutil/tx.h>
}

#include "engine/runtime/FFEntryPoint.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/AVUtilNames.inc"
#include "engine/runtime/DeclareEntryPoints.inc"
#pragma GCC diagnostic pop

namespace vidorant {
extern const TBindingModule AVUtilStubs;
}  // namespace vidorant

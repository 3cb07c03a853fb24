// Entry points of libavfilter: filter graphs with their buffer sources and sinks.
// Each is a process-wide pointer vidorant::ff::<export name>, bound by the loader (FFLoad); the
// names are listed in AVFilterNames.inc.
#pragma once

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include "engine/runtime/FFEntryPoint.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define VIDORANT_FF_NAMES "engine/runtime/AVFilterNames.inc"
#include "engine/runtime/DeclareEntryPoints.inc"
#pragma GCC diagnostic pop

namespace vidorant {
extern const TBindingModule AVFilterStubs;
}  // namespace vidorant

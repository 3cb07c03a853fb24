/* The interface of a frame-hook module: a shared object exporting up to three C functions by
   these names. "Process" is required; "Configure" is required when the hook is given options;
   "Release" is optional. Plain C so that hook modules can include it; these signatures are an
   external contract and must not change. */
#ifndef VIDORANT_ENGINE_RUNTIME_FRAMEHOOKABI_H
#define VIDORANT_ENGINE_RUNTIME_FRAMEHOOKABI_H

#include <libavutil/pixfmt.h>

#include "engine/runtime/AVPicture.h"

#ifdef __cplusplus
namespace vidorant {
extern "C" {
#endif

/* Creates the hook's private context in *ctxp from argv[0..argc-1] (argv[0] is the module's
   path); returns 0 on success. */
typedef int (*TFrameHookConfigure)(void** ctxp, int argc, char* argv[]);
/* Processes one picture in place; pts in microseconds. */
typedef void (*TFrameHookProcess)(void* ctx, TAVPicture* picture, enum AVPixelFormat pixFmt, int width,
                                  int height, int64_t pts);
/* Frees the private context. */
typedef void (*TFrameHookRelease)(void* ctx);

#ifdef __cplusplus
}
}  // namespace vidorant
#endif

#endif

/* A hook without Release: its context is static, so nothing needs freeing. */
#include "HookRecorder.h"
#include "engine/runtime/FrameHookABI.h"

static int context;

int Configure(void** ctxp, int argc, char* argv[]) {
  HookRecord("configure:norelease:%d", argc);
  *ctxp = &context;
  return 0;
}

void Process(void* ctx, TAVPicture* picture, enum AVPixelFormat pixFmt, int width, int height, int64_t pts) {
  HookRecord("process:norelease:%s", ctx == &context ? "context" : "wrong");
}

/* A hook without Configure: it works on a null context. */
#include "HookRecorder.h"
#include "engine/runtime/FrameHookABI.h"

void Process(void* ctx, TAVPicture* picture, enum AVPixelFormat pixFmt, int width, int height, int64_t pts) {
  HookRecord("process:noconfigure:%s", ctx ? "context" : "null");
}

void Release(void* ctx) { HookRecord("release:noconfigure:%s", ctx ? "context" : "null"); }

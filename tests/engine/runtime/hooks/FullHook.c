/* A hook with all three functions. Its context holds a tag: the first option, else "full".
   Configure fails when an option is "fail". Process records the tag and the timestamp and adds 1
   to the first byte of the picture, so a test sees that the picture itself was handed over. */
#include <stdlib.h>
#include <string.h>

#include "HookRecorder.h"
#include "engine/runtime/FrameHookABI.h"

typedef struct HookContext {
  char tag[32];
} HookContext;

int Configure(void** ctxp, int argc, char* argv[]) {
  HookRecord("configure:%d", argc);
  for (int i = 1; i < argc; ++i)
    if (strcmp(argv[i], "fail") == 0) return -1;
  HookContext* context = calloc(1, sizeof *context);
  if (!context) return -1;
  strncpy(context->tag, argc > 1 ? argv[1] : "full", sizeof context->tag - 1);
  *ctxp = context;
  return 0;
}

void Process(void* ctx, TAVPicture* picture, enum AVPixelFormat pixFmt, int width, int height, int64_t pts) {
  const HookContext* context = ctx;
  HookRecord("process:%s:%lld:%dx%d", context->tag, (long long)pts, width, height);
  picture->data[0][0] += 1;
}

void Release(void* ctx) {
  HookContext* context = ctx;
  HookRecord("release:%s", context->tag);
  free(context);
}

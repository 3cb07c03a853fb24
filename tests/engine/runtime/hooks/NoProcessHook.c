/* A module that is not a usable hook: it has no Process. */
#include "HookRecorder.h"
#include "engine/runtime/FrameHookABI.h"

int Configure(void** ctxp, int argc, char* argv[]) {
  HookRecord("configure:noprocess");
  return 0;
}

void Release(void* ctx) { HookRecord("release:noprocess"); }

#include "cli/EncoderRun.h"

#include <algorithm>

#include "platform/Synchronize.h"

namespace vidorant {

namespace {

constexpr uint32_t StopCheckMs = 100;  // how often a waiting run looks at the stop flag

}  // namespace

TEncoderRun::TEncoderRun(TFFEncoder& encoder, TProgressHandler onProgress, TTaskEndHandler onTaskEnd)
    : FEncoder(encoder) {
  // Both events arrive on the main thread, inside the waits of Run.
  FEncoder.OnProgress = [onProgress](TObject*, PProgressInfo info) { onProgress(*info); };
  FEncoder.OnTerminate = [this, onTaskEnd](TObject*, const TTerminateInfo& info) {
    if (info.TaskIndex >= 0)
      onTaskEnd(info);
    else
      FRunEnded.SetEvent();
  };
}

TEncoderRun::~TEncoderRun() {
  FEncoder.OnProgress = nullptr;
  FEncoder.OnTerminate = nullptr;
}

void TEncoderRun::Run(const std::atomic<bool>& stop, int jobs) {
  FRunEnded.ResetEvent();
  FStopped = false;
  FEncoder.StartTask(std::max(1, jobs));
  while (WaitServingSynchronize(FRunEnded, StopCheckMs) != TWaitResult::wrSignaled) {
    if (stop && !FStopped) {
      FStopped = true;
      // Waits for the workers while serving their calls; the run's end still arrives after.
      FEncoder.StopTasks(true);
    }
  }
  FEncoder.ClearTasks();
}

}  // namespace vidorant

#include "cli/EncoderRun.h"

#include "platform/Synchronize.h"

namespace vidorant {

namespace {

constexpr uint32_t StopCheckMs = 100;  // how often a waiting run looks at the stop flag

}  // namespace

TEncoderRun::TEncoderRun(TFFEncoder& encoder, TBatchProgress& progress) : FEncoder(encoder), FProgress(progress) {
  // Both events arrive on the main thread, inside the waits of Run.
  FEncoder.OnProgress = [this](TObject*, PProgressInfo info) {
    if (info->TaskIndex == 0) FFrames = info->CurrentFrame;
    FProgress.FileProgress(*info);
  };
  FEncoder.OnTerminate = [this](TObject*, const TTerminateInfo& info) {
    if (info.TaskIndex == 0) FFirstEnd = info;
    if (info.TaskIndex < 0) FRunEnded.SetEvent();
  };
}

TEncoderRun::~TEncoderRun() {
  FEncoder.OnProgress = nullptr;
  FEncoder.OnTerminate = nullptr;
}

TTerminateInfo TEncoderRun::Run(const std::atomic<bool>& stop) {
  FRunEnded.ResetEvent();
  FFirstEnd = TTerminateInfo{};
  FFrames = 0;
  FStopped = false;
  FEncoder.StartTask(1);
  while (WaitServingSynchronize(FRunEnded, StopCheckMs) != TWaitResult::wrSignaled) {
    if (stop && !FStopped) {
      FStopped = true;
      // Waits for the worker while serving its calls; the run's end still arrives after.
      FEncoder.StopTasks(true);
    }
  }
  FEncoder.ClearTasks();
  return FFirstEnd;
}

}  // namespace vidorant

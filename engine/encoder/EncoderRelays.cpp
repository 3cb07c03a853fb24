// The tasks' callbacks turned into the component's events (FFEncode.h), and the hand-over of
// terminations. Each relay runs on the thread that runs the task; the lock of its kind keeps the
// component's one record of that kind for one task at a time.
#include "engine/encoder/FFEncode.h"

#include "engine/encoder/CallInMainThread.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"

#include <mutex>
#include <optional>

namespace vidorant {
namespace {

// Holds a bitmap's canvas for the handler, as a drawing handler expects.
class TCanvasLockGuard {
public:
  explicit TCanvasLockGuard(TBitmap& bitmap) : FCanvas(bitmap.Canvas()) { FCanvas.Lock(); }
  ~TCanvasLockGuard() { FCanvas.Unlock(); }
  TCanvasLockGuard(const TCanvasLockGuard&) = delete;
  TCanvasLockGuard& operator=(const TCanvasLockGuard&) = delete;

private:
  TCanvas& FCanvas;
};

}  // namespace

void TCustomEncoder::RelayProgress(TFFmpeg& task, int32_t fileIndex, int32_t frameNumber, int32_t fps,
                                   float quality, float bitRate, int64_t totalSize, int64_t currentTime,
                                   int64_t totalDuration) {
  if (FDetached || !OnProgress) return;
  std::lock_guard<TCriticalSection> lock(FProgressLock);
  FProgressInfo = TProgressInfo{FTasks.IndexOf(&task), fileIndex, frameNumber, fps, quality, bitRate, totalSize,
                                currentTime, totalDuration};
  if (FTriggerEventInMainThread)
    CallInMainThread([this] { OnProgress(this, &FProgressInfo); });
  else
    OnProgress(this, &FProgressInfo);
}

void TCustomEncoder::RelayPreviewBitmap(TFFmpeg& task, const TBitmap& bitmap, int32_t frameNumber, int64_t pts) {
  if (FDetached || !OnPreviewBitmap) return;
  std::lock_guard<TCriticalSection> lock(FPreviewLock);
  FPreviewInfo = TPreviewInfo{FTasks.IndexOf(&task), &bitmap, frameNumber, pts};
  if (FTriggerEventInMainThread)
    CallInMainThread([this] { OnPreviewBitmap(this, FPreviewInfo); });
  else
    OnPreviewBitmap(this, FPreviewInfo);
}

void TCustomEncoder::RelayVideoHook(TVideoHookEvent& event, TFFmpeg& task, TBitmap& bitmap, int32_t frameNumber,
                                    int64_t pts, bool& update, bool& detach) {
  if (FDetached || !event) return;
  std::lock_guard<TCriticalSection> lock(FVideoHookLock);
  FHookInfo = THookInfo{FTasks.IndexOf(&task), &bitmap, frameNumber, pts, update, detach};
  {
    TCanvasLockGuard canvas(bitmap);
    event(this, &FHookInfo);
  }
  update = FHookInfo.Update;
  detach = FHookInfo.Detach;
}

void TCustomEncoder::RelayVideoInputHook(TFFmpeg& task, TBitmap& bitmap, int32_t frameNumber, int64_t pts,
                                         bool& update, bool& detach) {
  RelayVideoHook(OnVideoInputHook, task, bitmap, frameNumber, pts, update, detach);
}

void TCustomEncoder::RelayVideoOutputHook(TFFmpeg& task, TBitmap& bitmap, int32_t frameNumber, int64_t pts,
                                          bool& update, bool& detach) {
  RelayVideoHook(OnVideoOutputHook, task, bitmap, frameNumber, pts, update, detach);
}

void TCustomEncoder::RelayAudioHook(TFFmpeg& task, int64_t pts, uint8_t* sample, int32_t size, int32_t sampleRate,
                                    int32_t channels, AVSampleFormat sampleFormat) {
  if (FDetached || !OnAudioHook) return;
  std::lock_guard<TCriticalSection> lock(FAudioHookLock);
  OnAudioHook(this, FTasks.IndexOf(&task), pts, sample, size, sampleRate, channels, sampleFormat);
}

void TCustomEncoder::HandOverTermination(const TTerminateInfo& info, bool afterEarlier) {
  TDoTerminateThread::Deliver(OnTerminate, this, info, FDeliveries, FDeliveries.Issue(), afterEarlier,
                              FTriggerEventInMainThread);
}

void TCustomEncoder::EndRun() {
  // Before the event goes: its handler may clear the tasks at once, on its delivery thread.
  FAllEnded = true;
  if (OnTerminate) {
    FTerminateInfo = TTerminateInfo{-1, true, false, ""};
    HandOverTermination(FTerminateInfo, true);
  }
}

void TCustomEncoder::RelayTerminate(TFFmpeg& task) {
  if (FDetached) return;
  // A synchronous run's own termination is raised directly, once the lock is left: its handler
  // may stop the run, and the tasks that never started then end on threads that need the lock.
  std::optional<uint64_t> direct;
  TTerminateInfo directInfo;
  {
    std::lock_guard<TCriticalSection> lock(FTerminateLock);
    if (OnTerminate) {
      FTerminateInfo = TTerminateInfo{FTasks.IndexOf(&task), task.Finished(), task.Error(), task.ErrorMessage()};
      if (FThreaded || !FWorking) {
        HandOverTermination(FTerminateInfo, true);
      } else {
        direct = FDeliveries.Issue();
        directInfo = FTerminateInfo;
      }
    }
    FEndedCount++;
    if (FPendingTasks < 1 && FEndedCount >= FTasks.Count())
      EndRun();
    else if (FPendingTasks >= 1 && FThreaded)
      StartNext();
  }
  if (direct) {
    RunTerminateHandler(OnTerminate, this, directInfo, false);
    FDeliveries.Done(*direct);
  }
}

}  // namespace vidorant

// The encoder component (FFEncode.h): its life, its properties, the libraries, and the control of
// a run. The task set-up is in TaskSetup.cpp, the relays of the tasks' callbacks in
// EncoderRelays.cpp.
#include "engine/encoder/FFEncode.h"

#include "engine/runtime/FFLoad.h"
#include "platform/Exception.h"
#include "platform/Format.h"

#include <mutex>

namespace vidorant {

TCustomEncoder::TCustomEncoder() : FProbeDecoder(std::make_unique<TFFDecoder>()) {}

TCustomEncoder::~TCustomEncoder() {
  // No handler runs from here on; the tasks' threads and the deliveries on their way only end.
  FDetached = true;
  FDeliveries.Close();
  {
    std::lock_guard<TCriticalSection> lock(FTerminateLock);
    FPendingTasks = 0;
  }
  // Waiting for the threads (serving synchronised calls on the main thread) instead of taking
  // the event locks: a worker waiting for the main thread inside a relay holds one of them.
  FTasks.Clear();
  FDeliveries.WaitIdle();
}

bool TCustomEncoder::LibrariesLoaded() const { return FFLoader->LibsLoaded(RequiredLibraries); }

bool TCustomEncoder::LoadLibraries(const std::string& folder) {
  FFLoader->SetLibraryPath(folder);
  if (FFLoader->LoadLibs(RequiredLibraries)) return true;
  FLastErrMsg = FFLoader->LastErrMsg();
  return false;
}

void TCustomEncoder::SetPreview(bool preview) {
  FPreview = preview;
  std::lock_guard<TCriticalSection> lock(FTerminateLock);  // no task starts meanwhile
  FTasks.SetPreviewFlags(FPreview, FPreviewBitmap);
}

void TCustomEncoder::SetPreviewBitmap(bool previewBitmap) {
  FPreviewBitmap = previewBitmap;
  std::lock_guard<TCriticalSection> lock(FTerminateLock);
  FTasks.SetPreviewFlags(FPreview, FPreviewBitmap);
}

void TCustomEncoder::SetProgressInterval(int32_t milliseconds) {
  FProgressInterval = milliseconds <= MinProgressInterval ? MinProgressInterval : milliseconds;
}

int32_t TCustomEncoder::EndedCount() {
  std::lock_guard<TCriticalSection> lock(FTerminateLock);
  return FEndedCount;
}

int32_t TCustomEncoder::NextTask() {
  std::lock_guard<TCriticalSection> lock(FTerminateLock);
  return FNextTask;
}

int32_t TCustomEncoder::PendingTasks() {
  std::lock_guard<TCriticalSection> lock(FTerminateLock);
  return FPendingTasks;
}

void TCustomEncoder::CheckNotWorking(const char* operation) const {
  if (FWorking) throw Exception(Format("Cannot %s while working.", operation));
}

void TCustomEncoder::RemoveTask(int taskIndex) {
  CheckNotWorking("RemoveTask");
  FTasks.Delete(taskIndex);
}

void TCustomEncoder::ClearTasks() {
  if (FWorking && !FAllEnded) throw Exception("Cannot ClearTasks while working.");
  FTasks.Clear();
  FLastErrMsg.clear();
  std::lock_guard<TCriticalSection> lock(FTerminateLock);
  FEndedCount = 0;
  FNextTask = -1;
  FPendingTasks = 0;
  FAllEnded = false;
  FThreaded = false;
  FWorking = false;
}

void TCustomEncoder::StartTask(int n) {
  CheckNotWorking("StartTask");
  {
    std::lock_guard<TCriticalSection> lock(FTerminateLock);
    FEndedCount = 0;
    FNextTask = 0;
    FPendingTasks = FTasks.Count();
    FAllEnded = false;
    FThreaded = n > 0;
    FWorking = true;
    // A run without tasks has ended at once.
    if (FTasks.Count() == 0) EndRun();
    // The lock keeps the tasks that end meanwhile from starting successors before these n.
    for (int started = 0; FThreaded && started < n && FPendingTasks > 0; started++) StartNext();
  }
  while (!FThreaded && PendingTasks() > 0) StartNext();
}

void TCustomEncoder::StartNext() {
  TFFmpeg* task = nullptr;
  {
    std::lock_guard<TCriticalSection> lock(FTerminateLock);
    if (FPendingTasks <= 0) return;
    FPendingTasks--;
    // Taken before the start: a start refused at once ends the task, and that end may start the
    // next one from inside Start.
    task = &FTasks.Get(FNextTask++);
    task->SetProgressInterval(static_cast<int64_t>(FProgressInterval) * 1000);
    if (FThreaded) {
      // Started under the lock, so that StopTasks sees every task as either started or not.
      if (TThread* worker = task->Start(true, FThreadPriority)) worker->Resume();
      return;
    }
  }
  // Inline, outside the lock: the run delivers its end and may be stopped from its handlers.
  task->Start(false, FThreadPriority);
}

void TCustomEncoder::StopTasks(bool wait) {
  int started = 0;
  {
    std::lock_guard<TCriticalSection> lock(FTerminateLock);
    FPendingTasks = 0;
    started = FNextTask;
  }
  if (FWorking) FTasks.StopAll(wait, started);
}

}  // namespace vidorant

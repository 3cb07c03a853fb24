// The life cycle of a task (FFmpeg.h): starting it inline or on a worker thread, the run with its
// clean-up, stopping, terminating, and closing its files.
#include "engine/core/FFmpeg.h"

#include "engine/core/Transcode.h"
#include "engine/runtime/FFLog.h"
#include "platform/Synchronize.h"
#include "platform/ThreadID.h"

namespace vidorant {

TThread* TCustomFFmpeg::Start(bool inThread, TThreadPriority priority) {
  if (FRunning || FTerminated) return nullptr;
  std::string error;
  if (FOutputs.Count() == 0) {
    CloseFiles();
    error = "At least one output file must be specified";
  } else if (FInputs.Count() == 0) {
    error = "At least one input file must be specified";
  }
  if (!error.empty()) {
    RecordError(error);
    DoTerminate();
    return nullptr;
  }
  FRunning = true;
  FStopRequested = false;
  FFinished = false;
  FTerminated = false;
  FIOTimeout.ClearCancel();
  if (!inThread) {
    Execute();
    return nullptr;
  }
  // Reset here rather than when the worker begins, so that a Stop with waiting made before the
  // worker got going still waits for it.
  FFinishedEvent.ResetEvent();
  auto* worker = new TThread(
      [this](TThread&) {
        FWorkerThreadID = CurrentThreadID();
        Execute();
        // The last touch of the task: a waiter may free it from now on.
        FFinishedEvent.SetEvent();
      },
      true, "Transcode");
  worker->FreeOnTerminate = true;
  worker->SetPriority(priority);
  std::lock_guard<std::mutex> lock(FWorkerLock);
  FWorker = worker;
  return worker;
}

void TCustomFFmpeg::Execute() {
  FFinished = false;
  Guarded([this] { Transcode(); });
  // What an interrupted run left open, encoders first.
  Guarded([this] { FOpenCodecs.CloseAll(); });
  Guarded([this] { CloseFiles(); });
  Guarded([this] { DoTerminate(); });
}

void TCustomFFmpeg::Transcode() {
  TTranscodeEnv env;
  env.Sender = this;
  env.Options = &FOptions;
  env.Inputs = &FInputs;
  env.Outputs = &FOutputs;
  env.Codecs = &FOpenCodecs;
  env.StopRequested = &FStopRequested;
  env.IOTimeout = &FIOTimeout;
  env.ProgressInterval = FProgressInterval;
  env.PreviewInterval = FPreviewInterval;
  env.Previewer = FPreviewer;
  env.PreviewEvent = FPreviewEvent;
  env.HookBitsPixel = FHookBitsPixel;
  env.OnProgress = &OnProgress;
  env.OnVideoInputHook = &OnVideoInputHook;
  env.OnVideoOutputHook = &OnVideoOutputHook;
  env.OnPreviewBitmap = &OnPreviewBitmap;
  env.OnAudioHook = &OnAudioHook;
  TTranscode run(env);
  run.Run();
  FFinished = !FStopRequested;
}

void TCustomFFmpeg::DoTerminate() {
  // Terminated first: a Terminate from another thread that saw the task neither running nor
  // terminated would end it a second time.
  FTerminated = true;
  FRunning = false;
  {
    std::lock_guard<std::mutex> lock(FWorkerLock);
    FWorker = nullptr;
  }
  if (OnTerminate) OnTerminate(this);
}

void TCustomFFmpeg::Stop(bool wait) {
  FStopRequested = true;
  // Ends a blocking opening or read of the task now, whichever thread runs it.
  FIOTimeout.Cancel();
  {
    std::lock_guard<std::mutex> lock(FWorkerLock);
    if (FWorker && !FWorker->Started()) FWorker->Resume();
  }
  // The worker forgets itself before its last steps, so the finished event, not the worker
  // reference, tells when the task is free again. A handler on the worker that stops its own
  // task must not wait for itself.
  if (wait && CurrentThreadID() != FWorkerThreadID) WaitServingSynchronize(FFinishedEvent);
}

void TCustomFFmpeg::Terminate(bool wait) {
  if (FRunning) {
    Stop(wait);
    return;
  }
  if (FTerminated) return;
  FTerminatedEvent.ResetEvent();
  auto* terminator = new TThread(
      [this](TThread&) {
        Guarded([this] { DoTerminate(); });
        FTerminatedEvent.SetEvent();
      },
      true, "Terminate");
  terminator->FreeOnTerminate = true;
  terminator->Resume();
  if (wait) WaitServingSynchronize(FTerminatedEvent);
}

void TCustomFFmpeg::CloseFiles() {
  if (!CoreLibrariesLoaded()) return;
  // The output streams own their encoders' contexts: nothing may stay listed as open once they go.
  FOpenCodecs.CloseAll();
  FOutputs.Clear();
  FInputs.Clear();
  // The run's option state (codec names, maps, matrices, the generic store, the frame hooks)
  // belongs to the files just closed.
  FOptions.Reset();
}

void TCustomFFmpeg::RecordError(const std::string& message) {
  FOptions.Log(llQuiet, message);
  FErrorMessage = message;
  FError = true;
}

void TCustomFFmpeg::Guarded(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    RecordError(e.what());
  }
}

}  // namespace vidorant

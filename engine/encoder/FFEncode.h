// The encoder component: the object an application drives to run transcoding tasks. It owns a
// list of tasks (one per input file, each with its outputs given by option records), runs them
// one or several at a time on worker threads or one after another in the caller's thread, and
// turns the tasks' callbacks into its own events: progress, termination, preview pictures and
// the picture hooks. It also loads the media libraries and owns a spare decoder for probing
// files.
//
// Threads: progress and previews are raised on the main thread when TriggerEventInMainThread is
// set (the worker waits for the handler), else on the worker; a task's termination is handed to
// a delivery thread of its own in a threaded run (on the main thread when
// TriggerEventInMainThread), and raised directly in a synchronous run; the hooks run on the
// worker. One lock per kind of event serialises the tasks that run at once. The event that
// closes a run (TaskIndex -1) comes after the termination of every task of the run.
//
// Invariants: while a run is on (Working) the task list does not change, and only ClearTasks may
// end the run, once every task has ended (AllEnded); a task is never freed while a thread of its
// own still uses it; no handler runs once the component's destruction has begun, and the
// destruction returns only when every task's threads and every delivery are done.
#pragma once

#include "engine/encoder/EncoderRecords.h"
#include "engine/encoder/TaskList.h"
#include "engine/encoder/TerminationDelivery.h"
#include "engine/runtime/FFBaseComponent.h"
#include "engine/runtime/FFDecode.h"
#include "platform/CriticalSection.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

extern "C" {
#include <libavutil/samplefmt.h>
}

struct AVFormatContext;

namespace vidorant {

class TCustomEncoder : public TFFBaseComponent {
public:
  using TProgressEvent = std::function<void(TObject* Sender, PProgressInfo AProgressInfo)>;
  using TTerminateEvent = vidorant::TTerminateEvent;
  using TVideoHookEvent = std::function<void(TObject* Sender, PHookInfo AHookInfo)>;
  using TPreviewBitmapEvent = std::function<void(TObject* Sender, const TPreviewInfo& APreviewInfo)>;
  using TAudioHookEvent =
      std::function<void(TObject* Sender, int32_t ATaskIndex, const int64_t APTS, uint8_t* ASample, int32_t ASize,
                         int32_t ASampleRate, int32_t AChannels, AVSampleFormat ASampleFormat)>;
  // Sender is the task whose input was just opened.
  using TBeforeFindStreamInfoEvent = std::function<void(TObject* Sender, AVFormatContext* AFormatContext)>;

  static constexpr int DefaultMaxFiles = 20;
  static constexpr int32_t MinProgressInterval = 100;  // ms

  TCustomEncoder();
  ~TCustomEncoder() override;
  TCustomEncoder(const TCustomEncoder&) = delete;
  TCustomEncoder& operator=(const TCustomEncoder&) = delete;

  std::string Version() const { return "3.9a"; }
  // The last failure of LoadLibraries, AddTask or SetOutputFile.
  const std::string& LastErrMsg() const { return FLastErrMsg; }

  // True when the loader holds every required library.
  bool LibrariesLoaded() const;
  // Loads the required libraries from the folder (UTF-8; empty: the standard search). False
  // with the loader's text in LastErrMsg.
  bool LoadLibraries(const std::string& folder);

  // Adds a task reading the input (UTF-8 name; options->FileName when that is not empty).
  // Returns its index, or -1 with LastErrMsg (the task is gone then). Refused while working.
  int AddTask(const std::string& fileName, const TInputOptions* options = nullptr);
  // Gives the task one more output (UTF-8 name, or options->FileName). False with LastErrMsg (the
  // task stays without that output). Refused while working.
  bool SetOutputFile(int taskIndex, const std::string& fileName, const TOutputOptions* options = nullptr);
  // Frees the task (once its threads are done). Refused while working.
  void RemoveTask(int taskIndex);
  // Frees every task and ends the run. Refused while working until every task has ended.
  void ClearTasks();
  // Runs the tasks: n > 0 on worker threads, n at a time, starting the next one as each ends;
  // 0 one after another inside this call. Refused while working.
  void StartTask(int n);
  // Starts no further task and stops every task of the run (tasks that never started end at
  // once, each with its termination); with wait, returns once they all ended.
  void StopTasks(bool wait);

  int TaskCount() const { return FTasks.Count(); }
  TFFmpeg& Task(int index) const { return FTasks.Get(index); }
  // The decoder the application probes files with.
  TFFDecoder& ProbeDecoder() { return *FProbeDecoder; }

  int32_t MaxFiles() const { return FMaxFiles; }
  // Inputs and outputs each task added from now on holds.
  void SetMaxFiles(int32_t count) { FMaxFiles = count; }
  bool RaiseOptionErrors() const { return FRaiseOptionErrors; }
  void SetRaiseOptionErrors(bool raise) { FRaiseOptionErrors = raise; }
  bool Preview() const { return FPreview; }
  void SetPreview(bool preview);
  bool PreviewBitmap() const { return FPreviewBitmap; }
  void SetPreviewBitmap(bool previewBitmap);
  // Milliseconds between progress reports; at least MinProgressInterval.
  int32_t ProgressInterval() const { return FProgressInterval; }
  void SetProgressInterval(int32_t milliseconds);
  // Milliseconds a task's opening or reading may block.
  int32_t IOTimeout() const { return FIOTimeout; }
  void SetIOTimeout(int32_t milliseconds) { FIOTimeout = milliseconds; }
  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority priority) { FThreadPriority = priority; }
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool inMainThread) { FTriggerEventInMainThread = inMainThread; }
  int32_t Verbosity() const { return FVerbosity; }
  void SetVerbosity(int32_t verbosity) { FVerbosity = verbosity; }

  // The run's state.
  bool Working() const { return FWorking; }
  bool AllEnded() const { return FAllEnded; }
  bool Threaded() const { return FThreaded; }
  int32_t EndedCount();
  int32_t NextTask();
  int32_t PendingTasks();
  // True when no termination event is on its way.
  bool DeliveredFlag() { return FDeliveries.Idle(); }

  // Events. Assign them before a run; a run reads them from its threads.
  TAudioHookEvent OnAudioHook;
  TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;
  TVideoHookEvent OnVideoInputHook;
  TVideoHookEvent OnVideoOutputHook;
  TPreviewBitmapEvent OnPreviewBitmap;
  TProgressEvent OnProgress;
  TTerminateEvent OnTerminate;

  // The callbacks of the tasks, on the threads that run them.
  virtual void RelayVideoInputHook(TFFmpeg& task, TBitmap& bitmap, int32_t frameNumber, int64_t pts, bool& update,
                                   bool& detach);
  virtual void RelayVideoOutputHook(TFFmpeg& task, TBitmap& bitmap, int32_t frameNumber, int64_t pts, bool& update,
                                    bool& detach);
  virtual void RelayPreviewBitmap(TFFmpeg& task, const TBitmap& bitmap, int32_t frameNumber, int64_t pts);
  virtual void RelayProgress(TFFmpeg& task, int32_t fileIndex, int32_t frameNumber, int32_t fps, float quality,
                             float bitRate, int64_t totalSize, int64_t currentTime, int64_t totalDuration);
  virtual void RelayTerminate(TFFmpeg& task);
  // The audio hook's callback. The core has no audio source for it yet, so nothing calls it.
  void RelayAudioHook(TFFmpeg& task, int64_t pts, uint8_t* sample, int32_t size, int32_t sampleRate,
                      int32_t channels, AVSampleFormat sampleFormat);

private:
  // Raises "Cannot %s while working." with the operation's name when a run is on.
  void CheckNotWorking(const char* operation) const;
  // Starts the next task of the run, when one is pending. Holds the termination lock.
  void StartNext();
  // Connects the task's callbacks to the relays.
  void AttachTaskEvents(TFFmpeg& task);
  void AttachOutputHooks(TFFmpeg& task, const TOutputOptions& options);
  void RelayVideoHook(TVideoHookEvent& event, TFFmpeg& task, TBitmap& bitmap, int32_t frameNumber, int64_t pts,
                      bool& update, bool& detach);
  // Hands a termination record to a delivery thread that runs the handler after every delivery
  // handed over before it when afterEarlier. Holds the termination lock.
  void HandOverTermination(const TTerminateInfo& info, bool afterEarlier);
  // The end of a run: the event with TaskIndex -1, after every termination of the run. Holds
  // the termination lock.
  void EndRun();

  std::string FLastErrMsg;
  int32_t FMaxFiles = DefaultMaxFiles;
  bool FRaiseOptionErrors = true;
  bool FPreview = false;
  bool FPreviewBitmap = false;
  int32_t FProgressInterval = 500;
  int32_t FIOTimeout = 10000;
  TThreadPriority FThreadPriority = TThreadPriority::tpNormal;
  std::atomic<bool> FTriggerEventInMainThread{true};
  int32_t FVerbosity = 1;
  TProgressInfo FProgressInfo;    // under FProgressLock
  TTerminateInfo FTerminateInfo;  // under FTerminateLock
  TPreviewInfo FPreviewInfo;      // under FPreviewLock
  THookInfo FHookInfo;            // under FVideoHookLock
  TCriticalSection FAudioHookLock;
  TCriticalSection FPreviewLock;
  TCriticalSection FProgressLock;
  TCriticalSection FTerminateLock;
  TCriticalSection FVideoHookLock;
  TDeliveryLedger FDeliveries;
  std::unique_ptr<TFFDecoder> FProbeDecoder;
  TFFmpegList FTasks;
  // The run, under FTerminateLock.
  int32_t FEndedCount = 0;
  int32_t FNextTask = -1;
  int32_t FPendingTasks = 0;
  std::atomic<bool> FAllEnded{false};
  std::atomic<bool> FThreaded{false};
  std::atomic<bool> FWorking{false};
  // Set when the destruction begins: no handler runs from then on.
  std::atomic<bool> FDetached{false};
};

class TFFEncoder : public TCustomEncoder {};

}  // namespace vidorant

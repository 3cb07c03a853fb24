// One transcoding task, configured like a command-line transcoder: named options with text
// values given in order, interleaved with the opening of inputs (and outputs). The task is a
// façade: it routes each operation to the part that owns its concern and keeps only what is the
// task's own (its capacity, the last error text).
//
// Parts, each in its own files:
//   FIOTimeout  engine/runtime/IOTimeout.h  cancel and timeout of the task's blocking steps
//   FOptions    TaskOptions.h (OptionDispatcher.cpp, OptionCompound.cpp, Target.cpp)
//               the option state, its parsing, the generic store and the frame hooks
//   FInputs     InputSet.h (InputSet.cpp, InputStreams.cpp)
//               the opened inputs and the decoder context of each of their streams
//   FOutputs    OutputSet.h (OutputSet.cpp, OutputStreams.cpp, OutputPrepare.cpp, OutputWriting.cpp)
//               the output files, their streams, their codec set-up and their writing
//   the run     TaskRun.cpp: Start, Execute, Stop, Terminate, DoTerminate, CloseFiles;
//               Transcode.h (Transcode.cpp, PacketOutput.cpp): the transcode loop of one run,
//               which drives the video path (VideoPath.h) and reports progress
//
// Invariants: ResetOptions (run by the constructor) puts every part to its empty state; a
// refused option raises FFmpegException and changes nothing; an input is in the task only when
// it was opened and probed completely.
#pragma once

#include "engine/core/InputSet.h"
#include "engine/core/OpenCodecs.h"
#include "engine/core/OptionState.h"
#include "engine/core/OutputSet.h"
#include "engine/core/PictureEvent.h"
#include "engine/core/TaskEvents.h"
#include "engine/core/TaskOptions.h"
#include "engine/runtime/IOTimeout.h"
#include "platform/Event.h"
#include "platform/TObject.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct AVFormatContext;

namespace vidorant {

class TCustomFFmpeg : public TObject, private TTaskFiles {
public:
  using TBeforeFindStreamInfoEvent = TInputSet::TBeforeFindStreamInfoEvent;

  static constexpr int64_t DefaultProgressInterval = 500000;  // µs
  static constexpr int64_t DefaultPreviewInterval = 100000;   // µs

  static constexpr int DefaultIOTimeout = TIOTimeout::DefaultTimeout;  // ms
  static constexpr int MaxFileCapacity = 512;

  // fileCapacity: inputs and outputs the task can hold, 1 to MaxFileCapacity.
  explicit TCustomFFmpeg(int fileCapacity);
  ~TCustomFFmpeg() override;
  TCustomFFmpeg(const TCustomFFmpeg&) = delete;
  TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

  // Puts the options to their defaults (frame hooks released) and closes every file. Does
  // nothing when the media libraries the core needs are not loaded.
  void ResetOptions();

  // Applies one option; name without its "-", value possibly empty. Raises FFmpegException with
  // the option's fixed message when it is refused (numbers that are no numbers raise
  // EConvertError instead).
  // newvideo, newaudio and newsubtitle add a stream to the last output file.
  void ParseOption(const std::string& name, const std::string& value);

  // Direct setters used instead of option text.
  void SetRecordingTime(int64_t microseconds);  // NoValue leaves it; sets ExpectedDuration too
  void SetStartTime(int64_t microseconds);      // NoValue leaves it
  void SetProgramId(int32_t id);                // ignored when negative
  void SetAudioVolume(int32_t volume);          // ignored when negative
  void SetAudioSyncMethod(int32_t method);
  void SetVideoSyncMethod(int32_t method);
  void SetMuxMaxDelay(float seconds);  // ignored unless above 0
  void SetMuxPreload(float seconds);   // ignored unless above 0
  void SetVerbosity(int32_t verbosity);
  void SetFormatName(const std::string& name);
  // A delivery target ("vcd", "svcd", "dvd", ...) in a norm ("auto", "pal", "ntsc", "film");
  // fallbackNorm ("pal" or "ntsc") ends the automatic choice when the frame rate and the inputs
  // leave it open. Raises as the "target" option.
  void SetTarget(const std::string& type, const std::string& norm, const std::string& fallbackNorm);
  // Bits per pixel of the bitmaps the picture events and previews get: 8, 15, 16, 24 (the
  // default) or 32. Another value ends the next run with the converter's error.
  void SetHookBitsPixel(int bits) { FHookBitsPixel = bits; }
  int HookBitsPixel() const { return FHookBitsPixel; }
  // Hands the integer, as decimal text, to the generic store under the name.
  bool SetGenericOption(const std::string& name, int64_t value);
  // True (default): an option name nobody knows raises; false: it is ignored.
  void SetRaiseOptionErrors(bool raise) { FOptions.SetRaiseErrors(raise); }
  bool RaiseOptionErrors() const { return FOptions.RaiseErrors(); }

  // Opens and probes one input (UTF-8 name) with the options pending now. Returns false with
  // LastErrorMessage set when it fails in an expected way; raises FFmpegException for the rest.
  bool AddInputFile(const std::string& fileName);
  void SetOnBeforeFindStreamInfo(TBeforeFindStreamInfoEvent handler) {
    FInputs.OnBeforeFindStreamInfo = std::move(handler);
  }

  // Makes one output (UTF-8 name) with the options pending now. Returns the new number of output
  // files, or -1 with LastErrorMessage set. join: the inputs play one after the other into it.
  int AddOutputFile(const std::string& fileName, bool join = false);
  // After an output added with join switched join mode on (and after its further streams were
  // added): ExpectedDuration becomes the sum of the inputs' known durations (-1 when none is
  // known), and every input after the first gets its set of output stream records. Does nothing
  // when not joining. The run makes missing sets itself; the duration is only set here.
  void PrepareJoinedInputs();

  // Runs the task: inline (returns nullptr when done), or on a worker thread that is returned
  // suspended, frees itself when done, and that the caller resumes. Does nothing (nullptr) when
  // the task runs or ran already. A task without outputs or inputs ends at once with its error.
  TThread* Start(bool inThread, TThreadPriority priority = TThreadPriority::tpNormal);
  // Asks the run to stop; with wait, returns once the worker is done (serving synchronised calls
  // on the main thread meanwhile). Any thread, and from the task's own event handlers.
  void Stop(bool wait = false);
  // Stop when running; otherwise ends a task that never ran, on a thread of its own.
  void Terminate(bool wait = false);

  bool Running() const { return FRunning; }
  bool Finished() const { return FFinished; }
  bool Terminated() const { return FTerminated; }
  bool Error() const { return FError; }
  const std::string& ErrorMessage() const { return FErrorMessage; }
  // Set while no worker runs the task; reset from Start until the worker is done.
  TEvent& FinishedEvent() { return FFinishedEvent; }
  TEvent& TerminatedEvent() { return FTerminatedEvent; }

  int64_t ProgressInterval() const { return FProgressInterval; }
  void SetProgressInterval(int64_t microseconds) { FProgressInterval = microseconds; }
  int64_t PreviewInterval() const { return FPreviewInterval; }
  void SetPreviewInterval(int64_t microseconds) { FPreviewInterval = microseconds; }
  // The encoder component's flag bits: previews in the previewer's window, previews as events.
  void SetPreviewFlags(bool previewer, bool previewEvent);

  // Events, fired on the thread that runs the task (the encoder component marshals them).
  TProgressEvent OnProgress;
  TNotifyEvent OnTerminate;
  TVideoHookEvent OnVideoInputHook;
  TVideoHookEvent OnVideoOutputHook;
  TPreviewBitmapEvent OnPreviewBitmap;
  TAudioHookEvent OnAudioHook;

  // Milliseconds a blocking opening, read or seek may take; 0 or less: no limit.
  int32_t IOTimeout() const { return FIOTimeout.Timeout(); }
  void SetIOTimeout(int32_t milliseconds) { FIOTimeout.SetTimeout(milliseconds); }
  // From any thread: ends the task's blocking I/O now and refuses it from now on.
  void CancelIO() { FIOTimeout.Cancel(); }
  // The interrupt check of the task's blocking I/O: true ends the call.
  bool IOTimedOut() { return FIOTimeout.TimedOut(); }

  const std::string& LastErrorMessage() const { return FLastErrorMessage; }
  // µs the progress counts against; -1 when not known.
  int64_t ExpectedDuration() const { return FOptions.State().ExpectedDuration; }
  int FileCapacity() const { return FFileCapacity; }

  // Read-only views of the parts.
  const TTaskOptions& OptionSet() const { return FOptions; }
  const TOptionState& Options() const { return FOptions.State(); }
  const OptionContext& GenericOptions() const { return FOptions.Generic(); }
  const TFrameHookChain& FrameHooks() const { return FOptions.FrameHooks(); }
  bool FrameHooksActive() const { return FOptions.FrameHooksActive(); }
  const TInputSet& Inputs() const { return FInputs; }
  const TInputFile& InputFile(int index) const { return FInputs.File(index); }
  const std::vector<TInputStreamCodec>& InputStreamCodecs() const { return FInputs.StreamCodecs(); }
  const TOutputSet& Outputs() const { return FOutputs; }

  // The task's files as its options see them.
  int InputCount() const override { return FInputs.Count(); }
  const AVFormatContext* InputContext(int index) const override { return FInputs.File(index).Context.get(); }
  int OutputCount() const override { return FOutputs.Count(); }

private:
  // True when the libraries the core calls are bound.
  static bool CoreLibrariesLoaded();

  // The run (TaskRun.cpp).
  void Execute();
  void Transcode();
  void DoTerminate();
  // Closes every output and input and frees what the options and the run hold.
  void CloseFiles();
  // Records an exception that ended a step of the run.
  void RecordError(const std::string& message);
  // Runs the step; an exception it raises is recorded and the run goes on.
  void Guarded(const std::function<void()>& step);

  int FFileCapacity;
  std::string FLastErrorMessage;
  TIOTimeout FIOTimeout;
  TTaskOptions FOptions;
  TInputSet FInputs;
  TOutputSet FOutputs;
  TOpenCodecs FOpenCodecs;

  // Run state.
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FStopRequested{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FError{false};
  std::string FErrorMessage;
  std::mutex FWorkerLock;       // guards FWorker against the worker forgetting itself
  TThread* FWorker = nullptr;   // frees itself
  std::atomic<uint32_t> FWorkerThreadID{0};  // of the last worker that ran the task
  TEvent FFinishedEvent{true};
  TEvent FTerminatedEvent{true};
  int64_t FProgressInterval = DefaultProgressInterval;
  int64_t FPreviewInterval = DefaultPreviewInterval;
  int FHookBitsPixel = 24;
  bool FPreviewer = false;
  bool FPreviewEvent = false;
};

}  // namespace vidorant

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
// The transcode adds its parts beside these, each owning its data the same way: the output set
// (outputs, their streams and the stream mapping), the transcode loop, the video path and the
// audio path. Until the output set exists, the task answers "no output" to the options.
//
// Invariants: ResetOptions (run by the constructor) puts every part to its empty state; a
// refused option raises FFmpegException and changes nothing; an input is in the task only when
// it was opened and probed completely.
#pragma once

#include "engine/core/InputSet.h"
#include "engine/core/OptionState.h"
#include "engine/core/TaskOptions.h"
#include "engine/runtime/IOTimeout.h"
#include "platform/TObject.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;

namespace vidorant {

class TCustomFFmpeg : public TObject, private TTaskFiles {
public:
  using TBeforeFindStreamInfoEvent = TInputSet::TBeforeFindStreamInfoEvent;

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

  // The task's files as its options see them.
  int InputCount() const override { return FInputs.Count(); }
  const AVFormatContext* InputContext(int index) const override { return FInputs.File(index).Context.get(); }
  int OutputCount() const override { return 0; }

private:
  // True when the libraries the core calls are bound.
  static bool CoreLibrariesLoaded();

  int FFileCapacity;
  std::string FLastErrorMessage;
  TIOTimeout FIOTimeout;
  TTaskOptions FOptions;
  TInputSet FInputs;
};

}  // namespace vidorant

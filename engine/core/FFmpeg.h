// One transcoding task, configured like a command-line transcoder: named options with text values
// given in order, interleaved with the opening of inputs (and outputs). The task owns its option
// state, its OptionContext for the libraries' generic options, its input files with their
// per-stream decoder contexts, and its frame-hook chain.
// Invariants: ResetOptions (run by the constructor) puts the state to its defaults; a refused
// option raises FFmpegException and changes nothing; an input is in the task's list only when it
// was opened and probed completely.
#pragma once

#include "engine/core/OptionState.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/FFPtr.h"
#include "engine/runtime/FrameHook.h"
#include "engine/runtime/InputOpening.h"
#include "engine/runtime/OptionContext.h"
#include "platform/TObject.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVInputFormat;
struct AVStream;

namespace vidorant {

// One opened input file: its demuxer context over its byte stream, and its timing.
struct TInputFile : TOpenedInput {
  int64_t TsOffset = 0;          // µs added to every packet timestamp of the file
  std::vector<double> TsScales;  // per stream; 0 (or absent) means unscaled
};

// The decoder of one input stream: the one chosen by name (or none, then it is chosen by codec
// id when the transcode starts) and the stream's own codec context made from its parameters.
struct TInputStreamCodec {
  const AVCodec* Decoder = nullptr;
  TCodecContextPtr Context;
};

class TCustomFFmpeg : public TObject {
public:
  using TBeforeFindStreamInfoEvent = std::function<void(TObject* sender, AVFormatContext* context)>;

  static constexpr int DefaultIOTimeout = 10000;  // ms

  // fileCapacity: inputs and outputs the task can hold, 1 to 512.
  explicit TCustomFFmpeg(int fileCapacity);
  ~TCustomFFmpeg() override;
  TCustomFFmpeg(const TCustomFFmpeg&) = delete;
  TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

  // Puts the option state to its defaults and empties the per-task lists. Does nothing when the
  // media libraries the core needs are not loaded.
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
  // Hands the integer, as decimal text, to the OptionContext under the name.
  bool SetGenericOption(const std::string& name, int64_t value);

  // Opens and probes one input with the options pending now. Returns false with
  // LastErrorMessage set when it fails in an expected way; raises FFmpegException for the rest.
  bool AddInputFile(const std::string& fileName);

  // True: an option name nobody knows raises; false: it is ignored.
  bool RaiseOptionErrors = true;
  std::string LastErrorMessage;
  int64_t ExpectedDuration = -1;  // µs, -1 when not known
  int32_t IOTimeout = DefaultIOTimeout;
  TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;

  const TOptionState& Options() const { return FOpt; }
  int FileCapacity() const { return FFileCapacity; }
  int InputCount() const { return static_cast<int>(FInputFiles.size()); }
  const TInputFile& InputFile(int index) const { return FInputFiles.at(index); }
  const std::vector<TInputStreamCodec>& InputStreamCodecs() const { return FInputStreamCodecs; }
  const TFrameHookChain& FrameHooks() const { return FFrameHooks; }
  bool FrameHooksActive() const { return FFrameHooksActive; }
  int OutputCount() const { return FOutputCount; }

  // Asked while an opening, read or seek blocks: true interrupts it (after IOTimeout ms, or at
  // once after CancelIO).
  bool IOTimedOut();
  // Cancels the task's blocking I/O from another thread, now and for every later step.
  void CancelIO() { FIOCancelled = true; }

protected:
  // Logs through the engine's logger.
  void Log(TLogLevel level, const std::string& text);
  // True when the libraries the core calls are bound.
  static bool CoreLibrariesLoaded();
  // Starts the I/O timeout clock for the blocking call that follows.
  void StampIOStart();

  TOptionState FOpt;
  OptionContext FOptionContext;
  std::vector<TInputFile> FInputFiles;
  std::vector<TInputStreamCodec> FInputStreamCodecs;
  TFrameHookChain FFrameHooks;
  bool FFrameHooksActive = false;
  int FOutputCount = 0;
  // Library clock (µs) when the current blocking I/O began; IONoTime when none.
  static constexpr int64_t IONoTime = INT64_MAX;
  std::atomic<int64_t> FIOStartTime{IONoTime};
  // A cancel is kept apart from the clock, so that no later step's stamp can undo it.
  std::atomic<bool> FIOCancelled{false};

private:
  friend struct TOptionDispatcher;
  friend class TTimeoutRegistration;

  // Option handlers of the compound values.
  void SetCodecName(TStreamKind kind, const std::string& value);
  void SetBitRate(const std::string& name, const std::string& value);
  void AddBitstreamFilter(const std::string& name, const std::string& value);
  void ApplyPreset(const std::string& name, const std::string& value);
  void ApplyTarget(const std::string& value);
  void AddFrameHookOption(const std::string& value);
  bool SetOptionText(const std::string& name, const std::string& value);
  void SetGenericOrRaise(const std::string& name, const std::string& value);
  // "<program folder>vstats_<hhnnss>.log" for the current local time.
  static std::string DefaultVStatsFileName();
  int64_t ParseTime(const std::string& name, const std::string& value, bool isDate);

  // Steps of AddInputFile.
  bool IOCheck(void* arg);
  bool OpenAndProbeInput(const std::string& fileName, const AVInputFormat* format);
  bool SelectProgram(AVFormatContext* context);
  std::vector<TInputStreamCodec> SetUpInputStreams(AVFormatContext* context, const AVCodec* const forced[3]);
  void SetUpVideoStream(AVStream* stream, AVCodecContext* decoder, const AVCodec* forced);
  void FinishInput();

  int FFileCapacity;
};

}  // namespace vidorant

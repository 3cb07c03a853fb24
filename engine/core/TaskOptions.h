// The options part of a task: its option state, the dispatcher that applies named options with
// text values to it, the generic store (OptionContext) every other name falls through to, and
// the frame-hook chain the vhook option builds. Opening inputs and outputs reads this state and
// consumes the parts of it that belong to one file.
// Invariants: Reset puts everything to the state of a task nobody configured (the hooks
// released); a refused option raises and changes nothing; the part reads the task's files only
// through TTaskFiles, never changes them.
#pragma once

#include "engine/core/OptionState.h"
#include "engine/core/OptionValues.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/FFPtr.h"
#include "engine/runtime/FrameHook.h"
#include "engine/runtime/OptionContext.h"

#include <cstdint>
#include <string>
#include <unordered_map>

struct AVFormatContext;

namespace vidorant {

class TObject;

// What options read of the task's files at the moment they are given: the inputs already open
// (timestamp scales go to the next one; a target takes its norm from them) and whether an
// output exists (new streams are added to the last one).
class TTaskFiles {
public:
  virtual int InputCount() const = 0;
  virtual const AVFormatContext* InputContext(int index) const = 0;
  virtual int OutputCount() const = 0;

protected:
  ~TTaskFiles() = default;
};

class TTaskOptions {
public:
  // sender: the task named in log lines; files: its files. Both outlive the part.
  TTaskOptions(TObject* sender, const TTaskFiles& files);
  TTaskOptions(const TTaskOptions&) = delete;
  TTaskOptions& operator=(const TTaskOptions&) = delete;

  // Defaults, a fresh generic store, no frame hooks.
  void Reset();

  // Applies one option (name without "-"). Raises FFmpegException with the option's fixed
  // message when refused (EConvertError for numbers that are no numbers).
  void Parse(const std::string& name, const std::string& value);

  // The direct setters of the encoder component (see TCustomFFmpeg).
  void SetRecordingTime(int64_t microseconds);
  void SetStartTime(int64_t microseconds);
  void SetProgramId(int32_t id);
  void SetAudioVolume(int32_t volume);
  void SetAudioSyncMethod(int32_t method);
  void SetVideoSyncMethod(int32_t method);
  void SetMuxMaxDelay(float seconds);
  void SetMuxPreload(float seconds);
  void SetVerbosity(int32_t verbosity);
  void SetFormatName(const std::string& name);
  bool SetGenericOption(const std::string& name, int64_t value);
  // The target option, whose automatic norm ends with fallback when neither the frame rate nor
  // the inputs tell the norm.
  void SetTarget(const std::string& value, TTargetNorm fallback) { ApplyTarget(value, fallback); }

  // True: a name nobody knows raises; false: it is ignored.
  bool RaiseErrors() const { return FRaiseErrors; }
  void SetRaiseErrors(bool raise) { FRaiseErrors = raise; }

  const TOptionState& State() const { return FState; }
  // For the opening of files, which reads the pending options and consumes them.
  TOptionState& State() { return FState; }
  const OptionContext& Generic() const { return FGeneric; }
  const TFrameHookChain& FrameHooks() const { return FFrameHooks; }
  // For the video path, which runs the chain on its pictures.
  TFrameHookChain& FrameHooks() { return FFrameHooks; }
  bool FrameHooksActive() const { return FFrameHooksActive; }

  // Private options of the codec among the stored generic options, for avcodec_open2: those
  // whose flags have every bit of flagMask (AV_OPT_FLAG_DECODING_PARAM for a decoder,
  // AV_OPT_FLAG_ENCODING_PARAM for an encoder). The codec's common options reach its context
  // through ApplyOptions; these exist only once the codec's private data does.
  TDictionary PrivateCodecOptions(const AVCodec* codec, int flagMask) const;

  void Log(TLogLevel level, const std::string& text) const;

  // A time option's value in µs: a duration ("[-][HH:]MM:SS[.m...]" or seconds) or a date. Raises
  // FFmpegException naming the option when the value is neither.
  static int64_t ParseTime(const std::string& name, const std::string& value, bool isDate);

private:
  using THandler = void (*)(TTaskOptions& options, const std::string& name, const std::string& value);
  using THandlers = std::unordered_map<std::string, THandler>;
  // The option vocabulary: every name the part knows with its handler.
  static const THandlers& Handlers();

  // Handlers of the compound values.
  void SetCodecName(TStreamKind kind, const std::string& value);
  void SetBitRate(const std::string& name, const std::string& value);
  void AddBitstreamFilter(const std::string& name, const std::string& value);
  void ApplyPreset(const std::string& name, const std::string& value);
  void ApplyTarget(const std::string& value, TTargetNorm fallback = TTargetNorm::Pal);
  void AddFrameHookOption(const std::string& value);
  bool SetOptionText(const std::string& name, const std::string& value);
  void SetGenericOrRaise(const std::string& name, const std::string& value);
  void SetTimestampScale(const std::string& value);
  // "<program folder>vstats_<hhnnss>.log" for the current local time.
  static std::string DefaultVStatsFileName();

  TObject* FSender;
  const TTaskFiles& FFiles;
  TOptionState FState;
  OptionContext FGeneric;
  TFrameHookChain FFrameHooks;
  bool FFrameHooksActive = false;
  bool FRaiseErrors = true;
};

}  // namespace vidorant

// The options part of TaskOptions.h: its reset, the direct setters the encoder component uses
// instead of option text, and the private codec options handed to an opening codec.
#include "engine/core/TaskOptions.h"

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFTypes.h"

extern "C" {
#include <libavcodec/codec.h>
#include <libavutil/opt.h>
}

namespace vidorant {

TTaskOptions::TTaskOptions(TObject* sender, const TTaskFiles& files) : FSender(sender), FFiles(files) {}

void TTaskOptions::Log(TLogLevel level, const std::string& text) const {
  FFLogger()->Log(FSender, level, text);
}

void TTaskOptions::Reset() {
  FState = TOptionState{};
  InitOptions(FGeneric, FState.SwsFlags);
  // Hooks configured for the former options must not run on the next transcode.
  ReleaseFrameHooks(FFrameHooks);
  FFrameHooksActive = false;
}

void TTaskOptions::SetRecordingTime(int64_t microseconds) {
  if (microseconds == NoValue) return;
  FState.RecordingTime = microseconds;
  FState.ExpectedDuration = microseconds;
}

void TTaskOptions::SetStartTime(int64_t microseconds) {
  if (microseconds != NoValue) FState.StartTime = microseconds;
}

void TTaskOptions::SetProgramId(int32_t id) {
  if (id >= 0) FState.ProgramId = id;
}

void TTaskOptions::SetAudioVolume(int32_t volume) {
  if (volume >= 0) FState.AudioVolume = volume;
}

void TTaskOptions::SetAudioSyncMethod(int32_t method) { FState.AudioSyncMethod = method; }

void TTaskOptions::SetVideoSyncMethod(int32_t method) {
  FState.VideoSyncMethod = static_cast<TVideoSyncMethod>(method);
}

void TTaskOptions::SetMuxMaxDelay(float seconds) {
  if (seconds > 0) FState.MuxMaxDelay = seconds;
}

void TTaskOptions::SetMuxPreload(float seconds) {
  if (seconds > 0) FState.MuxPreload = seconds;
}

void TTaskOptions::SetVerbosity(int32_t verbosity) { FState.Verbose = verbosity; }
void TTaskOptions::SetFormatName(const std::string& name) { FState.FormatName = name; }

TDictionary TTaskOptions::PrivateCodecOptions(const AVCodec* codec, int flagMask) const {
  TDictionary options;
  if (!codec || !codec->priv_class) return options;
  // The codec's option table, searched without an instance of its private data.
  void* table = const_cast<const AVClass**>(&codec->priv_class);
  for (const TStoredOption& stored : FGeneric.Options) {
    if (!stored.Value) continue;  // taken by a common option table, applied through it
    const AVOption* option = ff::av_opt_find(table, stored.Name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
    if (option && (option->flags & flagMask) == flagMask)
      ff::av_dict_set(options.Address(), stored.Name.c_str(), stored.Value->c_str(), 0);
  }
  return options;
}

}  // namespace vidorant

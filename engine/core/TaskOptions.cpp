// The options part of TaskOptions.h: its reset, the direct setters the encoder component uses
// instead of option text.
#include "engine/core/TaskOptions.h"

#include "engine/runtime/FFTypes.h"

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

}  // namespace vidorant

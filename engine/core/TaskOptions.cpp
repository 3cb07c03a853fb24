// Construction of a task, the reset of its option state and the direct setters that the encoder
// component uses instead of option text.
#include "engine/core/FFmpeg.h"

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/FFLoad.h"
#include "engine/runtime/FFTypes.h"
#include "engine/runtime/SwScaleStubs.h"

#include <algorithm>

namespace vidorant {

TCustomFFmpeg::TCustomFFmpeg(int fileCapacity) : FFileCapacity(std::clamp(fileCapacity, 1, 512)) {
  ResetOptions();
}

TCustomFFmpeg::~TCustomFFmpeg() = default;

void TCustomFFmpeg::Log(TLogLevel level, const std::string& text) { FFLogger()->Log(this, level, text); }

bool TCustomFFmpeg::CoreLibrariesLoaded() { return FFLoader && FFLoader->LibsLoaded(RequiredLibraries); }

void TCustomFFmpeg::ResetOptions() {
  if (!CoreLibrariesLoaded()) return;
  FOpt = TOptionState{};
  InitOptions(FOptionContext, FOpt.SwsFlags);
  // Hooks configured for the former options must not run on the next transcode.
  ReleaseFrameHooks(FFrameHooks);
  FFrameHooksActive = false;
  FInputStreamCodecs.clear();
  FInputFiles.clear();
  FOutputCount = 0;
  ExpectedDuration = -1;
}

void TCustomFFmpeg::SetRecordingTime(int64_t microseconds) {
  if (microseconds == NoValue) return;
  FOpt.RecordingTime = microseconds;
  ExpectedDuration = microseconds;
}

void TCustomFFmpeg::SetStartTime(int64_t microseconds) {
  if (microseconds != NoValue) FOpt.StartTime = microseconds;
}

void TCustomFFmpeg::SetProgramId(int32_t id) {
  if (id >= 0) FOpt.ProgramId = id;
}

void TCustomFFmpeg::SetAudioVolume(int32_t volume) {
  if (volume >= 0) FOpt.AudioVolume = volume;
}

void TCustomFFmpeg::SetAudioSyncMethod(int32_t method) { FOpt.AudioSyncMethod = method; }
void TCustomFFmpeg::SetVideoSyncMethod(int32_t method) { FOpt.VideoSyncMethod = method; }

void TCustomFFmpeg::SetMuxMaxDelay(float seconds) {
  if (seconds > 0) FOpt.MuxMaxDelay = seconds;
}

void TCustomFFmpeg::SetMuxPreload(float seconds) {
  if (seconds > 0) FOpt.MuxPreload = seconds;
}

void TCustomFFmpeg::SetVerbosity(int32_t verbosity) { FOpt.Verbose = verbosity; }
void TCustomFFmpeg::SetFormatName(const std::string& name) { FOpt.FormatName = name; }

}  // namespace vidorant

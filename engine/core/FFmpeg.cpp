// The task façade of FFmpeg.h: construction, reset, and the routing of its operations to the
// parts.
#include "engine/core/FFmpeg.h"

#include "engine/runtime/FFLoad.h"

#include <algorithm>

namespace vidorant {

TCustomFFmpeg::TCustomFFmpeg(int fileCapacity)
    : FFileCapacity(std::clamp(fileCapacity, 1, MaxFileCapacity)),
      FIOTimeout(this),
      FOptions(this, *this),
      FInputs(this, FFileCapacity, FIOTimeout) {
  ResetOptions();
}

TCustomFFmpeg::~TCustomFFmpeg() = default;

bool TCustomFFmpeg::CoreLibrariesLoaded() { return FFLoader && FFLoader->LibsLoaded(RequiredLibraries); }

void TCustomFFmpeg::ResetOptions() {
  if (!CoreLibrariesLoaded()) return;
  FInputs.Clear();
  FOptions.Reset();
}

void TCustomFFmpeg::ParseOption(const std::string& name, const std::string& value) { FOptions.Parse(name, value); }

bool TCustomFFmpeg::AddInputFile(const std::string& fileName) {
  return FInputs.Add(fileName, FOptions, FLastErrorMessage);
}

void TCustomFFmpeg::SetRecordingTime(int64_t microseconds) { FOptions.SetRecordingTime(microseconds); }
void TCustomFFmpeg::SetStartTime(int64_t microseconds) { FOptions.SetStartTime(microseconds); }
void TCustomFFmpeg::SetProgramId(int32_t id) { FOptions.SetProgramId(id); }
void TCustomFFmpeg::SetAudioVolume(int32_t volume) { FOptions.SetAudioVolume(volume); }
void TCustomFFmpeg::SetAudioSyncMethod(int32_t method) { FOptions.SetAudioSyncMethod(method); }
void TCustomFFmpeg::SetVideoSyncMethod(int32_t method) { FOptions.SetVideoSyncMethod(method); }
void TCustomFFmpeg::SetMuxMaxDelay(float seconds) { FOptions.SetMuxMaxDelay(seconds); }
void TCustomFFmpeg::SetMuxPreload(float seconds) { FOptions.SetMuxPreload(seconds); }
void TCustomFFmpeg::SetVerbosity(int32_t verbosity) { FOptions.SetVerbosity(verbosity); }
void TCustomFFmpeg::SetFormatName(const std::string& name) { FOptions.SetFormatName(name); }
bool TCustomFFmpeg::SetGenericOption(const std::string& name, int64_t value) {
  return FOptions.SetGenericOption(name, value);
}

}  // namespace vidorant

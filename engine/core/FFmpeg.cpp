// The task façade of FFmpeg.h: construction, reset, and the routing of its operations to the
// parts.
#include "engine/core/FFmpeg.h"

#include "engine/runtime/FFLoad.h"
#include "platform/Synchronize.h"

#include <algorithm>

namespace vidorant {

TCustomFFmpeg::TCustomFFmpeg(int fileCapacity)
    : FFileCapacity(std::clamp(fileCapacity, 1, MaxFileCapacity)),
      FIOTimeout(this),
      FOptions(this, *this),
      FInputs(this, FFileCapacity, FIOTimeout),
      FOutputs(this, FFileCapacity, FIOTimeout) {
  ResetOptions();
}

TCustomFFmpeg::~TCustomFFmpeg() {
  // The worker uses the task until its run is done; the encoder component waits for that before
  // it frees a task, and so does the task itself should it be freed first.
  Stop(true);
  WaitServingSynchronize(FTerminatedEvent);
  FOpenCodecs.CloseAll();
  CloseFiles();
}

bool TCustomFFmpeg::CoreLibrariesLoaded() { return FFLoader && FFLoader->LibsLoaded(RequiredLibraries); }

void TCustomFFmpeg::ResetOptions() { CloseFiles(); }

void TCustomFFmpeg::ParseOption(const std::string& name, const std::string& value) {
  FOptions.Parse(name, value);
  static const std::pair<const char*, TStreamKind> newStreamOptions[] = {
      {"newvideo", TStreamKind::Video}, {"newaudio", TStreamKind::Audio}, {"newsubtitle", TStreamKind::Subtitle}};
  for (const auto& [option, kind] : newStreamOptions)
    if (name == option) FOutputs.NewStream(kind, FOutputs.Count() - 1, FOptions);
}

int TCustomFFmpeg::AddOutputFile(const std::string& fileName, bool join) {
  return FOutputs.Add(fileName, join, FOptions, FInputs, FLastErrorMessage);
}

void TCustomFFmpeg::PrepareJoinedInputs() {
  if (!FOutputs.Joining()) return;
  int64_t total = 0;
  for (int i = 0; i < FInputs.Count(); ++i) {
    const int64_t duration = FInputs.File(i).Context->duration;
    if (duration != NoValue) total += duration;
  }
  FOptions.State().ExpectedDuration = total == 0 ? -1 : total;
  FOutputs.MakeJoinedSets(FInputs.Count());
}

void TCustomFFmpeg::SetPreviewFlags(bool previewer, bool previewEvent) {
  FPreviewer = previewer;
  FPreviewEvent = previewEvent;
}

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

void TCustomFFmpeg::SetTarget(const std::string& type, const std::string& norm, const std::string& fallbackNorm) {
  // The norms are the option text's prefixes; "auto" (or an unknown norm) is none.
  const TTargetName named = SplitTarget(norm + "-" + type);
  const TTargetNorm fallback = SplitTarget(fallbackNorm + "-").Norm;
  FOptions.SetTarget(named.Norm == TTargetNorm::Auto ? type : norm + "-" + type,
                     fallback == TTargetNorm::Auto ? TTargetNorm::Pal : fallback);
}

bool TCustomFFmpeg::SetGenericOption(const std::string& name, int64_t value) {
  return FOptions.SetGenericOption(name, value);
}

}  // namespace vidorant

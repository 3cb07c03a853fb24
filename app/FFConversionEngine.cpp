#include "app/FFConversionEngine.h"

#include "convert/FileProbe.h"
#include "convert/FileTask.h"
#include "convert/MediaLibraries.h"
#include "platform/Exception.h"

namespace vidorant {

TFFConversionEngine::TFFConversionEngine() {
  FEncoder.OnProgress = [this](TObject*, PProgressInfo info) {
    if (!OnProgress) return;
    TConversionProgress progress;
    progress.Row = RowOfTask(info->TaskIndex);
    progress.CurrentFrame = info->CurrentFrame;
    progress.CurrentTime = info->CurrentTime;
    progress.TotalDuration = info->TotalDuration;
    OnProgress(progress);
  };
  FEncoder.OnTerminate = [this](TObject*, const TTerminateInfo& info) {
    // A task that failed before closing its output leaves the frames it wrote as the row's GIF.
    if (info.TaskIndex >= 0 && info.TaskIndex < static_cast<int>(FJobs.size())) FJobs[info.TaskIndex].Output->FinishFile();
    if (!OnTerminate) return;
    TConversionEnd end;
    end.Row = info.TaskIndex < 0 ? -1 : RowOfTask(info.TaskIndex);
    end.Completed = info.Completed;
    end.HadError = info.HadError;
    end.ErrorText = info.ErrorText;
    OnTerminate(end);
  };
}

TFFConversionEngine::~TFFConversionEngine() {
  FEncoder.OnProgress = nullptr;
  FEncoder.OnTerminate = nullptr;
  FEncoder.StopTasks(true);
}

bool TFFConversionEngine::LoadLibraries(std::string& error) { return LoadConverterLibraries(FEncoder, error); }

bool TFFConversionEngine::AddFileTask(const TConversionJob& job) {
  auto output = std::make_unique<TGIFOutput>();
  output->SetOutputFile(job.OutputFolder, job.OutputName);
  // The size as typed: the engine is the judge of what it can use.
  const size_t x = job.FrameSize.find('x');
  const std::string width = job.FrameSize.substr(0, x);
  const std::string height = x == std::string::npos ? std::string() : job.FrameSize.substr(x + 1);
  const TFileTaskSetup setup =
      SetupFileTask(FEncoder, output->Adapter(), job.FileName, width, height, job.Clip, output->Threads());
  if (!setup.Succeeded()) return false;
  FJobs.push_back({job.Row, std::move(output)});
  return true;
}

void TFFConversionEngine::ClearTasks() {
  FEncoder.ClearTasks();
  FJobs.clear();
}

std::optional<TFileProbe> TFFConversionEngine::Probe(const std::string& fileName) {
  try {
    const TProbedFile probe = ProbeFile(FEncoder, fileName);
    if (!probe.Opened) return std::nullopt;
    return TFileProbe{probe.Duration, probe.FileSize};
  } catch (const Exception&) {
    return std::nullopt;  // libraries missing: the file reads as one of unknown length
  }
}

void TFFConversionEngine::StartTasks() { FEncoder.StartTask(1); }

void TFFConversionEngine::StopTasks() { FEncoder.StopTasks(true); }

int TFFConversionEngine::RowOfTask(int taskIndex) const {
  return taskIndex >= 0 && taskIndex < static_cast<int>(FJobs.size()) ? FJobs[taskIndex].Row : -1;
}

}  // namespace vidorant

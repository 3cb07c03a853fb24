#include "cli/CliBatch.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "cli/EncoderRun.h"
#include "convert/ClipRange.h"
#include "convert/FileProbe.h"
#include "convert/FileTask.h"
#include "convert/GIFOutput.h"
#include "convert/OutputName.h"
#include "convert/RowTexts.h"
#include "engine/encoder/FFEncode.h"
#include "platform/Exception.h"
#include "convert/MediaLibraries.h"

namespace vidorant {

namespace {

// A video that passed the checks of adding, with what the window's row would hold, and how its
// conversion goes.
struct TBatchRow {
  std::string Path;
  std::string Duration;  // "hh:mm:ss" or "N/A"
  std::string OutputName;
  int Number = 0;        // counts from 1 among the rows
  std::string GIFPath;   // empty until its task is set up
  bool Started = false;  // its progress has been shown
  int32_t Frames = 0;    // pictures written at its last report
  bool Converted = false;
};

std::string NameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

class TCliBatch {
public:
  TCliBatch(const TBatchOptions& options, TBatchProgress& progress, FILE* errors)
      : FOptions(options),
        FProgress(progress),
        FErrors(errors),
        FCheckOutput(1),
        FRun(
            FEncoder, [this](const TProgressInfo& info) { TaskProgress(info); },
            [this](const TTerminateInfo& info) { TaskEnded(info); }) {}

  // Every row's task is set up first (names given out for the whole batch), then the encoder
  // runs them, FOptions.Jobs at once; with one job, one after another as the window does.
  TBatchStatus Convert(const std::vector<std::string>& videoPaths, const std::atomic<bool>& stop) {
    AddVideos(videoPaths);
    std::vector<std::string> paths;
    for (const TBatchRow& row : FRows) paths.push_back(row.Path);
    const std::vector<std::string> names = BatchOutputNames(FOptions.OutputFolder, paths);
    for (size_t i = 0; i < FRows.size(); ++i) {
      FRows[i].OutputName = names[i];
      FRows[i].Number = static_cast<int>(i) + 1;
      SetUpRow(FRows[i]);
    }
    FRun.Run(stop, FOptions.Jobs);
    // Cleared by the run: no task delivers to the outputs any more.
    FOutputs.clear();
    int converted = 0;
    for (const TBatchRow& row : FRows) converted += row.Converted ? 1 : 0;
    std::fprintf(stdout, "%d of %zu file%s converted into %s\n", converted, videoPaths.size(),
                 videoPaths.size() == 1 ? "" : "s", FOptions.OutputFolder.c_str());
    if (FRun.Stopped()) return bsStopped;
    return converted == static_cast<int>(videoPaths.size()) ? bsAllConverted : bsSomeFailed;
  }

private:
  void Report(const std::string& path, const std::string& text) { Say(path + ": " + text); }

  void Say(const std::string& text) {
    std::fprintf(FErrors, "vidorant-cli: %s\n", text.c_str());
    std::fflush(FErrors);
  }

  // The window's message with the engine's reason, which often begins with the path again.
  void ReportUnsupported(const std::string& path, std::string reason) {
    if (reason.rfind(path + ": ", 0) == 0) reason.erase(0, path.size() + 2);
    Say(UnsupportedFileText(path) + (reason.empty() ? "" : " (" + reason + ")"));
  }

  // The window's check when a file is added: a throw-away task proves that the engine can read
  // the file into the GIF output; then the probe reads its length.
  void AddVideos(const std::vector<std::string>& videoPaths) {
    for (const std::string& path : videoPaths) {
      std::error_code error;
      const auto status = std::filesystem::status(path, error);
      if (!std::filesystem::exists(status)) {
        Report(path, "no such file");
        continue;
      }
      if (std::filesystem::is_directory(status)) {
        Report(path, "is a folder, not a video file");
        continue;
      }
      const TFileTaskSetup check = SetupFileTask(FEncoder, FCheckOutput.Adapter(), path, FOptions.FrameWidth,
                                                 FOptions.FrameHeight, TClipRange{});
      FEncoder.ClearTasks();
      if (!check.Succeeded()) {
        ReportUnsupported(path, check.ErrorText);
        continue;
      }
      const TProbedFile probe = ProbeFile(FEncoder, path);
      TBatchRow row;
      row.Path = path;
      row.Duration = DurationText(probe.Duration);
      FRows.push_back(row);
    }
  }

  // The clip of the row as the window would hold it, or false when the clip misses the video.
  bool ClipOf(const TBatchRow& row, TClipRange& clip) {
    const std::string start = FOptions.StartTime.empty() ? "00:00:00" : FOptions.StartTime;
    std::string end = FOptions.EndTime.empty() ? row.Duration : FOptions.EndTime;
    const bool clipAsked = !FOptions.StartTime.empty() || !FOptions.EndTime.empty();
    if (row.Duration == NotAvailableText) {
      if (clipAsked) Report(row.Path, "its length is unknown, so it converts whole, without the clip");
      clip = TClipRange{};
      return true;
    }
    // The window's rule: a start within the duration's last whole second is still taken.
    if (TimeTextToMicroseconds(start) > TimeTextToMicroseconds(row.Duration)) {
      Report(row.Path, "the clip starts at " + start + ", after the end of the video (" + row.Duration + ")");
      return false;
    }
    // The window refuses an end past the video's length; here one end fits every video of the
    // batch, so a longer one means "to the end".
    if (TimeTextToMicroseconds(end) > TimeTextToMicroseconds(row.Duration)) end = row.Duration;
    clip = ClipOfRow(row.Duration, start, end);
    return true;
  }

  // The row's task with a GIF output of its own, added in row order; a row that cannot be set
  // up is reported and keeps no task.
  void SetUpRow(TBatchRow& row) {
    TClipRange clip;
    if (!ClipOf(row, clip)) return;
    auto output = std::make_unique<TGIFOutput>(FOptions.Threads > 0 ? FOptions.Threads : DefaultFrameThreads());
    const TFileTaskSetup task = SetupFileTask(FEncoder, output->Adapter(), row.Path, FOptions.FrameWidth,
                                              FOptions.FrameHeight, clip, output->Threads());
    if (!task.Succeeded()) {
      ReportUnsupported(row.Path, task.ErrorText);
      return;
    }
    output->SetOutputFile(FOptions.OutputFolder, row.OutputName);
    row.GIFPath = output->OutputPath();
    FTaskRows.push_back(&row);
    FOutputs.push_back(std::move(output));
  }

  void ShowStarted(TBatchRow& row) {
    if (row.Started) return;
    row.Started = true;
    FProgress.FileStarted(row.Number, static_cast<int>(FRows.size()), NameOf(row.Path), row.GIFPath);
  }

  void TaskProgress(const TProgressInfo& info) {
    if (info.TaskIndex < 0 || info.TaskIndex >= static_cast<int>(FTaskRows.size())) return;
    TBatchRow& row = *FTaskRows[info.TaskIndex];
    ShowStarted(row);
    row.Frames = info.CurrentFrame;
    FProgress.FileProgress(row.Number, info);
  }

  void TaskEnded(const TTerminateInfo& end) {
    if (end.TaskIndex < 0 || end.TaskIndex >= static_cast<int>(FTaskRows.size())) return;
    TBatchRow& row = *FTaskRows[end.TaskIndex];
    // A task that failed before closing its output leaves the frames it wrote as a GIF.
    FOutputs[end.TaskIndex]->FinishFile();
    const bool written = std::filesystem::exists(row.GIFPath);
    // A stop ends the tasks not started yet too: nothing to tell of them.
    if (FRun.Stopped() && !row.Started && !end.HadError && !written) return;
    ShowStarted(row);
    if (end.HadError) {
      FProgress.FileEnded(row.Number, "failed");
      Report(row.Path, "conversion failed: " + end.ErrorText);
    } else if (!end.Completed) {
      FProgress.FileEnded(row.Number, FRun.Stopped() ? (written ? "stopped; the GIF keeps the frames converted so far"
                                                                : "stopped before its first frame; no GIF")
                                                     : "failed");
      if (!FRun.Stopped()) Report(row.Path, "the conversion ended before the end of the video");
    } else {
      FProgress.FileEnded(row.Number, "done, " + std::to_string(row.Frames) + " frames");
      row.Converted = true;
    }
  }

  const TBatchOptions& FOptions;
  TBatchProgress& FProgress;
  FILE* FErrors;
  // The outputs outlive the encoder: no task may deliver to an adapter that has gone.
  TGIFOutput FCheckOutput;  // named by the throw-away tasks that check a file
  std::vector<std::unique_ptr<TGIFOutput>> FOutputs;  // of the encoder's tasks, by task index
  TFFEncoder FEncoder;
  TEncoderRun FRun;
  std::vector<TBatchRow> FRows;
  std::vector<TBatchRow*> FTaskRows;  // the row of each of the encoder's tasks
};

}  // namespace

std::string PrepareOutputFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return error.message();
  if (!std::filesystem::is_directory(folder, error)) return "not a folder";
  std::string probe = OutputFolderPrefix(folder) + ".vidorant-write-test-XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0) return std::strerror(errno);
  close(fd);
  unlink(probe.c_str());
  return {};
}

std::string LoadMediaLibraries() {
  TFFEncoder encoder;
  std::string error;
  if (!LoadConverterLibraries(encoder, error)) return error + " Please re-install the program and try it again.";
  return {};
}

TBatchStatus ConvertBatch(const TBatchOptions& options, const std::vector<std::string>& videoPaths,
                          TBatchProgress& progress, FILE* errors, const std::atomic<bool>& stop) {
  TCliBatch batch(options, progress, errors);
  return batch.Convert(videoPaths, stop);
}

}  // namespace vidorant

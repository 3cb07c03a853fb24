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

// A video that passed the checks of adding, with what the window's row would hold.
struct TBatchRow {
  std::string Path;
  std::string Duration;  // "hh:mm:ss" or "N/A"
  std::string OutputName;
};

std::string NameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

class TCliBatch {
public:
  TCliBatch(const TBatchOptions& options, TBatchProgress& progress, FILE* errors)
      : FOptions(options), FProgress(progress), FErrors(errors), FRun(FEncoder, progress) {}

  TBatchStatus Convert(const std::vector<std::string>& videoPaths, const std::atomic<bool>& stop) {
    AddVideos(videoPaths);
    std::vector<std::string> paths;
    for (const TBatchRow& row : FRows) paths.push_back(row.Path);
    const std::vector<std::string> names = BatchOutputNames(FOptions.OutputFolder, paths);
    int converted = 0;
    for (size_t i = 0; i < FRows.size() && !FRun.Stopped(); ++i) {
      FRows[i].OutputName = names[i];
      if (ConvertRow(FRows[i], static_cast<int>(i) + 1, stop)) ++converted;
    }
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
      const TFileTaskSetup check = SetupFileTask(FEncoder, FOutput.Adapter(), path, FOptions.FrameWidth,
                                                 FOptions.FrameHeight, TClipRange{});
      FEncoder.ClearTasks();
      if (!check.Succeeded()) {
        ReportUnsupported(path, check.ErrorText);
        continue;
      }
      const TProbedFile probe = ProbeFile(FEncoder, path);
      FRows.push_back({path, DurationText(probe.Duration), {}});
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

  bool ConvertRow(const TBatchRow& row, int number, const std::atomic<bool>& stop) {
    TClipRange clip;
    if (!ClipOf(row, clip)) return false;
    const TFileTaskSetup task =
        SetupFileTask(FEncoder, FOutput.Adapter(), row.Path, FOptions.FrameWidth, FOptions.FrameHeight, clip);
    if (!task.Succeeded()) {
      ReportUnsupported(row.Path, task.ErrorText);
      return false;
    }
    FOutput.SetOutputFile(FOptions.OutputFolder, row.OutputName);
    const std::string gifPath = FOutput.OutputPath();
    FProgress.FileStarted(number, static_cast<int>(FRows.size()), NameOf(row.Path), gifPath);
    const TTerminateInfo end = FRun.Run(stop);
    if (end.HadError) {
      FProgress.FileEnded("failed");
      Report(row.Path, "conversion failed: " + end.ErrorText);
      return false;
    }
    if (FRun.Stopped()) {
      FProgress.FileEnded(std::filesystem::exists(gifPath) ? "stopped; the GIF keeps the frames converted so far"
                                                           : "stopped before its first frame; no GIF");
      return false;
    }
    if (!end.Completed) {
      FProgress.FileEnded("failed");
      Report(row.Path, "the conversion ended before the end of the video");
      return false;
    }
    FProgress.FileEnded("done, " + std::to_string(FRun.FramesWritten()) + " frames");
    return true;
  }

  const TBatchOptions& FOptions;
  TBatchProgress& FProgress;
  FILE* FErrors;
  // The output outlives the encoder: no task may deliver to an adapter that has gone.
  TGIFOutput FOutput;
  TFFEncoder FEncoder;
  TEncoderRun FRun;
  std::vector<TBatchRow> FRows;
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

// vidorant-cli: converts videos into animated GIFs from a terminal, exactly as the Vidorant
// window converts its list (see CliBatch.h), with the window's settings as defaults.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/BatchProgress.h"
#include "cli/CliBatch.h"
#include "cli/CommandLine.h"
#include "cli/OutputSettings.h"
#include "engine/encoder/FFEncode.h"

namespace {

// Set by Ctrl+C; the batch stops the files in progress, which keep their GIFs of the frames so far.
std::atomic<bool> StopRequested{false};

void OnInterrupt(int) { StopRequested = true; }

void Fail(const std::string& text) { std::fprintf(stderr, "vidorant-cli: %s\n", text.c_str()); }

}  // namespace

int main(int argc, char** argv) {
  using namespace vidorant;
  TCommandLine line;
  try {
    line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const ECommandLineError& e) {
    Fail(std::string(e.what()) + "\nTry 'vidorant-cli --help' for more information.");
    return bsNothingPossible;
  }
  if (line.Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (line.Version) {
    std::printf("vidorant-cli %s\n", TFFEncoder().Version().c_str());
    return 0;
  }

  const TOutputSettings settings = ReadOutputSettings();
  TBatchOptions options;
  options.FrameWidth = line.FrameWidth.empty() ? settings.FrameWidth : line.FrameWidth;
  options.FrameHeight = line.FrameHeight.empty() ? settings.FrameHeight : line.FrameHeight;
  options.OutputFolder = line.OutputFolder.empty() ? settings.OutputFolder : line.OutputFolder;
  options.StartTime = line.StartTime;
  options.EndTime = line.EndTime;
  options.Threads = line.Threads;
  options.Jobs = line.Jobs;

  if (const std::string reason = PrepareOutputFolder(options.OutputFolder); !reason.empty()) {
    Fail("cannot write into the output folder \"" + options.OutputFolder + "\": " + reason);
    return bsNothingPossible;
  }
  if (const std::string reason = LoadMediaLibraries(); !reason.empty()) {
    Fail(reason);
    return bsNothingPossible;
  }
  struct sigaction interrupt = {};
  interrupt.sa_handler = OnInterrupt;
  sigaction(SIGINT, &interrupt, nullptr);
  // A reader that went away must not end the program before the GIF in progress is saved.
  std::signal(SIGPIPE, SIG_IGN);
  // The redrawn bar shows one file; files converting at once each get their own lines.
  const auto progress = MakeBatchProgress(stdout, isatty(fileno(stdout)) && options.Jobs == 1);
  return ConvertBatch(options, line.Files, *progress, stderr, StopRequested);
}

// A batch converted from the command line, step for step as the window converts its list: each
// video is checked and probed as when the window adds it (a file the engine cannot open is
// reported and left out), the GIF names are given out for the whole batch, and the videos
// convert through the same task set-up and the same GIF output as the window's, so their GIFs are
// byte for byte the window's: one after another as the window converts them, or several at once
// (each with its own task and GIF output) for batches of short files. A file that fails is
// reported and the others still convert.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/BatchProgress.h"

namespace vidorant {

struct TBatchOptions {
  std::string FrameWidth;
  std::string FrameHeight;
  std::string OutputFolder;
  std::string StartTime;  // "hh:mm:ss"; empty: from each video's start
  std::string EndTime;    // "hh:mm:ss"; empty: to each video's end
  int Threads = 0;        // pictures reduced and compressed at once per file; 0: one per core
  int Jobs = 1;           // files converted at once
};

enum TBatchStatus {
  bsAllConverted = 0,
  bsSomeFailed = 1,
  bsNothingPossible = 2,  // output folder or media libraries unusable
  bsStopped = 130,        // as a shell reports a program ended by Ctrl+C
};

// Creates the folder with its missing parents and proves that a file can be written into it;
// the reason when not, empty when it can.
std::string PrepareOutputFolder(const std::string& folder);

// Loads the media libraries as the window does (the "LibAV" folder beside the executable first,
// else the system's) and registers the GIF output's formats; the reason when they cannot load.
std::string LoadMediaLibraries();

// Converts the videos; messages about failures go to errors, prefixed with the program's name.
// When stop becomes true, the files in progress end with the frames converted so far and the
// batch ends. The libraries must be loaded and the folder prepared.
TBatchStatus ConvertBatch(const TBatchOptions& options, const std::vector<std::string>& videoPaths,
                          TBatchProgress& progress, FILE* errors, const std::atomic<bool>& stop);

}  // namespace vidorant

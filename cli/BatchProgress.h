// How a command-line batch shows its progress: a bar per file that redraws itself on a terminal,
// plain lines (one per tenth done, each naming its file's number) when the output goes to a file
// or a pipe or when several files convert at once. For each file the batch calls FileStarted,
// then FileProgress for each of the encoder's reports, then FileEnded, all on the main thread;
// with the bar, one file at a time, and messages of its own only between FileEnded and the next
// FileStarted.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "engine/encoder/EncoderRecords.h"

namespace vidorant {

class TBatchProgress {
public:
  virtual ~TBatchProgress() = default;
  // number counts from 1.
  virtual void FileStarted(int number, int count, const std::string& videoName, const std::string& gifPath) = 0;
  virtual void FileProgress(int number, const TProgressInfo& info) = 0;
  // outcome: what became of the file, e.g. "done, 41 frames".
  virtual void FileEnded(int number, const std::string& outcome) = 0;
};

// The percentage done of a report (0 to 100), or -1 when the task cannot tell its length.
int ProgressPercent(const TProgressInfo& info);

// Writes to out: the redrawn bar when terminal, plain lines otherwise.
std::unique_ptr<TBatchProgress> MakeBatchProgress(FILE* out, bool terminal);

}  // namespace vidorant

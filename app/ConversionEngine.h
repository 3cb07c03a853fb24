// What the window needs from the media engine, and nothing more: loading the media libraries,
// setting up one file's conversion task, probing a file, and running and stopping a batch. The
// window never sees the encoder component itself; one class implements this over it, and the
// window's tests drive a fake. Every row of the batch list is named by its index in each job and
// in each report, so a file that fails its set-up never shifts the rows after it.
// Threads: every operation is called on the main thread, and OnProgress and OnTerminate are
// delivered on the main thread. Ownership: the window owns its engine; the engine owns its tasks.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "convert/ClipRange.h"

namespace vidorant {

// One file's conversion into a GIF.
struct TConversionJob {
  int Row = -1;               // the batch row the file belongs to; -1 while a file is only added
  std::string FileName;       // the video's full path
  TClipRange Clip;            // NoValue fields: the whole file
  std::string FrameSize;      // "W" + "x" + "H" as typed in the window
  std::string OutputFolder;   // where the GIF goes, as the window shows it
  std::string OutputName;     // the GIF's file name without folder
};

// What the decoder tells of a file it could open.
struct TFileProbe {
  int64_t Duration = -1;  // µs; not above zero when the container does not tell
  int64_t FileSize = -1;  // bytes
};

// A running file's progress, about twice a second.
struct TConversionProgress {
  int Row = -1;
  int64_t CurrentFrame = 0;
  int64_t CurrentTime = 0;    // µs of the file converted so far
  int64_t TotalDuration = 0;  // µs to convert; not above zero when unknown
};

// The end of one file (Row >= 0), or of the whole run (Row -1, after the last file's end).
struct TConversionEnd {
  int Row = -1;
  bool Completed = false;   // the file ran to its end
  bool HadError = false;    // the file failed; ErrorText tells why
  std::string ErrorText;
};

class TConversionEngine {
public:
  virtual ~TConversionEngine() = default;

  // Loads the media libraries once per process and readies the GIF output. False with the
  // loader's message in error.
  virtual bool LoadLibraries(std::string& error) = 0;

  // Adds a task for the job, set up exactly as it will convert; false (and no task) when the
  // engine cannot open the file or cannot set up the GIF output for it.
  virtual bool AddFileTask(const TConversionJob& job) = 0;
  // Drops every task; never while a run is active.
  virtual void ClearTasks() = 0;

  // The duration and size of a file the decoder can open; nullopt when it cannot.
  virtual std::optional<TFileProbe> Probe(const std::string& fileName) = 0;

  // Runs the tasks, one at a time in the order they were added.
  virtual void StartTasks() = 0;
  // Asks every running task to stop and returns when its worker has ended; the stopped file
  // still saves the GIF of what it converted. Serves main-thread calls while it waits.
  virtual void StopTasks() = 0;

  // Assigned by the window; fired only when assigned.
  std::function<void(const TConversionProgress&)> OnProgress;
  std::function<void(const TConversionEnd&)> OnTerminate;
};

}  // namespace vidorant

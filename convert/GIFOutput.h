// The GIF side of converting files: a frame output adapter whose three events turn the task's
// 24-bit BGR pictures into a GIF file as they arrive. Each picture is reduced to 256 colours
// (ReductionMethod 8) and compressed on a pool of threads while the task goes on decoding, and
// written to the file in order as soon as it is ready; the file lives under a temporary name in
// the output folder until the task's output closes and takes its name then. Its bytes are those
// of the GIF library's save of a document holding the same frames, with any number of threads.
// A task delivers to it by the output name AdapterOutputName(Adapter()) with the format
// "rawrgb", the codec "rawvideo" and "pix_fmt" bgr24.
//
// Ownership: owns the adapter, the file in progress and its frame pipeline; each picture in
// flight carries its own copy of the packet's pixels. Memory does not grow with the clip: at
// most Threads() pictures are in flight.
// Invariants: one task at a time delivers to it; the adapter is retired before the pipeline and
// the file go, so no handler runs on them after. A file whose close never came (its task
// failed before it) is completed by FinishFile, the next file's header or the destructor,
// whichever comes first. The handlers run on the task's worker thread; an exception they raise
// (a GIF library error, a file that cannot be written) passes to the task, which ends with its
// message.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "convert/FramePipeline.h"
#include "convert/StreamedGIFFile.h"
#include "engine/runtime/FrameOutput.h"
#include "platform/TObject.h"

namespace vidorant {

class TGIFOutput {
public:
  // threads: how many pictures are reduced and compressed at once (below 1: 1).
  explicit TGIFOutput(int threads = DefaultFrameThreads());
  // Waits for a handler that runs (see TFrameOutputAdapter::Retire), then completes the file
  // in progress, if any, as FinishFile does.
  ~TGIFOutput();
  TGIFOutput(const TGIFOutput&) = delete;
  TGIFOutput& operator=(const TGIFOutput&) = delete;

  // The adapter a task names in its output name.
  TFrameOutputAdapter& Adapter() { return FOA; }
  int Threads() const { return FThreads; }

  // Where the next file goes: the folder (a separator appended when it lacks one) and the file
  // name. Set before the file's task starts; safe from any thread.
  void SetOutputFile(const std::string& folder, const std::string& fileName);
  std::string OutputPath() const;

  // Completes a file whose task ended without closing its output (a failed task): the frames
  // written so far become a complete GIF under its name, or, without a frame or after a failed
  // write, nothing is left. Errors are not raised: the task has reported its own. Call it when
  // the task has ended; it does nothing when the file was closed.
  void FinishFile();

  // The adapter's events.
  // Starts the file of OutputPath() (created at its first frame).
  void FOAWriteHeader(TObject* Sender);
  // Copies the picture and queues it for reduction, compression and writing; blocks while
  // Threads() pictures are in flight. A packet that does not hold Width x Height BGR pixels
  // raises instead of being read past its end; so does a failure of an earlier picture (a full
  // disk), and either first completes the file of the frames written so far.
  void FOAWriteFrame(TObject* Sender, POutputFrameInfo AFrameInfo);
  // Waits for the pictures in flight, then completes the file and gives it its name, replacing
  // a file of that name. A file that yielded no frame fails as the save of an empty document
  // does ("Unsupported GIF version") and leaves no file (an existing one stays as it was).
  void FOAWriteClose(TObject* Sender);

private:
  // Drains the pipeline and commits or abandons the file; raises what failed when report.
  void EndFile(bool report);

  const int FThreads;
  mutable std::mutex FOutputLock;  // the output file is set on one thread and read on the worker
  std::string FOutputFolder;
  std::string FOutputName;
  std::mutex FFileLock;  // the handlers run on the task's thread, FinishFile on another
  std::unique_ptr<TStreamedGIFFile> FFile;
  std::unique_ptr<TFramePipeline> FPipeline;  // delivers into FFile; goes first
  TFrameOutputAdapter FOA;
};

}  // namespace vidorant

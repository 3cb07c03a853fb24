// The encoder component's tasks. TFFmpeg is a transcoding task that knows its component and keeps,
// per input and output, the option record it was given, and per input a decoder bound to the
// opened file. TFFmpegList owns the tasks in the order they were added.
// Invariant: a task is freed only once no thread of its own (its run's worker, or the thread that
// ends a task that never ran) can still touch it: freeing waits for its run-done and
// terminate-done events, on the main thread serving synchronised calls meanwhile.
#pragma once

#include "engine/core/FFmpeg.h"
#include "engine/encoder/EncoderRecords.h"
#include "engine/runtime/FFDecode.h"

#include <memory>
#include <vector>

namespace vidorant {

class TCustomEncoder;

class TFFmpeg : public TCustomFFmpeg {
public:
  // maxFiles: inputs and outputs the task holds; owner: the component it reports to.
  TFFmpeg(int maxFiles, TCustomEncoder* owner);
  // Stops a run and waits until the task's threads are done with it.
  ~TFFmpeg() override;

  TCustomEncoder* Owner() const { return FOwner; }

  // Stops the task and waits until no thread of its own uses it any more.
  void StopAndWait();

  // The decoder of an opened input, made on first use and bound to the input's context; it lets
  // go of the context when the task closes its files (see ReleaseDecoders).
  TFFDecoder& InputDecoder(int index);
  // Unbinds every input decoder: the contexts they report on are about to go.
  void ReleaseDecoders();

  // The records given for each input and output index (initial values where none was given).
  TInputOptions& InputOptions(int index) { return FInputOptions.at(index); }
  TOutputOptions& OutputOptions(int index) { return FOutputOptions.at(index); }

private:
  TCustomEncoder* FOwner;
  std::vector<std::unique_ptr<TFFDecoder>> FDecoders;
  std::vector<TInputOptions> FInputOptions;
  std::vector<TOutputOptions> FOutputOptions;
};

class TFFmpegList {
public:
  TFFmpegList() = default;
  ~TFFmpegList() { Clear(); }
  TFFmpegList(const TFFmpegList&) = delete;
  TFFmpegList& operator=(const TFFmpegList&) = delete;

  // Takes the task; returns its index.
  int Add(std::unique_ptr<TFFmpeg> task);
  // Frees every task; the running ones are stopped together first, then waited for.
  void Clear();
  // Frees the task at the index (after its threads are done with it).
  void Delete(int index);
  // Raises Exception "List index out of bounds (%d)" for an index that holds no task.
  TFFmpeg& Get(int index) const;
  // -1 when the task is not in the list.
  int IndexOf(const TCustomFFmpeg* task) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  // Ends every task, with the wait flag: Stop for the tasks before firstUnstarted (running or
  // ended), Terminate for the others, which will not start any more. (A task that is ending
  // must not get Terminate: for a moment it is neither running nor terminated.)
  void StopAll(bool wait, int firstUnstarted);
  // Sets or clears the two preview flag bits (bit 0 the previewer, bit 1 the preview events) on
  // every task that has not started yet: a running task read its flags when it started.
  void SetPreviewFlags(bool previewer, bool previewEvent);

private:
  std::vector<std::unique_ptr<TFFmpeg>> FItems;
};

}  // namespace vidorant

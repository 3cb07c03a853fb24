// One run of the encoder's tasks, driven from the main thread of a program without an event
// loop: the run starts its tasks a given number at a time, and while it goes on the main thread
// serves the synchronised calls that carry the encoder's events to it (progress and
// terminations), handing them to the owner's handlers. Its handlers are attached for the
// object's life and detached when it goes.
#pragma once

#include <atomic>
#include <functional>

#include "engine/encoder/FFEncode.h"
#include "platform/Event.h"

namespace vidorant {

class TEncoderRun {
public:
  using TProgressHandler = std::function<void(const TProgressInfo& info)>;
  // Once per task, with its index; not for the end of the whole run.
  using TTaskEndHandler = std::function<void(const TTerminateInfo& info)>;

  TEncoderRun(TFFEncoder& encoder, TProgressHandler onProgress, TTaskEndHandler onTaskEnd);
  ~TEncoderRun();
  TEncoderRun(const TEncoderRun&) = delete;
  TEncoderRun& operator=(const TEncoderRun&) = delete;

  // Runs the encoder's tasks, jobs of them at once, and returns once the run has ended, its
  // tasks cleared. When stop becomes true meanwhile, the run is stopped; a stopped task still
  // closes its output, and tasks not started yet end without starting.
  void Run(const std::atomic<bool>& stop, int jobs);
  // Whether the last Run was stopped.
  bool Stopped() const { return FStopped; }

private:
  TFFEncoder& FEncoder;
  TEvent FRunEnded;
  bool FStopped = false;
};

}  // namespace vidorant

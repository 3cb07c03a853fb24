// One run of the encoder's tasks, driven from the main thread of a program without an event
// loop: the run starts one task at a time, and while it goes on the main thread serves the
// synchronised calls that carry the encoder's events to it (progress and terminations). Its
// handlers are attached for the object's life and detached when it goes.
#pragma once

#include <atomic>
#include <cstdint>

#include "cli/BatchProgress.h"
#include "engine/encoder/FFEncode.h"
#include "platform/Event.h"

namespace vidorant {

class TEncoderRun {
public:
  TEncoderRun(TFFEncoder& encoder, TBatchProgress& progress);
  ~TEncoderRun();
  TEncoderRun(const TEncoderRun&) = delete;
  TEncoderRun& operator=(const TEncoderRun&) = delete;

  // Runs the encoder's tasks and returns once the run has ended, its tasks cleared. When stop
  // becomes true meanwhile, the run is stopped; a stopped task still closes its output. Returns
  // how the first task ended.
  TTerminateInfo Run(const std::atomic<bool>& stop);
  // Whether the last Run was stopped.
  bool Stopped() const { return FStopped; }
  // Pictures the first task had written at its last report.
  int32_t FramesWritten() const { return FFrames; }

private:
  TFFEncoder& FEncoder;
  TBatchProgress& FProgress;
  TEvent FRunEnded;
  TTerminateInfo FFirstEnd;
  int32_t FFrames = 0;
  bool FStopped = false;
};

}  // namespace vidorant

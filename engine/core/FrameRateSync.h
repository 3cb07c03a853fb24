// Frame-rate conversion of one output video stream: how many output frames each decoded picture
// becomes, by duplicating and dropping pictures against the output's own timeline. Times here are
// in output frames (units of the encoder's time base): a picture's time is where it falls on that
// timeline, and the sync timestamp is the number of the next output frame to be emitted.
// Invariant: the sync timestamp grows by exactly one for every frame emitted (FrameEmitted), so
// with constant-rate sync the output never runs more than 1.1 frames ahead of the input's
// timeline nor trails it by more than 1.1 frames.
#pragma once

#include <cstdint>

#include "engine/core/OptionState.h"

namespace vidorant {

// Rounds to the nearest integer, a half-way value to the even one (2.5 gives 2, 3.5 gives 4),
// whatever the floating-point environment's rounding mode.
int64_t RoundHalfToEven(double value);

class TFrameRateSync {
public:
  // How many frames the picture at `pictureTime` (output frames) becomes. variableRateFormat:
  // the output format declares a variable frame rate (decides the automatic method).
  int FramesForPicture(double pictureTime, TVideoSyncMethod method, bool variableRateFormat);
  // One frame went out: the next one is one frame later on the output's timeline.
  void FrameEmitted() { FSyncTimestamp++; }

  int64_t SyncTimestamp() const { return FSyncTimestamp; }
  int64_t Dropped() const { return FDropped; }
  int64_t Duplicated() const { return FDuplicated; }
  // Set by a drop or a duplicate; the progress report reads and clears it.
  bool TakeChanged();

private:
  int64_t FSyncTimestamp = 0;
  int64_t FDropped = 0;
  int64_t FDuplicated = 0;
  bool FChanged = false;
};

}  // namespace vidorant

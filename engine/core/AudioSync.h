// Keeping an output's audio in step with the timestamps: how far the samples put out so far (the
// sync timestamp plus what waits in the FIFO) are from the time of the buffer now coming in, and
// what to do about it: insert silence, trim the buffer's front, ask the resampler to stretch, or,
// without a sync method, simply move the sync timestamp to the buffer's time.
//
// Invariant: a pure decision; the audio path carries it out. Sample counts of trimming and
// silence are in the buffer's own rate (the decoder's), the compensation in the encoder's.
#pragma once

#include <cstdint>

namespace vidorant {

struct TAudioSyncInput {
  int Method = 0;              // the audio sync method (async)
  double InputTime = 0;        // s: the sync input stream's time minus the start time
  int EncoderRate = 0;         // Hz
  int DecoderRate = 0;         // Hz: the rate of the incoming buffer
  int64_t SyncTimestamp = 0;   // samples put out so far (encoder rate)
  int64_t FifoSamples = 0;     // samples waiting in the FIFO (encoder rate)
  bool AtStart = false;        // the input stream has not inserted or trimmed yet
  double DriftThreshold = 0.1; // s (adrift_threshold)
};

struct TAudioSyncAction {
  enum class TKind { None, Trim, Insert, Compensate, SetTimestamp };
  TKind Kind = TKind::None;
  double Delta = 0;       // samples (encoder rate) the output is behind (+) or ahead (-)
  int64_t Samples = 0;    // Trim, Insert: input samples; Compensate: the samples to stretch by
  int64_t Timestamp = 0;  // SetTimestamp: the new sync timestamp
};

// Differences up to this many samples are left alone.
constexpr double AudioSyncTolerance = 50;

TAudioSyncAction DecideAudioSync(const TAudioSyncInput& in);

}  // namespace vidorant

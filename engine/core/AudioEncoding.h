// The encoding end of the audio path: samples in the encoder's format and channel count go into
// a FIFO and leave it as whole encoder frames (or, for encoders that take any number of samples,
// as the run that came in), each stamped with the output's sync timestamp, encoded, and every
// packet written with the stream's time base. At the end of the input what is left is sent as a
// last frame, filled up with silence unless the encoder takes a short one, and the encoder is
// drained.
//
// Invariant: the sync timestamp (samples at the encoder's rate) is the time of the first sample
// in the FIFO; it grows by exactly the samples handed to the encoder.
#pragma once

#include "engine/core/TranscodeStreams.h"
#include "engine/runtime/FFPtr.h"

#include <cstdint>
#include <functional>

struct AVPacket;

namespace vidorant {

class TAudioEncoding {
public:
  using TWrite = std::function<void(TOutputStream& stream, AVPacket& packet)>;

  // output's encoder is open and outlives this; counters may be null.
  TAudioEncoding(TOutputStream& output, TWrite write, TRunCounters* counters);

  // Appends samples (per channel, in the encoder's format and channel count) and encodes every
  // whole frame. Raises "Audio encoding failed" or "av_fifo_realloc2() failed".
  void Push(const uint8_t* const* data, int samples);
  // Sends what the FIFO holds and drains the encoder; later calls do nothing.
  void Flush();

  int64_t SyncTimestamp() const { return FSyncTimestamp; }
  void SetSyncTimestamp(int64_t samples) { FSyncTimestamp = samples; }
  int64_t FifoSamples() const;

private:
  // True for encoders that take a run of any length per frame (PCM and the like).
  bool TakesAnyLength() const;
  // Takes samples from the FIFO (data null) or from data into a new frame of frameSamples,
  // silence after the first `samples`, and encodes it.
  void EncodeFrame(const uint8_t* const* data, int samples, int frameSamples);
  // Sends the frame (null: the end) and writes every packet ready.
  void Encode(const AVFrame* frame);

  TOutputStream& FOutput;
  TWrite FWrite;
  TRunCounters* FCounters;
  TAudioFifoPtr FFifo;
  TPacketPtr FPacket;
  int64_t FSyncTimestamp = 0;
  bool FFlushed = false;
};

}  // namespace vidorant

// Sample conversion of the audio path, one libswresample context each: decoded audio to packed
// signed 16-bit (the form the hook, the volume step and the sync arithmetic work on), and packed
// 16-bit to what an encoder takes, with a rate or channel change (a resampler) or with the sample
// format only (a reformatter). One class serves all three; only the filter options differ.
//
// Invariant: the output planes hold the samples of the last Convert until the next one; a
// converter keeps the formats it was made for and is replaced, never reconfigured, when they
// change.
#pragma once

#include "engine/runtime/FFPtr.h"

#include <cstdint>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace vidorant {

// The form of a run of samples: sample format, channel count and rate (Hz).
struct TAudioFormat {
  AVSampleFormat Format = AV_SAMPLE_FMT_NONE;
  int Channels = 0;
  int Rate = 0;
  bool operator==(const TAudioFormat&) const = default;
};

class TAudioResampler {
public:
  // A converter from `in` to `out`. With resampleFilter the resampler's filter is set to a length
  // of 16 taps, 10 phase bits, no linear interpolation and a cutoff of 0.8. Null when the library
  // refuses the pair (the caller owns the message).
  static std::unique_ptr<TAudioResampler> Create(const TAudioFormat& in, const TAudioFormat& out,
                                                 bool resampleFilter);

  // Converts inSamples samples per channel (planes as the input format lays them out; null with 0
  // drains what the converter holds back). Returns the samples per channel now in Output(), or a
  // negative library error.
  int Convert(const uint8_t* const* in, int inSamples);
  // The planes of the last conversion (one plane for a packed output format).
  const uint8_t* const* Output() const { return FPlanePointers.data(); }

  // Spreads delta samples more (or fewer) over the next distance output samples: the drift
  // compensation. False when the library refuses.
  bool Compensate(int delta, int distance);

  const TAudioFormat& In() const { return FIn; }
  const TAudioFormat& Out() const { return FOut; }

private:
  TAudioResampler(TSwrContextPtr swr, const TAudioFormat& in, const TAudioFormat& out);
  void Reserve(int samples);

  TSwrContextPtr FSwr;
  TAudioFormat FIn, FOut;
  std::vector<std::vector<uint8_t>> FPlanes;  // grown on demand, never shrunk
  std::vector<uint8_t*> FPlanePointers;
  int FCapacity = 0;  // samples per channel the planes hold
};

// Bytes one sample of one channel takes in the format (2 for signed 16-bit).
int BytesPerSample(AVSampleFormat format);

}  // namespace vidorant

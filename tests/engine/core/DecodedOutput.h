// Reading back what a task wrote with the libraries directly (not through the engine): a file
// opened and probed, one of its streams with its decoder open, its audio decoded whole; and the
// measures the audio tests judge it by: a tone's strength at one frequency, the largest step
// between neighbouring samples, and the loudness of short windows.
#pragma once

#include "tools/testvideo/LinkedFFPtr.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vidorant::testing {

// The file opened and its streams probed; null, with a test failure, when it cannot be opened.
InputPtr OpenMediaFile(const std::string& path);

// The file's best stream of the kind with its decoder open; Decoder null, with a test failure,
// when the file has no such stream or it cannot be decoded.
struct TStreamDecoder {
  InputPtr Input;
  const AVStream* Stream = nullptr;
  CodecContextPtr Decoder;
};
TStreamDecoder OpenStreamDecoder(const std::string& path, AVMediaType type);

struct TDecodedAudio {
  std::string Codec;  // codec name
  int Channels = 0, Rate = 0;
  int FrameSize = 0;         // samples per encoded frame the container declares; 0 when it varies
  int64_t FirstPts = 0;      // µs: the first decoded frame's time
  std::vector<float> Left;   // the first channel, full scale 1.0, in order
  // µs: where the decoded samples end.
  int64_t End() const { return FirstPts + static_cast<int64_t>(Left.size()) * 1000000 / (Rate > 0 ? Rate : 1); }
};

// Decodes the file's first audio stream; a file without one fails the calling test.
TDecodedAudio ReadAudio(const std::string& path);

// Goertzel power of the frequency over samples [from, to).
double TonePower(const std::vector<float>& samples, size_t from, size_t to, double hz, int rate);
// The largest |x[n+1] - x[n]| over [from, to).
double LargestStep(const std::vector<float>& samples, size_t from, size_t to);
// The smallest root-mean-square level of consecutive windows of `window` samples over [from, to).
double QuietestWindow(const std::vector<float>& samples, size_t from, size_t to, size_t window);

}  // namespace vidorant::testing

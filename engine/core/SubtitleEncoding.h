// Subtitle encoding: a subtitle decoded from an input stream is encoded again for each output
// subtitle stream that it feeds and written as one packet (two for DVB subtitles, whose second,
// empty one clears the screen), with its display time moved into the packet's timestamps.
//
// Invariant: the decoded subtitle is never changed; the encoder gets a copy whose start display
// time is folded into its presentation time.
#pragma once

#include "engine/core/TranscodeStreams.h"

#include <cstdint>
#include <functional>
#include <vector>

struct AVCodecContext;
struct AVPacket;
struct AVSubtitle;

namespace vidorant {

class TSubtitleEncoding {
public:
  using TWrite = std::function<void(TOutputStream& stream, AVPacket& packet)>;

  // counters may be null.
  TSubtitleEncoding(TWrite write, TRunCounters* counters);

  // Encodes one decoded subtitle for the output (its encoder open). startTime: µs taken off
  // every time, as for the other streams. Raises "Subtitle packets must have a pts" when the
  // subtitle has no time and "Subtitle encoding failed" when the encoder refuses it.
  void Output(TOutputStream& output, const AVSubtitle& subtitle, int64_t startTime);

private:
  TWrite FWrite;
  TRunCounters* FCounters;
  std::vector<uint8_t> FBuffer;  // the encoded subtitle; empty until the first
};

// Gives the encoder the decoder's subtitle header (the styles of text subtitles), which text
// encoders need before they open. Raises FFmpegException when memory runs out.
void CopySubtitleHeader(AVCodecContext& encoder, const AVCodecContext& decoder);

}  // namespace vidorant

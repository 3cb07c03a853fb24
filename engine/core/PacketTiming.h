// The timestamps of a packet as the transcode loop takes it from an input: moved by the input
// file's offset, scaled by the stream's `itsscale`, mended across a discontinuity of formats
// whose timestamps may jump (MPEG transport streams), and checked against the clip end.
// Invariant: a timestamp the packet does not carry (AV_NOPTS_VALUE) stays absent; every other
// adjustment is made in the stream's own time base, and the file's offset (µs) absorbs each
// discontinuity so that the following packets of every stream of the file move with it.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

#include "engine/runtime/FFTypes.h"

namespace vidorant {

struct TPacketTimes {
  int64_t Pts = 0;  // stream time base; AV_NOPTS_VALUE when absent
  int64_t Dts = 0;  // stream time base; AV_NOPTS_VALUE when absent
};

// What the stream and its file know when a packet arrives.
struct TPacketTimingState {
  AVRational TimeBase{1, 1};
  int64_t* FileOffset = nullptr;   // µs, the file's timestamp offset; changed by a discontinuity
  double Scale = 0;                // `itsscale`; 0 when none
  bool MayJump = false;            // the format declares discontinuous timestamps
  int64_t NextExpected = NoValue;  // µs, the stream's next expected timestamp; NoValue none yet
  int64_t Current = 0;             // µs, the stream's current timestamp
  double JumpThreshold = 10;       // seconds (`dts_delta_threshold`)
  bool CopyTs = false;
};

// Adjusts the packet's times in place. Returns the discontinuity (µs) taken out of them and of
// the file's offset, 0 when there was none.
int64_t AdjustPacketTimes(TPacketTimes& times, TPacketTimingState& state);

// True when the packet lies at or after the clip end (start + recording time, µs); a packet with
// no time at all never does. recordingTime: INT64_MAX for no clip end.
bool PastClipEnd(const TPacketTimes& times, AVRational timeBase, int64_t startTime, int64_t recordingTime);

}  // namespace vidorant

#include "engine/core/PacketTiming.h"

#include <cmath>
#include <limits>

extern "C" {
#include <libavutil/avutil.h>
}

#include "engine/runtime/AVUtilStubs.h"

namespace vidorant {
namespace {

constexpr AVRational Microseconds{1, AV_TIME_BASE};

bool Present(int64_t timestamp) { return timestamp != AV_NOPTS_VALUE; }

int64_t Scaled(int64_t timestamp, double scale) {
  return static_cast<int64_t>(std::llround(static_cast<double>(timestamp) * scale));
}

}  // namespace

int64_t AdjustPacketTimes(TPacketTimes& times, TPacketTimingState& state) {
  const int64_t offset = ff::av_rescale_q(*state.FileOffset, Microseconds, state.TimeBase);
  if (Present(times.Dts)) times.Dts += offset;
  if (Present(times.Pts)) times.Pts += offset;
  if (state.Scale != 0) {
    if (Present(times.Dts)) times.Dts = Scaled(times.Dts, state.Scale);
    if (Present(times.Pts)) times.Pts = Scaled(times.Pts, state.Scale);
  }
  if (!Present(times.Dts) || state.NextExpected == NoValue || !state.MayJump || state.CopyTs) return 0;
  const int64_t dts = ff::av_rescale_q(times.Dts, state.TimeBase, Microseconds);
  const int64_t delta = dts - state.NextExpected;
  const bool jumped = std::fabs(static_cast<double>(delta)) > state.JumpThreshold * AV_TIME_BASE ||
                      dts + 1 < state.Current;
  if (!jumped) return 0;
  *state.FileOffset -= delta;
  const int64_t shift = ff::av_rescale_q(delta, Microseconds, state.TimeBase);
  times.Dts -= shift;
  if (Present(times.Pts)) times.Pts -= shift;
  return delta;
}

bool PastClipEnd(const TPacketTimes& times, AVRational timeBase, int64_t startTime, int64_t recordingTime) {
  if (recordingTime == std::numeric_limits<int64_t>::max()) return false;
  const int64_t timestamp = Present(times.Pts) ? times.Pts : times.Dts;
  if (!Present(timestamp)) return false;
  return ff::av_compare_ts(timestamp, timeBase, startTime + recordingTime, Microseconds) >= 0;
}

}  // namespace vidorant

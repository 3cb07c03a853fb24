#include "engine/core/FrameRateSync.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vidorant {
namespace {

// A picture this far (in output frames) behind the timeline is dropped whatever the method; this
// far ahead, constant-rate sync fills the gap with duplicates.
constexpr double MaxDrift = 1.1;
// Variable-rate sync drops a picture this far behind, and jumps the timeline this far ahead.
constexpr double VariableRateDrift = 0.6;

}  // namespace

int64_t RoundHalfToEven(double value) {
  // Times from a damaged file can be anything: saturate rather than overflow.
  constexpr double Limit = 9.0e18;
  if (std::isnan(value)) return 0;
  if (value >= Limit) return static_cast<int64_t>(Limit);
  if (value <= -Limit) return -static_cast<int64_t>(Limit);
  const double below = std::floor(value);
  const double fraction = value - below;
  const auto lower = static_cast<int64_t>(below);
  if (fraction < 0.5) return lower;
  if (fraction > 0.5) return lower + 1;
  return lower % 2 == 0 ? lower : lower + 1;
}

int TFrameRateSync::FramesForPicture(double pictureTime, TVideoSyncMethod method, bool variableRateFormat) {
  int count = 1;
  if (method == TVideoSyncMethod::Passthrough) {
    FSyncTimestamp = RoundHalfToEven(pictureTime);
  } else {
    const double delta = pictureTime - static_cast<double>(FSyncTimestamp);
    // The option takes any number: negative ones choose by the format, like Auto.
    const bool variableRate = method == TVideoSyncMethod::VariableRate ||
                              (static_cast<int32_t>(method) < 0 && variableRateFormat);
    if (delta < -MaxDrift) {
      count = 0;
    } else if (variableRate) {
      if (delta <= -VariableRateDrift)
        count = 0;
      else if (delta > VariableRateDrift)
        FSyncTimestamp = RoundHalfToEven(pictureTime);
    } else if (delta > MaxDrift) {
      count = static_cast<int>(std::min<int64_t>(RoundHalfToEven(delta), INT32_MAX));
    }
  }
  if (count == 0) {
    FDropped++;
    FChanged = true;
  } else if (count > 1) {
    FDuplicated += count - 1;
    FChanged = true;
  }
  return count;
}

bool TFrameRateSync::TakeChanged() {
  const bool changed = FChanged;
  FChanged = false;
  return changed;
}

}  // namespace vidorant

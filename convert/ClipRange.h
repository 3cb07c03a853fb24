// Which stretch of a file a conversion reads, from the row's texts. A row is converted whole
// unless its duration is known and its clip differs from "the whole file" (start "00:00:00" and
// end equal to the duration text).
#pragma once

#include <cstdint>
#include <string>

#include "engine/runtime/FFTypes.h"

namespace vidorant {

struct TClipRange {
  int64_t StartTime = NoValue;      // µs where reading starts (the task's "ss"); NoValue: from the start
  int64_t RecordingTime = NoValue;  // µs to convert (the task's "t"); NoValue: to the end
  bool operator==(const TClipRange&) const = default;
};

bool ClipApplies(const std::string& duration, const std::string& startTime, const std::string& endTime);

// NoValue in both fields when no clip applies; otherwise the start and end minus start, which
// is 0 for an end equal to the start (and negative for an end before it, which the caller
// refuses before a batch starts). A time text that does not read raises EConvertError.
TClipRange ClipOfRow(const std::string& duration, const std::string& startTime, const std::string& endTime);

}  // namespace vidorant

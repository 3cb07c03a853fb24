#include "convert/ClipRange.h"

#include "convert/RowTexts.h"

namespace vidorant {

bool ClipApplies(const std::string& duration, const std::string& startTime, const std::string& endTime) {
  return duration != NotAvailableText && !(startTime == "00:00:00" && endTime == duration);
}

TClipRange ClipOfRow(const std::string& duration, const std::string& startTime, const std::string& endTime) {
  if (!ClipApplies(duration, startTime, endTime)) return {};
  const int64_t start = TimeTextToMicroseconds(startTime);
  return {start, TimeTextToMicroseconds(endTime) - start};
}

}  // namespace vidorant

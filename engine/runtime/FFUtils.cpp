// The utilities of FFUtils.h that need no library call: time text, media type names, timestamp
// correction and the option store's last-error text.
#include "engine/runtime/FFUtils.h"

#include <cstdint>

#include "platform/Format.h"

namespace vidorant {

namespace {

constexpr int64_t NoTimestamp = INT64_MIN;

thread_local std::string LastError;

}  // namespace

std::string TimeToText(int64_t microseconds) {
  if (microseconds == NoTimestamp) return "N/A";
  // Truncating division would print a negative time as "00:00:-1.-500"; keep the sign in front.
  if (microseconds < 0) return "-" + TimeToText(-microseconds);
  const int64_t seconds = microseconds / 1000000;
  // Hours do not wrap and may exceed an int for absurd stamps.
  return Format("%.2lld:%.2d:%.2d.%.3d", static_cast<long long>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60),
                static_cast<int>(microseconds % 1000000 * 1000 / 1000000));
}

std::string MediaTypeName(int mediaType) {
  switch (mediaType) {
    case 0: return "Video";
    case 1: return "Audio";
    case 2: return "Data";
    case 3: return "Subtitle";
    case 4: return "Attachment";
    default: return "Unknown";
  }
}

void InitPtsCorrection(TPtsCorrection& correction) {
  correction.NumFaultyPts = 0;
  correction.NumFaultyDts = 0;
  correction.LastPts = INT64_MIN;
  correction.LastDts = INT64_MIN;
}

int64_t GuessCorrectPts(TPtsCorrection& correction, int64_t reorderedPts, int64_t dts) {
  if (dts != NoTimestamp) {
    if (dts <= correction.LastDts) ++correction.NumFaultyDts;
    correction.LastDts = dts;
  }
  if (reorderedPts != NoTimestamp) {
    if (reorderedPts <= correction.LastPts) ++correction.NumFaultyPts;
    correction.LastPts = reorderedPts;
  }
  if (correction.NumFaultyDts < correction.NumFaultyPts && dts != NoTimestamp) return dts;
  if (reorderedPts != NoTimestamp) return reorderedPts;
  return dts;
}

const std::string& LastUtilsError() { return LastError; }

void SetLastUtilsError(const std::string& text) { LastError = text; }

}  // namespace vidorant

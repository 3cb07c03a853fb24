#include "convert/RowTexts.h"

#include "engine/runtime/FFTypes.h"
#include "platform/Exception.h"
#include "platform/Format.h"

namespace vidorant {

namespace {

// Nine digits of hours still fit 64-bit microseconds; more is no time a video has.
constexpr size_t MaxHourDigits = 9;

bool IsDigits(const std::string& text, size_t first, size_t count) {
  for (size_t i = first; i < first + count; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

int64_t Number(const std::string& text, size_t first, size_t count) {
  int64_t value = 0;
  for (size_t i = first; i < first + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

}  // namespace

std::string DurationText(int64_t microseconds) {
  if (microseconds <= 0) return NotAvailableText;
  const int64_t total = microseconds / TimeBase;
  const int64_t hours = total / 3600;
  const int64_t minutes = (total - hours * 3600) / 60;
  const int64_t seconds = total - hours * 3600 - minutes * 60;
  return Format("%02lld:%02lld:%02lld", static_cast<long long>(hours), static_cast<long long>(minutes),
                static_cast<long long>(seconds));
}

int64_t TimeTextToMicroseconds(const std::string& text) {
  // The hours are everything before ":mm:ss", so a duration of 100 hours or more reads back too.
  const size_t hourDigits = text.size() >= 6 ? text.size() - 6 : 0;
  const bool wellFormed = hourDigits >= 2 && hourDigits <= MaxHourDigits && text[hourDigits] == ':' &&
                          text[hourDigits + 3] == ':' && IsDigits(text, 0, hourDigits) &&
                          IsDigits(text, hourDigits + 1, 2) && IsDigits(text, hourDigits + 4, 2);
  if (!wellFormed) throw EConvertError(Format("'%s' is not a valid time (hh:mm:ss)", text.c_str()));
  const int64_t hours = Number(text, 0, hourDigits);
  const int64_t minutes = Number(text, hourDigits + 1, 2);
  const int64_t seconds = Number(text, hourDigits + 4, 2);
  return (hours * 3600 + minutes * 60 + seconds) * TimeBase;
}

std::string FileSizeText(int64_t bytes) { return Format("%.1f MB", static_cast<double>(bytes) / 1048576.0); }

}  // namespace vidorant

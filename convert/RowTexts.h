// The texts a batch row shows and reads: durations and clip times as "hh:mm:ss", file sizes in
// megabytes, and "N/A" for a length nobody could tell. A clip time typed by the user and a
// duration shown in the list are the same form, so every duration text reads back as its
// whole seconds.
#pragma once

#include <cstdint>
#include <string>

namespace vidorant {

// Stands where a file's duration is unknown (its "Duration" and "EndTime" columns).
inline constexpr const char* NotAvailableText = "N/A";

// Whole seconds of microseconds (the rest dropped) as hours, minutes and seconds, each with a
// leading "0" below 10 and joined by ":"; hours of 100 or more take every digit they need.
// A duration that is not above zero is NotAvailableText.
std::string DurationText(int64_t microseconds);

// Reads "hh:mm:ss" (hours of two or more digits, minutes and seconds of two) as
// (hours * 3600 + minutes * 60 + seconds) * 1000000. Any other text raises EConvertError
// naming it.
int64_t TimeTextToMicroseconds(const std::string& text);

// Bytes as megabytes of 1048576 bytes, with one decimal: "1.5 MB".
std::string FileSizeText(int64_t bytes);

}  // namespace vidorant

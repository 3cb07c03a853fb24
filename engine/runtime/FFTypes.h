// Types shared by the whole engine. Times are signed 64-bit microseconds (time base 1/1000000).
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/avutil.h>
}

namespace vidorant {

// "Not set": the smallest signed 64-bit number, which is also the libraries' marker for a
// missing time (AV_NOPTS_VALUE), so values pass between the two unchanged.
constexpr int64_t NoValue = INT64_MIN;
static_assert(NoValue == static_cast<int64_t>(AV_NOPTS_VALUE));

// The engine's time base: microseconds.
constexpr int64_t TimeBase = 1000000;

}  // namespace vidorant

// The sum-ordered band scan; see the header for why it is exact.
#include "gif/NearestPaletteSearch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// The scan runs on whatever vector width the processor has; the answer is the same on each.
// Not under ThreadSanitizer: the clone's resolver runs while the program is being loaded, before
// the sanitizer's runtime is ready for the instrumented code it calls.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define VIDORANT_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VIDORANT_VECTOR_CLONES
#endif

namespace vidorant {

namespace {

// The least (distance << 8 | index) over positions [begin, end).
VIDORANT_VECTOR_CLONES
uint32_t ScanBand(const int32_t* red, const int32_t* green, const int32_t* blue, const uint32_t* index, int begin,
                  int end, int r, int g, int b) {
  uint32_t best = UINT32_MAX;
  for (int i = begin; i < end; ++i) {
    const int dr = red[i] - r, dg = green[i] - g, db = blue[i] - b;
    best = std::min(best, static_cast<uint32_t>(dr * dr + dg * dg + db * db) << 8 | index[i]);
  }
  return best;
}

// The largest root with root * root <= value.
int IntegerSqrt(int64_t value) {
  auto root = static_cast<int64_t>(std::sqrt(static_cast<double>(value)));
  while (root * root > value) --root;
  while ((root + 1) * (root + 1) <= value) ++root;
  return static_cast<int>(root);
}

}  // namespace

TNearestPaletteSearch::TNearestPaletteSearch()
    : Memo_(size_t{1} << MemoBits, 0) {}

void TNearestPaletteSearch::SetPalette(const std::vector<TPaletteEntry>& entries) {
  Count_ = static_cast<int>(std::min<size_t>(entries.size(), Index_.size()));
  std::array<uint8_t, 256> order;
  for (int i = 0; i < Count_; ++i) order[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  const auto sumOf = [&](int i) {
    const TPaletteEntry& e = entries[static_cast<size_t>(i)];
    return e.Red + e.Green + e.Blue;
  };
  // Stable, so that equal sums keep index order.
  std::stable_sort(order.begin(), order.begin() + Count_, [&](uint8_t a, uint8_t b) { return sumOf(a) < sumOf(b); });
  for (int position = 0; position < Count_; ++position) {
    const int i = order[static_cast<size_t>(position)];
    const TPaletteEntry& e = entries[static_cast<size_t>(i)];
    const auto p = static_cast<size_t>(position);
    Red_[p] = e.Red;
    Green_[p] = e.Green;
    Blue_[p] = e.Blue;
    Index_[p] = static_cast<uint32_t>(i);
    PositionOf_[static_cast<size_t>(i)] = static_cast<uint8_t>(position);
  }
  int position = 0;
  for (int sum = 0; sum <= MaxSum + 1; ++sum) {
    while (position < Count_ && sumOf(order[static_cast<size_t>(position)]) < sum) ++position;
    FirstWithSum_[static_cast<size_t>(sum)] = static_cast<uint16_t>(position);
  }
  std::memset(Memo_.data(), 0, Memo_.size() * sizeof(uint32_t));
  LastPosition_ = 0;
}

uint32_t TNearestPaletteSearch::KeyAt(int position, int red, int green, int blue) const {
  const auto p = static_cast<size_t>(position);
  const int dr = Red_[p] - red, dg = Green_[p] - green, db = Blue_[p] - blue;
  return static_cast<uint32_t>(dr * dr + dg * dg + db * db) << 8 | Index_[p];
}

uint8_t TNearestPaletteSearch::Search(int red, int green, int blue) {
  // The guess: neighbouring pixels mostly share their nearest entry, and otherwise an entry of
  // nearly the same sum is often close.
  const int sum = red + green + blue;
  const int first = FirstWithSum_[static_cast<size_t>(sum)];
  uint32_t guess = KeyAt(LastPosition_, red, green, blue);
  if (first < Count_) guess = std::min(guess, KeyAt(first, red, green, blue));
  if (first > 0) guess = std::min(guess, KeyAt(first - 1, red, green, blue));
  const int reach = IntegerSqrt(3 * static_cast<int64_t>(guess >> 8));
  const int begin = FirstWithSum_[static_cast<size_t>(std::max(0, sum - reach))];
  const int end = FirstWithSum_[static_cast<size_t>(std::min(MaxSum + 1, sum + reach + 1))];
  const uint32_t best = ScanBand(Red_.data(), Green_.data(), Blue_.data(), Index_.data(), begin, end, red, green, blue);
  const auto index = static_cast<uint8_t>(best & 0xFF);
  LastPosition_ = PositionOf_[index];
  return index;
}

}  // namespace vidorant

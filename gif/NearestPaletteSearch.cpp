// The sum-ordered nearest-entry walk; see the header for why it is exact.
#include "gif/NearestPaletteSearch.h"

#include <algorithm>
#include <cstring>

namespace vidorant {

TNearestPaletteSearch::TNearestPaletteSearch()
    : Memo_(size_t{1} << MemoBits, 0) {}

void TNearestPaletteSearch::SetPalette(const std::vector<TPaletteEntry>& entries) {
  Count_ = static_cast<int>(std::min<size_t>(entries.size(), Sorted_.size()));
  for (int i = 0; i < Count_; ++i) {
    const TPaletteEntry& e = entries[static_cast<size_t>(i)];
    Sorted_[static_cast<size_t>(i)] = {e.Red, e.Green, e.Blue, e.Red + e.Green + e.Blue, i};
  }
  std::sort(Sorted_.begin(), Sorted_.begin() + Count_, [](const TSortedEntry& a, const TSortedEntry& b) {
    return a.Sum != b.Sum ? a.Sum < b.Sum : a.Index < b.Index;
  });
  int position = 0;
  for (int sum = 0; sum <= MaxSum + 1; ++sum) {
    while (position < Count_ && Sorted_[static_cast<size_t>(position)].Sum < sum) ++position;
    FirstWithSum_[static_cast<size_t>(sum)] = static_cast<uint16_t>(position);
  }
  std::memset(Memo_.data(), 0, Memo_.size() * sizeof(uint32_t));
  LastPosition_ = 0;
}

uint8_t TNearestPaletteSearch::Search(int red, int green, int blue) {
  const auto distance = [&](const TSortedEntry& e) {
    const int dr = e.Red - red, dg = e.Green - green, db = e.Blue - blue;
    return dr * dr + dg * dg + db * db;
  };
  // Neighbouring pixels mostly share their nearest entry: starting from the last answer's
  // distance, the walk visits little more than the entries that could still win.
  int best = distance(Sorted_[static_cast<size_t>(LastPosition_)]);
  int bestPosition = LastPosition_;
  int64_t reach = 3 * static_cast<int64_t>(best);  // bound for the squared sum gap
  const auto consider = [&](int position) {
    const TSortedEntry& e = Sorted_[static_cast<size_t>(position)];
    const int d = distance(e);
    if (d < best || (d == best && e.Index < Sorted_[static_cast<size_t>(bestPosition)].Index)) {
      best = d;
      bestPosition = position;
      reach = 3 * static_cast<int64_t>(d);
    }
  };
  const int sum = red + green + blue;
  const int first = FirstWithSum_[static_cast<size_t>(sum)];
  for (int up = first; up < Count_; ++up) {
    const int64_t gap = Sorted_[static_cast<size_t>(up)].Sum - sum;
    if (gap * gap > reach) break;
    consider(up);
  }
  for (int down = first - 1; down >= 0; --down) {
    const int64_t gap = sum - Sorted_[static_cast<size_t>(down)].Sum;
    if (gap * gap > reach) break;
    consider(down);
  }
  LastPosition_ = bestPosition;
  return static_cast<uint8_t>(Sorted_[static_cast<size_t>(bestPosition)].Index);
}

}  // namespace vidorant

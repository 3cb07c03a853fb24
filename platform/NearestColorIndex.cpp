// Exact nearest-colour search by candidate cells; see the header for why it is exact.
#include "platform/NearestColorIndex.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace vidorant {

namespace {

constexpr uint32_t NotBuilt = std::numeric_limits<uint32_t>::max();

// Smallest and largest distance along one axis from value v to the interval [lo, hi].
inline int AxisMin(int v, int lo, int hi) { return v < lo ? lo - v : (v > hi ? v - hi : 0); }
inline int AxisMax(int v, int lo, int hi) { return std::max(std::abs(v - lo), std::abs(hi - v)); }

}  // namespace

TNearestColorIndex::TNearestColorIndex(const std::vector<TPaletteEntry>& entries)
    : CellStart_(CellsPerAxis * CellsPerAxis * CellsPerAxis, NotBuilt),
      CellCount_(CellsPerAxis * CellsPerAxis * CellsPerAxis, 0),
      MemoKey_(size_t{1} << MemoBits, 0),
      MemoIndex_(size_t{1} << MemoBits, 0) {
  for (const TPaletteEntry& e : entries) {
    Red_.push_back(e.Red);
    Green_.push_back(e.Green);
    Blue_.push_back(e.Blue);
  }
}

void TNearestColorIndex::BuildCell(int cell, int cellRed, int cellGreen, int cellBlue) {
  const int size = 1 << CellShift;
  const int rLo = cellRed << CellShift, gLo = cellGreen << CellShift, bLo = cellBlue << CellShift;
  const int rHi = rLo + size - 1, gHi = gLo + size - 1, bHi = bLo + size - 1;
  const size_t n = Red_.size();
  int bound = std::numeric_limits<int>::max();
  for (size_t i = 0; i < n; ++i) {
    const int dr = AxisMax(Red_[i], rLo, rHi), dg = AxisMax(Green_[i], gLo, gHi), db = AxisMax(Blue_[i], bLo, bHi);
    bound = std::min(bound, dr * dr + dg * dg + db * db);
  }
  const size_t start = Candidates_.size();
  CellStart_[static_cast<size_t>(cell)] = static_cast<uint32_t>(start);
  for (size_t i = 0; i < n; ++i) {
    const int dr = AxisMin(Red_[i], rLo, rHi), dg = AxisMin(Green_[i], gLo, gHi), db = AxisMin(Blue_[i], bLo, bHi);
    const int lower = dr * dr + dg * dg + db * db;
    if (lower <= bound)
      Candidates_.push_back({static_cast<uint8_t>(Red_[i]), static_cast<uint8_t>(Green_[i]), static_cast<uint8_t>(Blue_[i]),
                             static_cast<uint8_t>(i), lower});
  }
  std::stable_sort(Candidates_.begin() + static_cast<std::ptrdiff_t>(start), Candidates_.end(),
                   [](const TCandidate& a, const TCandidate& b) { return a.Bound < b.Bound; });
  CellCount_[static_cast<size_t>(cell)] = static_cast<uint16_t>(Candidates_.size() - start);
}

int TNearestColorIndex::Find(uint8_t red, uint8_t green, uint8_t blue) {
  const uint32_t key = RGB(red, green, blue) | (1u << 24);
  const uint32_t slot = (key * 2654435761u) >> (32 - MemoBits);
  if (MemoKey_[slot] == key) return MemoIndex_[slot];

  const int cr = red >> CellShift, cg = green >> CellShift, cb = blue >> CellShift;
  const int cell = (cr * CellsPerAxis + cg) * CellsPerAxis + cb;
  if (CellStart_[static_cast<size_t>(cell)] == NotBuilt) BuildCell(cell, cr, cg, cb);
  const TCandidate* candidate = Candidates_.data() + CellStart_[static_cast<size_t>(cell)];
  const TCandidate* end = candidate + CellCount_[static_cast<size_t>(cell)];
  int best = candidate->Index;
  int bestDistance = std::numeric_limits<int>::max();
  for (; candidate != end && candidate->Bound <= bestDistance; ++candidate) {
    const int dr = candidate->Red - red, dg = candidate->Green - green, db = candidate->Blue - blue;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance || (d == bestDistance && candidate->Index < best)) {
      bestDistance = d;
      best = candidate->Index;
    }
  }
  MemoKey_[slot] = key;
  MemoIndex_[slot] = static_cast<uint8_t>(best);
  return best;
}

}  // namespace vidorant

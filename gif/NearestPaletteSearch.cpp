// The cell-candidate search; see the header for why it is exact.
#include "gif/NearestPaletteSearch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// The scans run on whatever vector width the processor has; the answer is the same on each.
// Not under ThreadSanitizer: the clone's resolver runs while the program is being loaded, before
// the sanitizer's runtime is ready for the instrumented code it calls.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define VIDORANT_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VIDORANT_VECTOR_CLONES
#endif

namespace vidorant {

namespace {

constexpr int CellWidth = 16;

// Squared distance along one component from value to the nearest and the farthest colour of
// [low, low + CellWidth - 1].
int NearGap(int value, int low) {
  const int gap = std::max({low - value, 0, value - (low + CellWidth - 1)});
  return gap * gap;
}
int FarGap(int value, int low) {
  const int gap = std::max(std::abs(value - low), std::abs(value - (low + CellWidth - 1)));
  return gap * gap;
}

// For the cell at (r, g, b): each entry's squared distance to the nearest colour of the cell,
// into near, and the least over the entries of the squared distance to the farthest corner.
VIDORANT_VECTOR_CLONES
int CellGaps(const int32_t* red, const int32_t* green, const int32_t* blue, int count, int r, int g, int b, int32_t* near) {
  int least = INT32_MAX;
  for (int i = 0; i < count; ++i) {
    near[i] = NearGap(red[i], r) + NearGap(green[i], g) + NearGap(blue[i], b);
    least = std::min(least, FarGap(red[i], r) + FarGap(green[i], g) + FarGap(blue[i], b));
  }
  return least;
}

// The least (distance << 8 | index) over candidates [begin, end).
VIDORANT_VECTOR_CLONES
uint32_t ScanCandidates(const int32_t* red, const int32_t* green, const int32_t* blue, const uint32_t* index, size_t begin,
                        size_t end, int r, int g, int b) {
  uint32_t best = UINT32_MAX;
  for (size_t i = begin; i < end; ++i) {
    const int dr = red[i] - r, dg = green[i] - g, db = blue[i] - b;
    best = std::min(best, static_cast<uint32_t>(dr * dr + dg * dg + db * db) << 8 | index[i]);
  }
  return best;
}

}  // namespace

TNearestPaletteSearch::TNearestPaletteSearch()
    : CellFirst_(CellCount), CellSize_(CellCount), CellStamp_(CellCount, 0), Memo_(size_t{1} << MemoBits, 0) {}

void TNearestPaletteSearch::SetPalette(const std::vector<TPaletteEntry>& entries) {
  Count_ = static_cast<int>(std::min<size_t>(entries.size(), Red_.size()));
  for (size_t i = 0; i < static_cast<size_t>(Count_); ++i) {
    Red_[i] = entries[i].Red;
    Green_[i] = entries[i].Green;
    Blue_[i] = entries[i].Blue;
  }
  CandidateRed_.clear();
  CandidateGreen_.clear();
  CandidateBlue_.clear();
  CandidateIndex_.clear();
  if (++Generation_ == 0) {  // the stamps went round: no stamp may look current
    std::fill(CellStamp_.begin(), CellStamp_.end(), 0);
    Generation_ = 1;
  }
  std::memset(Memo_.data(), 0, Memo_.size() * sizeof(uint32_t));
}

void TNearestPaletteSearch::BuildCell(int cell) {
  static_assert(CellWidth << CellBits == 256);
  constexpr int mask = (1 << CellBits) - 1;
  const int r = (cell >> (2 * CellBits)) * CellWidth;
  const int g = ((cell >> CellBits) & mask) * CellWidth;
  const int b = (cell & mask) * CellWidth;
  std::array<int32_t, 256> near;
  const int bound = CellGaps(Red_.data(), Green_.data(), Blue_.data(), Count_, r, g, b, near.data());
  const auto first = static_cast<uint32_t>(CandidateIndex_.size());
  for (int i = 0; i < Count_; ++i) {
    const auto e = static_cast<size_t>(i);
    if (near[e] > bound) continue;
    CandidateRed_.push_back(Red_[e]);
    CandidateGreen_.push_back(Green_[e]);
    CandidateBlue_.push_back(Blue_[e]);
    CandidateIndex_.push_back(static_cast<uint32_t>(i));
  }
  const auto c = static_cast<size_t>(cell);
  CellFirst_[c] = first;
  CellSize_[c] = static_cast<uint16_t>(CandidateIndex_.size() - first);
  CellStamp_[c] = Generation_;
}

uint8_t TNearestPaletteSearch::Search(int red, int green, int blue) {
  constexpr int drop = 8 - CellBits;
  const int cell = (red >> drop) << (2 * CellBits) | (green >> drop) << CellBits | (blue >> drop);
  const auto c = static_cast<size_t>(cell);
  if (CellStamp_[c] != Generation_) BuildCell(cell);
  const size_t first = CellFirst_[c];
  const uint32_t best = ScanCandidates(CandidateRed_.data(), CandidateGreen_.data(), CandidateBlue_.data(),
                                       CandidateIndex_.data(), first, first + CellSize_[c], red, green, blue);
  return static_cast<uint8_t>(best & 0xFF);
}

}  // namespace vidorant

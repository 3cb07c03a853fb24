// Exact nearest-colour search over up to 256 palette entries (private to platform/).
//
// The colour cube is cut into 16x16x16 cells of 16 levels per axis. For a cell we keep only the
// entries that can be nearest to some point of it: an entry whose smallest possible distance to
// the cell exceeds the smallest largest-distance of any entry can never win nor tie. The
// candidates are sorted by that smallest distance, so a search stops at the first candidate
// whose bound exceeds the best distance found; equal distances go to the lower palette index.
// Both rules together give exactly the brute-force answer, first index on a tie. Cells are built
// on first use, and answers are memoised by exact colour, since pictures repeat colours heavily.
#pragma once

#include "platform/Palette.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vidorant {

class TNearestColorIndex {
public:
  explicit TNearestColorIndex(const std::vector<TPaletteEntry>& entries);

  // Requires at least one entry.
  int Find(uint8_t red, uint8_t green, uint8_t blue);

private:
  static constexpr int CellShift = 4;
  static constexpr int CellsPerAxis = 256 >> CellShift;
  static constexpr int MemoBits = 14;

  void BuildCell(int cell, int cellRed, int cellGreen, int cellBlue);

  struct TCandidate {
    uint8_t Red, Green, Blue, Index;
    int32_t Bound;  // smallest squared distance from the entry to any point of the cell
  };

  std::vector<int32_t> Red_, Green_, Blue_;
  std::vector<uint32_t> CellStart_;  // offset into Candidates_; UINT32_MAX = not built yet
  std::vector<uint16_t> CellCount_;
  std::vector<TCandidate> Candidates_;
  // Memo: key = colour | 1 << 24 (0 = empty slot), value = the index found.
  std::vector<uint32_t> MemoKey_;
  std::vector<uint8_t> MemoIndex_;
};

}  // namespace vidorant

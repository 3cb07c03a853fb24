// Exact nearest-palette-entry search for colour reduction, where every frame brings a palette
// of its own: setting up a palette must cost next to nothing, so there is no per-palette grid.
//
// Entries are kept sorted by the sum of their components. For a colour c and an entry e,
// |e - c|^2 >= (sum(e) - sum(c))^2 / 3 (Cauchy-Schwarz). A first guess (the last answer, and the
// entries whose sums lie closest to c's) gives a distance d; every entry whose sum gap squared
// exceeds 3d is then strictly farther than the guess, so it can neither win nor tie, and only
// the band of sums within sqrt(3d) of c's is scanned. The scan keeps the least of
// (distance << 8 | index), which is the smallest squared RGB distance with the first index on a
// tie: exactly the brute-force answer. It has no early exit, so the compiler does it several
// entries per instruction. Answers are remembered by exact colour, since frames repeat colours
// heavily. One object serves one thread; reuse it across palettes to keep its tables.
#pragma once

#include "platform/Palette.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vidorant {

class TNearestPaletteSearch {
public:
  TNearestPaletteSearch();

  // Makes entries (at most 256) the palette searched and forgets every remembered answer.
  void SetPalette(const std::vector<TPaletteEntry>& entries);
  int Count() const { return Count_; }

  // Index of the nearest entry; requires at least one entry.
  uint8_t Find(uint8_t red, uint8_t green, uint8_t blue) {
    const uint32_t color = static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 | blue;
    const uint32_t slot = (color * 2654435761u) >> (32 - MemoBits);
    const uint32_t remembered = Memo_[slot] ^ MemoScramble;
    if (remembered >> 8 == color) return static_cast<uint8_t>(remembered);
    const uint8_t index = Search(red, green, blue);
    Memo_[slot] = (color << 8 | index) ^ MemoScramble;
    return index;
  }

private:
  // A memo slot holds (colour << 8 | index) ^ MemoScramble, so that the zeroed slot reads as a
  // colour no picture repeats much (0x5A5A5A); asking for that colour merely searches again.
  static constexpr int MemoBits = 14;
  static constexpr uint32_t MemoScramble = 0x5A5A5A5Au;
  static constexpr int MaxSum = 3 * 255;

  uint8_t Search(int red, int green, int blue);
  // (distance << 8 | index) of the entry at position.
  uint32_t KeyAt(int position, int red, int green, int blue) const;

  int Count_ = 0;
  // The entries by sum, then by index, one array per field so the scan loads them side by side.
  std::array<int32_t, 256> Red_, Green_, Blue_;
  std::array<uint32_t, 256> Index_;
  std::array<uint8_t, 256> PositionOf_;  // by palette index
  // First position whose sum is at least s, for every s in 0..MaxSum + 1.
  std::array<uint16_t, MaxSum + 2> FirstWithSum_;
  int LastPosition_ = 0;  // of the last answer searched
  std::vector<uint32_t> Memo_;  // 64 KiB: below the size the allocator maps afresh per frame
};

}  // namespace vidorant

// Exact nearest-palette-entry search for colour reduction, where every frame brings a palette
// of its own: setting up a palette must cost next to nothing, so the search structure is built
// only where the frame's colours fall.
//
// The colour cube is cut into 16x16x16 cells. For a cell, let T be the least, over the entries,
// of an entry's squared distance to the cell's farthest corner from it: every colour in the cell
// has some entry within T. An entry whose squared distance to the nearest point of the cell
// exceeds T is therefore strictly farther from every colour of the cell than that entry, so it
// can neither win nor tie; the others are the cell's candidates, a handful where a palette fits
// its picture. A cell's candidates are found the first time one of its colours is asked, and
// the search keeps the least of (distance << 8 | index) over them, which is the smallest squared
// RGB distance with the first index on a tie: exactly the brute-force answer. Answers are also
// remembered by exact colour, since frames repeat colours heavily. One object serves one thread;
// reuse it across palettes to keep its tables.
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
  static constexpr int CellBits = 4;  // per component
  static constexpr int CellCount = 1 << (3 * CellBits);

  uint8_t Search(int red, int green, int blue);
  // Finds the candidates of cell and appends them to the candidate arrays.
  void BuildCell(int cell);

  int Count_ = 0;
  // The entries, one array per field, by palette index.
  std::array<int32_t, 256> Red_, Green_, Blue_;
  // Every built cell's candidates, cell after cell, one array per field so the scan loads them
  // side by side; a cell's run starts at CellFirst_ and holds CellSize_ of them.
  std::vector<int32_t> CandidateRed_, CandidateGreen_, CandidateBlue_;
  std::vector<uint32_t> CandidateIndex_;
  std::vector<uint32_t> CellFirst_;
  std::vector<uint16_t> CellSize_;
  // A cell is built for the current palette when its stamp equals Generation_.
  std::vector<uint32_t> CellStamp_;
  uint32_t Generation_ = 0;
  std::vector<uint32_t> Memo_;  // 64 KiB: below the size the allocator maps afresh per frame
};

}  // namespace vidorant

// A logical palette: up to 256 entries of red, green, blue and flags, with the nearest-colour
// search that colour reduction spends its time in. The search always gives the brute-force
// answer (smallest squared RGB distance, first index on a tie); it is made fast by a lazily
// built grid of candidate lists, so a palette object must be used by one thread at a time.
#pragma once

#include "platform/Color.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vidorant {

class TNearestColorIndex;

// Flag bits of a palette entry.
constexpr uint8_t PC_RESERVED = 0x01;
constexpr uint8_t PC_EXPLICIT = 0x02;
constexpr uint8_t PC_NOCOLLAPSE = 0x04;

struct TPaletteEntry {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  uint8_t Flags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

class TPalette {
public:
  static constexpr int MaxEntries = 256;

  TPalette();
  // Raises EInvalidGraphic with more than 256 entries.
  explicit TPalette(std::vector<TPaletteEntry> entries);
  TPalette(const TPalette& other);
  TPalette& operator=(const TPalette& other);
  TPalette(TPalette&& other) noexcept;
  TPalette& operator=(TPalette&& other) noexcept;
  ~TPalette();

  // The stock default palette: the 20 static system colours, entries 0-9 then 10-19.
  static TPalette Default();
  // Our halftone palette of 256 entries: system colours 0-9, a 6x6x6 cube, 20 greys, system
  // colours 10-19 at 246-255.
  static TPalette Halftone();

  int Count() const { return static_cast<int>(Entries_.size()); }
  const TPaletteEntry& Entry(int index) const { return Entries_[static_cast<size_t>(index)]; }
  const std::vector<TPaletteEntry>& Entries() const { return Entries_; }
  void SetEntries(std::vector<TPaletteEntry> entries);
  void SetEntry(int index, const TPaletteEntry& entry);

  // Index of the entry nearest to color; -1 for an empty palette.
  int GetNearestPaletteIndex(TColor color) const;

private:
  void Invalidate();

  std::vector<TPaletteEntry> Entries_;
  mutable std::unique_ptr<TNearestColorIndex> Search_;  // built on first search
};

}  // namespace vidorant

// Colour lookups: each maps a true colour to an index of a palette of at most 256 entries and
// hands back the colour of the chosen entry, which the dither engines need for their error.
// Invariant: every index returned is below Colors().
#pragma once

#include "gif/NearestPaletteSearch.h"
#include "platform/Palette.h"
#include "platform/TObject.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace vidorant {

class TColorLookup : public TObject {
public:
  explicit TColorLookup(int colors) : Colors_(colors) {}
  int Colors() const { return Colors_; }
  // Index for (red, green, blue); r, g, b receive the colour of that entry.
  virtual uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) = 0;
  // Maps a row of width blue-green-red pixels to indices without dithering, visiting the
  // pixels left to right or right to left (lookups that learn as they go depend on the order).
  virtual void LookupRow(const uint8_t* bgr, uint8_t* indices, int width, bool leftToRight);

private:
  int Colors_;
};

// Caches every answer in an inverse table keyed by the colour's top 5 bits per component.
// An unknown key is answered by the entry with the smallest sum of absolute differences.
class TFastColorLookup : public TColorLookup {
public:
  explicit TFastColorLookup(const TPalette& palette);
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;

  static uint16_t Key(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint16_t>(((blue & 0xF8) << 7) | ((green & 0xF8) << 2) | (red >> 3));
  }

private:
  std::vector<TPaletteEntry> Entries_;
  std::vector<int16_t> Inverse_;  // 32768 entries; -1 = not filled yet
};

// The nearest palette entry: smallest squared distance, first on a tie (the platform's
// nearest-palette-index rule, searched here without the platform's per-palette grid).
class TSlowColorLookup final : public TColorLookup {
public:
  explicit TSlowColorLookup(const TPalette& palette);
  // Searches palette with search's tables; search is not owned and must outlive the lookup.
  TSlowColorLookup(const TPalette& palette, TNearestPaletteSearch& search);
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
  void LookupRow(const uint8_t* bgr, uint8_t* indices, int width, bool leftToRight) override;

private:
  std::vector<TPaletteEntry> Entries_;
  std::unique_ptr<TNearestPaletteSearch> OwnSearch_;  // when no search was lent
  TNearestPaletteSearch* Search_;                     // OwnSearch_ or the lent one
};

// The 216-colour web cube, entry r*36 + g*6 + b = (51r, 51g, 51b).
class TNetscapeColorLookup : public TColorLookup {
public:
  TNetscapeColorLookup() : TColorLookup(216) {}
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

// 256 greys by luminance (weights 77, 150, 29 in 256ths).
class TGrayScaleLookup : public TColorLookup {
public:
  TGrayScaleLookup() : TColorLookup(256) {}
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

// Black (0) below half luminance, white (1) from there.
class TMonochromeLookup : public TColorLookup {
public:
  TMonochromeLookup() : TColorLookup(2) {}
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

}  // namespace vidorant

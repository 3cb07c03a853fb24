// The five colour lookups.
#include "gif/ColorLookup.h"

#include <cstdlib>

namespace vidorant {

namespace {

inline int Luminance256(uint8_t red, uint8_t green, uint8_t blue) { return blue * 29 + green * 150 + red * 77; }

}  // namespace

TFastColorLookup::TFastColorLookup(const TPalette& palette)
    : TColorLookup(palette.Count()), Entries_(palette.Entries()), Inverse_(32768, -1) {
  // The first entry of the palette with a given key owns that key.
  for (size_t i = 0; i < Entries_.size(); ++i) {
    int16_t& slot = Inverse_[Key(Entries_[i].Red, Entries_[i].Green, Entries_[i].Blue)];
    if (slot == -1) slot = static_cast<int16_t>(i);
  }
}

uint8_t TFastColorLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  if (Entries_.empty()) {
    r = g = b = 0;
    return 0;
  }
  int16_t& slot = Inverse_[Key(red, green, blue)];
  if (slot == -1) {
    int best = 0, bestSum = 0x30000;
    for (size_t i = 0; i < Entries_.size(); ++i) {
      const int sum = std::abs(Entries_[i].Red - red) + std::abs(Entries_[i].Green - green) + std::abs(Entries_[i].Blue - blue);
      if (sum < bestSum) {
        bestSum = sum;
        best = static_cast<int>(i);
      }
    }
    slot = static_cast<int16_t>(best);
  }
  const TPaletteEntry& e = Entries_[static_cast<size_t>(slot)];
  r = e.Red;
  g = e.Green;
  b = e.Blue;
  return static_cast<uint8_t>(slot);
}

void TColorLookup::LookupRow(const uint8_t* bgr, uint8_t* indices, int width, bool leftToRight) {
  uint8_t r, g, b;
  const int step = leftToRight ? 1 : -1;
  for (int x = leftToRight ? 0 : width - 1; x >= 0 && x < width; x += step)
    indices[x] = Lookup(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x], r, g, b);
}

TSlowColorLookup::TSlowColorLookup(const TPalette& palette)
    : TColorLookup(palette.Count()), Entries_(palette.Entries()), OwnSearch_(std::make_unique<TNearestPaletteSearch>()),
      Search_(OwnSearch_.get()) {
  Search_->SetPalette(Entries_);
}

TSlowColorLookup::TSlowColorLookup(const TPalette& palette, TNearestPaletteSearch& search)
    : TColorLookup(palette.Count()), Entries_(palette.Entries()), Search_(&search) {
  Search_->SetPalette(Entries_);
}

uint8_t TSlowColorLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  const uint8_t index = Search_->Find(red, green, blue);
  const TPaletteEntry& e = Entries_[index];
  r = e.Red;
  g = e.Green;
  b = e.Blue;
  return index;
}

// Each pixel's answer depends on its colour alone, so the order of the walk does not matter.
void TSlowColorLookup::LookupRow(const uint8_t* bgr, uint8_t* indices, int width, bool) {
  for (int x = 0; x < width; ++x, bgr += 3) indices[x] = Search_->Find(bgr[2], bgr[1], bgr[0]);
}

uint8_t TNetscapeColorLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  const int lr = (red + 3) / 51, lg = (green + 3) / 51, lb = (blue + 3) / 51;
  r = static_cast<uint8_t>(lr * 51);
  g = static_cast<uint8_t>(lg * 51);
  b = static_cast<uint8_t>(lb * 51);
  return static_cast<uint8_t>(lr * 36 + lg * 6 + lb);
}

uint8_t TGrayScaleLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  const auto level = static_cast<uint8_t>(Luminance256(red, green, blue) >> 8);
  r = g = b = level;
  return level;
}

uint8_t TMonochromeLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  const bool white = Luminance256(red, green, blue) >= 32513;
  r = g = b = white ? 255 : 0;
  return white ? 1 : 0;
}

}  // namespace vidorant

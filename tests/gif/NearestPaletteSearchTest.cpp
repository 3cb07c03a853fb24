// The nearest-entry search must give exactly the brute-force answer -- smallest squared RGB
// distance, first index on a tie -- for any palette, including ones built to produce ties, and
// must not carry answers over from the palette it searched before.
#include "gif/NearestPaletteSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace vidorant {
namespace {

int BruteForce(const std::vector<TPaletteEntry>& entries, int red, int green, int blue) {
  int best = 0, bestDistance = 1 << 30;
  for (size_t i = 0; i < entries.size(); ++i) {
    const int dr = entries[i].Red - red, dg = entries[i].Green - green, db = entries[i].Blue - blue;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

std::vector<TPaletteEntry> RandomPalette(std::mt19937& random, int count, int levelStep) {
  std::vector<TPaletteEntry> entries;
  const auto level = [&] { return static_cast<uint8_t>(random() % (255 / levelStep + 1) * levelStep); };
  for (int i = 0; i < count; ++i) entries.push_back({level(), level(), level(), 0});
  return entries;
}

// A coarse grid in shuffled order: many colours lie exactly between entries, and the lower
// index is as often the larger sum as the smaller one.
std::vector<TPaletteEntry> ShuffledGrid(std::mt19937& random) {
  std::vector<TPaletteEntry> entries;
  for (int r = 0; r < 256; r += 64)
    for (int g = 0; g < 256; g += 64)
      for (int b = 0; b < 256; b += 64) entries.push_back({uint8_t(r), uint8_t(g), uint8_t(b), 0});
  std::shuffle(entries.begin(), entries.end(), random);
  return entries;
}

TEST(NearestPaletteSearch, EqualsBruteForceOnPalettesOfEveryShape) {
  std::mt19937 random(20261208);
  struct TCase {
    std::string Name;
    std::vector<TPaletteEntry> Entries;
  };
  std::vector<TCase> cases = {
      {"one entry", RandomPalette(random, 1, 1)},
      {"two entries", RandomPalette(random, 2, 1)},
      {"eight entries", RandomPalette(random, 8, 1)},
      {"system colours", TPalette::Default().Entries()},
      {"halftone", TPalette::Halftone().Entries()},
      {"236 random", RandomPalette(random, 236, 1)},
      {"256 random", RandomPalette(random, 256, 1)},
      // Few levels: duplicates, where the first index must win.
      {"256 of few levels", RandomPalette(random, 256, 85)},
      {"shuffled grid", ShuffledGrid(random)},
  };
  TNearestPaletteSearch search;  // one object for all palettes, as a reduction reuses it
  for (const TCase& c : cases) {
    search.SetPalette(c.Entries);
    int wrong = 0;
    for (int i = 0; i < 40000; ++i) {
      // A third of the colours on an odd grid, so that many fall exactly between grid entries;
      // a third on the corners of the search's 16-wide cells, where the bound on a cell's
      // candidates is tightest; the rest anywhere.
      const uint32_t v = random();
      const auto component = [&](int shift) {
        const uint32_t bits = v >> shift;
        if (i % 3 == 0) return int(bits % 8) * 32;
        if (i % 3 == 1) return int(bits % 16 * 16 + (bits >> 4 & 1) * 15);
        return int(bits & 0xFF);
      };
      const int red = component(0), green = component(8), blue = component(16);
      const int expected = BruteForce(c.Entries, red, green, blue);
      const int found = search.Find(uint8_t(red), uint8_t(green), uint8_t(blue));
      if (found != expected && ++wrong <= 3)
        ADD_FAILURE() << c.Name << ": (" << red << ", " << green << ", " << blue << ") gave " << found
                      << ", brute force " << expected;
    }
    EXPECT_EQ(wrong, 0) << c.Name;
  }
}

TEST(NearestPaletteSearch, ForgetsTheAnswersOfThePreviousPalette) {
  // The same colour asked of two palettes whose nearest entries sit at different indices.
  TNearestPaletteSearch search;
  search.SetPalette({{0, 0, 0, 0}, {200, 200, 200, 0}});
  EXPECT_EQ(search.Find(190, 190, 190), 1);
  search.SetPalette({{200, 200, 200, 0}, {0, 0, 0, 0}});
  EXPECT_EQ(search.Find(190, 190, 190), 0);
}

}  // namespace
}  // namespace vidorant

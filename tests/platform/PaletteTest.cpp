#include "platform/Palette.h"

#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace vidorant {
namespace {

int BruteForceNearest(const TPalette& palette, int r, int g, int b) {
  int best = -1, bestDistance = 1 << 30;
  for (int i = 0; i < palette.Count(); ++i) {
    const TPaletteEntry& e = palette.Entry(i);
    const int d = (e.Red - r) * (e.Red - r) + (e.Green - g) * (e.Green - g) + (e.Blue - b) * (e.Blue - b);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

TPalette RandomPalette(std::mt19937& rng, int count, int spread) {
  std::uniform_int_distribution<int> level(0, 255), jitter(-spread, spread);
  std::vector<TPaletteEntry> entries;
  const int cr = level(rng), cg = level(rng), cb = level(rng);
  for (int i = 0; i < count; ++i) {
    auto clampByte = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
    entries.push_back({clampByte(cr + jitter(rng)), clampByte(cg + jitter(rng)), clampByte(cb + jitter(rng)), 0});
  }
  return TPalette(std::move(entries));
}

// Every way of making the search fast must keep the brute-force answer, ties included.
TEST(PaletteNearest, MatchesBruteForceOnLargeRandomSample) {
  std::mt19937 rng(1234);
  std::vector<std::pair<const char*, TPalette>> palettes;
  palettes.emplace_back("default", TPalette::Default());
  palettes.emplace_back("halftone", TPalette::Halftone());
  palettes.emplace_back("random256", RandomPalette(rng, 256, 255));
  palettes.emplace_back("clustered256", RandomPalette(rng, 256, 6));
  palettes.emplace_back("tiny3", RandomPalette(rng, 3, 255));
  palettes.emplace_back("single", TPalette({{10, 20, 30, 0}}));
  // Coarse levels make many equidistant entries and exact duplicates: tests the first-index rule.
  std::vector<TPaletteEntry> coarse;
  std::uniform_int_distribution<int> four(0, 3);
  for (int i = 0; i < 256; ++i)
    coarse.push_back({static_cast<uint8_t>(85 * four(rng)), static_cast<uint8_t>(85 * four(rng)), static_cast<uint8_t>(85 * four(rng)), 0});
  palettes.emplace_back("coarse-with-duplicates", TPalette(coarse));

  std::uniform_int_distribution<int> level(0, 255);
  for (auto& [name, palette] : palettes) {
    int mismatches = 0;
    for (int n = 0; n < 60000; ++n) {
      const int r = level(rng), g = level(rng), b = level(rng);
      // Ask twice: the second answer comes from the memo.
      for (int repeat = 0; repeat < 2; ++repeat)
        if (palette.GetNearestPaletteIndex(RGB(r, g, b)) != BruteForceNearest(palette, r, g, b)) ++mismatches;
    }
    for (int v = 0; v < 256; ++v)
      if (palette.GetNearestPaletteIndex(RGB(v, v, v)) != BruteForceNearest(palette, v, v, v)) ++mismatches;
    EXPECT_EQ(mismatches, 0) << name;
  }
}

TEST(PaletteNearest, TieGoesToFirstIndexAndEmptyPaletteGivesMinusOne) {
  TPalette palette({{0, 0, 0, 0}, {20, 0, 0, 0}, {0, 0, 0, 0}, {10, 0, 0, 0}});
  EXPECT_EQ(palette.GetNearestPaletteIndex(RGB(0, 0, 0)), 0);
  EXPECT_EQ(palette.GetNearestPaletteIndex(RGB(5, 0, 0)), 0);   // 0 and 3 equidistant
  EXPECT_EQ(palette.GetNearestPaletteIndex(RGB(15, 0, 0)), 1);  // 1 and 3 equidistant
  EXPECT_EQ(TPalette().GetNearestPaletteIndex(RGB(1, 2, 3)), -1);
}

TEST(PaletteNearest, ChangedEntriesAreSearchedNotTheOldOnes) {
  TPalette palette({{0, 0, 0, 0}, {255, 255, 255, 0}});
  EXPECT_EQ(palette.GetNearestPaletteIndex(RGB(200, 200, 200)), 1);
  palette.SetEntry(1, {0, 0, 255, 0});
  EXPECT_EQ(palette.GetNearestPaletteIndex(RGB(200, 200, 0)), 0);
  TPalette copy = palette;
  palette.SetEntries({{200, 200, 200, 0}});
  EXPECT_EQ(palette.GetNearestPaletteIndex(RGB(0, 0, 255)), 0);
  EXPECT_EQ(copy.GetNearestPaletteIndex(RGB(0, 0, 250)), 1);
}

TEST(StockPalettes, SystemColoursFrameTheHalftonePalette) {
  const TPalette system = TPalette::Default();
  ASSERT_EQ(system.Count(), 20);
  const TPaletteEntry expected[20] = {
      {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0}, {0, 0, 128, 0},
      {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
      {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},
      {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0}, {255, 255, 255, 0}};
  for (int i = 0; i < 20; ++i) EXPECT_EQ(system.Entry(i), expected[i]) << i;

  const TPalette halftone = TPalette::Halftone();
  ASSERT_EQ(halftone.Count(), 256);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(halftone.Entry(i), expected[i]);
    EXPECT_EQ(halftone.Entry(246 + i), expected[10 + i]);
  }
  // Every colour of the 6x6x6 cube is present exactly.
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) {
        const int i = halftone.GetNearestPaletteIndex(RGB(51 * r, 51 * g, 51 * b));
        const TPaletteEntry& e = halftone.Entry(i);
        EXPECT_EQ(RGB(e.Red, e.Green, e.Blue), RGB(51 * r, 51 * g, 51 * b));
      }
}

TEST(PaletteLimits, MoreThan256EntriesAreRefused) {
  EXPECT_THROW(TPalette(std::vector<TPaletteEntry>(257)), EInvalidGraphic);
  TPalette palette;
  EXPECT_THROW(palette.SetEntries(std::vector<TPaletteEntry>(300)), EInvalidGraphic);
  EXPECT_THROW(palette.SetEntry(0, {}), EInvalidGraphic);
}

}  // namespace
}  // namespace vidorant

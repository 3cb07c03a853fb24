#include "gif/ColorReduction.h"

#include "gif/ColorLookup.h"
#include "gif/ColorQuantizer.h"
#include "gif/DIB.h"
#include "gif/GIFException.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

namespace vidorant {
namespace {

TBitmap Picture(std::initializer_list<std::initializer_list<TColor>> rows) {
  const int height = static_cast<int>(rows.size());
  const int width = static_cast<int>(rows.begin()->size());
  TBitmap bitmap(width, height, pf24bit);
  int y = 0;
  for (const auto& row : rows) {
    int x = 0;
    for (TColor c : row) bitmap.SetPixel(x++, y, c);
    ++y;
  }
  return bitmap;
}

TBitmap Noise(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  TBitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x) bitmap.ScanLine(y)[x] = static_cast<uint8_t>(rng());
  return bitmap;
}

TColor TableColor(const TBitmap& bitmap, int index) { return QuadColor(bitmap.ColorTable()[static_cast<size_t>(index)]); }

std::string GIFErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const GIFException& e) {
    return e.Message;
  }
  return "no GIFException";
}

TEST(ReduceFixedPalettes, WebCubeGreyAndMonoMapAsTheirFormulas) {
  struct Case {
    TColorReduction method;
    TColor color;
    int index;
    TColor chosen;
  };
  const Case cases[] = {
      {ReduceWebCube, RGB(0, 0, 0), 0, RGB(0, 0, 0)},
      {ReduceWebCube, RGB(255, 255, 255), 215, RGB(255, 255, 255)},
      {ReduceWebCube, RGB(47, 0, 0), 0, RGB(0, 0, 0)},
      {ReduceWebCube, RGB(48, 0, 0), 36, RGB(51, 0, 0)},
      {ReduceWebCube, RGB(0, 130, 28), 12, RGB(0, 102, 0)},  // (130 + 3) div 51 = 2, (28 + 3) div 51 = 0
      {ReduceMono, RGB(127, 127, 127), 0, RGB(0, 0, 0)},      // 127 * 256 = 32512 < 32513
      {ReduceMono, RGB(128, 128, 128), 1, RGB(255, 255, 255)},
      {ReduceMono, RGB(0, 217, 0), 1, RGB(255, 255, 255)},    // 217 * 150 = 32550
      {ReduceMono, RGB(0, 216, 0), 0, RGB(0, 0, 0)},          // 216 * 150 = 32400
      {ReduceGray256, RGB(100, 100, 100), 100, RGB(100, 100, 100)},
      {ReduceGray256, RGB(255, 0, 0), 76, RGB(76, 76, 76)},   // 255 * 77 >> 8
      {ReduceGray256, RGB(0, 0, 255), 28, RGB(28, 28, 28)},   // 255 * 29 >> 8
      {ReduceGray4, RGB(170, 170, 170), 2, RGB(192, 192, 192)},
      {ReduceGray4, RGB(150, 150, 150), 1, RGB(128, 128, 128)},
      {ReduceSystem20, RGB(250, 250, 250), 19, RGB(255, 255, 255)},
      {ReduceSystem20, RGB(128, 128, 128), 12, RGB(128, 128, 128)},
  };
  for (const Case& c : cases) {
    TBitmap source = Picture({{c.color}});
    auto result = ReduceColors(source, c.method, DitherNearest, nullptr, 8);
    ASSERT_EQ(result->PixelFormat(), pf8bit);
    EXPECT_EQ(result->ScanLine(0)[0], c.index) << "method " << int(c.method) << " colour " << std::hex << c.color;
    EXPECT_EQ(TableColor(*result, c.index), c.chosen) << "method " << int(c.method);
  }
}

TEST(ReduceFixedPalettes, PalettesCarryTheirFlags) {
  for (const TPalette& p : {Gray4Palette(), MonochromePalette(), Gray256Palette()})
    for (const TPaletteEntry& e : p.Entries()) EXPECT_EQ(e.Flags, PC_NOCOLLAPSE);
  EXPECT_EQ(WebCubePalette().Count(), 216);
  EXPECT_EQ(WebCubePalette().Entry(215).Flags, 0);
  EXPECT_EQ(Gray256Palette().Entry(77), (TPaletteEntry{77, 77, 77, PC_NOCOLLAPSE}));
}

TEST(ReduceOctreeSystem, ThreeColoursSitBetweenTheSystemColours) {
  const TColor a = RGB(200, 10, 10), b = RGB(10, 200, 10), c = RGB(10, 10, 200);
  TBitmap source = Picture({{a, b}, {c, a}});
  auto result = ReduceColors(source, ReduceOctreeSystem, DitherNearest, nullptr, 8);
  ASSERT_EQ(result->ColorTable().size(), 256u);
  const TPalette system = TPalette::Default();
  for (int i = 0; i < 10; ++i) {
    const TPaletteEntry& lo = system.Entry(i);
    const TPaletteEntry& hi = system.Entry(10 + i);
    EXPECT_EQ(TableColor(*result, i), RGB(lo.Red, lo.Green, lo.Blue)) << i;
    EXPECT_EQ(TableColor(*result, 246 + i), RGB(hi.Red, hi.Green, hi.Blue)) << i;
  }
  // Octree order: child index = red bit * 4 + green bit * 2 + blue bit, from the top bit down,
  // so blue (001) comes before green (010) before red (100).
  EXPECT_EQ(TableColor(*result, 10), c);
  EXPECT_EQ(TableColor(*result, 11), b);
  EXPECT_EQ(TableColor(*result, 12), a);
  for (int i = 13; i < 246; ++i) EXPECT_EQ(TableColor(*result, i), 0u) << i;
  EXPECT_EQ(result->ScanLine(0)[0], 12);
  EXPECT_EQ(result->ScanLine(0)[1], 11);
  EXPECT_EQ(result->ScanLine(1)[0], 10);
  EXPECT_EQ(result->ScanLine(1)[1], 12);
}

TEST(ReduceOctree, BitDepthFourOnRedAndBlueGivesBlueThenRed) {
  TBitmap source = Picture({{RGB(255, 0, 0), RGB(0, 0, 255)}});
  auto result = ReduceColors(source, ReduceOctree, DitherNearest, nullptr, 4);
  ASSERT_EQ(result->ColorTable().size(), 256u);
  EXPECT_EQ(TableColor(*result, 0), RGB(0, 0, 255));
  EXPECT_EQ(TableColor(*result, 1), RGB(255, 0, 0));
  for (int i = 2; i < 256; ++i) EXPECT_EQ(TableColor(*result, i), 0u) << i;
  EXPECT_EQ(result->ScanLine(0)[0], 1);
  EXPECT_EQ(result->ScanLine(0)[1], 0);
}

TEST(ReduceOctree, NoisyPictureUsesAtMostTwoToTheBitDepthColours) {
  for (int depth : {1, 4, 8, 0, 12}) {
    TBitmap source = Noise(40, 30, static_cast<unsigned>(depth));
    auto result = ReduceColors(source, ReduceOctree, DitherNearest, nullptr, depth);
    const int limit = 1 << std::clamp(depth, 1, 8);
    std::set<int> used;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) used.insert(result->ScanLine(y)[x]);
    EXPECT_LT(*used.rbegin(), limit) << depth;
    EXPECT_EQ(result->ColorTable().size(), 256u);
  }
}

// Method 8 looks every pixel up by exact nearest colour in the palette it built.
TEST(ReduceOctreeSystem, EveryPixelGetsItsNearestPaletteEntry) {
  TBitmap source = Noise(64, 48, 99);
  const TBitmap original = source;
  auto result = ReduceColors(source, ReduceOctreeSystem, DitherNearest, nullptr, 8);
  const TPalette palette = result->Palette();
  std::set<TColor> octreeColours;
  for (int i = 10; i < 246; ++i) octreeColours.insert(TableColor(*result, i));
  EXPECT_GT(octreeColours.size(), 200u);  // the 236 slots are used for a noisy picture
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const TColor c = original.GetPixel(x, y);
      int best = 0, bestDistance = 1 << 30;
      for (int i = 0; i < 256; ++i) {
        const TColor p = TableColor(*result, i);
        const int dr = GetRValue(p) - GetRValue(c), dg = GetGValue(p) - GetGValue(c), db = GetBValue(p) - GetBValue(c);
        if (dr * dr + dg * dg + db * db < bestDistance) {
          bestDistance = dr * dr + dg * dg + db * db;
          best = i;
        }
      }
      ASSERT_EQ(result->ScanLine(y)[x], best) << x << "," << y;
    }
}

TEST(ReduceNone, ReturnsAnUnchangedTwentyFourBitCopy) {
  TBitmap source = Noise(7, 5, 3);
  auto result = ReduceColors(source, ReduceNone, DitherFloydSteinberg, nullptr, 8);
  ASSERT_EQ(result->PixelFormat(), pf24bit);
  ASSERT_EQ(result->Width(), 7);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(result->GetPixel(x, y), source.GetPixel(x, y));
  result->SetPixel(0, 0, RGB(1, 2, 3) ^ source.GetPixel(0, 0));
  EXPECT_NE(result->GetPixel(0, 0), source.GetPixel(0, 0));  // a copy, not the source

  TBitmap wide(2, 1, pf32bit);
  wide.SetPixel(1, 0, RGB(9, 8, 7));
  result = ReduceColors(wide, ReduceNone, DitherNearest, nullptr, 8);
  EXPECT_EQ(result->PixelFormat(), pf24bit);
  EXPECT_EQ(result->GetPixel(1, 0), RGB(9, 8, 7));
}

TEST(ReduceColors, EveryReducedBitmapHasA256EntryTable) {
  const TPalette custom({{1, 2, 3, 0}, {200, 100, 50, 0}, {0, 0, 0, 0}, {255, 255, 255, 0}, {9, 9, 9, 0}});
  for (int method = ReduceSystem20; method <= ReduceCustom; ++method)
    for (int dither = DitherNearest; dither <= DitherBurkes; ++dither) {
      TBitmap source = Noise(9, 4, static_cast<unsigned>(method * 10 + dither));
      auto result = ReduceColors(source, static_cast<TColorReduction>(method), static_cast<TDitherMode>(dither), &custom, 8);
      ASSERT_EQ(result->PixelFormat(), pf8bit) << method << "/" << dither;
      EXPECT_EQ(result->ColorTable().size(), 256u) << method << "/" << dither;
      EXPECT_EQ(result->Width(), 9);
      EXPECT_EQ(result->Height(), 4);
    }
}

TEST(ReduceColors, CustomPaletteEntriesComeFirstAndTheRestIsBlack) {
  const TPalette custom({{10, 20, 30, 0}, {250, 0, 0, 0}});
  TBitmap source = Picture({{RGB(240, 10, 10), RGB(12, 22, 28)}});
  auto result = ReduceColors(source, ReduceCustom, DitherNearest, &custom, 8);
  EXPECT_EQ(TableColor(*result, 0), RGB(10, 20, 30));
  EXPECT_EQ(TableColor(*result, 1), RGB(250, 0, 0));
  EXPECT_EQ(TableColor(*result, 2), 0u);
  EXPECT_EQ(result->ScanLine(0)[0], 1);
  EXPECT_EQ(result->ScanLine(0)[1], 0);
}

TEST(ReduceColors, InvalidMethodsAndEmptyPalettesGiveAnEmptyBitmap) {
  struct Case {
    TColorReduction method;
    TDitherMode dither;
    bool withPalette;
  };
  const TPalette none;
  const auto method = [](int value) { return static_cast<TColorReduction>(value); };
  const auto dither = [](int value) { return static_cast<TDitherMode>(value); };
  for (const Case& c : {Case{method(10), DitherNearest, false}, Case{method(255), DitherNearest, false},
                        Case{ReduceWebCube, dither(7), false}, Case{ReduceOctreeSystem, dither(200), false},
                        Case{ReduceCustom, DitherNearest, false}, Case{ReduceCustom, DitherNearest, true}}) {
    TBitmap source = Noise(3, 3, 1);
    auto result = ReduceColors(source, c.method, c.dither, c.withPalette ? &none : nullptr, 8);
    EXPECT_TRUE(result->Empty()) << int(c.method) << "/" << int(c.dither);
  }
}

TEST(ReduceColors, ReadsOtherSourceFormatsAsTwentyFourBitsAndLeavesTheSourceAlone) {
  TBitmap source(3, 1, pf16bit);
  source.SetPixel(0, 0, RGB(255, 0, 0));
  source.SetPixel(2, 0, RGB(0, 0, 255));
  const TBitmap before = source;
  auto result = ReduceColors(source, ReduceSystem20, DitherNearest, nullptr, 8);
  EXPECT_EQ(source.PixelFormat(), pf16bit);
  EXPECT_EQ(source.ScanLine(0)[0], before.ScanLine(0)[0]);
  EXPECT_EQ(result->ScanLine(0)[0], 13);
  EXPECT_EQ(result->ScanLine(0)[1], 0);
  EXPECT_EQ(result->ScanLine(0)[2], 16);
}

TEST(DIBErrors, DimensionsFormatsAndRowsAreChecked) {
  TBitmap empty;
  EXPECT_EQ(GIFErrorOf([&] { ReduceColors(empty, ReduceWebCube, DitherNearest, nullptr, 8); }), "Invalid image dimensions");
  TBitmap target;
  const TPalette palette = TPalette::Default();
  EXPECT_EQ(GIFErrorOf([&] { TDIBWriter(target, pf8bit, 0, 5, palette); }), "Invalid image dimensions");
  EXPECT_EQ(GIFErrorOf([&] { TDIBWriter(target, pf8bit, 5, 0, palette); }), "Invalid image dimensions");
  EXPECT_EQ(GIFErrorOf([&] { TDIBWriter(target, pf4bit, 5, 5, palette); }), "Unsupported PixelFormat");
  EXPECT_EQ(GIFErrorOf([&] { TDIBReader(target, pf32bit); }), "Unsupported PixelFormat");
  EXPECT_EQ(GIFErrorOf([&] { TDIBWriter(target, pf8bit, 0x7FFFFFF, 0x7FFFFFF, palette); }),
            "Failed to allocate memory for GIF DIB");

  TDIBWriter writer(target, pf8bit, 3, 2, palette);
  EXPECT_EQ(GIFErrorOf([&] { writer.ScanLine(2); }), "Scan line index out of range");
  EXPECT_EQ(GIFErrorOf([&] { writer.ScanLine(-1); }), "Scan line index out of range");
  writer.ScanLine(0)[2] = 7;  // top row, last column
  writer.Finish();
  EXPECT_EQ(target.PixelFormat(), pf8bit);
  EXPECT_EQ(target.ScanLine(0)[2], 7);
  EXPECT_EQ(target.ColorTable().size(), 256u);
  EXPECT_EQ(TableColor(target, 19), RGB(255, 255, 255));
  TDIBReader reader(target, pf8bit);
  EXPECT_EQ(GIFErrorOf([&] { reader.ScanLine(2); }), "Scan line index out of range");
  EXPECT_EQ(reader.ScanLine(0)[2], 7);
}

TEST(OctreeQuantizer, ReducesTheDeepestNodesFirstAndAveragesTheirPixels) {
  TColorQuantizer single(1, 8);
  single.AddColor(0, 0, 0);
  single.AddColor(2, 0, 0);
  single.AddColor(2, 0, 0);
  single.AddColor(2, 0, 0);
  ASSERT_EQ(single.LeafCount(), 1);
  const std::vector<TRGBQuad> table = single.ColorTable();
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].Red, 1);  // (0 + 2 * 3) div 4

  // Two far colours survive while two close ones merge at the deepest shared level.
  TColorQuantizer three(3, 8);
  for (TColor c : {RGB(255, 255, 255), RGB(0, 0, 0), RGB(100, 100, 100), RGB(101, 101, 101)})
    three.AddColor(GetRValue(c), GetGValue(c), GetBValue(c));
  const std::vector<TRGBQuad> merged = three.ColorTable();
  ASSERT_EQ(merged.size(), 3u);
  EXPECT_EQ(QuadColor(merged[0]), RGB(0, 0, 0));
  EXPECT_EQ(QuadColor(merged[1]), RGB(100, 100, 100));
  EXPECT_EQ(QuadColor(merged[2]), RGB(255, 255, 255));

  // Asking for no colours at all cannot loop for ever.
  TColorQuantizer none(0, 8);
  none.AddColor(1, 2, 3);
  none.AddColor(200, 2, 3);
  EXPECT_EQ(none.LeafCount(), 1);
}

// 17 million white pixels sum to more than 32 bits hold; the average must stay white.
TEST(OctreeQuantizer, LargePicturesOfOneColourKeepTheirColour) {
  TColorQuantizer quantizer(236, 8);
  for (int i = 0; i < 17000000; ++i) quantizer.AddColor(255, 255, 254);
  const std::vector<TRGBQuad> table = quantizer.ColorTable();
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(QuadColor(table[0]), RGB(255, 255, 254));
}

TEST(FastLookup, FirstEntryOwnsItsKeyAndMissesUseAbsoluteDifferences) {
  TFastColorLookup lookup(TPalette({{10, 10, 10, 0}, {12, 12, 12, 0}, {100, 40, 40, 0}, {70, 70, 70, 0}}));
  uint8_t r, g, b;
  EXPECT_EQ(lookup.Lookup(12, 12, 12, r, g, b), 0);  // same 15-bit key as entry 0
  EXPECT_EQ(r, 10);
  // (40, 40, 40): sums 60 (entry 2) and 90 (entry 3); squared distances would choose entry 3.
  EXPECT_EQ(lookup.Lookup(40, 40, 40, r, g, b), 2);
  EXPECT_EQ(RGB(r, g, b), RGB(100, 40, 40));
  EXPECT_EQ(lookup.Lookup(47, 47, 47, r, g, b), 2);  // answered from the same key
  EXPECT_EQ(TFastColorLookup::Key(255, 0, 0), 31);
  EXPECT_EQ(TFastColorLookup::Key(0, 0, 255), 31 << 10);
}

}  // namespace
}  // namespace vidorant

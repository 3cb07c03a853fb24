#include "gif/DitherEngine.h"

#include "gif/ColorReduction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

namespace vidorant {
namespace {

// Answers each call by script: 'e' the exact colour asked for (index 0), 'k' black (index 1),
// 'w' white (index 2); after the script, Default. Records every colour asked for.
class TScriptedLookup : public TColorLookup {
public:
  explicit TScriptedLookup(std::string script = "", char fallback = 'e')
      : TColorLookup(3), Script(std::move(script)), Default(fallback) {}
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override {
    const size_t call = Requests.size();
    Requests.push_back(RGB(red, green, blue));
    const char mode = call < Script.size() ? Script[call] : Default;
    if (mode == 'e') {
      r = red, g = green, b = blue;
      return 0;
    }
    r = g = b = (mode == 'w') ? 255 : 0;
    return mode == 'w' ? 2 : 1;
  }
  std::string Script;
  char Default;
  std::vector<TColor> Requests;
};

// Walks one row the way colour reduction does; returns the columns in visiting order.
std::vector<int> WalkRow(TDitherEngine& engine, const std::vector<TColor>& row) {
  std::vector<int> visited;
  uint8_t r, g, b;
  for (int x = engine.Column(); x >= 0 && x < engine.Width(); x = engine.Column()) {
    visited.push_back(x);
    const TColor c = row[static_cast<size_t>(x)];
    engine.Dither(GetRValue(c), GetGValue(c), GetBValue(c), r, g, b);
  }
  engine.NextLine();
  return visited;
}

struct TKernel {
  TDitherMode Mode;
  int Rows;
  int Margin;
  int Divisor;
  std::vector<TDitherWeight> Weights;
};

// The kernels as published for each method: (row, offset along the scan, weight).
const std::vector<TKernel>& RowKernels() {
  static const std::vector<TKernel> kernels = {
      {DitherStucki, 3, 2, 42, {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},
                                {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}}},
      {DitherSierra, 3, 2, 32, {{0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2},
                                {2, -1, 2}, {2, 0, 3}, {2, 1, 2}}},
      {DitherJaJuNi, 3, 2, 48, {{0, 1, 7}, {0, 2, 5}, {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3},
                                {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}}},
      {DitherSteveArche, 4, 3, 200, {{0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16}, {2, -2, 12},
                                     {2, 0, 26}, {2, 2, 12}, {3, -3, 5}, {3, -1, 12}, {3, 1, 12}, {3, 3, 5}}},
      {DitherBurkes, 2, 2, 32, {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}},
  };
  return kernels;
}

const TDitherMode AllModes[] = {DitherNearest, DitherStucki, DitherSierra, DitherJaJuNi,
                                DitherSteveArche, DitherBurkes, DitherFloydSteinberg};
const TDitherMode DiffusingModes[] = {DitherFloydSteinberg, DitherStucki, DitherSierra, DitherJaJuNi,
                                      DitherSteveArche, DitherBurkes};

TEST(DitherWalk, EveryEngineWalksInSerpentineOrder) {
  for (TDitherMode mode : AllModes) {
    TScriptedLookup lookup;
    auto engine = CreateDitherEngine(mode, 3, &lookup);
    const std::vector<TColor> row(3, RGB(10, 20, 30));
    EXPECT_EQ(WalkRow(*engine, row), (std::vector<int>{0, 1, 2})) << int(mode);
    EXPECT_EQ(WalkRow(*engine, row), (std::vector<int>{2, 1, 0})) << int(mode);
    EXPECT_EQ(WalkRow(*engine, row), (std::vector<int>{0, 1, 2})) << int(mode);
    EXPECT_EQ(engine->Direction(), -1);
  }
  EXPECT_EQ(CreateDitherEngine(static_cast<TDitherMode>(7), 3, nullptr), nullptr);
}

TEST(DitherWalk, NearestMapsAUniformPictureToOneIndexInBothDirections) {
  TBitmap source(5, 3, pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) source.SetPixel(x, y, RGB(90, 140, 200));
  auto result = ReduceColors(source, ReduceHalftone, DitherNearest, nullptr, 8);
  const uint8_t first = result->ScanLine(0)[0];
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(result->ScanLine(y)[x], first) << x << "," << y;
}

TEST(DitherDiffusion, AnExactColourWithNoIncomingErrorSpreadsNothing) {
  const std::vector<TColor> row = {RGB(1, 2, 3), RGB(250, 128, 7), RGB(0, 0, 0), RGB(255, 255, 255), RGB(99, 98, 97)};
  for (TDitherMode mode : DiffusingModes) {
    TScriptedLookup lookup;
    auto engine = CreateDitherEngine(mode, 5, &lookup);
    for (int n = 0; n < 3; ++n) WalkRow(*engine, row);
    // Every colour reached the lookup uncorrected, and no accumulator holds anything.
    std::vector<TColor> expected;
    for (int n = 0; n < 3; ++n)
      for (int k = 0; k < 5; ++k) expected.push_back(row[static_cast<size_t>(n % 2 == 0 ? k : 4 - k)]);
    EXPECT_EQ(lookup.Requests, expected) << int(mode);
    for (int c = 0; c < 3; ++c) {
      if (auto* fs = dynamic_cast<TFloydSteinbergDitherer*>(engine.get())) {
        for (int32_t v : fs->Errors(c)) EXPECT_EQ(v, 0);
      } else {
        auto* rows = dynamic_cast<TErrorRowDitherer*>(engine.get());
        ASSERT_NE(rows, nullptr);
        for (int r = 0; r < rows->RowCount(); ++r)
          for (int32_t v : rows->ErrorRow(c, r)) EXPECT_EQ(v, 0) << int(mode);
      }
    }
  }
}

TEST(DitherDiffusion, CorrectedComponentsAreClampedToAByte) {
  for (TDitherMode mode : DiffusingModes) {
    // Always choosing black leaves white pixels with a large positive error ...
    TScriptedLookup toBlack("", 'k');
    auto engine = CreateDitherEngine(mode, 4, &toBlack);
    WalkRow(*engine, std::vector<TColor>(4, RGB(255, 255, 255)));
    WalkRow(*engine, std::vector<TColor>(4, RGB(255, 255, 255)));
    for (TColor asked : toBlack.Requests) EXPECT_EQ(asked, RGB(255, 255, 255)) << int(mode);
    // ... and always choosing white leaves black pixels with a large negative one.
    TScriptedLookup toWhite("", 'w');
    engine = CreateDitherEngine(mode, 4, &toWhite);
    WalkRow(*engine, std::vector<TColor>(4, RGB(0, 0, 0)));
    WalkRow(*engine, std::vector<TColor>(4, RGB(0, 0, 0)));
    for (TColor asked : toWhite.Requests) EXPECT_EQ(asked, RGB(0, 0, 0)) << int(mode);
  }
}

// One error of 100 in red, made at the first pixel of the first row (column 0, left to right)
// or of the second row (column width - 1, right to left), lands exactly on the kernel's
// positions, spare entries included; for a one-pixel-wide image both are the same column.
TEST(DitherDiffusion, RowEnginesPlaceEachWeightInTheScanDirection) {
  for (const TKernel& kernel : RowKernels()) {
    for (int width : {1, 9}) {
      for (bool secondRow : {false, true}) {
        TScriptedLookup lookup(secondRow ? std::string(static_cast<size_t>(width), 'e') + "k" : "k", 'e');
        auto engine = CreateDitherEngine(kernel.Mode, width, &lookup);
        auto* rows = dynamic_cast<TErrorRowDitherer*>(engine.get());
        ASSERT_NE(rows, nullptr);
        ASSERT_EQ(rows->Margin(), kernel.Margin);
        ASSERT_EQ(rows->ErrorRow(0, 0).size(), static_cast<size_t>(width + 2 * kernel.Margin));
        if (secondRow) WalkRow(*engine, std::vector<TColor>(static_cast<size_t>(width), RGB(100, 0, 0)));
        const int column = engine->Column();
        const int direction = engine->Direction();
        EXPECT_EQ(rows->Cursor(), kernel.Margin + column);
        uint8_t r, g, b;
        engine->Dither(100, 0, 0, r, g, b);
        std::vector<std::vector<int32_t>> expected(static_cast<size_t>(kernel.Rows),
                                                   std::vector<int32_t>(static_cast<size_t>(width + 2 * kernel.Margin), 0));
        for (const TDitherWeight& w : kernel.Weights)
          expected[static_cast<size_t>(w.Row)][static_cast<size_t>(kernel.Margin + column + w.Offset * direction)] += 100 * w.Weight;
        for (int row = 0; row < kernel.Rows; ++row) {
          EXPECT_EQ(rows->ErrorRow(0, row), expected[static_cast<size_t>(row)])
              << "mode " << int(kernel.Mode) << " width " << width << " second row " << secondRow << " row " << row;
          for (int32_t v : rows->ErrorRow(1, row)) EXPECT_EQ(v, 0);  // green had no error
        }
      }
    }
  }
}

TEST(DitherDiffusion, RowEnginesRotateRowsAndRoundByHalfTheDivisor) {
  for (const TKernel& kernel : RowKernels()) {
    TScriptedLookup lookup("k", 'e');
    auto engine = CreateDitherEngine(kernel.Mode, 9, &lookup);
    auto* rows = dynamic_cast<TErrorRowDitherer*>(engine.get());
    uint8_t r, g, b;
    engine->Dither(100, 0, 0, r, g, b);  // error 100 at column 0
    const std::vector<int32_t> nextRow = rows->ErrorRow(0, 1);
    engine->Dither(7, 0, 0, r, g, b);  // column 1: carries the row-0 weight at offset +1
    int ahead = 0;
    for (const TDitherWeight& w : kernel.Weights)
      if (w.Row == 0 && w.Offset == 1) ahead = 100 * w.Weight;
    EXPECT_EQ(GetRValue(lookup.Requests[1]), 7 + (ahead + kernel.Divisor / 2) / kernel.Divisor) << int(kernel.Mode);
    for (int x = 2; x < 9; ++x) engine->Dither(0, 0, 0, r, g, b);
    engine->NextLine();
    EXPECT_EQ(rows->ErrorRow(0, 0), nextRow) << int(kernel.Mode);  // row 1 became row 0
    for (int32_t v : rows->ErrorRow(0, kernel.Rows - 1)) EXPECT_EQ(v, 0);  // cleared row is last
    EXPECT_EQ(rows->Cursor(), kernel.Margin + 8);
  }
}

// Passes every request on to a real lookup and records it.
class TRecordingLookup : public TColorLookup {
public:
  explicit TRecordingLookup(TColorLookup& inner) : TColorLookup(inner.Colors()), Inner(inner) {}
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override {
    Requests.push_back(RGB(red, green, blue));
    return Inner.Lookup(red, green, blue, r, g, b);
  }
  TColorLookup& Inner;
  std::vector<TColor> Requests;
};

// Floyd-Steinberg as published, over a whole picture in serpentine order: a pixel's error goes
// 7/16 to the next pixel of its row and 3/16, 5/16 and 1/16 to the pixels below-behind, below
// and below-ahead (behind and ahead in the row's scan direction); a pixel is looked up as
// c + (sum + 8) div 16, clamped. Returns the colours asked for, in visiting order.
std::vector<TColor> ReferenceFloydSteinberg(const std::vector<std::vector<TColor>>& picture, TColorLookup& lookup) {
  const int height = static_cast<int>(picture.size()), width = static_cast<int>(picture[0].size());
  // Sums in sixteenths per component; one spare column at each side.
  std::vector<std::vector<std::array<int, 3>>> sums(static_cast<size_t>(height + 1),
                                                    std::vector<std::array<int, 3>>(static_cast<size_t>(width + 2)));
  std::vector<TColor> asked;
  for (int y = 0; y < height; ++y) {
    const int step = y % 2 == 0 ? 1 : -1;
    for (int k = 0; k < width; ++k) {
      const int x = step > 0 ? k : width - 1 - k;
      const TColor c = picture[static_cast<size_t>(y)][static_cast<size_t>(x)];
      const int wanted[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
      uint8_t corrected[3];
      for (size_t i = 0; i < 3; ++i)
        corrected[i] = static_cast<uint8_t>(std::clamp(wanted[i] + (sums[static_cast<size_t>(y)][static_cast<size_t>(x + 1)][i] + 8) / 16, 0, 255));
      asked.push_back(RGB(corrected[0], corrected[1], corrected[2]));
      uint8_t chosen[3];
      lookup.Lookup(corrected[0], corrected[1], corrected[2], chosen[0], chosen[1], chosen[2]);
      for (size_t i = 0; i < 3; ++i) {
        const int err = corrected[i] - chosen[i];
        auto at = [&](int row, int column) -> int& { return sums[static_cast<size_t>(row)][static_cast<size_t>(column + 1)][i]; };
        if (k + 1 < width) at(y, x + step) += 7 * err;
        at(y + 1, x - step) += 3 * err;
        at(y + 1, x) += 5 * err;
        at(y + 1, x + step) += 1 * err;
      }
    }
  }
  return asked;
}

std::vector<TColor> EngineFloydSteinberg(const std::vector<std::vector<TColor>>& picture, TColorLookup& lookup) {
  TRecordingLookup recording(lookup);
  TFloydSteinbergDitherer engine(static_cast<int>(picture[0].size()), &recording);
  for (const std::vector<TColor>& row : picture) WalkRow(engine, row);
  return recording.Requests;
}

TEST(FloydSteinberg, SpreadsEachErrorToThePublishedNeighbours) {
  // The column of grey 100 dithered to black and white: 100 goes to black, its 5/16 below makes
  // 131, which goes to white, and so on.
  TMonochromeLookup mono;
  std::vector<TColor> column;
  for (TColor c : EngineFloydSteinberg(std::vector<std::vector<TColor>>(4, {RGB(100, 100, 100)}), mono))
    column.push_back(GetRValue(c));
  EXPECT_EQ(column, (std::vector<TColor>{100, 131, 62, 119}));

  TNetscapeColorLookup cube;
  std::mt19937 random(5);
  for (int width : {1, 2, 3, 8}) {
    for (TColorLookup* lookup : {static_cast<TColorLookup*>(&mono), static_cast<TColorLookup*>(&cube)}) {
      std::vector<std::vector<TColor>> picture(5, std::vector<TColor>(static_cast<size_t>(width)));
      for (auto& row : picture)
        for (TColor& c : row) c = random() & 0xFFFFFF;
      EXPECT_EQ(EngineFloydSteinberg(picture, *lookup), ReferenceFloydSteinberg(picture, *lookup))
          << "width " << width << (lookup == &mono ? " monochrome" : " web cube");
    }
  }
}

// Diffusion keeps the average: grey 100 dithered to black and white comes out about 100/255 white.
TEST(DitherDiffusion, MonochromeDitheringKeepsTheAverageGrey) {
  for (TDitherMode mode : DiffusingModes) {
    TBitmap source(64, 64, pf24bit);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) source.SetPixel(x, y, RGB(100, 100, 100));
    auto result = ReduceColors(source, ReduceMono, mode, nullptr, 8);
    int white = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) white += result->ScanLine(y)[x];
    EXPECT_NEAR(white / 4096.0, 100 / 255.0, 0.05) << int(mode);
  }
}

}  // namespace
}  // namespace vidorant

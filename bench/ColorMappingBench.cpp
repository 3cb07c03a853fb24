// The nearest-palette mapping of one frame, as method 8 does it: a new palette per frame, then
// every pixel mapped to its nearest entry. The platform's palette search (a lazily built grid of
// candidate lists) against the colour reduction's own sum-ordered search; both exact.
#include "NaturalPicture.h"

#include "gif/ColorQuantizer.h"
#include "gif/NearestPaletteSearch.h"

#include <benchmark/benchmark.h>

namespace vidorant {
namespace {

struct TFrame {
  TBitmap Picture;
  TPalette Palette;
};

// range(2), when given, is the grain in tenths.
TFrame MakeFrame(benchmark::State& state) {
  const double grain = state.range(2) / 10.0;
  TFrame frame{NaturalPicture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1, grain), {}};
  frame.Palette = CreateOptimizedPaletteFromManyBitmaps(TDIBReader(frame.Picture, pf24bit), 256, 8, true);
  return frame;
}

template <typename TMapPixel>
void MapFrame(const TBitmap& picture, TMapPixel mapPixel) {
  for (int y = 0; y < picture.Height(); ++y) {
    const uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x) benchmark::DoNotOptimize(mapPixel(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
  }
}

void BM_MapFramePlatformPalette(benchmark::State& state) {
  const TFrame frame = MakeFrame(state);
  for (auto _ : state) {
    const TPalette palette = frame.Palette;  // a fresh search per frame, as each frame has its own
    MapFrame(frame.Picture, [&](uint8_t r, uint8_t g, uint8_t b) { return palette.GetNearestPaletteIndex(RGB(r, g, b)); });
  }
}

void BM_MapFrameNearestSearch(benchmark::State& state) {
  const TFrame frame = MakeFrame(state);
  TNearestPaletteSearch search;
  for (auto _ : state) {
    search.SetPalette(frame.Palette.Entries());
    MapFrame(frame.Picture, [&](uint8_t r, uint8_t g, uint8_t b) { return search.Find(r, g, b); });
  }
}

BENCHMARK(BM_MapFramePlatformPalette)->Args({320, 240, 7})->Args({640, 480, 7})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapFrameNearestSearch)->Args({320, 240, 7})->Args({640, 480, 7})->Args({320, 240, 40})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vidorant

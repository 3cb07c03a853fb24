// The per-frame cost of the converter's GIF path: colour reduction with the octree and system
// colours (method 8, no dithering), LZW compression of the 8-bit result, both together with the
// buffers kept, and the converter's whole path for one picture (a document of its own, the add,
// the frame's encoding), which pays for whatever it allocates afresh every frame.
// Run: build/bench/bench/bench_gif (Release build); "fps" is frames per second, one thread.
#include "NaturalPicture.h"

#include "gif/ColorQuantizer.h"
#include "gif/ColorReduction.h"
#include "gif/GIFImage.h"
#include "gif/GIFStreamWriter.h"
#include "gif/LZWEncoder.h"
#include "platform/MemoryStream.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace vidorant {
namespace {

// The 8-bit pixel data of a reduced bitmap, rows top to bottom without padding.
std::vector<uint8_t> Indices(const TBitmap& bitmap) {
  std::vector<uint8_t> data;
  for (int y = 0; y < bitmap.Height(); ++y) data.insert(data.end(), bitmap.ScanLine(y), bitmap.ScanLine(y) + bitmap.Width());
  return data;
}

void Report(benchmark::State& state, const TBitmap& picture) {
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["colours"] = DistinctColors(picture);
}

void BM_ReduceOctreeSystem(benchmark::State& state) {
  TBitmap picture = NaturalPicture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1);
  for (auto _ : state) {
    auto reduced = ReduceColors(picture, ReduceOctreeSystem, DitherNearest, nullptr, 8);
    benchmark::DoNotOptimize(reduced->ScanLine(0));
  }
  Report(state, picture);
}

// The octree alone: insertion, reduction and the colour table of method 8's palette. The third
// argument is the grain in tenths.
void BM_OctreePalette(benchmark::State& state) {
  TBitmap picture = NaturalPicture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1,
                                   static_cast<double>(state.range(2)) / 10);
  const TDIBReader reader(picture, pf24bit);
  for (auto _ : state) {
    TPalette palette = CreateOptimizedPaletteFromManyBitmaps(reader, 256, 8, true);
    benchmark::DoNotOptimize(palette.Entry(10));
  }
  Report(state, picture);
}

// Third argument: 0 a natural picture, 1 a flat, animation-like one.
void BM_LZWCompress(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  TBitmap picture = state.range(2) == 0 ? NaturalPicture(width, height, 1) : FlatPicture(width, height, 1);
  const std::vector<uint8_t> data = Indices(*ReduceColors(picture, ReduceOctreeSystem, DitherNearest, nullptr, 8));
  TMemoryStream stream;
  TLZWEncoder encoder;
  for (auto _ : state) {
    stream.SetPosition(0);
    encoder.Compress(stream, 8, 256, data.data(), false, picture.Height(), picture.Width());
    benchmark::DoNotOptimize(stream.Memory());
  }
  state.counters["bytes"] = static_cast<double>(stream.GetPosition());
  Report(state, picture);
}

void BM_ReduceAndCompressFrame(benchmark::State& state) {
  TBitmap picture = NaturalPicture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1);
  TMemoryStream stream;
  TLZWEncoder encoder;
  std::vector<uint8_t> data;
  for (auto _ : state) {
    auto reduced = ReduceColors(picture, ReduceOctreeSystem, DitherNearest, nullptr, 8);
    data.clear();
    for (int y = 0; y < reduced->Height(); ++y)
      data.insert(data.end(), reduced->ScanLine(y), reduced->ScanLine(y) + reduced->Width());
    stream.SetPosition(0);
    encoder.Compress(stream, 8, 256, data.data(), false, picture.Height(), picture.Width());
    benchmark::DoNotOptimize(stream.Memory());
  }
  Report(state, picture);
}

// As the converter's worker does it for each picture it is handed.
void BM_ConverterFrame(benchmark::State& state) {
  TBitmap picture = NaturalPicture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1);
  for (auto _ : state) {
    TGIFImage document;
    document.ReductionMethod = ReduceOctreeSystem;
    document.Add(picture);
    TGIFEncodedFrame frame = EncodeGIFFrame(*document.Images()[0]);
    benchmark::DoNotOptimize(frame);
  }
  Report(state, picture);
}

BENCHMARK(BM_ReduceOctreeSystem)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OctreePalette)->Args({320, 240, 7})->Args({640, 480, 7})->Args({320, 240, 40})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LZWCompress)->Args({320, 240, 0})->Args({640, 480, 0})->Args({320, 240, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceAndCompressFrame)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConverterFrame)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vidorant

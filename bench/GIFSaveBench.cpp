// Saving a document of reduced natural frames to a file: straight onto the file stream (one
// system call per sub-block and per field) against SaveToFile, which gathers the writes.
#include "NaturalPicture.h"

#include "gif/GIFImage.h"
#include "platform/FileStream.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

namespace vidorant {
namespace {

constexpr int Frames = 10;

void Fill(TGIFImage& image) {
  image.ReductionMethod = ReduceOctreeSystem;
  for (int i = 0; i < Frames; ++i) image.Add(NaturalPicture(320, 240, static_cast<unsigned>(i + 1)));
}

std::string BenchFile() { return "/tmp/vidorant-bench-" + std::to_string(::getpid()) + ".gif"; }

void BM_SaveUnbufferedFileStream(benchmark::State& state) {
  TGIFImage image;
  Fill(image);
  const std::string path = BenchFile();
  for (auto _ : state) {
    TFileStream stream(path, fmCreate);
    image.SaveToStream(stream);
  }
  std::remove(path.c_str());
}

void BM_SaveToFile(benchmark::State& state) {
  TGIFImage image;
  Fill(image);
  const std::string path = BenchFile();
  for (auto _ : state) image.SaveToFile(path);
  std::remove(path.c_str());
}

BENCHMARK(BM_SaveUnbufferedFileStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vidorant

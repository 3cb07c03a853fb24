// The bytes a document saves must not change when the colour reduction, the nearest-colour
// mapping, the octree or the LZW coder are made faster. Each case builds a document from fixed
// true-colour frames, saves it and compares a checksum of the bytes with the one the
// straightforward code produced. A changed checksum means a changed file: if a change is meant
// (a fix), record the new value and say why in the commit.
#include "gif/GIFImage.h"
#include "platform/Bitmap.h"
#include "platform/MemoryStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace vidorant {
namespace {

uint64_t Fnv1a64(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) {
    hash ^= b;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

using TPixelRule = std::function<void(int x, int y, std::mt19937& random, uint8_t bgr[3])>;

// Raw generator output only: the standard distributions may differ between libraries.
TBitmap Frame(int width, int height, unsigned seed, const TPixelRule& rule) {
  std::mt19937 random(seed);
  TBitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) rule(x, y, random, row + 3 * x);
  }
  return bitmap;
}

// Smooth ramps in all three components, shifted per frame like a slow pan.
TPixelRule Gradient(int shift) {
  return [shift](int x, int y, std::mt19937&, uint8_t bgr[3]) {
    bgr[0] = static_cast<uint8_t>((x * 2 + shift) & 0xFF);
    bgr[1] = static_cast<uint8_t>((y * 3 + shift / 2) & 0xFF);
    bgr[2] = static_cast<uint8_t>((x + y + shift * 3) & 0xFF);
  };
}

// Every pixel independent: thousands of colours, many octree reductions, LZW table clears.
TPixelRule Noise() {
  return [](int, int, std::mt19937& random, uint8_t bgr[3]) {
    const uint32_t v = random();
    bgr[0] = static_cast<uint8_t>(v);
    bgr[1] = static_cast<uint8_t>(v >> 8);
    bgr[2] = static_cast<uint8_t>(v >> 16);
  };
}

// A gradient with sensor-like noise of a few levels, the closest to a video frame.
TPixelRule NoisyGradient(int shift) {
  return [shift](int x, int y, std::mt19937& random, uint8_t bgr[3]) {
    const uint32_t v = random();
    bgr[0] = static_cast<uint8_t>(((x + shift) & 0xFF) ^ (v & 7));
    bgr[1] = static_cast<uint8_t>(((x * y / 64 + shift) & 0xFF) ^ ((v >> 3) & 7));
    bgr[2] = static_cast<uint8_t>((200 - y + shift) ^ ((v >> 6) & 3));
  };
}

// Blocks of five colours, one of them a system colour: long runs, an octree below its limit.
TPixelRule FewColors(int shift) {
  return [shift](int x, int y, std::mt19937&, uint8_t bgr[3]) {
    static constexpr uint8_t Colors[5][3] = {{0, 0, 255}, {10, 200, 30}, {128, 128, 128}, {250, 250, 250}, {90, 20, 160}};
    const uint8_t* c = Colors[((x + shift) / 9 + y / 7) % 5];
    bgr[0] = c[0];
    bgr[1] = c[1];
    bgr[2] = c[2];
  };
}

struct TCase {
  std::string Name;
  int Width, Height;
  std::vector<TPixelRule> Frames;  // one rule per frame, in order
  TColorReduction Method;
  TDitherMode Dither;
  int BitDepth;
  uint64_t Expected;
};

std::vector<uint8_t> SavedBytes(const TCase& c) {
  TGIFImage image;
  image.ReductionMethod = c.Method;
  image.DitherMethod = c.Dither;
  image.ReductionBitDepth = c.BitDepth;
  unsigned seed = 1;
  for (const TPixelRule& rule : c.Frames) image.Add(Frame(c.Width, c.Height, seed++, rule));
  TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

TEST(GIFByteStability, SavedBytesMatchTheRecordedChecksums) {
  const std::vector<TCase> cases = {
      // The converter's path: method 8, no dithering, each frame its own palette.
      {"gradient", 160, 120, {Gradient(0), Gradient(7), Gradient(19)}, ReduceOctreeSystem, DitherNearest, 8,
       0x4c2a312a9224154aull},
      {"noise", 160, 120, {Noise(), Noise(), Noise()}, ReduceOctreeSystem, DitherNearest, 8, 0x78ac07df66dd2c1bull},
      {"noisy gradient", 160, 120, {NoisyGradient(0), NoisyGradient(5), NoisyGradient(40)}, ReduceOctreeSystem,
       DitherNearest, 8, 0x520155eedf9e046dull},
      {"few colours", 160, 120, {FewColors(0), FewColors(3), FewColors(11)}, ReduceOctreeSystem, DitherNearest, 8,
       0x2768a8b984415e27ull},
      // Rows padded to four bytes, a width that is no multiple of anything.
      {"odd width", 37, 23, {NoisyGradient(0), Noise(), FewColors(1)}, ReduceOctreeSystem, DitherNearest, 8,
       0x8c5dc370b520bab5ull},
      // The same mapping and octree under the other methods that use them.
      {"octree 5 bits", 96, 64, {NoisyGradient(0), Noise()}, ReduceOctree, DitherNearest, 5, 0x97306271a91f1ea0ull},
      {"octree 8 bits", 96, 64, {NoisyGradient(0), Noise()}, ReduceOctree, DitherNearest, 8, 0xa051cb56018e0c5ull},
      {"system colours dithered", 96, 64, {Gradient(0), NoisyGradient(3)}, ReduceSystem20, DitherFloydSteinberg, 8,
       0xd511e1fefd5aa005ull},
      {"halftone dithered", 96, 64, {NoisyGradient(9), Noise()}, ReduceHalftone, DitherStucki, 8, 0xd7e8955334700abcull},
  };
  for (const TCase& c : cases) {
    const std::vector<uint8_t> bytes = SavedBytes(c);
    EXPECT_EQ(Fnv1a64(bytes), c.Expected) << c.Name << ": " << bytes.size() << " bytes, checksum 0x" << std::hex
                                          << Fnv1a64(bytes);
  }
}

}  // namespace
}  // namespace vidorant

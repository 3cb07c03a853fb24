// The image-data encoders, looked at through the test decoder: code widths, clear codes,
// sub-block framing, the interlace walk and the failure on a colour outside the table.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "GIFTestDecoder.h"
#include "gif/GIFException.h"
#include "gif/LZWEncoder.h"
#include "gif/LZWHashTable.h"
#include "gif/RLEEncoder.h"
#include "platform/MemoryStream.h"

namespace vidorant {
namespace {

using testing::ReadImageData;
using testing::TImageDataRead;

std::vector<uint8_t> Encode(TGIFEncoderKind kind, int bitsPerPixel, int validColors, const std::vector<uint8_t>& pixels,
                            int width, int height, bool interlaced = false) {
  TMemoryStream stream;
  std::unique_ptr<TGIFEncoder> encoder;
  if (kind == EncodeRLE)
    encoder = std::make_unique<TRLEEncoder>();
  else
    encoder = std::make_unique<TLZWEncoder>();
  encoder->Compress(stream, bitsPerPixel, validColors, pixels.empty() ? nullptr : pixels.data(), interlaced, height,
                    width);
  return stream.Bytes();
}

std::vector<uint8_t> RandomPixels(size_t count, int colors, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> pixels(count);
  for (auto& p : pixels) p = static_cast<uint8_t>(random() % static_cast<unsigned>(colors));
  return pixels;
}

const char* KindName(TGIFEncoderKind kind) { return kind == EncodeRLE ? "RLE" : "LZW"; }

class BothEncoders : public ::testing::TestWithParam<TGIFEncoderKind> {};
INSTANTIATE_TEST_SUITE_P(Encoders, BothEncoders, ::testing::Values(EncodeLZW, EncodeRLE),
                         [](const auto& info) { return std::string(KindName(info.param)); });

TEST_P(BothEncoders, TwoColourFrameUsesMinimumCodeSizeTwoWithClearAndEndCodes) {
  std::vector<uint8_t> pixels(40, 1);
  std::vector<uint8_t> bytes = Encode(GetParam(), 1, 2, pixels, 8, 5);
  TImageDataRead read = ReadImageData(bytes, 0);
  EXPECT_EQ(read.MinCodeSize, 2);
  ASSERT_GE(read.Codes.size(), 2u);
  EXPECT_EQ(read.Codes.front().Code, 4);
  EXPECT_EQ(read.Codes.back().Code, 5);
  EXPECT_EQ(read.Pixels, pixels);
  EXPECT_EQ(read.End, bytes.size());
}

TEST_P(BothEncoders, OnePixelFrameIsClearPixelEndPackedLeastSignificantBitFirst) {
  // Codes 4, 1, 5 at 3 bits: 100 | 001 << 3 | 101 << 6 = 0x14C.
  EXPECT_EQ(Encode(GetParam(), 2, 4, {1}, 1, 1), (std::vector<uint8_t>{2, 2, 0x4C, 0x01, 0}));
}

TEST_P(BothEncoders, EmptyFrameWritesOnlyTheEndCode) {
  // End code 257 at 9 bits: 0x101.
  const std::vector<uint8_t> expected{8, 2, 0x01, 0x01, 0};
  EXPECT_EQ(Encode(GetParam(), 8, 256, {}, 0, 5), expected) << "no pixel data";
  EXPECT_EQ(Encode(GetParam(), 8, 256, {1, 2, 3}, 0, 3), expected) << "width 0";
  EXPECT_EQ(Encode(GetParam(), 8, 256, {1, 2, 3}, 3, 0), expected) << "height 0";
}

TEST_P(BothEncoders, InterlacedFramesAreWalkedInTheFourPasses) {
  struct Case {
    int height;
    std::vector<uint8_t> order;
  };
  const Case cases[] = {
      {10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}},
      {3, {0, 2, 1}},
      {1, {0}},
      {2, {0, 1}},
      {5, {0, 4, 2, 1, 3}},
      {16, {0, 8, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}},
  };
  for (const Case& c : cases) {
    // Two pixels per row, both carrying the row number.
    std::vector<uint8_t> pixels;
    for (int row = 0; row < c.height; ++row) pixels.insert(pixels.end(), 2, static_cast<uint8_t>(row));
    TImageDataRead read = ReadImageData(Encode(GetParam(), 4, 16, pixels, 2, c.height, true), 0);
    std::vector<uint8_t> expected;
    for (uint8_t row : c.order) expected.insert(expected.end(), 2, row);
    EXPECT_EQ(read.Pixels, expected) << "height " << c.height;
  }
}

TEST_P(BothEncoders, ColourOutsideTheTableFailsAndLeavesNoTerminator) {
  std::vector<uint8_t> pixels = RandomPixels(2000, 3, 7);
  pixels.push_back(3);  // a 3-colour table has no index 3
  TMemoryStream stream;
  std::unique_ptr<TGIFEncoder> encoder;
  if (GetParam() == EncodeRLE)
    encoder = std::make_unique<TRLEEncoder>();
  else
    encoder = std::make_unique<TLZWEncoder>();
  try {
    encoder->Compress(stream, 2, 3, pixels.data(), false, 1, static_cast<int>(pixels.size()));
    FAIL() << "pixel 3 accepted";
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message, "Color not in color table");
  }
  // Code size byte, then whole sub-blocks up to the very end: the partial block was flushed
  // and no 0x00 terminator follows.
  const std::vector<uint8_t>& bytes = stream.Bytes();
  ASSERT_GT(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 2);
  size_t offset = 1;
  while (offset < bytes.size()) {
    ASSERT_NE(bytes[offset], 0) << "terminator or empty block at " << offset;
    offset += 1 + bytes[offset];
  }
  EXPECT_EQ(offset, bytes.size());
}

TEST_P(BothEncoders, RandomAndRunHeavyFramesDecodeToTheSamePixels) {
  std::mt19937 random(1234);
  for (int bits = 1; bits <= 8; ++bits) {
    int colors = 1 << bits;
    for (int shape = 0; shape < 4; ++shape) {
      int width = 1 + static_cast<int>(random() % 200), height = 1 + static_cast<int>(random() % 120);
      std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
      // Runs of random length (1 to a few thousand) mix short and long runs of the same pixel.
      size_t i = 0;
      while (i < pixels.size()) {
        size_t run = shape == 0 ? 1 : 1 + random() % (shape == 3 ? 5000 : 40);
        uint8_t value = static_cast<uint8_t>(random() % static_cast<unsigned>(shape == 2 ? 2 : colors));
        for (size_t k = 0; k < run && i < pixels.size(); ++k) pixels[i++] = value;
      }
      TImageDataRead read = ReadImageData(Encode(GetParam(), bits, colors, pixels, width, height), 0);
      EXPECT_EQ(read.MinCodeSize, bits < 2 ? 2 : bits);
      ASSERT_EQ(read.Pixels, pixels) << "bits " << bits << " shape " << shape << " " << width << "x" << height;
      for (const auto& code : read.Codes) ASSERT_LE(code.Width, 12);
    }
  }
}

TEST(RLEEncoder, RunsLongerThanTheWholeCodeTableStayWithinIt) {
  // One triangle of codes covers about 8.3 million pixels before the table is full; these runs
  // pass that limit, first from a clear and then through the codes already defined.
  for (int bits : {2, 8}) {
    std::vector<uint8_t> pixels(12'000'000, static_cast<uint8_t>((1 << bits) - 1));
    pixels[9'000'000] = 0;
    TImageDataRead read = ReadImageData(Encode(EncodeRLE, bits, 1 << bits, pixels, 4000, 3000), 0);
    ASSERT_EQ(read.Pixels, pixels) << "bits " << bits;
    int clears = 0;
    for (const auto& code : read.Codes) clears += code.Code == (1 << bits);
    EXPECT_GE(clears, 3) << "the full table forced a clear";
  }
}

TEST(LZWEncoder, CodeWidthGrowsToTwelveClearsAt4095AndRestartsAtNine) {
  std::vector<uint8_t> pixels = RandomPixels(60000, 256, 99);
  TImageDataRead read = ReadImageData(Encode(EncodeLZW, 8, 256, pixels, 300, 200), 0);
  ASSERT_EQ(read.Pixels, pixels);
  std::vector<size_t> clears;
  for (size_t i = 0; i < read.Codes.size(); ++i)
    if (read.Codes[i].Code == 256) clears.push_back(i);
  ASSERT_GE(clears.size(), 3u);
  EXPECT_EQ(clears[0], 0u);
  // Codes 258..4094 are assigned, one after every code but the last before the clear.
  EXPECT_EQ(clears[1] - clears[0] - 1, 3838u);
  int widest = 0;
  for (size_t i = clears[0] + 1; i < clears[1]; ++i) widest = std::max(widest, read.Codes[i].Width);
  EXPECT_EQ(widest, 12);
  EXPECT_EQ(read.Codes[clears[1]].Width, 12) << "the clear code is written at the wide width";
  EXPECT_EQ(read.Codes[clears[1] + 1].Width, 9) << "and the code after it at the initial width";
  EXPECT_EQ(read.Codes[clears[0] + 1].Width, 9);
}

// Byte counts of a one-row random frame, searched for the frames whose codes take exactly 255
// and 256 bytes: the boundary of the first sub-block.
TEST(LZWEncoder, TwoHundredFiftyFiveBytesMakeOneBlockAndTwoHundredFiftySixMakeTwo) {
  bool found255 = false, found256 = false;
  for (unsigned seed = 0; seed < 50 && !(found255 && found256); ++seed) {
    for (int width = 200; width < 240; ++width) {
      std::vector<uint8_t> pixels = RandomPixels(static_cast<size_t>(width), 256, seed);
      std::vector<uint8_t> bytes = Encode(EncodeLZW, 8, 256, pixels, width, 1);
      TImageDataRead read = ReadImageData(bytes, 0);
      ASSERT_EQ(read.Pixels, pixels);
      int total = 0;
      for (int size : read.SubBlockSizes) total += size;
      if (total == 255) {
        found255 = true;
        EXPECT_EQ(read.SubBlockSizes, std::vector<int>{255});
        EXPECT_EQ(bytes.size(), 1u + 1 + 255 + 1);
      } else if (total == 256) {
        found256 = true;
        EXPECT_EQ(read.SubBlockSizes, (std::vector<int>{255, 1}));
      }
    }
  }
  EXPECT_TRUE(found255 && found256) << "no frame gave exactly 255 and 256 bytes of codes";
}

TEST(LZWHashTable, FindsEveryInsertedKeyAndNothingElse) {
  THashTable table;
  std::mt19937 random(5);
  std::vector<std::pair<uint32_t, int>> inserted;
  for (int code = 258; code < 4095; ++code) {
    uint32_t key = random() & 0xFFFFF;
    if (table.Lookup(key) >= 0) continue;
    table.Insert(key, code);
    inserted.emplace_back(key, code);
  }
  for (const auto& [key, code] : inserted) ASSERT_EQ(table.Lookup(key), code);
  table.Clear();
  for (const auto& entry : inserted) ASSERT_EQ(table.Lookup(entry.first), -1);

  // Keys that share a home slot walk the probe sequence; slot 0 has its own displacement.
  for (uint32_t home : {0u, 17u, 8008u}) {
    std::vector<uint32_t> keys;
    for (uint32_t key = 0; key <= 0xFFFFF && keys.size() < 6; ++key)
      if ((key ^ (key >> 4)) % THashTable::Size == home) keys.push_back(key);
    ASSERT_EQ(keys.size(), 6u);
    for (size_t i = 0; i < keys.size(); ++i) table.Insert(keys[i], static_cast<int>(300 + i));
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(table.Lookup(keys[i]), static_cast<int>(300 + i)) << home;
  }
  table.Clear();
  for (const auto& entry : inserted) ASSERT_EQ(table.Lookup(entry.first), -1);
}

TEST(RLEEncoder, TriangleCostAndSquareRoot) {
  for (int64_t v : {0LL, 1LL, 2LL, 3LL, 4LL, 15LL, 16LL, 17LL, 99LL, 100LL, 4095LL * 4095, 4294836225LL, 4294967295LL})
    EXPECT_EQ(TRLEEncoder::IntegerSquareRoot(v), static_cast<int64_t>(std::sqrt(static_cast<long double>(v)))) << v;
  struct Case {
    int64_t count, limit, cost;
  };
  const Case cases[] = {
      {0, 100, 0}, {1, 100, 1}, {2, 100, 2}, {3, 100, 2}, {4, 100, 3}, {6, 100, 3}, {7, 100, 4},
      // Limit 3: one full triangle is 6 pixels in 3 codes.
      {6, 3, 3}, {7, 3, 4}, {12, 3, 6}, {13, 3, 7},
  };
  for (const Case& c : cases) EXPECT_EQ(TRLEEncoder::TriangleCost(c.count, c.limit), c.cost) << c.count << "/" << c.limit;
}

}  // namespace
}  // namespace vidorant

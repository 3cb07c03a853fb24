// Whole files: the converter's layout byte for byte, and FFmpeg's own GIF decoder reading
// what we write as exactly the colours we meant.
#include <gtest/gtest.h>

#include <random>

#include "FFmpegGIFDecoder.h"
#include "GIFTestDecoder.h"
#include "GIFTestFrames.h"
#include "gif/GIFImage.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

// The converter's frames: 256-entry local table, no extensions, 8-bit pixels.
struct TConverterFrame {
  std::vector<TColor> Colors;
  std::vector<uint8_t> Pixels;
};

TEST(GIFFile, ConverterDocumentIsWrittenByteForByte) {
  const int width = 97, height = 61, count = 3;
  std::mt19937 random(2024);
  std::vector<TConverterFrame> frames(count);
  TGIFImage image;
  image.ReductionMethod = 8;
  for (TConverterFrame& f : frames) {
    f.Colors = RandomColors(256, random);
    f.Pixels = RandomIndices(static_cast<size_t>(width) * height, 256, random);
    AddFrame(image, width, height, f.Colors, f.Pixels);
  }
  std::vector<uint8_t> bytes = Save(image);

  std::vector<uint8_t> header{'G', 'I', 'F', '8', '7', 'a', width & 0xFF, width >> 8, height & 0xFF, height >> 8,
                              0x77, 0, 0};
  ASSERT_GE(bytes.size(), header.size());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 13), header);
  size_t offset = 13;
  for (const TConverterFrame& f : frames) {
    std::vector<uint8_t> expected{0x2C, 0, 0, 0, 0, width & 0xFF, width >> 8, height & 0xFF, height >> 8, 0x87};
    for (TColor c : f.Colors) {
      expected.push_back(static_cast<uint8_t>(c));
      expected.push_back(static_cast<uint8_t>(c >> 8));
      expected.push_back(static_cast<uint8_t>(c >> 16));
    }
    expected.push_back(8);
    ASSERT_LE(offset + expected.size(), bytes.size());
    ASSERT_EQ(std::vector<uint8_t>(bytes.begin() + static_cast<long>(offset), bytes.begin() + static_cast<long>(offset + expected.size())),
              expected);
    TImageDataRead data = ReadImageData(bytes, offset + expected.size() - 1);
    ASSERT_FALSE(data.SubBlockSizes.empty());
    for (size_t i = 0; i + 1 < data.SubBlockSizes.size(); ++i) EXPECT_EQ(data.SubBlockSizes[i], 255);
    EXPECT_EQ(data.Pixels, f.Pixels);
    offset = data.End;  // just after the 0x00 that ends the frame's data
    EXPECT_EQ(bytes[offset - 1], 0);
  }
  EXPECT_EQ(offset + 1, bytes.size());
  EXPECT_EQ(bytes.back(), 0x3B);
}

struct TFileCase {
  TGIFEncoderKind Kind;
  bool Interlaced;
  int Frames;
  int Width, Height;  // 0 = random
};

void CheckDecodedColours(const TFileCase& c, unsigned seed) {
  std::mt19937 random(seed);
  int width = c.Width ? c.Width : 1 + static_cast<int>(random() % 160);
  int height = c.Height ? c.Height : 1 + static_cast<int>(random() % 120);
  TGIFImage image;
  image.EncoderKind = c.Kind;
  std::vector<std::vector<TColor>> expected;
  for (int i = 0; i < c.Frames; ++i) {
    int colors = 2 + static_cast<int>(random() % 255);
    std::vector<TColor> table = RandomColors(colors, random);
    std::vector<uint8_t> pixels = RandomIndices(static_cast<size_t>(width) * height, colors, random);
    TGIFSubImage* frame = AddFrame(image, width, height, table, pixels);
    frame->SetInterlaced(c.Interlaced);
    std::vector<TColor> wanted;
    for (uint8_t p : pixels) wanted.push_back(table[p]);
    expected.push_back(std::move(wanted));
  }
  std::vector<TDecodedPicture> pictures = DecodeGIFWithFFmpeg(Save(image));
  ASSERT_EQ(pictures.size(), expected.size()) << width << "x" << height << " seed " << seed;
  for (size_t i = 0; i < pictures.size(); ++i) {
    ASSERT_EQ(pictures[i].Width, width);
    ASSERT_EQ(pictures[i].Height, height);
    ASSERT_EQ(pictures[i].Colors, expected[i]) << "frame " << i << " of " << width << "x" << height << " seed " << seed;
  }
}

TEST(GIFFile, FFmpegDecodesOurFramesToTheColoursWeMeant) {
  const TFileCase cases[] = {
      {EncodeLZW, false, 3, 0, 0}, {EncodeLZW, true, 3, 0, 0},  {EncodeRLE, false, 3, 0, 0},
      {EncodeRLE, true, 3, 0, 0},  {EncodeLZW, false, 1, 1, 1}, {EncodeRLE, true, 1, 1, 1},
      {EncodeLZW, true, 2, 640, 480}, {EncodeRLE, false, 2, 640, 480}, {EncodeLZW, false, 2, 255, 3},
  };
  unsigned seed = 1;
  for (const TFileCase& c : cases)
    for (int repeat = 0; repeat < 3; ++repeat) {
      SCOPED_TRACE(::testing::Message() << (c.Kind == EncodeRLE ? "RLE" : "LZW") << (c.Interlaced ? " interlaced" : ""));
      CheckDecodedColours(c, seed++);
      if (::testing::Test::HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace vidorant

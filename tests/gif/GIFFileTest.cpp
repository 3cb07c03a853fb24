// Whole files: the converter's layout byte for byte, and FFmpeg's own GIF decoder reading
// what we write as exactly the colours we meant.
#include <gtest/gtest.h>

#include <random>

#include "GIFTestDecoder.h"
#include "GIFTestFrames.h"
#include "gif/ColorReduction.h"
#include "gif/GIFImage.h"
#include "platform/Bitmap.h"
#include "tests/fixtures/FFmpegGIFDecoder.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

// The converter's frames: a 24-bit picture reduced with the octree and system colours (method
// 8, no dithering) gives a 256-entry table and 8-bit pixels; the frame carries no extension.
struct TConverterFrame {
  std::vector<TColor> Colors;
  std::vector<uint8_t> Pixels;
  std::vector<TColor> Shown;  // the colour of every pixel of the reduced picture
};

std::unique_ptr<TBitmap> TrueColorPicture(int width, int height, std::mt19937& random) {
  auto picture = std::make_unique<TBitmap>(width, height, pf24bit);
  int r0 = static_cast<int>(random() % 256), g0 = static_cast<int>(random() % 256);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture->ScanLine(y);
    for (int x = 0; x < width; ++x) {
      // A gradient with noise: far more than 256 colours, as in a video frame.
      row[3 * x] = static_cast<uint8_t>(x * 255 / width);
      row[3 * x + 1] = static_cast<uint8_t>((g0 + y * 3 + static_cast<int>(random() % 8)) & 0xFF);
      row[3 * x + 2] = static_cast<uint8_t>((r0 + x + y) & 0xFF);
    }
  }
  return picture;
}

TConverterFrame AddReducedFrame(TGIFImage& image, TBitmap& picture) {
  std::unique_ptr<TBitmap> reduced = ReduceColors(picture, image.ReductionMethod, image.DitherMethod, nullptr,
                                                  image.ReductionBitDepth);
  EXPECT_EQ(reduced->PixelFormat(), pf8bit);
  EXPECT_EQ(reduced->ColorTable().size(), 256u);
  TConverterFrame f;
  for (const TRGBQuad& q : reduced->ColorTable()) f.Colors.push_back(QuadColor(q));
  for (int y = 0; y < reduced->Height(); ++y) {
    const uint8_t* row = reduced->ScanLine(y);
    f.Pixels.insert(f.Pixels.end(), row, row + reduced->Width());
    for (int x = 0; x < reduced->Width(); ++x) f.Shown.push_back(reduced->GetPixel(x, y));
  }
  AddFrame(image, reduced->Width(), reduced->Height(), f.Colors, f.Pixels);
  return f;
}

TEST(GIFFile, ConverterDocumentIsWrittenByteForByte) {
  const int width = 97, height = 61, count = 3;
  std::mt19937 random(2024);
  TGIFImage image;
  image.ReductionMethod = ReduceOctreeSystem;
  std::vector<TConverterFrame> frames;
  for (int i = 0; i < count; ++i) frames.push_back(AddReducedFrame(image, *TrueColorPicture(width, height, random)));
  EXPECT_EQ(frames[0].Colors[0], RGB(0, 0, 0));
  EXPECT_EQ(frames[0].Colors[255], RGB(255, 255, 255)) << "the system colours frame the octree colours";
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

  // And another decoder shows the reduced pictures' colours.
  std::vector<TDecodedPicture> pictures = DecodeGIFWithFFmpeg(bytes);
  ASSERT_EQ(pictures.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(pictures[i].Colors, frames[i].Shown) << "frame " << i;
}

// FNV-1a over 64 bits.
uint64_t Digest(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 0xCBF29CE484222325u;
  for (uint8_t b : bytes) hash = (hash ^ b) * 0x100000001B3u;
  return hash;
}

TEST(GIFFile, ConverterBytesStayAsRecorded) {
  // The converter's road: Add of 24-bit pictures with the octree and system colours and no
  // dithering. The digest was recorded from this library before its dither engines and the
  // types of its reduction settings were reworked; those changes must not move a byte.
  std::mt19937 random(77);
  TGIFImage image;
  image.ReductionMethod = ReduceOctreeSystem;
  image.DitherMethod = DitherNearest;
  for (int i = 0; i < 3; ++i) image.Add(*TrueColorPicture(120, 90, random));
  const std::vector<uint8_t> bytes = Save(image);
  EXPECT_EQ(bytes.size(), 16827u);
  EXPECT_EQ(Digest(bytes), 9165418057640477076u);
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

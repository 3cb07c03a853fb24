// Frames that do not sit inside the logical screen, as real files have them: the screen grows
// to hold them without a word, and a frame whose bounds pass the 16-bit limit is clipped with a
// warning while the other frames are kept. Also the transparency a file's graphic control
// blocks give a frame.
#include <gtest/gtest.h>

#include "GIFReadTestSupport.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

// ImageBytes placed at (left, top).
std::vector<uint8_t> PlacedImage(int left, int top, int width, int height, bool interlaced, const std::vector<uint8_t>& codes) {
  std::vector<uint8_t> bytes = ImageBytes(width, height, interlaced, 2, codes);
  bytes[1] = static_cast<uint8_t>(left);
  bytes[2] = static_cast<uint8_t>(left >> 8);
  bytes[3] = static_cast<uint8_t>(top);
  bytes[4] = static_cast<uint8_t>(top >> 8);
  return bytes;
}

// One pixel of colour 1, then the end code.
const std::vector<uint8_t> OnePixel = PackCodes({{4, 3}, {1, 3}, {5, 3}});
// Pixels 1, 2, 3, 0 in stream order: the third code fills the table to 7, so the fourth and
// the end code are 4 bits wide.
const std::vector<uint8_t> FourPixels = PackCodes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}, {5, 4}});

std::vector<uint8_t> Pixels(const TGIFSubImage& frame) { return {frame.Data(), frame.Data() + frame.DataSize()}; }

TEST(GIFReaderBounds, FramesReachingPastTheScreenGrowItWithoutWarnings) {
  std::vector<uint8_t> bytes = HeaderBytes(2, 2);
  Append(bytes, PlacedImage(0, 0, 1, 1, false, OnePixel));
  Append(bytes, PlacedImage(1, 1, 3, 2, false, OnePixel));
  Append(bytes, PlacedImage(4, 0, 1, 1, false, OnePixel));
  bytes.push_back(0x3B);
  TGIFImage image;
  TLoadResult loaded = LoadBytes(image, bytes);
  ASSERT_EQ(loaded.Error, "");
  EXPECT_EQ(loaded.Warnings, std::vector<std::string>{});
  EXPECT_EQ(image.Images().Count(), 3);
  EXPECT_EQ(image.GetWidth(), 5);
  EXPECT_EQ(image.GetHeight(), 3);
}

TEST(GIFReaderBounds, AFramePassingTheSixteenBitLimitIsClippedAndTheOthersKept) {
  struct TCase {
    const char* Name;
    int Left, Top, Width, Height;
    bool Interlaced;
    TRect Kept;
    std::vector<uint8_t> Pixels;
  };
  const TCase cases[] = {
      {"wide", 65534, 0, 4, 1, false, Rect(65534, 0, 65535, 1), {1}},
      {"tall", 0, 65533, 1, 4, false, Rect(0, 65533, 1, 65535), {1, 2}},
      // Stream rows 0, 2, 1, 3: rows 0 and 1 are kept.
      {"tall interlaced", 0, 65533, 1, 4, true, Rect(0, 65533, 1, 65535), {1, 3}},
      {"nothing left", 65535, 0, 4, 1, false, Rect(65535, 0, 65535, 1), {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> bytes = HeaderBytes(2, 2);
    Append(bytes, PlacedImage(0, 0, 1, 1, false, OnePixel));
    Append(bytes, PlacedImage(c.Left, c.Top, c.Width, c.Height, c.Interlaced, FourPixels));
    Append(bytes, PlacedImage(1, 1, 1, 1, false, OnePixel));
    bytes.push_back(0x3B);
    TGIFImage image;
    TLoadResult loaded = LoadBytes(image, bytes);
    ASSERT_EQ(loaded.Error, "");
    EXPECT_EQ(loaded.Warnings, std::vector<std::string>{"Image clipped to the GIF limit of 65535 pixels"});
    ASSERT_EQ(image.Images().Count(), 3);
    EXPECT_EQ(image.Images()[1]->BoundsRect(), c.Kept);
    EXPECT_EQ(Pixels(*image.Images()[1]), c.Pixels);
    // The frame after it was read from its own start.
    EXPECT_EQ(image.Images()[2]->BoundsRect(), Rect(1, 1, 2, 2));
    EXPECT_EQ(Pixels(*image.Images()[2]), std::vector<uint8_t>{1});
  }
}

TEST(GIFReaderBounds, AnyTransparentGraphicControlBlockMakesTheFrameTransparent) {
  // A first block with a delay only, a second with the transparent flag and index 2: the frame
  // is transparent with index 2, and the pixels its data does not reach keep that index.
  std::vector<uint8_t> bytes = HeaderBytes(2, 1);
  Append(bytes, {0x21, 0xF9, 4, 0x00, 5, 0, 0, 0});
  Append(bytes, {0x21, 0xF9, 4, 0x01, 0, 0, 2, 0});
  Append(bytes, PlacedImage(0, 0, 2, 1, false, OnePixel));
  bytes.push_back(0x3B);
  TGIFImage image;
  TLoadResult loaded = LoadBytes(image, bytes);
  ASSERT_EQ(loaded.Error, "");
  ASSERT_EQ(image.Images().Count(), 1);
  const TGIFSubImage& frame = *image.Images()[0];
  EXPECT_TRUE(frame.Transparent());
  ASSERT_NE(frame.GraphicControlExtension(), nullptr);
  EXPECT_EQ(frame.GraphicControlExtension()->TransparentColorIndex(), 2);
  EXPECT_EQ(Pixels(frame), (std::vector<uint8_t>{1, 2}));
}

}  // namespace
}  // namespace vidorant

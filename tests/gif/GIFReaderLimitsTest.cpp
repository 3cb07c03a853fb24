// Hostile sizes: a valid file may claim a frame or a document far larger than anything this
// reader should allocate. Such files are built small here (a header claiming a huge frame with
// little data, padded so that the file-size budget alone would let it through), and each case
// checks the error text and that nothing of the claimed size was allocated.
#include <gtest/gtest.h>

#include "AllocationProbe.h"
#include "GIFReadTestSupport.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

// A comment block of about `bytes` bytes: enough file behind the frame for the file budget
// (4,096 pixels per byte) to allow it, so that only the reader's own limits refuse it.
std::vector<uint8_t> Padding(size_t bytes) {
  std::vector<uint8_t> block{0x21, 0xFE};
  for (size_t left = bytes; left > 0;) {
    const size_t n = std::min<size_t>(left, 255);
    block.push_back(static_cast<uint8_t>(n));
    block.insert(block.end(), n, 'p');
    left -= n;
  }
  block.push_back(0);
  return block;
}

// A frame of width x height whose data is a clear code and the end code.
std::vector<uint8_t> EmptyFrame(int width, int height) {
  return ImageBytes(width, height, false, 2, PackCodes({{4, 3}, {5, 3}}));
}

TEST(GIFReaderLimits, AFrameAboveTheDefaultFrameLimitIsRefusedBeforeItIsAllocated) {
  // 16385 x 16384 is just above 2^28 pixels; 80 KB of padding lets the file budget take it.
  std::vector<uint8_t> bytes = HeaderBytes(16385, 16384);
  Append(bytes, Padding(80 * 1024));
  Append(bytes, EmptyFrame(16385, 16384));
  bytes.push_back(0x3B);
  TGIFImage image;
  ResetLargestAllocation();
  TLoadResult loaded = LoadBytes(image, bytes);
  const size_t largest = LargestAllocation();
  EXPECT_EQ(loaded.Error,
            "Unsupported GIF: a frame of 16385 x 16384 pixels exceeds the reader's limit of 268435456 pixels per frame");
  EXPECT_LT(largest, size_t{16} << 20) << "the frame was allocated before it was refused";
  EXPECT_EQ(loaded.PositionAfter, 0);
}

TEST(GIFReaderLimits, TheLimitsAreSettingsOfTheDocument) {
  struct TCase {
    const char* Name;
    int64_t MaxFrame, MaxDocument;
    std::string Error;
    int FramesKept;
  };
  // Three frames of 40 x 40 (1,600 pixels each).
  const TCase cases[] = {
      {"within both", 1600, 4800, "", 3},
      {"frame", 1599, 4800, "Unsupported GIF: a frame of 40 x 40 pixels exceeds the reader's limit of 1599 pixels per frame", 0},
      {"document", 1600, 4799,
       "Unsupported GIF: a frame of 40 x 40 pixels exceeds the reader's limit of 4799 pixels per document", 2},
  };
  std::vector<uint8_t> bytes = HeaderBytes(40, 40);
  for (int i = 0; i < 3; ++i) Append(bytes, EmptyFrame(40, 40));
  bytes.push_back(0x3B);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TGIFImage image;
    image.ReadLimits.MaxFramePixels = c.MaxFrame;
    image.ReadLimits.MaxDocumentPixels = c.MaxDocument;
    TLoadResult loaded = LoadBytes(image, bytes);
    EXPECT_EQ(loaded.Error, c.Error);
    // A refused load keeps the frames read before the one refused.
    EXPECT_EQ(image.Images().Count(), c.FramesKept);
  }
  // A new document takes the defaults.
  GIFImageDefaults.ReadLimits.MaxFramePixels = 1599;
  TGIFImage image;
  GIFImageDefaults.ReadLimits = TGIFReadLimits();
  EXPECT_EQ(image.ReadLimits.MaxFramePixels, 1599);
  EXPECT_NE(LoadBytes(image, bytes).Error, "");
}

}  // namespace
}  // namespace vidorant

// Optimisation: the colour-table sort and its remapping, merging, cropping and clean-up, and an
// animation that FFmpeg decodes to the same pictures before and after optimising.
#include <gtest/gtest.h>

#include <random>

#include "GIFReadTestSupport.h"
#include "GIFTestFrames.h"
#include "gif/ColorReduction.h"
#include "gif/GIFColorMapSort.h"
#include "tests/fixtures/FFmpegGIFDecoder.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

const std::vector<TColor> Four{RGB(10, 0, 0), RGB(20, 0, 0), RGB(30, 0, 0), RGB(40, 0, 0)};

std::vector<uint8_t> Pixels(const TGIFSubImage& frame) { return std::vector<uint8_t>(frame.Data(), frame.Data() + frame.DataSize()); }

TEST(GIFColorMapSort, OrderByUseRemapsPixelsAndCutsUnusedEntries) {
  // Already in descending order of use: only the sort flag changes, the unused entry stays.
  TGIFImage sorted;
  TGIFSubImage* frame = AddFrame(sorted, 3, 3, Four, {0, 0, 0, 0, 0, 1, 1, 1, 2});
  EXPECT_TRUE(SortColorMapByUse(*frame));
  EXPECT_TRUE(frame->ColorMap().Optimized());
  EXPECT_EQ(frame->ColorMap().Count(), 4);
  EXPECT_EQ(Pixels(*frame), (std::vector<uint8_t>{0, 0, 0, 0, 0, 1, 1, 1, 2}));

  // Only entries 2 and 3 used, 3 more often: two entries (old 3, old 2), pixels 0 and 1, and the
  // transparent index follows its colour.
  TGIFImage image;
  frame = AddFrame(image, 3, 2, Four, {3, 2, 3, 3, 2, 3});
  AddControl(*frame, 0, 2);
  EXPECT_TRUE(SortColorMapByUse(*frame));
  ASSERT_EQ(frame->ColorMap().Count(), 2);
  EXPECT_EQ(frame->ColorMap().Colors(0), Four[3]);
  EXPECT_EQ(frame->ColorMap().Colors(1), Four[2]);
  EXPECT_TRUE(frame->ColorMap().Optimized());
  EXPECT_EQ(Pixels(*frame), (std::vector<uint8_t>{0, 1, 0, 0, 1, 0}));
  EXPECT_EQ(frame->GraphicControlExtension()->TransparentColorIndex(), 1);

  // A table of one entry is left alone.
  TGIFImage single;
  frame = AddFrame(single, 1, 1, {RGB(1, 1, 1)});
  EXPECT_FALSE(SortColorMapByUse(*frame));
  EXPECT_FALSE(frame->ColorMap().Optimized());

  // The global table counts the frames that use it, not those with a table of their own.
  TGIFImage global;
  for (TColor c : Four) global.GlobalColorMap().Add(c);
  TGIFSubImage* own = AddFrame(global, 2, 2, Four, {1, 1, 1, 1});
  TGIFSubImage* shared = AddFrame(global, 2, 2, {}, {2, 2, 0, 2});
  EXPECT_TRUE(SortColorMapByUse(global));
  ASSERT_EQ(global.GlobalColorMap().Count(), 2);
  EXPECT_EQ(global.GlobalColorMap().Colors(0), Four[2]);
  EXPECT_EQ(Pixels(*shared), (std::vector<uint8_t>{0, 0, 1, 0}));
  EXPECT_EQ(Pixels(*own), (std::vector<uint8_t>{1, 1, 1, 1}));
}

TEST(GIFOptimize, TransparentFrameCroppedToNothingIsDeletedAndItsDelayKept) {
  TGIFImage image;
  TGIFSubImage* first = AddFrame(image, 4, 4, Four, std::vector<uint8_t>(16, 1));
  AddControl(*first, 10, 3);
  TGIFSubImage* blank = AddFrame(image, 4, 4, Four, std::vector<uint8_t>(16, 3));
  AddControl(*blank, 25, 3);
  // A frame with a border of transparent pixels around a 2 x 1 opaque part.
  TGIFSubImage* bordered = AddFrame(image, 4, 4, Four, {3, 3, 3, 3, 3, 0, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3});
  AddControl(*bordered, 5, 3);
  image.Optimize(OptimizeCrop, ReduceNone, 8, DitherNearest);
  ASSERT_EQ(image.Images().Count(), 2);
  EXPECT_EQ(image.Images()[0]->GraphicControlExtension()->Delay(), 35);
  EXPECT_EQ(image.Images()[1]->BoundsRect(), Rect(1, 1, 3, 2));
  EXPECT_EQ(Pixels(*image.Images()[1]), (std::vector<uint8_t>{0, 2}));

  // A deleted first frame hands its looping block to the frame that becomes first.
  TGIFImage looping;
  TGIFSubImage* empty = AddFrame(looping, 2, 2, Four, std::vector<uint8_t>(4, 0));
  AddControl(*empty, 0, 0);
  auto loop = std::make_unique<TGIFAppExtNSLoop>(empty);
  loop->Loops = 7;
  empty->Extensions().Add(std::move(loop));
  AddFrame(looping, 2, 2, Four, {1, 2, 1, 2});
  looping.Optimize(OptimizeCrop, ReduceNone, 8, DitherNearest);
  ASSERT_EQ(looping.Images().Count(), 1);
  ASSERT_EQ(looping.Images()[0]->Extensions().Count(), 1);
  auto* kept = dynamic_cast<TGIFAppExtNSLoop*>(looping.Images()[0]->Extensions()[0]);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Loops, 7);
}

TEST(GIFOptimize, CleanupDropsRedundantBlocksAndKeepsTheMeaningfulOnes) {
  // One frame: a plain control extension goes whatever its delay and disposal; a transparent
  // one or one waiting for input stays.
  struct TCase {
    uint16_t Delay;
    TDisposalMethod Disposal;
    bool Transparent, UserInput, Kept;
  };
  for (TCase c : {TCase{50, dmBackground, false, false, false}, TCase{0, dmNone, false, false, false},
                  TCase{50, dmPrevious, true, false, true}, TCase{0, dmNone, false, true, true}}) {
    TGIFImage image;
    TGIFSubImage* frame = AddFrame(image, 2, 1, Four, {0, 1});
    TGIFGraphicControlExtension* control = AddControl(*frame, c.Delay, c.Transparent ? 1 : -1, c.Disposal);
    control->SetUserInput(c.UserInput);
    image.Optimize(OptimizeCleanup, ReduceNone, 8, DitherNearest);
    EXPECT_EQ(frame->GraphicControlExtension() != nullptr, c.Kept) << c.Delay << c.Disposal << c.Transparent << c.UserInput;
  }

  TGIFImage image;
  TGIFSubImage* first = AddFrame(image, 4, 4, Four, std::vector<uint8_t>(16, 0));
  AddControl(*first, 10, 2, dmBackground);  // index 2 unused: transparency goes
  auto loop = std::make_unique<TGIFAppExtNSLoop>(first);
  first->Extensions().Add(std::move(loop));
  auto comment = std::make_unique<TGIFCommentExtension>(first);
  comment->Lines = {"x"};
  first->Extensions().Add(std::move(comment));
  TGIFSubImage* second = AddFrame(image, 4, 4, Four, std::vector<uint8_t>(16, 1));  // opaque, covers the first
  AddControl(*second, 0, -1, dmBackground);
  second->Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(second));
  second->Extensions().Add(std::make_unique<TGIFTextExtension>(second));
  TGIFSubImage* inside = AddFrame(image, 2, 2, Four, std::vector<uint8_t>(4, 2));
  AddControl(*inside, 7, -1, dmNone);
  TGIFSubImage* nothing = AddFrame(image, 0, 0, {});
  nothing->Extensions().Add(std::make_unique<TGIFCommentExtension>(nothing));
  // Disposal of a frame only partly covered by the next one must stay.
  second->GraphicControlExtension()->SetDisposal(dmBackground);

  image.Optimize(OptimizeCleanup, ReduceNone, 8, DitherNearest);
  ASSERT_EQ(image.Images().Count(), 3);  // the frame of only a comment is gone
  EXPECT_FALSE(first->Transparent());
  EXPECT_EQ(first->GraphicControlExtension()->Disposal(), dmNone);  // the second covers it
  ASSERT_EQ(first->Extensions().Count(), 2);                         // control and loop
  EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(first->Extensions()[1]), nullptr);
  ASSERT_EQ(second->Extensions().Count(), 1);  // loop and text gone, control kept for its disposal
  EXPECT_EQ(second->GraphicControlExtension()->Disposal(), dmBackground);
  EXPECT_EQ(inside->GraphicControlExtension()->Delay(), 7);
}

TEST(GIFOptimize, ReduceColorsBitChecksTheMethodAndNothingElse) {
  TGIFImage image;
  AddFrame(image, 2, 1, Four, {0, 1});
  std::vector<uint8_t> before = Save(image);
  std::vector<int> ends;
  image.OnProgress = [&ends](TObject*, TProgressStage stage, int percent, const std::string& text) {
    EXPECT_EQ(text, "Optimizing...");
    if (stage == psEnding) ends.push_back(percent);
  };
  try {
    image.Optimize(OptimizeReduceColors, ReduceCustom, 8, DitherNearest);
    ADD_FAILURE() << "no error";
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message, "Invalid reduction method");
  }
  EXPECT_NO_THROW(image.Optimize(OptimizeReduceColors | OptimizeCleanup, ReduceCustom, 8, DitherNearest));
  EXPECT_NO_THROW(image.Optimize(OptimizeReduceColors, ReduceOctreeSystem, 8, DitherNearest));
  EXPECT_EQ(ends, (std::vector<int>{0, 100, 100}));
  image.OnProgress = nullptr;
  EXPECT_EQ(Save(image), before);

  TGIFImage empty;
  EXPECT_NO_THROW(empty.Optimize(31, ReduceCustom, 8, DitherNearest));
}

TEST(GIFOptimize, EveryOptionTogetherKeepsWhatFFmpegShows) {
  std::mt19937 random(5);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    TGIFImage image;
    std::vector<TColor> table = RandomColors(8, random);
    std::vector<uint8_t> base = RandomIndices(24 * 16, 8, random);
    for (int f = 0; f < 4; ++f) {
      // Each frame repeats most of the one before and changes a small patch.
      std::vector<uint8_t> pixels = base;
      for (int k = 0; k < 20; ++k) pixels[(random() % 16) * 24 + random() % 24] = static_cast<uint8_t>(random() % 8);
      TGIFSubImage* frame = AddFrame(image, 24, 16, table, pixels);
      AddControl(*frame, static_cast<uint16_t>(10 + f));
      base = pixels;
    }
    std::vector<uint8_t> original = Save(image);
    image.Optimize(OptimizeCrop | OptimizeMerge | OptimizeCleanup | OptimizeColorMaps, ReduceNone, 8, DitherNearest);
    std::vector<uint8_t> optimised = Save(image);
    EXPECT_LT(optimised.size(), original.size() + 64);
    std::vector<TDecodedPicture> want = DecodeGIFWithFFmpeg(original);
    std::vector<TDecodedPicture> got = DecodeGIFWithFFmpeg(optimised);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i].Colors, want[i].Colors) << "picture " << i;
    EXPECT_TRUE(image.Images()[1]->Transparent());  // merged pixels became transparent
  }
}

}  // namespace
}  // namespace vidorant

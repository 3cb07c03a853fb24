// The animation painter: composing frames by their disposal methods as FFmpeg's decoder does,
// the waits it asks for, its passes over a looping animation, and a painter on its own thread
// stopped from the main thread (it ends, frees its buffers, leaves the document's painter list
// and leaves the last frame it painted on the canvas).
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "GIFTestFrames.h"
#include "gif/GIFAppExtension.h"
#include "gif/GIFPainter.h"
#include "platform/Canvas.h"
#include "platform/Synchronize.h"
#include "tests/fixtures/FFmpegGIFDecoder.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

class GIFPainterTest : public ::testing::Test {
protected:
  void SetUp() override { FSaved = GIFPainterTiming; }
  void TearDown() override { GIFPainterTiming = FSaved; }

private:
  TGIFPainterTiming FSaved;
};

// Solid frames covering a width x height screen, frame i in colors[i].
void AddSolidFrames(TGIFImage& image, int width, int height, const std::vector<TColor>& colors,
                           uint16_t delay = 0, TDisposalMethod disposal = dmKeep) {
  for (TColor color : colors) AddControl(*AddFrame(image, width, height, {color}), delay, -1, disposal);
}

struct TComposeCase {
  const char* Name;
  TDisposalMethod Disposals[3];
};

void PrintTo(const TComposeCase& c, std::ostream* os) { *os << c.Name; }

class GIFPainterComposeTest : public GIFPainterTest, public ::testing::WithParamInterface<TComposeCase> {};

// Each order shows a different disposal's effect on the frame after it: a cleared area, a
// frame removed after one kept, and one removed after one cleared.
INSTANTIATE_TEST_SUITE_P(Orders, GIFPainterComposeTest,
                         ::testing::Values(TComposeCase{"KeepClearRestore", {dmKeep, dmBackground, dmPrevious}},
                                           TComposeCase{"KeepRestoreClear", {dmKeep, dmPrevious, dmBackground}},
                                           TComposeCase{"ClearRestoreKeep", {dmBackground, dmPrevious, dmKeep}}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_P(GIFPainterComposeTest, EveryFrameOnTheCanvasMatchesFFmpegsComposition) {
  GIFPainterTiming.Wait = [](TGIFPainter&, uint32_t) { return false; };
  std::mt19937 random(7);
  const TColor background = RGB(12, 34, 56);
  TGIFImage image;
  image.GlobalColorMap().Add(background);
  image.Header().BackgroundColorIndex = 0;
  // Full screen, then two smaller overlapping frames; the frame removed again is transparent.
  const TRect bounds[3] = {Rect(0, 0, 12, 9), Rect(2, 1, 9, 6), Rect(5, 3, 12, 9)};
  for (int i = 0; i < 3; ++i) {
    const TRect& b = bounds[i];
    TGIFSubImage* frame = AddFrame(image, b.Width(), b.Height(), RandomColors(6, random),
                                   RandomIndices(static_cast<size_t>(b.Width() * b.Height()), 6, random));
    frame->SetBounds(b.Left, b.Top, b.Width(), b.Height());
    const TDisposalMethod disposal = GetParam().Disposals[i];
    AddControl(*frame, 1, disposal == dmPrevious ? 2 : -1, disposal);
  }
  const std::vector<TDecodedPicture> expected = DecodeGIFWithFFmpeg(Save(image));
  ASSERT_EQ(expected.size(), 3u);

  TBitmap bitmap(12, 9, pf24bit);
  bitmap.Canvas().BrushColor = background;
  bitmap.Canvas().FillRect(Rect(0, 0, 12, 9));
  int painted = 0;
  image.OnAfterPaint = [&](TObject* sender) {
    const int index = static_cast<TGIFPainter*>(sender)->ActiveImage();
    ASSERT_EQ(index, painted++);
    const TDecodedPicture& picture = expected[static_cast<size_t>(index)];
    int compared = 0;
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 12; ++x) {
        const size_t at = static_cast<size_t>(y * 12 + x);
        if (picture.Alpha[at] != 255) continue;
        ++compared;
        EXPECT_EQ(bitmap.GetPixel(x, y), picture.Colors[at]) << "frame " << index << " at " << x << "," << y;
      }
    // Most of the screen is opaque in every picture, or the comparison proves little.
    EXPECT_GT(compared, 12 * 9 / 2) << "frame " << index;
  };
  image.DrawOptions = PaintAnimate | PaintDirect;
  image.Draw(bitmap.Canvas(), Rect(0, 0, 12, 9));
  EXPECT_EQ(painted, 3);
  EXPECT_EQ(image.Painters().Count(), 0);
}

struct TTimingCase {
  const char* Name;
  uint16_t Options;
  int Speed;
  int PaintCost;                 // milliseconds the fake clock moves while a frame is painted
  std::vector<int> WaitUnits;    // delay units behind each wait asked for
};

void PrintTo(const TTimingCase& c, std::ostream* os) { *os << c.Name; }

class GIFPainterTimingTest : public GIFPainterTest, public ::testing::WithParamInterface<TTimingCase> {};

// Frames with delays 0, 2, 5, 2000 and a last one that shows the 2000's wait. A synchronous
// painter waits one unit before its first frame and caps a delay at 1000 units.
INSTANTIATE_TEST_SUITE_P(
    Painters, GIFPainterTimingTest,
    ::testing::Values(TTimingCase{"Synchronous", PaintAnimate | PaintDirect, 100, 0, {1, 10, 3, 5, 1000}},
                      TTimingCase{"Asynchronous", PaintAsync | PaintAnimate | PaintDirect, 100, 0, {10, 3, 5, 2000}},
                      TTimingCase{"SlowPaintingFastSpeed", PaintAsync | PaintAnimate | PaintDirect, 250, 10, {10, 3, 5, 2000}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_P(GIFPainterTimingTest, WaitsFollowTheFramesDelays) {
  const TTimingCase& c = GetParam();
  std::atomic<int64_t> clock{1000};
  std::vector<uint32_t> waits;  // written by the painter's thread, read after its end
  GIFPainterTiming.Clock = [&] { return clock.load(); };
  GIFPainterTiming.Wait = [&](TGIFPainter&, uint32_t ms) {
    waits.push_back(ms);
    clock += ms;
    return false;
  };
  TGIFImage image;
  for (uint16_t delay : std::initializer_list<uint16_t>{0, 2, 5, 2000, 0}) AddControl(*AddFrame(image, 1, 1, {RGB(1, 2, 3)}), delay);
  image.OnPaint = [&](TObject*) { clock += c.PaintCost; };
  TEvent ended;
  image.OnEndPaint = [&](TObject*) { ended.SetEvent(); };
  image.AnimationSpeed = c.Speed;
  image.DrawOptions = c.Options;
  TBitmap bitmap(1, 1, pf24bit);
  image.Draw(bitmap.Canvas(), Rect(0, 0, 1, 1));
  WaitServingSynchronize(ended);
  image.StopDraw();

  std::vector<uint32_t> expected;
  for (size_t i = 0; i < c.WaitUnits.size(); ++i) {
    // Half of the painting time beyond the last wait comes off the next one.
    // A synchronous painter's first wait comes before anything was painted.
    const bool beforeFirstFrame = i == 0 && !(c.Options & PaintAsync);
    const int overrun = beforeFirstFrame ? 0 : c.PaintCost;
    expected.push_back(static_cast<uint32_t>((c.WaitUnits[i] * 12 - overrun / 2) * 100 / c.Speed));
  }
  EXPECT_EQ(waits, expected);
}

TEST_F(GIFPainterTest, PassesFollowTheLoopingBlockFromItsFrame) {
  GIFPainterTiming.Wait = [](TGIFPainter&, uint32_t) { return false; };
  struct TCase {
    uint16_t Options;
    int StopAfterPaints;  // 0: let it end
    std::vector<int> Painted;
  };
  const uint16_t loop = PaintAnimate | PaintLoop | PaintDirect;
  const TCase cases[] = {
      // The looping block sits in frame 1: later passes start there, and its count of 2 is the
      // number of passes.
      {loop, 0, {0, 1, 2, 1, 2}},
      // Without PaintLoop one pass, whatever the block says.
      {PaintAnimate | PaintDirect, 0, {0, 1, 2}},
      // Forever runs past the block's count until stopped.
      {loop | PaintLoopForever, 9, {0, 1, 2, 1, 2, 1, 2, 1, 2}},
  };
  for (const TCase& c : cases) {
    TGIFImage image;
    AddSolidFrames(image, 2, 2, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)});
    auto block = std::make_unique<TGIFAppExtNSLoop>(image.Images()[1]);
    block->Loops = 2;
    image.Images()[1]->Extensions().Add(std::move(block));
    std::vector<int> painted;
    int loops = 0;
    image.OnLoop = [&](TObject*) { ++loops; };
    image.OnAfterPaint = [&](TObject* sender) {
      auto* painter = static_cast<TGIFPainter*>(sender);
      painted.push_back(painter->ActiveImage());
      if (static_cast<int>(painted.size()) == c.StopAfterPaints) painter->Stop();
    };
    image.DrawOptions = c.Options;
    TBitmap bitmap(2, 2, pf24bit);
    image.Draw(bitmap.Canvas(), Rect(0, 0, 2, 2));
    EXPECT_EQ(painted, c.Painted) << "options " << c.Options;
    // One loop event before every pass after the first; each pass paints frame 1 once.
    EXPECT_EQ(loops, std::count(c.Painted.begin(), c.Painted.end(), 1) - 1) << "options " << c.Options;
    // The canvas shows the last frame painted.
    EXPECT_EQ(bitmap.GetPixel(1, 1), image.Images()[c.Painted.back()]->ColorMap().Colors(0));
  }
}

TEST_F(GIFPainterTest, StoppingAnEndlessAsynchronousPainterEndsItCleanly) {
  const std::vector<TColor> colors{RGB(200, 0, 0), RGB(0, 200, 0)};
  TBitmap bitmap(6, 4, pf24bit);
  for (int round = 0; round < 200; ++round) {
    // Even rounds stop a painter parked in a 24-second wait; odd rounds one that paints
    // without waiting, so the stop meets it at any step.
    const bool parked = round % 2 == 0;
    TGIFImage image;
    AddSolidFrames(image, 6, 4, colors, parked ? 2000 : 1, dmBackground);
    image.AnimationSpeed = parked ? 100 : 1000000;
    image.DrawOptions = PaintAsync | PaintAnimate | PaintLoop | PaintLoopForever | PaintDirect;
    int painted = 0, last = -1;
    TEvent enough;
    image.OnAfterPaint = [&](TObject* sender) {
      last = static_cast<TGIFPainter*>(sender)->ActiveImage();
      if (++painted == 3) enough.SetEvent();
    };
    image.Draw(bitmap.Canvas(), Rect(0, 0, 6, 4));
    TGIFPainter* painter = image.Painter();
    ASSERT_NE(painter, nullptr) << "round " << round;
    ASSERT_TRUE(image.Painters().Contains(painter));
    ASSERT_TRUE(painter->HasBuffers());
    if (!parked) WaitServingSynchronize(enough);

    painter->Stop();
    painter->WaitFor();
    EXPECT_FALSE(painter->HasBuffers()) << "round " << round;
    EXPECT_EQ(image.Painters().Count(), 0) << "round " << round;
    EXPECT_EQ(image.Painter(), nullptr) << "round " << round;
    EXPECT_EQ(painter->ActiveImage(), -1);
    ASSERT_GE(last, 0);
    EXPECT_GE(painted, parked ? 1 : 3);
    EXPECT_EQ(bitmap.GetPixel(5, 3), colors[static_cast<size_t>(last)]) << "round " << round;
  }
}

TEST_F(GIFPainterTest, DrawingAgainOnTheSameCanvasKeepsTheRunningPainter) {
  TGIFImage image;
  AddSolidFrames(image, 2, 2, {RGB(1, 1, 1), RGB(2, 2, 2)}, 2000);
  image.DrawOptions = PaintAsync | PaintAnimate | PaintLoop | PaintLoopForever;
  TBitmap bitmap(4, 4, pf24bit), other(4, 4, pf24bit);
  image.Draw(bitmap.Canvas(), Rect(0, 0, 4, 4));
  TGIFPainter* first = image.Painter();
  image.Draw(bitmap.Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(image.Painter(), first);
  // Without PaintDirect the painter paints the document's bitmap, which each draw shows.
  EXPECT_EQ(bitmap.GetPixel(3, 3), RGB(1, 1, 1));
  // Another canvas replaces the painter: one painter per document draws at a time.
  image.Draw(other.Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(image.Painters().Count(), 1);
  EXPECT_EQ(other.GetPixel(0, 0), RGB(1, 1, 1));
}

}  // namespace
}  // namespace vidorant

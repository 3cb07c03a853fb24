// The animation painter on its own thread, stopped from the main thread: it ends, frees its
// buffers, leaves the document's painter list and leaves the last frame it painted on the canvas.
#include "GIFPainterTestSupport.h"
#include "platform/Synchronize.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

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

// Drawing a still frame into a rectangle: nearest-neighbour stretching, transparency, and a
// cached bitmap that follows changes of the pixels.
#include <gtest/gtest.h>

#include "GIFTestFrames.h"
#include "gif/GIFPainter.h"
#include "platform/Canvas.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

TEST(GIFFrameDraw, StillDrawingStretchesTheSelectedFrameAndHonoursTransparencyOnlyWhenAsked) {
  const TColor canvasColor = RGB(9, 9, 9), red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
  TGIFImage image;
  AddFrame(image, 2, 2, {RGB(1, 1, 1)});
  AddControl(*AddFrame(image, 2, 2, {red, blue}, {0, 1, 1, 0}), 0, 1);
  image.SelectedImage = 1;
  for (uint16_t options : {0, PaintTransparent | PaintLoop}) {
    image.DrawOptions = options;
    TBitmap bitmap(5, 4, pf24bit);
    bitmap.Canvas().BrushColor = canvasColor;
    bitmap.Canvas().FillRect(Rect(0, 0, 5, 4));
    // The 2x2 screen into 4x4 at (1, 0): each pixel becomes a 2x2 block; no painter runs.
    image.Draw(bitmap.Canvas(), Rect(1, 0, 5, 4));
    EXPECT_EQ(image.Painters().Count(), 0);
    const TColor shownBlue = options & PaintTransparent ? canvasColor : blue;
    for (int y = 0; y < 4; ++y) {
      EXPECT_EQ(bitmap.GetPixel(0, y), canvasColor);
      for (int x = 1; x < 5; ++x) {
        const bool isRed = ((x - 1) / 2) == (y / 2);
        EXPECT_EQ(bitmap.GetPixel(x, y), isRed ? red : shownBlue) << x << "," << y << " options " << options;
      }
    }
  }
}

TEST(GIFFrameDraw, ChangedPixelsAndColoursReachTheCachedBitmap) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 1, 1, {RGB(1, 0, 0), RGB(2, 0, 0)});
  EXPECT_EQ(frame->Bitmap().GetPixel(0, 0), RGB(1, 0, 0));
  frame->Data()[0] = 1;
  EXPECT_EQ(frame->Bitmap().GetPixel(0, 0), RGB(2, 0, 0));
  frame->ColorMap().SetColors(1, RGB(3, 0, 0));
  EXPECT_EQ(frame->Bitmap().GetPixel(0, 0), RGB(3, 0, 0));
  EXPECT_EQ(frame->Mask(), nullptr);
  AddControl(*frame, 0, 1);
  ASSERT_NE(frame->Mask(), nullptr);
  EXPECT_EQ(frame->Mask()->GetPixel(0, 0), RGB(255, 255, 255));
  // An index past the table shows black, as a file's zero-padded table does.
  frame->Data()[0] = 7;
  EXPECT_EQ(frame->Bitmap().GetPixel(0, 0), RGB(0, 0, 0));
}

}  // namespace
}  // namespace vidorant

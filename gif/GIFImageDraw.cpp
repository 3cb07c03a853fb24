// Drawing a whole document: one frame, or an animation painter that shows them all.
#include <algorithm>

#include "gif/GIFImage.h"
#include "gif/GIFPainter.h"
#include "platform/Canvas.h"
#include "platform/Synchronize.h"

namespace vidorant {

namespace {
// The platform's window colour, what a document without a global table stands on.
constexpr TColor WindowColor = RGB(255, 255, 255);
}  // namespace

TRect TGIFImage::FrameRect(const TGIFSubImage& frame, const TRect& rect) const {
  const int64_t screenWidth = std::max(GetWidth(), 1), screenHeight = std::max(GetHeight(), 1);
  auto x = [&](int64_t at) { return rect.Left + static_cast<int>(at * rect.Width() / screenWidth); };
  auto y = [&](int64_t at) { return rect.Top + static_cast<int>(at * rect.Height() / screenHeight); };
  return Rect(x(frame.Left()), y(frame.Top()), x(frame.Left() + frame.Width()), y(frame.Top() + frame.Height()));
}

TColor TGIFImage::PaintBackgroundColor() const {
  if (BackgroundColor) return *BackgroundColor;
  const TGIFColorMap& global = FHeader->ColorMap();
  if (global.Count() == 0) return WindowColor;
  const int index = FHeader->BackgroundColorIndex;
  return index < global.Count() ? global.Colors(index) : RGB(0, 0, 0);
}

void TGIFImage::StopDraw() {
  {
    // Under the lock: a painter leaves the list before it can be destroyed.
    auto lock = FPainters.LockList();
    for (TGIFPainter* painter : FPainters.Snapshot()) painter->Stop();
  }
  if (FPainter) {
    FPainter->WaitFor();
    FPainter.reset();
  }
}

void TGIFImage::Draw(TCanvas& canvas, const TRect& rect) {
  const int count = FImages.Count();
  if (count == 0 || rect.IsEmpty()) return;
  uint16_t options = DrawOptions;
  if (count == 1) options &= static_cast<uint16_t>(~(PaintAsync | PaintAnimate));
  const bool direct = (options & PaintDirect) != 0;

  auto drawOneFrame = [&] {
    const int index = SelectedImage >= 0 && SelectedImage < count ? SelectedImage : 0;
    TGIFSubImage& frame = *FImages[index];
    frame.Draw(canvas, FrameRect(frame, rect), (options & PaintTransparent) != 0);
  };
  if (!(options & PaintAnimate)) {
    drawOneFrame();
    return;
  }

  {
    auto lock = FPainters.LockList();
    if (FPainter && FPainters.Contains(FPainter.get()) && FPainterCanvas == &canvas && FPainterRect == rect) {
      if (!direct && FPaintBitmap) canvas.StretchDraw(rect, *FPaintBitmap);
      return;
    }
  }
  StopDraw();
  if (FPainters.Count() > 0) {
    // A synchronous painter further up this thread's stack (drawing again from one of its
    // events) still paints into the document's bitmap: show a frame rather than replace it.
    drawOneFrame();
    return;
  }

  TCanvas* target = &canvas;
  TRect targetRect = rect;
  if (!direct) {
    // The bitmap starts as what the canvas shows, so transparent areas keep showing it.
    FPaintBitmap = std::make_unique<TBitmap>(rect.Width(), rect.Height(), pf24bit);
    FPaintBitmap->Canvas().CopyRect(Rect(0, 0, rect.Width(), rect.Height()), canvas, rect);
    target = &FPaintBitmap->Canvas();
    targetRect = Rect(0, 0, rect.Width(), rect.Height());
  }
  auto painter = std::make_unique<TGIFPainter>(*this, *target, targetRect, options);
  painter->Reference = &FDrawingPainter;
  FDrawingPainter = painter.get();
  if (options & PaintAsync) {
    painter->SetPriority(static_cast<TThreadPriority>(std::clamp(ThreadPriority, 0, 6)));
    FPainter = std::move(painter);
    FPainterCanvas = &canvas;
    FPainterRect = rect;
    FPainter->Start();
    WaitServingSynchronize(FPainter->FirstPaintDone());
  } else {
    painter->Start();
  }
  if (!direct) canvas.StretchDraw(rect, *FPaintBitmap);
}

}  // namespace vidorant

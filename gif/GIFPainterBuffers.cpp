// TGIFPainter's off-screen buffers and the painting of one frame by its disposal method.
// The backup buffer holds the picture the next frame is laid over: a frame to be removed again
// (disposal 3) never reaches it, and one to be cleared (disposal 2) is cleared from it once
// shown. The frame buffer is where a frame to be removed is laid over the backup when the
// target no longer shows the backup. All three cover the painter's rectangle, 24 bits a pixel.
#include "gif/GIFPainter.h"

#include "gif/GIFImage.h"
#include "platform/Canvas.h"

namespace vidorant {

void TGIFPainter::CreateBuffers() {
  bool clears = false, restores = false;
  for (int i = 0; i < FImage->Images().Count(); ++i) {
    const TGIFGraphicControlExtension* control = FImage->Images()[i]->GraphicControlExtension();
    const int disposal = control ? control->Disposal() : dmKeep;
    clears |= disposal == dmBackground;
    restores |= disposal == dmPrevious;
  }
  FBackgroundColor = FImage->PaintBackgroundColor();
  const bool clearOnLoop = (FOptions & PaintClearOnLoop) != 0;
  if (!(clearOnLoop || clears || restores) || FRect.IsEmpty()) return;

  const int width = FRect.Width(), height = FRect.Height();
  FBackup = std::make_unique<TBitmap>(width, height, pf24bit);
  FBackup->Canvas().CopyRect(Rect(0, 0, width, height), *FCanvas, FRect);
  FFrameBuffer = std::make_unique<TBitmap>(width, height, pf24bit);
  if ((FOptions & PaintTransparent) && (clearOnLoop || clears)) FBackground = std::make_unique<TBitmap>(*FBackup);
}

void TGIFPainter::FreeBuffers() {
  FBackup.reset();
  FFrameBuffer.reset();
  FBackground.reset();
}

void TGIFPainter::ClearToBackground(const TRect& area) {
  TCanvas& canvas = FBackup->Canvas();
  if ((FOptions & PaintTransparent) && FBackground) {
    canvas.CopyRect(area, FBackground->Canvas(), area);
    return;
  }
  canvas.BrushColor = FBackgroundColor;
  canvas.FillRect(area);
}

void TGIFPainter::PaintFrame(int index, int disposal) {
  TGIFSubImage& frame = *FImage->Images()[index];
  const TRect onTarget = FImage->FrameRect(frame, FRect);
  FCanvas->Lock();
  struct TUnlock {
    TCanvas* Canvas;
    ~TUnlock() { Canvas->Unlock(); }
  } unlock{FCanvas};

  // A frame is always laid over the picture with its transparency: that is how the frames of
  // an animation compose. PaintTransparent only decides what the picture starts from.
  if (!FBackup) {
    frame.Draw(*FCanvas, onTarget, true);
    return;
  }
  const TRect whole = Rect(0, 0, FBackup->Width(), FBackup->Height());
  const TRect inBuffer =
      Rect(onTarget.Left - FRect.Left, onTarget.Top - FRect.Top, onTarget.Right - FRect.Left, onTarget.Bottom - FRect.Top);
  switch (disposal) {
    case dmNone:
    case dmKeep:
    case dmBackground:
      frame.Draw(FBackup->Canvas(), inBuffer, true);
      FCanvas->CopyRect(FRect, FBackup->Canvas(), whole);
      if (disposal == dmBackground) ClearToBackground(inBuffer);
      break;
    case dmPrevious:
      if (FPreviousDisposal == dmBackground || FPreviousDisposal == dmPrevious) {
        // The target shows something the backup does not (a frame since cleared or removed):
        // lay this frame over the backup elsewhere and show that.
        FFrameBuffer->Assign(*FBackup);
        frame.Draw(FFrameBuffer->Canvas(), inBuffer, true);
        FCanvas->CopyRect(FRect, FFrameBuffer->Canvas(), whole);
      } else {
        // The target shows the backup: drawing there keeps the backup as it was before.
        frame.Draw(*FCanvas, onTarget, true);
      }
      break;
    default:
      // Disposal values 4-7 are not defined; such a frame is not shown.
      break;
  }
}

}  // namespace vidorant

// Canvas operations on a bitmap; all rectangles are clipped to both bitmaps.
#include "platform/Canvas.h"

#include "platform/Bitmap.h"
#include "platform/Exception.h"
#include "platform/Graphic.h"

#include <algorithm>

namespace vidorant {

void TCanvas::Lock() {
  Mutex_.lock();
  ++LockCount_;
}

bool TCanvas::TryLock() {
  if (!Mutex_.try_lock()) return false;
  ++LockCount_;
  return true;
}

void TCanvas::Unlock() {
  --LockCount_;
  Mutex_.unlock();
}

TColor TCanvas::GetPixel(int x, int y) const { return Bitmap_->GetPixel(x, y); }
void TCanvas::SetPixel(int x, int y, TColor color) { Bitmap_->SetPixel(x, y, color); }

void TCanvas::FillRect(const TRect& rect) {
  const int left = std::max(rect.Left, 0), right = std::min(rect.Right, Bitmap_->Width());
  const int top = std::max(rect.Top, 0), bottom = std::min(rect.Bottom, Bitmap_->Height());
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) Bitmap_->SetPixel(x, y, BrushColor);
}

namespace {

// Copies sourceRect of src into dest of dst, nearest pixel when the sizes differ. A source
// pixel whose mask pixel is set (mask, when given, has the source's size) is not copied.
void StretchCopy(TBitmap& dst, const TRect& dest, const TBitmap& from, const TRect& sourceRect,
                 const TBitmap* mask = nullptr) {
  if (dest.IsEmpty() || sourceRect.IsEmpty()) return;
  // Read through a copy when both sides are one bitmap, so overlapping areas copy cleanly.
  const TBitmap snapshot = (&from == &dst) ? from : TBitmap();
  const TBitmap& src = (&from == &dst) ? snapshot : from;
  const int top = std::max(dest.Top, 0), bottom = std::min(dest.Bottom, dst.Height());
  const int left = std::max(dest.Left, 0), right = std::min(dest.Right, dst.Width());
  const int64_t dw = dest.Width(), dh = dest.Height(), sw = sourceRect.Width(), sh = sourceRect.Height();
  for (int y = top; y < bottom; ++y) {
    const int sy = sourceRect.Top + static_cast<int>((y - dest.Top) * sh / dh);
    if (sy < 0 || sy >= src.Height()) continue;
    for (int x = left; x < right; ++x) {
      const int sx = sourceRect.Left + static_cast<int>((x - dest.Left) * sw / dw);
      if (sx < 0 || sx >= src.Width()) continue;
      if (mask && mask->GetPixel(sx, sy) != RGB(0, 0, 0)) continue;
      dst.SetPixel(x, y, src.GetPixel(sx, sy));
    }
  }
}

}  // namespace

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) {
  StretchCopy(*Bitmap_, dest, *source.Bitmap_, sourceRect);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) { canvas.StretchDraw(rect, static_cast<const TBitmap&>(*this)); }

void TCanvas::StretchDraw(const TRect& rect, TGraphic& graphic) { graphic.Draw(*this, rect); }
void TCanvas::StretchDraw(const TRect& rect, const TBitmap& bitmap) {
  StretchCopy(*Bitmap_, rect, bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()));
}

void TCanvas::StretchDrawMasked(const TRect& rect, const TBitmap& bitmap, const TBitmap& mask) {
  if (mask.Width() != bitmap.Width() || mask.Height() != bitmap.Height())
    throw EInvalidGraphic("Mask size differs from the bitmap's");
  StretchCopy(*Bitmap_, rect, bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()), &mask);
}

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
  graphic.Draw(*this, Rect(x, y, x + graphic.GetWidth(), y + graphic.GetHeight()));
}
void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  StretchDraw(Rect(x, y, x + bitmap.Width(), y + bitmap.Height()), bitmap);
}

}  // namespace vidorant

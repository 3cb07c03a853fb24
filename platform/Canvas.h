// A drawing surface over one bitmap: lock and unlock for threads that share it, fill, copy a
// rectangle from another canvas, draw a graphic into a rectangle. Every operation clips to the
// bitmap, so no rectangle can reach outside its pixels.
#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"
#include "platform/TObject.h"

#include <atomic>
#include <mutex>

namespace vidorant {

class TBitmap;
class TGraphic;

class TCanvas : public TObject {
public:
  // The bitmap is not owned; it owns this canvas.
  explicit TCanvas(TBitmap& bitmap) : Bitmap_(&bitmap) {}

  // Recursive: the thread that holds the canvas may lock it again.
  void Lock();
  bool TryLock();
  void Unlock();
  int LockCount() const { return LockCount_.load(); }

  TBitmap& Bitmap() const { return *Bitmap_; }

  TColor BrushColor = RGB(255, 255, 255);

  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  // Fills rect with BrushColor.
  void FillRect(const TRect& rect);
  // Copies sourceRect of source into dest, stretching by nearest pixel when the sizes differ.
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect);
  // Draws the graphic scaled into rect.
  void StretchDraw(const TRect& rect, TGraphic& graphic);
  void StretchDraw(const TRect& rect, const TBitmap& bitmap);
  // As StretchDraw, but where mask (a 1-bit bitmap of the same size as bitmap) has its bit set
  // the canvas keeps its own pixel: how a picture with transparent pixels is laid over another.
  void StretchDrawMasked(const TRect& rect, const TBitmap& bitmap, const TBitmap& mask);
  // Draws at its own size with its top-left corner at (x, y).
  void Draw(int x, int y, TGraphic& graphic);
  void Draw(int x, int y, const TBitmap& bitmap);

private:
  TBitmap* Bitmap_;
  std::recursive_mutex Mutex_;
  std::atomic<int> LockCount_{0};
};

}  // namespace vidorant

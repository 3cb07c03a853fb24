// TGIFImage::Optimize: colour-table sort, clean-up of transparency and blocks, merging of pixels
// that repeat the frame below, cropping of transparent borders. Frames are walked from the last
// to the first wherever a step deletes frames, so indices ahead of the walk stay valid.
// Invariant: every step keeps what the animation shows (colours, positions, timing).
#include <algorithm>
#include <memory>

#include "gif/GIFAppExtension.h"
#include "gif/GIFColorMapSort.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"

namespace vidorant {

namespace {

const char* const OptimizingText = "Optimizing...";

TRect Intersection(const TRect& a, const TRect& b) {
  TRect r = Rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom));
  return r.IsEmpty() ? TRect{} : r;
}

TDisposalMethod Disposal(const TGIFSubImage& frame) {
  const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
  return control ? control->Disposal() : dmNone;
}

// The frame's transparent index, or -1 when it is not transparent.
int TransparentIndex(const TGIFSubImage& frame) {
  const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
  return frame.Transparent() && control ? control->TransparentColorIndex() : -1;
}

bool UsesIndex(const TGIFSubImage& frame, int index) {
  return std::find(frame.Data(), frame.Data() + frame.DataSize(), static_cast<uint8_t>(index)) != frame.Data() + frame.DataSize();
}

bool SameColor(const TGIFColorMap& tableA, int a, const TGIFColorMap& tableB, int b) {
  if (&tableA == &tableB && a == b) return true;
  return a < tableA.Count() && b < tableB.Count() && tableA.Color(a) == tableB.Color(b);
}

class TOptimizer {
public:
  TOptimizer(TGIFImage& image, unsigned options) : FImage(image), FOptions(options), FTotal(6 * image.Images().Count()) {}

  void Run() {
    if (FOptions & OptimizeColorMaps) SortTables();
    if (FOptions & OptimizeCleanup) DropUnusedTransparency();
    if (FOptions & OptimizeMerge) MergeAll();
    if (FOptions & OptimizeCrop) CropAll();
    if (FOptions & OptimizeCleanup) RemoveRedundantBlocks();
  }

private:
  TGIFImageList& Frames() { return FImage.Images(); }

  // One step per frame visited by each of the six walks (sort, transparency, disposal, merge,
  // crop, clean-up).
  void Step() {
    FStep = std::min(FStep + 1, FTotal);
    FImage.Progress(psRunning, static_cast<int>(int64_t{FStep} * 100 / FTotal), OptimizingText);
  }

  void SortTables() {
    if (FImage.GlobalColorMap().Count() > 0) SortColorMapByUse(FImage);
    for (int i = 0; i < Frames().Count(); ++i) {
      if (Frames()[i]->ColorMap().Count() > 0) SortColorMapByUse(*Frames()[i]);
      Step();
    }
  }

  void DropUnusedTransparency() {
    const int count = Frames().Count();
    for (int i = 0; i < count; ++i) {
      TGIFSubImage& frame = *Frames()[i];
      int index = TransparentIndex(frame);
      if (index >= 0 && !UsesIndex(frame, index)) frame.GraphicControlExtension()->SetTransparent(false);
      Step();
    }
    // Clearing a frame to the background (or to what was before) is pointless when the next
    // frame is opaque and covers all of it. A next frame that covers only part of it would leave
    // the rest of this one on screen, so the whole rectangle must be covered.
    for (int i = 0; i + 1 < count; ++i) {
      TGIFSubImage& frame = *Frames()[i];
      const TGIFSubImage& next = *Frames()[i + 1];
      TDisposalMethod disposal = Disposal(frame);
      if ((disposal == dmBackground || disposal == dmPrevious) && !next.Transparent() && !next.Empty() &&
          Intersection(frame.BoundsRect(), next.BoundsRect()) == frame.BoundsRect())
        frame.GraphicControlExtension()->SetDisposal(dmNone);
      Step();
    }
  }

  void MergeAll() {
    for (int i = Frames().Count() - 1; i >= 1; --i) {
      int below = i - 1;
      while (below > 0 && Disposal(*Frames()[below]) == dmPrevious) --below;
      Merge(*Frames()[i], *Frames()[below]);
      Step();
    }
  }

  // The index a frame that is not yet transparent can use for its transparent pixels, or -1.
  int MakeTransparentIndex(TGIFSubImage& frame) {
    const bool local = frame.ColorMap().Count() > 0;
    TGIFColorMap& table = local ? static_cast<TGIFColorMap&>(frame.ColorMap()) : FImage.GlobalColorMap();
    if (table.Count() < 1 || table.Count() > 255) return -1;
    if (!local) {
      // Share the global table's transparent entry with another frame, unless this frame shows
      // that index as a colour of its own.
      for (int i = 0; i < Frames().Count(); ++i) {
        const TGIFSubImage& other = *Frames()[i];
        int index = TransparentIndex(other);
        if (&other != &frame && index >= 0 && other.ColorMap().Count() == 0 && !UsesIndex(frame, index)) return index;
      }
    }
    return table.Add(0);  // black
  }

  void Merge(TGIFSubImage& frame, const TGIFSubImage& previous) {
    if (frame.Empty() || previous.Empty()) return;
    TDisposalMethod disposal = Disposal(previous);
    if (disposal == dmBackground || disposal == dmPrevious) return;
    TRect overlap = Intersection(frame.BoundsRect(), previous.BoundsRect());
    if (overlap.IsEmpty()) return;

    const bool wasTransparent = frame.Transparent();
    int transparent = TransparentIndex(frame);
    const int previousTransparent = TransparentIndex(previous);
    const TGIFColorMap& table = *frame.ActiveColorMap();
    const TGIFColorMap& previousTable = *previous.ActiveColorMap();
    for (int y = overlap.Top; y < overlap.Bottom; ++y) {
      uint8_t* row = frame.ScanLine(y - frame.Top());
      const uint8_t* below = previous.Data() + static_cast<int64_t>(y - previous.Top()) * previous.Width();
      for (int x = overlap.Left; x < overlap.Right; ++x) {
        int p = row[x - frame.Left()];
        int q = below[x - previous.Left()];
        if (p == transparent || q == previousTransparent || !SameColor(table, p, previousTable, q)) continue;
        if (transparent < 0) {
          transparent = MakeTransparentIndex(frame);
          if (transparent < 0) return;
        }
        row[x - frame.Left()] = static_cast<uint8_t>(transparent);
      }
    }
    if (wasTransparent || transparent < 0) return;
    TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    if (!control) {
      auto made = std::make_unique<TGIFGraphicControlExtension>(&frame);
      control = made.get();
      frame.Extensions().Add(std::move(made));
    }
    control->SetTransparentColorIndex(transparent);
    control->SetTransparent(true);
  }

  void CropAll() {
    for (int i = Frames().Count() - 1; i >= 0; --i) {
      Step();
      TGIFSubImage& frame = *Frames()[i];
      if (frame.Empty() || !frame.Transparent()) continue;
      uint16_t delay = frame.GraphicControlExtension()->Delay();
      Crop(frame);
      if (!frame.Empty()) continue;
      KeepLoopingBlock(i);
      if (i > 0) {
        // The deleted frame was a pause: the frame before shows that much longer.
        TGIFGraphicControlExtension* before = Frames()[i - 1]->GraphicControlExtension();
        if (before) before->SetDelay(static_cast<uint16_t>(std::min(65535, before->Delay() + delay)));
      }
      Frames().Delete(i);
      FImage.Changed();
    }
  }

  // A looping block on a frame about to be deleted moves to the frame after it, which becomes
  // the first; without it the animation would stop looping.
  void KeepLoopingBlock(int index) {
    if (index + 1 >= Frames().Count()) return;
    TGIFExtensionList& extensions = Frames()[index]->Extensions();
    for (int e = extensions.Count() - 1; e >= 0; --e)
      if (dynamic_cast<TGIFAppExtNSLoop*>(extensions[e])) Frames()[index + 1]->Extensions().Add(extensions.Extract(e));
  }

  static void Crop(TGIFSubImage& frame) {
    const uint8_t transparent = static_cast<uint8_t>(TransparentIndex(frame));
    const int width = frame.Width(), height = frame.Height();
    auto opaque = [&](int x, int y) { return frame.Data()[static_cast<int64_t>(y) * width + x] != transparent; };
    int left = width, right = -1;
    for (int x = 0; x < width && left == width; ++x)
      for (int y = 0; y < height; ++y)
        if (opaque(x, y)) {
          left = x;
          break;
        }
    if (left == width) {
      frame.SetBounds(frame.Left(), frame.Top(), 0, 0);
      return;
    }
    for (int x = width - 1; x >= left && right < 0; --x)
      for (int y = 0; y < height; ++y)
        if (opaque(x, y)) {
          right = x;
          break;
        }
    int top = height, bottom = -1;
    for (int y = 0; y < height && top == height; ++y)
      for (int x = left; x <= right; ++x)
        if (opaque(x, y)) top = y;
    for (int y = height - 1; y >= top && bottom < 0; --y)
      for (int x = left; x <= right; ++x)
        if (opaque(x, y)) bottom = y;
    const int newWidth = right - left + 1, newHeight = bottom - top + 1;
    if (newWidth == width && newHeight == height) return;
    std::vector<uint8_t> kept;
    kept.reserve(static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight));
    for (int y = top; y <= bottom; ++y) {
      const uint8_t* row = frame.Data() + static_cast<int64_t>(y) * width;
      kept.insert(kept.end(), row + left, row + right + 1);
    }
    frame.SetBounds(frame.Left() + left, frame.Top() + top, newWidth, newHeight);
    std::copy(kept.begin(), kept.end(), frame.Data());
  }

  void RemoveRedundantBlocks() {
    const bool single = Frames().Count() == 1;
    for (int i = Frames().Count() - 1; i >= 0; --i) {
      Step();
      TGIFSubImage& frame = *Frames()[i];
      TGIFExtensionList& extensions = frame.Extensions();
      for (int e = extensions.Count() - 1; e >= 0; --e) {
        TGIFExtension* extension = extensions[e];
        bool drop = false;
        if (dynamic_cast<TGIFTextLinesExtension*>(extension) || dynamic_cast<TGIFUnknownAppExtension*>(extension)) {
          drop = true;
        } else if (dynamic_cast<TGIFAppExtNSLoop*>(extension)) {
          drop = i != 0 || single;
        } else if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(extension)) {
          drop = (control->Delay() == 0 || single) && !control->Transparent() && !control->UserInput() &&
                 (control->Disposal() < dmBackground || single);
        }
        if (drop) extensions.Delete(e);
      }
      if (frame.Empty() && extensions.Count() == 0) {
        Frames().Delete(i);
        FImage.Changed();
      }
    }
  }

  TGIFImage& FImage;
  unsigned FOptions;
  int FTotal;
  int FStep = 0;
};

}  // namespace

void TGIFImage::Optimize(unsigned options, TColorReduction reductionMethod, int bitDepth, TDitherMode ditherMethod) {
  if (FImages.Count() == 0) return;
  // No painter starts or ends while the frames are rewritten under it.
  auto painting = FPainters.LockList();
  Progress(psStarting, 0, OptimizingText);
  try {
    if ((options & OptimizeReduceColors) && !(options & OptimizeCleanup) && reductionMethod == ReduceCustom)
      throw GIFException("Invalid reduction method");
    TOptimizer(*this, options).Run();
  } catch (...) {
    Progress(psEnding, 0, OptimizingText);
    throw;
  }
  Progress(psEnding, 100, OptimizingText);
}

}  // namespace vidorant

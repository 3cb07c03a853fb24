// The GIF document: a header (logical screen, global colour table), an ordered list of frames
// and, when written, a trailer. It is a TGraphic so it can be saved like any other picture.
// Ownership: the document owns its header and frame list; the list owns the frames.
// A document is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "gif/GIFHeader.h"
#include "gif/GIFImageDefaults.h"
#include "gif/GIFList.h"
#include "gif/GIFPainterList.h"
#include "gif/GIFSubImage.h"
#include "gif/GIFTypes.h"
#include "platform/Graphic.h"

namespace vidorant {

class TGIFImage;
class TBitmap;
class TGIFPainter;

class TGIFImageList : public TGIFList<TGIFSubImage> {
public:
  explicit TGIFImageList(TGIFImage* image) : FImage(image) {}
  // Appends a frame of this list's document and returns its index.
  int Add(std::unique_ptr<TGIFSubImage> frame);
  // Reads frames until the trailer, the end of the stream or a byte that starts no block.
  void LoadFromStream(TStream& stream);

protected:
  // Every change of the frames is a change of the document.
  void Changed() override;

private:
  TGIFImage* FImage;  // not owned
};

// Option bits of TGIFImage::Optimize.
enum TGIFOptimizeOption : unsigned {
  OptimizeCrop = 1,          // crop transparent borders; delete frames that become empty
  OptimizeMerge = 2,         // pixels equal to the previous frame's become transparent
  OptimizeCleanup = 4,       // drop unused transparency, redundant blocks and empty frames
  OptimizeColorMaps = 8,     // sort and trim every colour table by use
  OptimizeReduceColors = 16, // only checks the reduction method
};

class TGIFImage : public TGraphic {
public:
  TGIFImage();
  ~TGIFImage() override;
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;

  // The logical screen size.
  int GetWidth() const override { return FHeader->ScreenWidth; }
  int GetHeight() const override { return FHeader->ScreenHeight; }
  bool GetEmpty() const override { return FImages.Count() == 0; }
  // Raises "Image width too small for contained frames" when a frame would reach past value.
  void SetWidth(int value);
  // Raises "Image height too small for contained frames" when a frame would reach past value.
  void SetHeight(int value);

  // Replaces the document with the GIF read from the stream's position ("GIF" may also start
  // 4 bytes in). On an error the document keeps what was read and the stream position is
  // restored. Progress "Loading...".
  void LoadFromStream(TStream& stream) override;
  void LoadFromFile(const std::string& fileName);
  // Writes the whole file: header, every frame in order, trailer. Progress "Saving...".
  void SaveToStream(TStream& stream) override;
  // Creates (or replaces) the file and saves into it.
  void SaveToFile(const std::string& fileName);
  // Draws the document scaled into rect. One frame (the selected one, else the first) is drawn
  // without a painter when the document has one frame or DrawOptions lack PaintAnimate;
  // otherwise an animation painter starts, unless one already runs for this canvas and rect.
  // Without PaintDirect the painter paints into the document's bitmap, which is then shown. A
  // synchronous painter runs to its end here; an asynchronous one is waited for until it has
  // painted its first frame (serving the main thread's queued calls meanwhile).
  void Draw(TCanvas& canvas, const TRect& rect) override;
  // Stops every painter of the document and waits for the one this document started.
  void StopDraw();
  // The painter drawing now (null when none); cleared by the painter as it ends.
  TGIFPainter* Painter() const { return FDrawingPainter; }
  // The painters running now; optimisation and drawing hold its lock while they work.
  TGIFPainterList& Painters() { return FPainters; }
  // What the last painter without PaintDirect painted into (null before).
  const TBitmap* PaintBitmap() const { return FPaintBitmap.get(); }
  // Where frame lands when the logical screen is drawn into rect.
  TRect FrameRect(const TGIFSubImage& frame, const TRect& rect) const;
  // The colour the painter clears to: BackgroundColor when set, else the window colour without
  // a global table, else the global table's background entry (black past the table's end).
  TColor PaintBackgroundColor() const;

  // Deletes every frame, empties the global table, sets the screen to 0 x 0. Keeps settings.
  void Clear();
  // Appends a frame (made for this document) as it is; returns its index. Signals a change.
  int Add(std::unique_ptr<TGIFSubImage> frame);
  // Appends a new frame made from source (a bitmap, a frame or a graphic, see
  // TGIFSubImage::Assign) and returns its index. When that fails, no frame is added, the
  // logical screen is as before and the error passes on.
  int Add(TObject* source);
  int Add(const TBitmap& bitmap);

  // Rewrites the document smaller or cleaner as the option bits say (TGIFOptimizeOption);
  // nothing for an empty document. Raises "Invalid reduction method" for OptimizeReduceColors
  // with ReduceCustom unless OptimizeCleanup is set too. Progress "Optimizing...".
  void Optimize(unsigned options, TColorReduction reductionMethod, int bitDepth, TDitherMode ditherMethod);

  TGIFImageList& Images() { return FImages; }
  const TGIFImageList& Images() const { return FImages; }
  TGIFHeader& Header() { return *FHeader; }
  const TGIFHeader& Header() const { return *FHeader; }
  TGIFGlobalColorMap& GlobalColorMap() { return FHeader->ColorMap(); }

  // The highest version among the frames; gvUnknown without frames.
  TGIFVersion GetVersion() const;
  // Largest bits per pixel among the global and every local table.
  int MaxBitsPerPixel() const;
  // The bits per pixel that the header's table-size field describes and that frames without a
  // table of their own are coded with: the global table's when there is one, else the largest.
  int BitsPerPixel() const;

  // Event helpers for the parts of the document.
  void Warning(TObject* sender, TGIFSeverity severity, const std::string& message);
  void Progress(TProgressStage stage, int percentDone, const std::string& message);
  void Changed();

  uint16_t DrawOptions;
  TColorReduction ReductionMethod;  // how a true-colour picture becomes a frame
  int ReductionBitDepth;
  TDitherMode DitherMethod;
  TGIFEncoderKind EncoderKind;
  int ThreadPriority;
  int AnimationSpeed;
  // What LoadFromStream allocates at most; a file claiming more is refused with an error.
  TGIFReadLimits ReadLimits;

  int SelectedImage = -1;  // the frame a drawing without animation shows; -1: the first
  std::optional<TColor> BackgroundColor;  // overrides the file's background for painting
  // Painting events, copied into every painter that starts; Sender is the painter.
  TNotifyEvent OnStartPaint;
  TNotifyEvent OnPaint;
  TNotifyEvent OnAfterPaint;
  TNotifyEvent OnLoop;
  TNotifyEvent OnEndPaint;

  TGIFWarning OnWarning;
  TGIFProgressEvent OnProgress;
  TNotifyEvent OnChange;

private:
  void SetScreenExtent(int value, bool horizontal);
  // Makes a new frame of this document with make and appends it; on failure nothing is added.
  int AddMade(const std::function<void(TGIFSubImage&)>& make);

  TGIFImageList FImages;
  std::unique_ptr<TGIFHeader> FHeader;
  TGIFPainterList FPainters;
  // The asynchronous painter this document started, kept until it has been waited for.
  std::unique_ptr<TGIFPainter> FPainter;
  std::atomic<TGIFPainter*> FDrawingPainter{nullptr};
  const TCanvas* FPainterCanvas = nullptr;  // what FPainter paints for; not owned
  TRect FPainterRect;
  std::unique_ptr<TBitmap> FPaintBitmap;
};

}  // namespace vidorant

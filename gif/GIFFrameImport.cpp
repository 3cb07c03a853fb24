// Making a frame from a picture: TGIFSubImage::Assign for bitmaps, frames and graphics, and the
// document's Add that wraps it. Indexed bitmaps are copied with their own table; every other
// bitmap goes through the document's colour reduction first.
#include <array>
#include <memory>

#include "gif/ColorReduction.h"
#include "gif/GIFColorMapSort.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "platform/Canvas.h"
#include "platform/MemoryStream.h"
#include "platform/PixelAccess.h"

namespace vidorant {

namespace {

const char* const ConvertingText = "Converting...";

// Reports "Converting..." starting on construction and ending on destruction: 100 % when
// Done() was called, 0 % when an error is leaving the import.
class TConvertProgress {
public:
  explicit TConvertProgress(TGIFImage* image) : FImage(image) {
    if (FImage) FImage->Progress(psStarting, 0, ConvertingText);
  }
  ~TConvertProgress() {
    if (FImage) FImage->Progress(psEnding, FDone ? 100 : 0, ConvertingText);
  }
  TConvertProgress(const TConvertProgress&) = delete;
  TConvertProgress& operator=(const TConvertProgress&) = delete;
  // Before every 32nd row, starting with row 0.
  void Row(int row, int height) {
    if (FImage && row % 32 == 0) FImage->Progress(psRunning, static_cast<int>(int64_t{row} * 100 / height), ConvertingText);
  }
  void Done() { FDone = true; }

private:
  TGIFImage* FImage;
  bool FDone = false;
};

}  // namespace

void TGIFSubImage::Assign(TObject* source) {
  if (!source) {
    Clear();
  } else if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    Assign(*bitmap);
  } else if (auto* frame = dynamic_cast<TGIFSubImage*>(source)) {
    Assign(*frame);
  } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    Assign(*graphic);
  } else {
    throw GIFException("Object type not supported for operation");
  }
}

void TGIFSubImage::Assign(const TBitmap& bitmap) {
  Clear();
  if (bitmap.Empty()) return;
  SetWidth(bitmap.Width());
  SetHeight(bitmap.Height());

  // The working bitmap: indexed bitmaps as they are, everything else reduced. The reduction
  // converts its source to 24 bits in place, so only a 24-bit bitmap is handed over directly.
  const TPixelFormat format = bitmap.PixelFormat();
  const bool indexed = format == pf1bit || format == pf4bit || format == pf8bit;
  std::unique_ptr<TBitmap> reduced;
  const TBitmap* working = &bitmap;
  if (!indexed) {
    const TColorReduction method = FImage ? FImage->ReductionMethod : GIFImageDefaults.ReductionMethod;
    const TDitherMode dither = FImage ? FImage->DitherMethod : GIFImageDefaults.DitherMethod;
    const int depth = FImage ? FImage->ReductionBitDepth : GIFImageDefaults.ReductionBitDepth;
    reduced = ReduceColors(bitmap, method, dither, nullptr, depth);
    // An unknown method or dither method gives no picture; a black frame would hide that.
    if (reduced->Empty()) throw GIFException(IsKnownDitherMode(dither) ? "Invalid reduction method" : "Invalid dither method");
    working = reduced.get();
  }

  TConvertProgress progress(FImage);
  const TPixelFormat workFormat = working->PixelFormat();
  if (workFormat == pf1bit || workFormat == pf4bit || workFormat == pf8bit) {
    FColorMap.ImportDIBColors(working->ColorTable());
    for (int y = 0; y < FHeight; ++y) {
      progress.Row(y, FHeight);
      const uint8_t* row = working->ScanLine(y);
      uint8_t* out = ScanLine(y);
      for (int x = 0; x < FWidth; ++x) out[x] = static_cast<uint8_t>(ReadIndex(row, x, workFormat));
    }
  } else {
    TBitmap converted;
    if (workFormat != pf24bit) {
      converted = *working;
      converted.SetPixelFormat(pf24bit);
      working = &converted;
    }
    for (int y = 0; y < FHeight; y += 32) progress.Row(y, FHeight);
    ImportTrueColor(*working);
  }
  if (bitmap.Transparent()) ApplyMask(*bitmap.CreateMask());
  progress.Done();
}

void TGIFSubImage::ImportTrueColor(const TBitmap& bitmap) {
  // The last 8 (colour, index) pairs met, most recent at ringNext - 1: neighbouring pixels
  // mostly repeat a recent colour, which saves searching the table.
  struct TRingEntry {
    TColor Color = 0xFFFFFFFF;  // matches no 24-bit colour
    uint8_t Index = 0;
  };
  std::array<TRingEntry, 8> ring{};
  int ringNext = 0;
  for (int y = 0; y < FHeight; ++y) {
    const uint8_t* row = bitmap.ScanLine(y);
    uint8_t* out = ScanLine(y);
    for (int x = 0; x < FWidth; ++x) {
      const uint8_t* bgr = row + 3 * x;
      TColor color = RGB(bgr[2], bgr[1], bgr[0]);
      int found = -1;
      for (int k = 1; k <= 8 && found < 0; ++k) {
        const TRingEntry& entry = ring[static_cast<size_t>((ringNext - k + 8) % 8)];
        if (entry.Color == color) found = entry.Index;
      }
      if (found < 0) {
        found = FColorMap.AddUnique(color);
        ring[static_cast<size_t>(ringNext)] = TRingEntry{color, static_cast<uint8_t>(found)};
        ringNext = (ringNext + 1) % 8;
      }
      out[x] = static_cast<uint8_t>(found);
    }
  }
}

void TGIFSubImage::ApplyMask(const TBitmap& mask) {
  SortColorMapByUse(*this);
  const int count = FColorMap.Count();
  if (count < 1 || count > 255) return;
  // Not AddUnique: a black already in the picture must stay opaque.
  const int index = FColorMap.Add(RGB(0, 0, 0));
  int64_t changed = 0;
  for (int y = 0; y < FHeight && y < mask.Height(); ++y) {
    const uint8_t* bits = mask.ScanLine(y);
    uint8_t* out = ScanLine(y);
    for (int x = 0; x < FWidth && x < mask.Width(); ++x)
      if (ReadIndex(bits, x, pf1bit)) {
        out[x] = static_cast<uint8_t>(index);
        ++changed;
      }
  }
  if (changed == 0) {
    FColorMap.Delete(index);
    return;
  }
  auto control = std::make_unique<TGIFGraphicControlExtension>(this);
  control->SetTransparentColorIndex(index);
  control->SetTransparent(true);
  FExtensions.Add(std::move(control));
}

void TGIFSubImage::Assign(TGIFSubImage& frame) {
  if (&frame == this) return;
  Clear();
  if (!frame.Empty()) {
    SetBounds(frame.FLeft, frame.FTop, frame.FWidth, frame.FHeight);
    FPacked = frame.FPacked;
    FData = frame.FData;
    for (int i = 0; i < frame.FColorMap.Count(); ++i) FColorMap.Add(frame.FColorMap.Colors(i));
    FColorMap.SetOptimized(frame.FColorMap.Optimized());
  }
  // The extensions are copied even for a frame without an image, whose extensions are all it
  // holds; writing and reading them back copies every kind, registered ones included.
  TMemoryStream stream;
  frame.FExtensions.SaveToStream(stream);
  stream.SetPosition(0);
  FExtensions.LoadFromStream(stream);
}

void TGIFSubImage::Assign(TGraphic& graphic) {
  Clear();
  if (graphic.GetEmpty()) return;
  TBitmap bitmap(graphic.GetWidth(), graphic.GetHeight(), pf24bit);
  graphic.Draw(bitmap.Canvas(), Rect(0, 0, bitmap.Width(), bitmap.Height()));
  Assign(bitmap);
}

int TGIFImage::Add(TObject* source) {
  if (!dynamic_cast<TBitmap*>(source) && !dynamic_cast<TGIFSubImage*>(source) && !dynamic_cast<TGraphic*>(source))
    throw GIFException("Object type not supported for operation");
  return AddMade([source](TGIFSubImage& frame) { frame.Assign(source); });
}

int TGIFImage::Add(const TBitmap& bitmap) {
  return AddMade([&bitmap](TGIFSubImage& frame) { frame.Assign(bitmap); });
}

int TGIFImage::AddMade(const std::function<void(TGIFSubImage&)>& make) {
  const uint16_t width = FHeader->ScreenWidth, height = FHeader->ScreenHeight;
  auto frame = std::make_unique<TGIFSubImage>(this);
  try {
    make(*frame);
  } catch (...) {
    // The frame grew the screen as its size was set; without the frame that growth goes too.
    FHeader->ScreenWidth = width;
    FHeader->ScreenHeight = height;
    throw;
  }
  return Add(std::move(frame));
}

}  // namespace vidorant

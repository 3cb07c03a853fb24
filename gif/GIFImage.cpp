// TGIFImage: life cycle, logical screen, versions and the save of the whole file.
#include "gif/GIFImage.h"

#include <algorithm>

#include "gif/GIFException.h"
#include "gif/GIFPainter.h"
#include "platform/BufferedWriteStream.h"
#include "platform/FileStream.h"
#include "platform/Format.h"

namespace vidorant {

namespace {
const char* const SavingText = "Saving...";
}

int TGIFImageList::Add(std::unique_ptr<TGIFSubImage> frame) {
  if (frame && frame->Image() != FImage)
    throw GIFException("Object type not supported for operation");
  return Append(std::move(frame));
}

void TGIFImageList::Changed() { FImage->Changed(); }

TGIFImage::TGIFImage()
    : DrawOptions(GIFImageDefaults.DrawOptions),
      ReductionMethod(GIFImageDefaults.ReductionMethod),
      ReductionBitDepth(GIFImageDefaults.ReductionBitDepth),
      DitherMethod(GIFImageDefaults.DitherMethod),
      EncoderKind(GIFImageDefaults.EncoderKind),
      ThreadPriority(GIFImageDefaults.ThreadPriority),
      AnimationSpeed(GIFImageDefaults.AnimationSpeed),
      ReadLimits(GIFImageDefaults.ReadLimits),
      FImages(this),
      FHeader(std::make_unique<TGIFHeader>(this)) {
  Clear();
}

TGIFImage::~TGIFImage() {
  // No handler runs on a document being destroyed. Frames refer to the header (their active
  // colour table) while they are destroyed, so they go first.
  OnChange = nullptr;
  StopDraw();
  FImages.Clear();
}

void TGIFImage::SetWidth(int value) { SetScreenExtent(value, true); }

void TGIFImage::SetHeight(int value) { SetScreenExtent(value, false); }

void TGIFImage::SetScreenExtent(int value, bool horizontal) {
  const char* side = horizontal ? "width" : "height";
  if (value < 0 || value > TGIFSubImage::MaxDimension)
    throw GIFException(Format("Image %s %d exceeds the GIF limit of %d pixels", side, value, TGIFSubImage::MaxDimension));
  for (int i = 0; i < FImages.Count(); ++i) {
    const TGIFSubImage* frame = FImages[i];
    int extent = horizontal ? frame->Left() + frame->Width() : frame->Top() + frame->Height();
    if (extent > value) throw GIFException(Format("Image %s too small for contained frames", side));
  }
  uint16_t& screen = horizontal ? FHeader->ScreenWidth : FHeader->ScreenHeight;
  if (value == screen) return;
  screen = static_cast<uint16_t>(value);
  Changed();
}

void TGIFImage::SaveToStream(TStream& stream) {
  Progress(psStarting, 0, SavingText);
  try {
    FHeader->SaveToStream(stream);
    int count = FImages.Count();
    for (int i = 0; i < count; ++i) {
      FImages[i]->SaveToStream(stream);
      Progress(psRunning, static_cast<int>(static_cast<int64_t>(i + 1) * 100 / count), SavingText);
    }
    TGIFTrailer(this).SaveToStream(stream);
  } catch (...) {
    Progress(psEnding, 0, SavingText);
    throw;
  }
  Progress(psEnding, 100, SavingText);
}

void TGIFImage::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName, fmCreate);
  // One system call per 64 KiB instead of one per sub-block and per field.
  TBufferedWriteStream buffered(stream);
  SaveToStream(buffered);
  buffered.Flush();
}

void TGIFImage::Clear() {
  StopDraw();
  FImages.Clear();
  FHeader->Clear();
  Changed();
}

int TGIFImage::Add(std::unique_ptr<TGIFSubImage> frame) { return FImages.Add(std::move(frame)); }

TGIFVersion TGIFImage::GetVersion() const {
  TGIFVersion version = gvUnknown;
  for (int i = 0; i < FImages.Count() && version != gv89a; ++i)
    version = std::max(version, FImages[i]->GetVersion());
  return version;
}

int TGIFImage::MaxBitsPerPixel() const {
  int bits = FHeader->ColorMap().BitsPerPixel();
  for (int i = 0; i < FImages.Count(); ++i) bits = std::max(bits, FImages[i]->ColorMap().BitsPerPixel());
  return bits;
}

int TGIFImage::BitsPerPixel() const {
  int global = FHeader->ColorMap().BitsPerPixel();
  return global > 0 ? global : MaxBitsPerPixel();
}

void TGIFImage::Warning(TObject* sender, TGIFSeverity severity, const std::string& message) {
  if (OnWarning) OnWarning(sender, severity, message);
}

void TGIFImage::Progress(TProgressStage stage, int percentDone, const std::string& message) {
  if (OnProgress) OnProgress(this, stage, percentDone, message);
}

void TGIFImage::Changed() {
  if (OnChange) OnChange(this);
}

}  // namespace vidorant

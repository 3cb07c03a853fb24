// TGIFSubImage and its extension list: bounds, screen growth and the frame's bytes.
#include "gif/GIFSubImage.h"

#include <memory>

#include "gif/GIFBytes.h"
#include "gif/GIFFrameCache.h"
#include "gif/GIFImage.h"
#include "gif/LZWEncoder.h"
#include "gif/RLEEncoder.h"
#include "platform/Format.h"

namespace vidorant {

int TGIFExtensionList::Add(std::unique_ptr<TGIFExtension> extension) {
  TGIFExtension* added = extension.get();
  int index = Append(std::move(extension));
  added->SetSubImage(FSubImage);
  return index;
}

void TGIFExtensionList::Detached(TGIFExtension& extension) { extension.SetSubImage(nullptr); }

void TGIFExtensionList::SaveToStream(TStream& stream) {
  for (int i = 0; i < Count(); ++i) Items(i)->SaveToStream(stream);
}

TGIFSubImage::TGIFSubImage(TGIFImage* image) : TGIFItem(image), FExtensions(this) {}

TGIFSubImage::~TGIFSubImage() {
  // The extensions refer back to this frame while they are destroyed.
  FExtensions.Clear();
}

TGIFVersion TGIFSubImage::GetVersion() const {
  return FColorMap.Optimized() || FExtensions.Count() > 0 ? gv89a : gv87a;
}

void TGIFSubImage::Clear() {
  FExtensions.Clear();
  FColorMap.Clear();
  FData.clear();
  FData.shrink_to_fit();
  FLeft = FTop = FWidth = FHeight = 0;
  FPacked = 0;
}

TGIFGraphicControlExtension* TGIFSubImage::GraphicControlExtension() const {
  TGIFGraphicControlExtension* first = nullptr;
  for (int i = 0; i < FExtensions.Count(); ++i) {
    auto* control = dynamic_cast<TGIFGraphicControlExtension*>(FExtensions[i]);
    if (!control) continue;
    // A transparent one wins: its index is the one the frame's pixels use.
    if (control->Transparent()) return control;
    if (!first) first = control;
  }
  return first;
}

bool TGIFSubImage::Transparent() const {
  const TGIFGraphicControlExtension* control = GraphicControlExtension();
  return control && control->Transparent();
}

const TGIFColorMap* TGIFSubImage::ActiveColorMap() const {
  if (FColorMap.Count() > 0 || !FImage) return &FColorMap;
  return &FImage->Header().ColorMap();
}

void TGIFSubImage::SetBounds(int left, int top, int width, int height) {
  StoreBounds(left, top, width, height);
  GrowScreen(true);
}

void TGIFSubImage::StoreBounds(int left, int top, int width, int height) {
  // The descriptor and the logical screen hold 16-bit values: a frame that does not fit would
  // be written as a corrupt file.
  if (left < 0 || top < 0 || width < 0 || height < 0 || static_cast<int64_t>(left) + width > MaxDimension ||
      static_cast<int64_t>(top) + height > MaxDimension)
    throw GIFException(Format("Frame bounds (left %d, top %d, width %d, height %d) exceed the GIF limit of %d pixels",
                              left, top, width, height, MaxDimension));

  bool resized = width != FWidth || height != FHeight;
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  if (resized) {
    std::vector<uint8_t> data(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    FData.swap(data);
  }
}

void TGIFSubImage::GrowScreen(bool warn) {
  if (!FImage) return;
  // A screen still at 0 is simply set; one already set but too small grows, reported when
  // asked (a frame placed by a program, not one read from a file, where this is common).
  TGIFHeader& header = FImage->Header();
  auto grow = [this, warn](uint16_t& screen, int extent, const char* warning) {
    if (screen >= extent) return false;
    bool wasSet = screen != 0;
    screen = static_cast<uint16_t>(extent);
    if (wasSet && warn) Warning(gsWarning, warning);
    return wasSet && warn;
  };
  bool warned = grow(header.ScreenWidth, FLeft + FWidth, "Image width too small for contained frames");
  warned |= grow(header.ScreenHeight, FTop + FHeight, "Image height too small for contained frames");
  if (warned) Warning(gsWarning, "Image exceeds Logical Screen size");
}

uint8_t* TGIFSubImage::ScanLine(int row) {
  if (row < 0 || row >= FHeight || FData.empty()) throw GIFException("Scan line index out of range");
  return FData.data() + static_cast<size_t>(row) * static_cast<size_t>(FWidth);
}

void TGIFSubImage::PreparePacked() {
  if (FColorMap.Count() > 0) {
    // The interlace flag is kept: dropping it would silently de-interlace the frame.
    FPacked = static_cast<uint8_t>(0x80 | (FPacked & 0x40) | (FColorMap.Optimized() ? 0x20 : 0) |
                                   ((FColorMap.BitsPerPixel() - 1) & 0x07));
  } else {
    FPacked &= 0x58;
  }
}

void TGIFSubImage::SaveToStream(TStream& stream) {
  FExtensions.SaveToStream(stream);
  if (Empty()) return;

  PreparePacked();
  stream.WriteByte(0x2C);
  WriteWord(stream, static_cast<uint16_t>(FLeft));
  WriteWord(stream, static_cast<uint16_t>(FTop));
  WriteWord(stream, static_cast<uint16_t>(FWidth));
  WriteWord(stream, static_cast<uint16_t>(FHeight));
  stream.WriteByte(FPacked);

  int bitsPerPixel;
  int validColors;
  if (FColorMap.Count() > 0) {
    FColorMap.SaveToStream(stream);
    bitsPerPixel = FColorMap.BitsPerPixel();
    validColors = FColorMap.Count();
  } else {
    bitsPerPixel = FImage ? FImage->BitsPerPixel() : 8;
    validColors = 1 << bitsPerPixel;
  }

  std::unique_ptr<TGIFEncoder> encoder;
  if (FImage && FImage->EncoderKind == EncodeRLE)
    encoder = std::make_unique<TRLEEncoder>();
  else
    encoder = std::make_unique<TLZWEncoder>();
  encoder->Compress(stream, bitsPerPixel, validColors, FData.data(), Interlaced(), FHeight, FWidth);
}

}  // namespace vidorant

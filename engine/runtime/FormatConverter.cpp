// The format converter: direct use of pictures that already have the bitmap's layout, scaling
// into a reused RGB buffer otherwise, and row copies to and from the bitmap.
#include "engine/runtime/FormatConverter.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/ScalerFlags.h"
#include "engine/runtime/SwScaleStubs.h"
#include "platform/Bitmap.h"
#include "platform/Exception.h"
#include "platform/Format.h"

namespace vidorant {

namespace {

const char* const kUnit = "FFUtils";

// The RGB side for each bitmap pixel format the converter supports.
struct TRGBSide {
  int BitsPixel;
  AVPixelFormat PixFmt;
};

TRGBSide RGBSideOf(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf8bit: return {8, AV_PIX_FMT_BGR8};
    // The bitmap's 16-bit words hold red in the high bits, which the library calls RGB555 and
    // RGB565 (its BGR555 and BGR565 would show red as blue).
    case TPixelFormat::pf15bit: return {16, AV_PIX_FMT_RGB555LE};
    case TPixelFormat::pf16bit: return {16, AV_PIX_FMT_RGB565LE};
    case TPixelFormat::pf32bit: return {32, AV_PIX_FMT_BGRA};
    default: return {24, AV_PIX_FMT_BGR24};
  }
}

// The colour table under which the 8-bit RGB side's bytes (blue 2 bits, green 3, red 3, from the
// top bit down) show their own colours when the bitmap is drawn.
std::vector<TRGBQuad> BGR8ColorTable() {
  std::vector<TRGBQuad> table(256);
  for (int i = 0; i < 256; ++i) {
    table[i].Red = static_cast<uint8_t>((i & 7) * 255 / 7);
    table[i].Green = static_cast<uint8_t>(((i >> 3) & 7) * 255 / 7);
    table[i].Blue = static_cast<uint8_t>(((i >> 6) & 3) * 255 / 3);
  }
  return table;
}

// Both directions scale bicubic, whatever the task's own scaler options say.
constexpr TScalerFlags kScaleFlags = TScalerFlags::Bicubic;

// The scaler's vector code stores whole blocks of 16 pixels, so it writes past the last pixel of
// a row (up to 60 bytes: a 4x2 picture in 24 bits gets 60 bytes where its pixels take 24), and
// the stores are made in the library's assembly, where no sanitizer sees them. So the RGB picture
// is laid out for a width rounded up to whole blocks, its rows start on the widest vector
// alignment, and one more block of the widest pixels follows the last row as a margin.
constexpr int kScalerBlockPixels = 16;
constexpr int kScalerAlign = 64;
constexpr int kScalerTailBytes = kScalerBlockPixels * 4;  // a block of the widest pixels, 32 bits

// The layout of the RGB picture for a width and height: the width its rows are laid out for and
// the bytes its buffer needs. Nothing when the picture cannot be addressed.
struct TRGBLayout {
  int Width;
  int BufferSize;
};
std::optional<TRGBLayout> RGBLayoutOf(AVPixelFormat pixFmt, int width, int height) {
  const int64_t padded = (static_cast<int64_t>(width) + kScalerBlockPixels - 1) / kScalerBlockPixels *
                         kScalerBlockPixels;
  if (padded > INT_MAX) return std::nullopt;
  const int imageSize = ff::av_image_get_buffer_size(pixFmt, static_cast<int>(padded), height, kScalerAlign);
  if (imageSize < 0 || imageSize > INT_MAX - kScalerTailBytes) return std::nullopt;
  return TRGBLayout{static_cast<int>(padded), imageSize + kScalerTailBytes};
}

}  // namespace

TFormatConverter::TFormatConverter() : FBitmapPixelFormat(TPixelFormat::pf24bit), FBitmap(std::make_unique<TBitmap>()) {
  Reset();
}

TFormatConverter::~TFormatConverter() = default;

void TFormatConverter::Reset() {
  FBitmapDesc = TBitmapDesc{};
  FRGBPicture = TAVPicture{};
  FCurrentPicture = nullptr;
  const TRGBSide side = RGBSideOf(FBitmapPixelFormat);
  FBitsPixel = side.BitsPixel;
  FPixFmt = side.PixFmt;
  FBitmap->SetPixelFormat(FBitmapPixelFormat);
  if (FBitmapPixelFormat == pf8bit) FBitmap->SetColorTable(BGR8ColorTable());
}

void TFormatConverter::SetBitsPixel(int bits) {
  TPixelFormat format;
  switch (bits) {
    case 8: format = TPixelFormat::pf8bit; break;
    case 15: format = TPixelFormat::pf15bit; break;
    case 16: format = TPixelFormat::pf16bit; break;
    case 24: format = TPixelFormat::pf24bit; break;
    case 32: format = TPixelFormat::pf32bit; break;
    default: throw Exception(Format("Invalid BitsPixel %d", bits));
  }
  // Compared by layout, not by bits per pixel: 15 and 16 both give 16 bits per pixel, and a
  // switch between the two layouts must still take effect.
  if (format == FBitmapPixelFormat) return;
  FBitmapPixelFormat = format;
  Reset();
}

int TFormatConverter::RowBytes(int width, int bitsPixel) {
  // Bitmap rows are padded to 32 bits.
  return static_cast<int>(((static_cast<int64_t>(width) * bitsPixel + 31) / 32) * 4);
}

bool TFormatConverter::EnsureRGBBuffer(int size) {
  if (FRGBBuffer && FRGBBufferSize >= size) return true;  // a larger buffer is kept
  FRGBBuffer.reset();
  FRGBBufferSize = 0;
  FRGBBuffer.reset(static_cast<uint8_t*>(ff::av_malloc(size)));
  if (!FRGBBuffer) return false;
  FRGBBufferSize = size;
  return true;
}

bool TFormatConverter::ToRGB(TAVPicture* picture, AVPixelFormat pixFmt, int width, int height, bool copyToBitmap) {
  Assert(picture != nullptr, "No picture to convert", kUnit);
  const auto fail = [this](const char* message) {
    FCurrentPicture = nullptr;
    FLastErrMsg = message;
    return false;
  };
  const char* const contextError = "Cannot initialize the toRGB conversion context";
  // An empty picture has no conversion; refusing it here keeps the bitmap and buffer sane.
  if (width <= 0 || height <= 0) return fail(contextError);

  try {
    FBitmap->SetSize(width, height);
  } catch (const EInvalidGraphic&) {
    return fail(contextError);  // wider than a bitmap row can address
  }
  const bool convert = pixFmt != FPixFmt || (width & 1) != 0 || (height & 1) != 0 ||
                       picture->linesize[0] != RowBytes(width, FBitsPixel);
  if (!convert) {
    FCurrentPicture = picture;
  } else {
    const std::optional<TRGBLayout> layout = RGBLayoutOf(FPixFmt, width, height);
    if (!layout) return fail(contextError);
    if (!EnsureRGBBuffer(layout->BufferSize)) return fail("Cannot allocate the RGB picture buffer");
    ff::av_image_fill_arrays(FRGBPicture.data, FRGBPicture.linesize, FRGBBuffer.get(), FPixFmt, layout->Width,
                             height, kScalerAlign);
    // The scaler aborts the process on a format it does not know, so it is asked first.
    if (!ff::sws_isSupportedInput(pixFmt)) return fail(contextError);
    // The cached-context call frees the previous context itself when it cannot reuse it.
    FToRGBContext.reset(ff::sws_getCachedContext(FToRGBContext.release(), width, height, pixFmt, width, height,
                                                 FPixFmt, ScalerFlagsValue(kScaleFlags), nullptr, nullptr, nullptr));
    if (!FToRGBContext) return fail(contextError);
    ff::sws_scale(FToRGBContext.get(), picture->data, picture->linesize, 0, height, FRGBPicture.data,
                  FRGBPicture.linesize);
    FCurrentPicture = &FRGBPicture;
  }

  FBitmapDesc.Type = 0;
  FBitmapDesc.Width = width;
  FBitmapDesc.Height = height;
  FBitmapDesc.WidthBytes = FCurrentPicture->linesize[0];
  FBitmapDesc.Planes = 1;
  FBitmapDesc.BitsPixel = FBitsPixel;
  FBitmapDesc.Bits = FCurrentPicture->data[0];
  if (copyToBitmap) CopyToBitmap();
  return true;
}

void TFormatConverter::CopyRows(bool toBitmap) {
  Assert(FCurrentPicture != nullptr, "No current picture", kUnit);
  const int lineSize = FCurrentPicture->linesize[0];
  // Never more than a bitmap row holds, whatever the picture's line size.
  const int bytes = std::min(std::abs(lineSize), RowBytes(FBitmap->Width(), FBitsPixel));
  for (int row = 0; row < FBitmap->Height(); ++row) {
    uint8_t* pictureRow = FCurrentPicture->data[0] + static_cast<ptrdiff_t>(row) * lineSize;
    if (toBitmap)
      std::memcpy(FBitmap->ScanLine(row), pictureRow, bytes);
    else
      std::memcpy(pictureRow, FBitmap->ScanLine(row), bytes);
  }
}

void TFormatConverter::CopyToBitmap() { CopyRows(true); }

void TFormatConverter::CopyFromBitmap() { CopyRows(false); }

bool TFormatConverter::FromRGB(TAVPicture* picture, AVPixelFormat pixFmt, int width, int height) {
  Assert(FCurrentPicture != nullptr, "No current picture", kUnit);
  Assert(picture != nullptr, "No picture to convert", kUnit);
  // The picture was used directly, so the bitmap's change is already in it; scaling a picture
  // onto itself would read rows it has just overwritten.
  if (picture->data[0] == FCurrentPicture->data[0] && pixFmt == FPixFmt) return true;
  // The current picture is read with the size given here, so any other size would read past it.
  const bool usable = ff::sws_isSupportedOutput(pixFmt) && width == FBitmapDesc.Width && height == FBitmapDesc.Height;
  if (usable)
    FFromRGBContext.reset(ff::sws_getCachedContext(FFromRGBContext.release(), width, height, FPixFmt, width, height,
                                                   pixFmt, ScalerFlagsValue(kScaleFlags), nullptr, nullptr, nullptr));
  if (!usable || !FFromRGBContext) {
    FLastErrMsg = "Cannot initialize the fromRGB conversion context";
    return false;
  }
  ff::sws_scale(FFromRGBContext.get(), FCurrentPicture->data, FCurrentPicture->linesize, 0, height, picture->data,
                picture->linesize);
  return true;
}

}  // namespace vidorant

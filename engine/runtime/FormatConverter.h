// Converts a decoded picture of any pixel format into a device-independent bitmap that
// application code can draw on, and writes the bitmap back into the picture in the picture's own
// format. Two scaling contexts (to and from RGB), one growing RGB buffer and one bitmap are kept
// between calls, so a stream of same-sized frames allocates nothing after the first frame.
//
// Invariants: the current picture is either null, the caller's picture of the last ToRGB (used
// directly) or the converter's own RGB picture laid over the RGB buffer; the RGB buffer never
// shrinks and holds, besides the pixels, the padding that the scaler's block-wise stores reach.
// One converter is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "engine/runtime/AVPicture.h"
#include "engine/runtime/FFPtr.h"
#include "platform/Bitmap.h"
#include "platform/TObject.h"

namespace vidorant {

// The platform's description of the picture in hand, filled by every successful ToRGB.
struct TBitmapDesc {
  int Type = 0;
  int Width = 0;
  int Height = 0;
  int WidthBytes = 0;  // bytes per row: the current picture's first line size
  int Planes = 0;
  int BitsPixel = 0;
  uint8_t* Bits = nullptr;  // first row of the current picture; not owned
};

class TFormatConverter : public TObject {
public:
  TFormatConverter();
  ~TFormatConverter() override;
  TFormatConverter(const TFormatConverter&) = delete;
  TFormatConverter& operator=(const TFormatConverter&) = delete;

  // Forgets the current picture and takes the RGB side from the bitmap pixel format.
  void Reset();
  // 8, 15, 16, 24 or 32; 15 selects 16 bits per pixel in the 5-5-5 layout. Any other value
  // throws Exception "Invalid BitsPixel %d".
  void SetBitsPixel(int bits);
  int BitsPixel() const { return FBitsPixel; }
  AVPixelFormat RGBPixelFormat() const { return FPixFmt; }

  // Makes the picture available as RGB: directly when it already has the bitmap's layout,
  // otherwise through the scaler into the RGB buffer. False with LastErrMsg on failure; the
  // current picture is then null.
  bool ToRGB(TAVPicture* picture, AVPixelFormat pixFmt, int width, int height, bool copyToBitmap);
  // Row copies between the current picture and the bitmap; a current picture is required.
  void CopyToBitmap();
  void CopyFromBitmap();
  // Scales the current picture into the caller's picture of the given format. False with
  // LastErrMsg when no scaling context is available.
  bool FromRGB(TAVPicture* picture, AVPixelFormat pixFmt, int width, int height);

  // The converter's own RGB picture: the current picture is this one exactly when ToRGB scaled.
  TAVPicture* RGBPicture() { return &FRGBPicture; }
  TAVPicture* CurrentPicture() const { return FCurrentPicture; }
  const TBitmapDesc& BitmapDesc() const { return FBitmapDesc; }
  TBitmap& Bitmap() { return *FBitmap; }
  const std::string& LastErrMsg() const { return FLastErrMsg; }

  // Observers of the cached resources, for owners that report or check reuse.
  int RGBBufferSize() const { return FRGBBufferSize; }
  const SwsContext* ToRGBContext() const { return FToRGBContext.get(); }
  const SwsContext* FromRGBContext() const { return FFromRGBContext.get(); }

private:
  bool EnsureRGBBuffer(int size);
  void CopyRows(bool toBitmap);
  static int RowBytes(int width, int bitsPixel);

  int FBitsPixel = 24;
  AVPixelFormat FPixFmt = AV_PIX_FMT_BGR24;
  TPixelFormat FBitmapPixelFormat;
  std::unique_ptr<TBitmap> FBitmap;
  TBitmapDesc FBitmapDesc;
  TAVMemoryPtr<uint8_t> FRGBBuffer;  // FRGBBufferSize bytes, padding included
  int FRGBBufferSize = 0;
  TAVPicture FRGBPicture{};
  TAVPicture* FCurrentPicture = nullptr;
  TSwsContextPtr FToRGBContext;
  TSwsContextPtr FFromRGBContext;
  std::string FLastErrMsg;
};

}  // namespace vidorant

#include "engine/core/VideoScaler.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/SwScaleStubs.h"

namespace vidorant {
namespace {

// The scaler's SIMD stores run past the visible end of a row; frame buffers with this alignment
// carry the padding they need.
constexpr int ScalerAlignment = 64;

}  // namespace

TVideoScaler::TVideoScaler(int width, int height, AVPixelFormat format, TScalerFlags flags)
    : FFlags(flags), FOutput(ff::av_frame_alloc()) {
  if (!FOutput || width <= 0 || height <= 0 || format == AV_PIX_FMT_NONE)
    throw FFmpegException("Cannot allocate temp picture, check pix fmt");
  FOutput->width = width;
  FOutput->height = height;
  FOutput->format = format;
  AllocateOutput();
}

void TVideoScaler::AllocateOutput() {
  const int width = FOutput->width;
  const int height = FOutput->height;
  const int format = FOutput->format;
  ff::av_frame_unref(FOutput.get());  // the buffers stay with whoever still holds them
  FOutput->width = width;
  FOutput->height = height;
  FOutput->format = format;
  if (ff::av_frame_get_buffer(FOutput.get(), ScalerAlignment) < 0)
    throw FFmpegException("Cannot allocate temp picture, check pix fmt");
}

bool TVideoScaler::MadeFor(const AVFrame& picture) const {
  return !FContext ||
         (picture.width == FInWidth && picture.height == FInHeight && picture.format == FInFormat);
}

const AVFrame& TVideoScaler::Scale(const AVFrame& picture) {
  if (!FContext || !MadeFor(picture)) {
    FContext.reset();
    FContext.reset(ff::sws_getContext(picture.width, picture.height, static_cast<AVPixelFormat>(picture.format),
                                      FOutput->width, FOutput->height, static_cast<AVPixelFormat>(FOutput->format),
                                      ScalerFlagsValue(FFlags), nullptr, nullptr, nullptr));
    if (!FContext) throw FFmpegException("Cannot get resampling context");
    FInWidth = picture.width;
    FInHeight = picture.height;
    FInFormat = static_cast<AVPixelFormat>(picture.format);
  }
  // The encoder may still hold the previous picture's buffers; scale into buffers of our own.
  // Fresh ones, not a writable copy: every byte is scaled over, so copying the old picture
  // first would only cost a whole picture's copy per frame.
  if (!ff::av_frame_is_writable(FOutput.get())) AllocateOutput();
  const int rc =
      ff::sws_scale(FContext.get(), picture.data, picture.linesize, 0, picture.height, FOutput->data, FOutput->linesize);
  if (rc < 0) throw FFmpegException(FormatAVError("Video scaling failed", rc));
  FOutput->pts = picture.pts;
  return *FOutput;
}

}  // namespace vidorant

// The scaler of one output video stream: brings each decoded picture to the encoder's size and
// pixel format in a picture of its own. The scaling context is made for the geometry (size and
// pixel format) of the pictures it receives and made again only when that geometry changes, as it
// does when a stream switches resolution in mid-file.
// Invariants: the output picture always has the encoder's size and format and buffers laid out
// with the alignment and padding the scaler's vector code writes into; Scale never reads a
// picture with a context made for another geometry.
#pragma once

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "engine/runtime/FFPtr.h"
#include "engine/runtime/ScalerFlags.h"

struct AVFrame;

namespace vidorant {

class TVideoScaler {
public:
  // The encoder's size and pixel format. Raises FFmpegException ("Cannot allocate temp picture,
  // check pix fmt") when no picture of that size and format can be made.
  TVideoScaler(int width, int height, AVPixelFormat format, TScalerFlags flags);

  // True when the scaler was made for this picture's size and format (or has seen no picture yet
  // and so can take any).
  bool MadeFor(const AVFrame& picture) const;
  // Scales the picture into Output(), making the context first when the picture's geometry is not
  // the one it was made for. Raises FFmpegException ("Cannot get resampling context") when no
  // context can be made for it. The output picture stays owned by the scaler.
  const AVFrame& Scale(const AVFrame& picture);
  const AVFrame& Output() const { return *FOutput; }

private:
  // Gives the output picture buffers of its own, of its size and format.
  void AllocateOutput();

  TScalerFlags FFlags;
  TFramePtr FOutput;
  TSwsContextPtr FContext;
  int FInWidth = 0;
  int FInHeight = 0;
  AVPixelFormat FInFormat = AV_PIX_FMT_NONE;
};

}  // namespace vidorant

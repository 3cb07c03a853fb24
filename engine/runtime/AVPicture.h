/* The picture record the scaler and the frame-hook modules work on: four plane pointers and
   four line sizes (bytes per row, negative for a bottom-up plane). It does not own its planes.
   Plain C so that hook modules written in C can include it; its layout is part of the hook
   modules' interface and must not change. */
#ifndef VIDORANT_ENGINE_RUNTIME_AVPICTURE_H
#define VIDORANT_ENGINE_RUNTIME_AVPICTURE_H

#ifdef __cplusplus
#include <cstdint>
namespace vidorant {
#else
#include <stdint.h>
#endif

typedef struct TAVPicture {
  uint8_t* data[4];
  int linesize[4];
} TAVPicture;

#ifdef __cplusplus
}  // namespace vidorant

extern "C" {
#include <libavutil/frame.h>
}

namespace vidorant {
// Views a frame's first four planes as a picture; the frame keeps owning them.
inline TAVPicture PictureOf(const AVFrame& frame) {
  TAVPicture picture{};
  for (int i = 0; i < 4; ++i) {
    picture.data[i] = frame.data[i];
    picture.linesize[i] = frame.linesize[i];
  }
  return picture;
}
}  // namespace vidorant
#endif

#endif

// Codec lookup by name with the checks of an option's codec.
#include "engine/core/CodecLookup.h"

#include "engine/runtime/AVCodecStubs.h"
#include "platform/Format.h"

namespace vidorant {

const AVCodec* FindCodecByName(const std::string& name, AVMediaType kind, bool encoder,
                               int strictness, std::string& error) {
  const char* role = encoder ? "encoder" : "decoder";
  const AVCodec* codec = encoder ? ff::avcodec_find_encoder_by_name(name.c_str())
                                 : ff::avcodec_find_decoder_by_name(name.c_str());
  if (!codec) {
    error = Format("Unknown %s '%s'", role, name.c_str());
    return nullptr;
  }
  if (codec->type != kind) {
    error = Format("Invalid %s type '%s'", role, name.c_str());
    return nullptr;
  }
  if ((codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && strictness > FF_COMPLIANCE_EXPERIMENTAL) {
    error = Format("%s '%s' is experimental and might produce bad results.\r\n"
                   "Add '-strict experimental' if you want to use it.",
                   role, codec->name);
    const AVCodec* stable = encoder ? ff::avcodec_find_encoder(codec->id) : ff::avcodec_find_decoder(codec->id);
    if (stable && !(stable->capabilities & AV_CODEC_CAP_EXPERIMENTAL))
      error += Format("\r\nOr use the non experimental %s '%s'.", role, stable->name);
    return nullptr;
  }
  return codec;
}

}  // namespace vidorant

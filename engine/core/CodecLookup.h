// Finding a codec by the name an option gave: the decoder of an input stream or the encoder of
// an output stream. The lookup refuses a name the library does not know, a codec of another
// media kind, and an experimental codec unless the strictness allows it.
#pragma once

#include <string>

extern "C" {
#include <libavutil/avutil.h>
}

struct AVCodec;

namespace vidorant {

// The codec, or nullptr with error set to the fixed text of the refusal. strictness is the
// strict_std_compliance of the media kind's codec defaults.
const AVCodec* FindCodecByName(const std::string& name, AVMediaType kind, bool encoder,
                               int strictness, std::string& error);

}  // namespace vidorant

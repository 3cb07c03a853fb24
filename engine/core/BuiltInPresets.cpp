// The built-in encoder presets. The historic libx264 preset files set encoder options that the
// FFmpeg generation we bind no longer has; each name holds the text of the encoder options that
// do the same job now, one "key=value" line each, every line ending in a line feed. The H.264
// profile is given by number (66 baseline, 77 main): the codecs' common "profile" option takes
// the name first and knows no H.264 profile names, and libx264 follows its number.
#include "engine/core/Presets.h"

#include <strings.h>

namespace vidorant {

const std::array<TBuiltInPreset, 36> BuiltInPresets = {{
    {"libx264-baseline", "profile=66\n"},
    {"libx264-default", "preset=medium\n"},
    {"libx264-fast", "preset=fast\n"},
    {"libx264-fast_firstpass", "preset=fast\nfastfirstpass=1\n"},
    {"libx264-faster", "preset=faster\n"},
    {"libx264-faster_firstpass", "preset=faster\nfastfirstpass=1\n"},
    {"libx264-fastfirstpass", "preset=fast\nfastfirstpass=1\n"},
    {"libx264-hq", "preset=slow\n"},
    {"libx264-ipod320", "profile=66\nlevel=13\nmaxrate=768000\nbufsize=3000000\n"},
    {"libx264-ipod640", "profile=66\nrefs=1\nlevel=30\nmaxrate=10000000\nbufsize=10000000\n"},
    {"libx264-lossless_fast", "preset=fast\nqp=0\n"},
    {"libx264-lossless_max", "preset=placebo\nqp=0\n"},
    {"libx264-lossless_medium", "preset=medium\nqp=0\n"},
    {"libx264-lossless_slow", "preset=slow\nqp=0\n"},
    {"libx264-lossless_slower", "preset=slower\nqp=0\n"},
    {"libx264-lossless_ultrafast", "preset=ultrafast\nqp=0\n"},
    {"libx264-main", "profile=77\n"},
    {"libx264-max", "preset=placebo\n"},
    {"libx264-medium", "preset=medium\n"},
    {"libx264-medium_firstpass", "preset=medium\nfastfirstpass=1\n"},
    {"libx264-normal", "preset=medium\n"},
    {"libx264-placebo", "preset=placebo\n"},
    {"libx264-placebo_firstpass", "preset=placebo\nfastfirstpass=1\n"},
    {"libx264-slow", "preset=slow\n"},
    {"libx264-slow_firstpass", "preset=slow\nfastfirstpass=1\n"},
    {"libx264-slower", "preset=slower\n"},
    {"libx264-slower_firstpass", "preset=slower\nfastfirstpass=1\n"},
    {"libx264-slowfirstpass", "preset=slow\nfastfirstpass=1\n"},
    {"libx264-superfast", "preset=superfast\n"},
    {"libx264-superfast_firstpass", "preset=superfast\nfastfirstpass=1\n"},
    {"libx264-ultrafast", "preset=ultrafast\n"},
    {"libx264-ultrafast_firstpass", "preset=ultrafast\nfastfirstpass=1\n"},
    {"libx264-veryfast", "preset=veryfast\n"},
    {"libx264-veryfast_firstpass", "preset=veryfast\nfastfirstpass=1\n"},
    {"libx264-veryslow", "preset=veryslow\n"},
    {"libx264-veryslow_firstpass", "preset=veryslow\nfastfirstpass=1\n"},
}};

const char* FindBuiltInPreset(const std::string& name) {
  for (const TBuiltInPreset& preset : BuiltInPresets)
    if (strcasecmp(preset.Name, name.c_str()) == 0) return preset.Text;
  return nullptr;
}

}  // namespace vidorant

// Codec lookup by an option's name: the three refusals and the strictness that lifts the last.
#include "engine/core/CodecLookup.h"
#include "tests/engine/core/TestEngine.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vidorant::testing {
namespace {

TEST(CodecLookup, RefusalsNameTheRoleAndTheCodec) {
  BindLibrariesForTests();
  struct Case {
    const char* Name;
    AVMediaType Kind;
    bool Encoder;
    int Strictness;
    const char* Message;  // "" when the codec is found
  } cases[] = {
      {"nosuch", AVMEDIA_TYPE_VIDEO, true, 0, "Unknown encoder 'nosuch'"},
      {"mpeg4", AVMEDIA_TYPE_AUDIO, false, 0, "Invalid decoder type 'mpeg4'"},
      {"sonic", AVMEDIA_TYPE_AUDIO, false, FF_COMPLIANCE_NORMAL,
       "decoder 'sonic' is experimental and might produce bad results.\r\n"
       "Add '-strict experimental' if you want to use it."},
      {"vorbis", AVMEDIA_TYPE_AUDIO, true, FF_COMPLIANCE_UNOFFICIAL,
       "encoder 'vorbis' is experimental and might produce bad results.\r\n"
       "Add '-strict experimental' if you want to use it.\r\n"
       "Or use the non experimental encoder 'libvorbis'."},
      {"vorbis", AVMEDIA_TYPE_AUDIO, true, FF_COMPLIANCE_EXPERIMENTAL, ""},
      {"mpeg4", AVMEDIA_TYPE_VIDEO, true, 0, ""},
  };
  for (const Case& c : cases) {
    std::string error;
    const AVCodec* codec = FindCodecByName(c.Name, c.Kind, c.Encoder, c.Strictness, error);
    EXPECT_EQ(error, c.Message) << c.Name;
    EXPECT_EQ(codec != nullptr, *c.Message == '\0') << c.Name;
    if (codec) {
      EXPECT_EQ(c.Encoder ? av_codec_is_encoder(codec) : av_codec_is_decoder(codec), 1);
    }
  }
}

}  // namespace
}  // namespace vidorant::testing

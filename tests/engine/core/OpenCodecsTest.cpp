#include "engine/core/OpenCodecs.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFPtr.h"
#include "tests/engine/core/TestEngine.h"

namespace vidorant {
namespace {

class OpenCodecs : public ::testing::Test {
protected:
  static void SetUpTestSuite() { testing::BindLibrariesForTests(); }

  // A raw-video context; a usable encoder needs a size, a format and a time base.
  static TCodecContextPtr RawVideo(TCodecRole role, bool usable = true) {
    const AVCodec* codec = role == TCodecRole::Encoder ? ff::avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO)
                                                       : ff::avcodec_find_decoder(AV_CODEC_ID_RAWVIDEO);
    TCodecContextPtr context(ff::avcodec_alloc_context3(codec));
    if (usable) {
      context->width = 16;
      context->height = 8;
      context->pix_fmt = AV_PIX_FMT_BGR24;
      context->time_base = {1, 10};
    }
    return context;
  }

  static int Open(TOpenCodecs& codecs, TCodecRole role, AVCodecContext* context) {
    return codecs.Open(role, context, context->codec, nullptr);
  }
};

TEST_F(OpenCodecs, OnlyOpenedCodecsAreListedAndEachCloseTakesOneOff) {
  TCodecContextPtr encoder = RawVideo(TCodecRole::Encoder);
  TCodecContextPtr decoder = RawVideo(TCodecRole::Decoder);
  TCodecContextPtr refused = RawVideo(TCodecRole::Encoder, false);  // no size: the encoder says no
  TOpenCodecs codecs;
  ASSERT_GE(Open(codecs, TCodecRole::Encoder, encoder.get()), 0);
  ASSERT_GE(Open(codecs, TCodecRole::Decoder, decoder.get()), 0);
  EXPECT_LT(Open(codecs, TCodecRole::Encoder, refused.get()), 0);
  EXPECT_EQ(codecs.Count(TCodecRole::Encoder), 1u);
  EXPECT_EQ(codecs.Count(TCodecRole::Decoder), 1u);

  codecs.Close(TCodecRole::Decoder, encoder.get());  // not a listed decoder: nothing happens
  EXPECT_TRUE(ff::avcodec_is_open(encoder.get()));
  codecs.Close(TCodecRole::Encoder, encoder.get());
  EXPECT_FALSE(ff::avcodec_is_open(encoder.get()));
  EXPECT_EQ(codecs.Count(TCodecRole::Encoder), 0u);
  EXPECT_TRUE(ff::avcodec_is_open(decoder.get()));
}

TEST_F(OpenCodecs, CleanUpClosesWhatIsLeftAndFreesTheStatisticsInput) {
  TCodecContextPtr encoder = RawVideo(TCodecRole::Encoder);
  TCodecContextPtr decoder = RawVideo(TCodecRole::Decoder);
  TCodecContextPtr later = RawVideo(TCodecRole::Decoder);
  {
    TOpenCodecs codecs;
    ASSERT_GE(Open(codecs, TCodecRole::Encoder, encoder.get()), 0);
    ASSERT_GE(Open(codecs, TCodecRole::Decoder, decoder.get()), 0);
    encoder->stats_in = ff::av_strdup("pass-2 statistics");
    codecs.CloseAll();
    EXPECT_EQ(encoder->stats_in, nullptr);  // the leak check of the sanitizer pass sees the rest
    EXPECT_EQ(codecs.Count(TCodecRole::Encoder) + codecs.Count(TCodecRole::Decoder), 0u);
    EXPECT_FALSE(ff::avcodec_is_open(encoder.get()));
    EXPECT_FALSE(ff::avcodec_is_open(decoder.get()));
    ASSERT_GE(Open(codecs, TCodecRole::Decoder, later.get()), 0);
  }  // the destructor closes what was opened after the clean-up
  EXPECT_FALSE(ff::avcodec_is_open(later.get()));
}

}  // namespace
}  // namespace vidorant

#include "engine/runtime/OptionContext.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "TestLibraries.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/FFUtils.h"

namespace vidorant {
namespace {

int64_t IntOption(void* object, const char* name) {
  int64_t value = -12345;
  EXPECT_GE(ff::av_opt_get_int(object, name, 0, &value), 0) << name;
  return value;
}

std::string TextOption(void* object, const char* name) {
  uint8_t* text = nullptr;
  if (ff::av_opt_get(object, name, 0, &text) < 0) return "<none>";
  TAVMemoryPtr<uint8_t> owned(text);
  return reinterpret_cast<char*>(text);
}

class OptionStore : public ::testing::Test {
protected:
  void SetUp() override {
    if (!LoadTestLibraries()) GTEST_SKIP() << "libraries missing (reported as a failure)";
    InitOptions(Options, TScalerFlags::Bilinear);
  }
  AVCodecContext* Codec(AVMediaType type) { return Options.CodecOptions[type].get(); }
  OptionContext Options;
};

TEST_F(OptionStore, RoutesEachNameToTheContextThatKnowsIt) {
  const struct {
    const char* Name;
    const char* Value;
    const char* StoredName;
    std::function<void(OptionContext&)> Check;
  } cases[] = {
      {"g", "30", "g",
       [](OptionContext& o) {
         EXPECT_EQ(o.CodecOptions[AVMEDIA_TYPE_VIDEO]->gop_size, 30);
         EXPECT_NE(o.CodecOptions[AVMEDIA_TYPE_SUBTITLE]->gop_size, 30);
       }},
      {"ar", "22050", "ar",
       [](OptionContext& o) {
         EXPECT_EQ(o.CodecOptions[AVMEDIA_TYPE_AUDIO]->sample_rate, 22050);
         EXPECT_EQ(o.CodecOptions[AVMEDIA_TYPE_VIDEO]->sample_rate, 0);
       }},
      {"sub_charenc", "cp1252", "sub_charenc",
       [](OptionContext& o) {
         EXPECT_STREQ(o.CodecOptions[AVMEDIA_TYPE_SUBTITLE]->sub_charenc, "cp1252");
         EXPECT_EQ(o.CodecOptions[AVMEDIA_TYPE_VIDEO]->sub_charenc, nullptr);
       }},
      {"probesize", "1234567", "probesize",
       [](OptionContext& o) { EXPECT_EQ(o.FormatOptions->probesize, 1234567); }},
      {"sws_flags", "bicubic", "sws_flags",
       [](OptionContext& o) { EXPECT_EQ(IntOption(o.ScalerOptions.get(), "sws_flags"), SWS_BICUBIC); }},
      // Unknown as a whole; without the leading letter an audio, video or subtitle option.
      {"aar", "44100", "ar",
       [](OptionContext& o) {
         EXPECT_EQ(o.CodecOptions[AVMEDIA_TYPE_AUDIO]->sample_rate, 44100);
         EXPECT_EQ(o.CodecOptions[AVMEDIA_TYPE_DATA]->sample_rate, 0);
       }},
      {"vb", "900000", "b",
       [](OptionContext& o) {
         EXPECT_EQ(o.CodecOptions[AVMEDIA_TYPE_VIDEO]->bit_rate, 900000);
         EXPECT_NE(o.CodecOptions[AVMEDIA_TYPE_AUDIO]->bit_rate, 900000);
       }},
      {"ssub_charenc", "latin1", "sub_charenc",
       [](OptionContext& o) {
         EXPECT_STREQ(o.CodecOptions[AVMEDIA_TYPE_SUBTITLE]->sub_charenc, "latin1");
       }},
  };
  for (const auto& c : cases) {
    InitOptions(Options, TScalerFlags::Bilinear);
    ASSERT_TRUE(SetOption(Options, c.Name, c.Value)) << c.Name << ": " << LastUtilsError();
    c.Check(Options);
    ASSERT_EQ(Options.Options.size(), 1u) << c.Name;
    EXPECT_EQ(Options.Options[0].Name, c.StoredName);
    EXPECT_FALSE(Options.Options[0].Value.has_value()) << c.Name << ": a context took it";
  }
}

TEST_F(OptionStore, CodecPrivateOptionIsStoredWithItsValue) {
  // Only the MPEG-4 encoder's private options know this name.
  ASSERT_TRUE(SetOption(Options, "data_partitioning", "1")) << LastUtilsError();
  ASSERT_EQ(Options.Options.size(), 1u);
  EXPECT_EQ(Options.Options[0].Name, "data_partitioning");
  EXPECT_EQ(Options.Options[0].Value, "1");
}

TEST_F(OptionStore, RefusesUnknownNamesAndInvalidValuesWithLogLineAndLastError) {
  TLogCapture log;
  EXPECT_FALSE(SetOption(Options, "no_such_option_anywhere", "1"));
  EXPECT_EQ(LastUtilsError(), "Unrecognized option \"no_such_option_anywhere\"");
  EXPECT_FALSE(SetOption(Options, "g", "many"));
  EXPECT_EQ(LastUtilsError(), "Invalid value \"many\" for option \"g\"");
  EXPECT_TRUE(Options.Options.empty()) << "a refused option was stored";
  // The library explains a bad value in lines of its own (prefixed with its object); the store's
  // lines carry no object.
  std::vector<std::pair<TLogLevel, std::string>> ownLines;
  for (const auto& line : log.Lines)
    if (line.second.rfind("[", 0) != 0) ownLines.push_back(line);
  const std::vector<std::pair<TLogLevel, std::string>> expected = {
      {llError, "Unrecognized option \"no_such_option_anywhere\""},
      {llError, "Invalid value \"many\" for option \"g\""},
  };
  EXPECT_EQ(ownLines, expected);
}

TEST_F(OptionStore, BlankNameIsRefusedSilently) {
  TLogCapture log;
  SetLastUtilsError("earlier text");
  for (const char* blank : {"", "   ", "\t \t"}) EXPECT_FALSE(SetOption(Options, blank, "1"));
  EXPECT_EQ(LastUtilsError(), "earlier text");
  EXPECT_TRUE(log.Lines.empty());
  EXPECT_TRUE(Options.Options.empty());
}

TEST_F(OptionStore, DebugOptionRaisesTheLoggerToDebug) {
  FFLogger()->SetLogLevel(llInfo);
  ASSERT_TRUE(SetOption(Options, "probesize", "5000000"));
  EXPECT_EQ(FFLogger()->LogLevel(), llInfo);
  ASSERT_TRUE(SetOption(Options, "fdebug", "ts"));  // the format context's debug flags
  EXPECT_EQ(FFLogger()->LogLevel(), llDebug);
  FFLogger()->SetLogLevel(llInfo);
}

TEST_F(OptionStore, ApplyCopiesOnlyOptionsWhoseFlagsHoldTheWholeMask) {
  ASSERT_TRUE(SetOption(Options, "g", "30"));    // video, encoding
  ASSERT_TRUE(SetOption(Options, "ar", "22050"));  // audio, encoding and decoding
  TCodecContextPtr encoder(ff::avcodec_alloc_context3(nullptr));
  ApplyOptions(Options, encoder.get(), Codec(AVMEDIA_TYPE_VIDEO),
               AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM, nullptr);
  EXPECT_EQ(encoder->gop_size, 30);
  EXPECT_EQ(encoder->sample_rate, 0) << "an audio option reached a video encoder";

  TCodecContextPtr decoder(ff::avcodec_alloc_context3(nullptr));
  ApplyOptions(Options, decoder.get(), Codec(AVMEDIA_TYPE_VIDEO),
               AV_OPT_FLAG_DECODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM, nullptr);
  EXPECT_NE(decoder->gop_size, 30) << "an encoding-only option reached a decoder";

  TCodecContextPtr audio(ff::avcodec_alloc_context3(nullptr));
  ApplyOptions(Options, audio.get(), Codec(AVMEDIA_TYPE_AUDIO), AV_OPT_FLAG_AUDIO_PARAM, nullptr);
  EXPECT_EQ(audio->sample_rate, 22050);
}

TEST_F(OptionStore, PrivateOptionIsAppliedOnlyToTheCodecThatHasIt) {
  ASSERT_TRUE(SetOption(Options, "data_partitioning", "1"));
  const int mask = AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM;
  const AVCodec* mpeg4 = ff::avcodec_find_encoder_by_name("mpeg4");
  ASSERT_NE(mpeg4, nullptr);
  TCodecContextPtr withCodec(ff::avcodec_alloc_context3(mpeg4));
  ApplyOptions(Options, withCodec.get(), Codec(AVMEDIA_TYPE_VIDEO), mask, mpeg4);
  EXPECT_EQ(IntOption(withCodec->priv_data, "data_partitioning"), 1);

  // The same context applied without naming its codec: no private context, nothing set.
  TCodecContextPtr unnamed(ff::avcodec_alloc_context3(mpeg4));
  ApplyOptions(Options, unnamed.get(), Codec(AVMEDIA_TYPE_VIDEO), mask, nullptr);
  EXPECT_EQ(IntOption(unnamed->priv_data, "data_partitioning"), 0);

  // A codec whose private options lack the name ignores it.
  const AVCodec* mjpeg = ff::avcodec_find_encoder_by_name("mjpeg");
  ASSERT_NE(mjpeg, nullptr);
  TCodecContextPtr other(ff::avcodec_alloc_context3(mjpeg));
  ApplyOptions(Options, other.get(), Codec(AVMEDIA_TYPE_VIDEO), mask, mjpeg);
  EXPECT_EQ(TextOption(other->priv_data, "data_partitioning"), "<none>");
}

TEST_F(OptionStore, MuxerPrivateOptionIsAppliedToAFormatContextOfThatMuxer) {
  // Only some muxers' private options know "movflags"; a format context of the mp4 muxer gets it.
  ASSERT_TRUE(SetOption(Options, "movflags", "faststart")) << LastUtilsError();
  ASSERT_EQ(Options.Options[0].Value, "faststart");
  auto newMp4 = [] {
    AVFormatContext* raw = nullptr;
    EXPECT_GE(ff::avformat_alloc_output_context2(&raw, nullptr, "mp4", nullptr), 0);
    return TOutputFormatContextPtr(raw);
  };
  TOutputFormatContextPtr mp4 = newMp4(), reference = newMp4();
  ASSERT_TRUE(mp4 && reference);
  ASSERT_GE(ff::av_opt_set(reference->priv_data, "movflags", "faststart", 0), 0);
  ASSERT_NE(IntOption(reference->priv_data, "movflags"), 0);
  ApplyOptions(Options, mp4.get(), Options.FormatOptions.get(), 0, nullptr);
  EXPECT_EQ(IntOption(mp4->priv_data, "movflags"), IntOption(reference->priv_data, "movflags"));
}

TEST_F(OptionStore, FreeOptionsForgetsEverythingAndInitStartsAfresh) {
  ASSERT_TRUE(SetOption(Options, "g", "30"));
  FreeOptions(Options);
  EXPECT_TRUE(Options.Options.empty());
  EXPECT_EQ(Options.CodecOptions[0], nullptr);
  EXPECT_EQ(Options.FormatOptions, nullptr);
  EXPECT_EQ(Options.ScalerOptions, nullptr);
  InitOptions(Options, TScalerFlags::Bilinear);
  EXPECT_NE(Codec(AVMEDIA_TYPE_VIDEO)->gop_size, 30);
  for (int type = 0; type < OptionMediaTypes; ++type)
    EXPECT_EQ(Options.CodecOptions[type]->codec_type, type);
}

}  // namespace
}  // namespace vidorant

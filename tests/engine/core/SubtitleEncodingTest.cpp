// Subtitles encoded again: the fixture's SubRip cues ("Second N" at N seconds, 0.9 s long) are
// converted to other subtitle codecs, and FFmpeg decodes the written file's cues directly.
#include "tests/engine/core/DecodedOutput.h"
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

namespace vidorant::testing {
namespace {

struct TCue {
  int64_t StartMs = 0, EndMs = 0;
  std::string Text;  // every rectangle's text or dialogue line, joined
};

struct TSubtitleFile {
  std::string Codec;  // decoder name
  std::vector<TCue> Cues;
};

TSubtitleFile ReadSubtitles(const std::string& path) {
  TSubtitleFile file;
  TStreamDecoder opened = OpenStreamDecoder(path, AVMEDIA_TYPE_SUBTITLE);
  if (!opened.Decoder) return file;
  AVFormatContext* in = opened.Input.get();
  const AVStream* st = opened.Stream;
  AVCodecContext* dec = opened.Decoder.get();
  const int index = st->index;
  file.Codec = avcodec_get_name(st->codecpar->codec_id);
  PacketPtr packet(av_packet_alloc());
  while (av_read_frame(in, packet.get()) >= 0) {
    if (packet->stream_index == index) {
      AVSubtitle sub{};
      int got = 0;
      if (avcodec_decode_subtitle2(dec, &sub, &got, packet.get()) >= 0 && got) {
        TCue cue;
        const int64_t base = sub.pts != AV_NOPTS_VALUE ? sub.pts / 1000
                                                       : av_rescale_q(packet->pts, st->time_base, AVRational{1, 1000});
        cue.StartMs = base + sub.start_display_time;
        cue.EndMs = packet->duration > 0 ? cue.StartMs + av_rescale_q(packet->duration, st->time_base, {1, 1000})
                                         : base + sub.end_display_time;
        for (unsigned r = 0; r < sub.num_rects; ++r) {
          if (sub.rects[r]->ass) cue.Text += sub.rects[r]->ass;
          if (sub.rects[r]->text) cue.Text += sub.rects[r]->text;
        }
        file.Cues.push_back(cue);
        avsubtitle_free(&sub);
      }
    }
    av_packet_unref(packet.get());
  }
  return file;
}

struct TSubtitleCase {
  const char* Name;
  const char* Output;
  const char* Codec;    // encoder asked for
  const char* Decoder;  // the codec FFmpeg finds in the file
  friend void PrintTo(const TSubtitleCase& c, std::ostream* os) { *os << c.Name; }
};

class SubtitleEncoding : public ::testing::TestWithParam<TSubtitleCase> {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }
  TTempFolder Tmp;
  TTestTask Task;
};

TEST_P(SubtitleEncoding, EveryCueReadsBackWithItsTextAndTimes) {
  const TSubtitleCase& c = GetParam();
  TVideoRecipe recipe = Shaped(MatroskaRecipe(), 64, 48, {25, 1}, 75);
  recipe.Subtitle = true;
  const std::string source = MakeTestVideo(Tmp.Path(), "source", recipe);
  const std::string output = Tmp.File(c.Output);
  ASSERT_TRUE(SetUpTask(Task, {}, source, {{"vn", ""}, {"scodec", c.Codec}}, output));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();

  const TSubtitleFile written = ReadSubtitles(output);
  EXPECT_EQ(written.Codec, c.Decoder);
  ASSERT_EQ(written.Cues.size(), 3u);
  for (size_t i = 0; i < written.Cues.size(); ++i) {
    const TCue& cue = written.Cues[i];
    EXPECT_NE(cue.Text.find("Second " + std::to_string(i)), std::string::npos) << cue.Text;
    EXPECT_NEAR(static_cast<double>(cue.StartMs), 1000.0 * static_cast<double>(i), 1) << i;
    EXPECT_NEAR(static_cast<double>(cue.EndMs - cue.StartMs), 900, 1) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(All, SubtitleEncoding,
                         ::testing::Values(TSubtitleCase{"SubRipToAssInMatroska", "out.mkv", "ass", "ass"},
                                           TSubtitleCase{"SubRipToWebVTT", "out.vtt", "webvtt", "webvtt"},
                                           TSubtitleCase{"SubRipToMovTextInMp4", "out.mp4", "mov_text", "mov_text"}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vidorant::testing

// The test videos must have the properties the engine's tests rely on: checked here with the
// libraries directly, independent of the engine, by decoding every picture.
#include "tools/testvideo/LinkedFFPtr.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/TestPattern.h"
#include "tools/testvideo/TestVideo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vidorant::testing {
namespace {

// What a decode of the whole file shows.
struct TDecoded {
  int VideoStreams = 0, AudioStreams = 0, SubtitleStreams = 0;
  int Width = 0, Height = 0;
  AVRational Rate{0, 1};
  int64_t Duration = AV_NOPTS_VALUE;
  std::vector<int> FrameIndices;  // pattern index of every decoded picture, in output order
};

TDecoded DecodeAll(const std::string& path) {
  TDecoded d;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return d;
  InputPtr in(raw);
  EXPECT_GE(avformat_find_stream_info(in.get(), nullptr), 0);
  d.Duration = in->duration;
  int video = -1;
  for (unsigned i = 0; i < in->nb_streams; ++i) {
    switch (in->streams[i]->codecpar->codec_type) {
      case AVMEDIA_TYPE_VIDEO: ++d.VideoStreams; video = static_cast<int>(i); break;
      case AVMEDIA_TYPE_AUDIO: ++d.AudioStreams; break;
      case AVMEDIA_TYPE_SUBTITLE: ++d.SubtitleStreams; break;
      default: break;
    }
  }
  if (video < 0) return d;
  AVStream* st = in->streams[video];
  d.Width = st->codecpar->width;
  d.Height = st->codecpar->height;
  d.Rate = st->r_frame_rate;
  CodecContextPtr dec(avcodec_alloc_context3(avcodec_find_decoder(st->codecpar->codec_id)));
  avcodec_parameters_to_context(dec.get(), st->codecpar);
  EXPECT_GE(avcodec_open2(dec.get(), dec->codec, nullptr), 0);
  PacketPtr pkt(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  auto receive = [&] {
    while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
      d.FrameIndices.push_back(
          FrameIndexFromLuma(frame->data[0], frame->linesize[0], frame->width, frame->height));
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(in.get(), pkt.get()) >= 0) {
    if (pkt->stream_index == video) {
      avcodec_send_packet(dec.get(), pkt.get());
      receive();
    }
    av_packet_unref(pkt.get());
  }
  avcodec_send_packet(dec.get(), nullptr);
  receive();
  return d;
}

std::vector<int> Sequence(int count) {
  std::vector<int> v(count);
  for (int i = 0; i < count; ++i) v[i] = i;
  return v;
}

struct TContainerCase {
  const char* Name;
  TVideoRecipe (*Make)();
  friend void PrintTo(const TContainerCase& c, std::ostream* os) { *os << c.Name; }
};

class TestVideoContainers : public ::testing::TestWithParam<TContainerCase> {};

// Every picture must come back in order with its own index: a generator that mixed up pts,
// dropped the encoder's last frames or wrote a wrong pattern fails here.
TEST_P(TestVideoContainers, EveryPictureDecodesToItsOwnIndex) {
  TTempFolder tmp;
  TVideoRecipe recipe = GetParam().Make();
  recipe.Width = 80;
  recipe.Height = 60;
  recipe.FrameCount = 30;
  const TDecoded d = DecodeAll(MakeTestVideo(tmp.Path(), "v", recipe));
  EXPECT_EQ(d.VideoStreams, 1);
  EXPECT_EQ(d.Width, 80);
  EXPECT_EQ(d.Height, 60);
  EXPECT_EQ(d.Rate.num * 1, 25 * d.Rate.den);
  EXPECT_EQ(d.FrameIndices, Sequence(30));
}

INSTANTIATE_TEST_SUITE_P(
    All, TestVideoContainers,
    ::testing::Values(TContainerCase{"mp4", Mp4Recipe}, TContainerCase{"avi", AviRecipe},
                      TContainerCase{"mkv", MatroskaRecipe}, TContainerCase{"webm", WebmRecipe},
                      TContainerCase{"ts", MpegTsRecipe}, TContainerCase{"m4v", RawStreamRecipe}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(TestVideo, AudioAndSubtitleStreamsAreWrittenBesideTheVideo) {
  TTempFolder tmp;
  TVideoRecipe recipe = MatroskaRecipe();
  recipe.Audio = {TTestAudio{}, TTestAudio{"aac", 48000, 1, 1000}};
  recipe.Subtitle = true;
  const TDecoded d = DecodeAll(MakeTestVideo(tmp.Path(), "av", recipe));
  EXPECT_EQ(d.VideoStreams, 1);
  EXPECT_EQ(d.AudioStreams, 2);
  EXPECT_EQ(d.SubtitleStreams, 1);
  EXPECT_EQ(d.FrameIndices, Sequence(25));
}

TEST(TestVideo, LibX264InMp4KeepsThePattern) {
  TTempFolder tmp;
  TVideoRecipe recipe = Mp4Recipe();
  recipe.VideoCodec = "libx264";
  recipe.Audio = {TTestAudio{"aac", 44100, 2, 440}};
  const TDecoded d = DecodeAll(MakeTestVideo(tmp.Path(), "x", recipe));
  EXPECT_EQ(d.AudioStreams, 1);
  EXPECT_EQ(d.FrameIndices, Sequence(25));
  EXPECT_NEAR(static_cast<double>(d.Duration), 1000000.0, 50000.0);
}

TEST(TestVideo, HeaderOnlyFileHasAVideoStreamWithoutSize) {
  TTempFolder tmp;
  TVideoRecipe recipe = AviRecipe();
  recipe.Width = recipe.Height = 0;
  recipe.HeaderOnly = true;
  const TDecoded d = DecodeAll(MakeTestVideo(tmp.Path(), "empty", recipe));
  EXPECT_EQ(d.VideoStreams, 1);
  EXPECT_EQ(d.Width * d.Height, 0);
  EXPECT_TRUE(d.FrameIndices.empty());
}

// The pattern survives the limited-to-full range conversion of a BGR picture.
TEST(TestPattern, IndexSurvivesConversionToGreyBGR) {
  for (int index : {0, 1, 27, 28, 29, 400, PatternBase * PatternBase - 1}) {
    std::vector<uint8_t> luma(32 * 32);
    WriteFramePattern(luma.data(), 32, 32, 32, index);
    std::vector<uint8_t> bgr(32 * 32 * 3);
    for (size_t i = 0; i < luma.size(); ++i) {
      const int grey = std::clamp((luma[i] - 16) * 255 / 219, 0, 255);
      bgr[3 * i] = bgr[3 * i + 1] = bgr[3 * i + 2] = static_cast<uint8_t>(grey);
    }
    EXPECT_EQ(FrameIndexFromLuma(luma.data(), 32, 32, 32), index);
    EXPECT_EQ(FrameIndexFromBGR24(bgr.data(), 32 * 3, 32, 32), index);
  }
  std::vector<uint8_t> noise(32 * 32);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 37);
  EXPECT_EQ(FrameIndexFromLuma(noise.data(), 32, 32, 32), -1);
}

}  // namespace
}  // namespace vidorant::testing

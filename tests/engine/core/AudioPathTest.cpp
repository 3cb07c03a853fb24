// The audio path end to end: tasks encode the fixture generator's tone tracks, and FFmpeg decodes
// what they wrote. The oracles are the tone itself (its frequency, its smoothness, no quiet gap),
// the audio's timeline against the video's, and the log lines of the resampler and the sync rule.
#include "engine/core/AudioPath.h"
#include "engine/core/AudioSync.h"
#include "engine/core/OptionState.h"
#include "tests/engine/core/DecodedOutput.h"
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/LinkedFFPtr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace vidorant::testing {
namespace {

constexpr double ToneHz = 440;
constexpr int64_t Second = 1000000;

class AudioPath : public ::testing::Test {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }
  TTempFolder Tmp;
  TTestTask Task;
};

// The tone is there and nothing else is: far stronger at its frequency than 40 Hz beside it.
void ExpectTone(const std::vector<float>& left, size_t from, size_t to, int rate) {
  const double tone = TonePower(left, from, to, ToneHz, rate);
  EXPECT_GT(tone, 1000 * TonePower(left, from, to, ToneHz - 40, rate));
  EXPECT_GT(tone, 1000 * TonePower(left, from, to, ToneHz + 40, rate));
}

// A 0.5 amplitude sine moves at most 2 sin(pi f / rate) / 2 between samples; a click or a gap
// at a frame boundary jumps much further, and a dropout makes a window quiet.
void ExpectSmoothTone(const std::vector<float>& left, size_t from, size_t to, int rate) {
  const double sineStep = std::sin(M_PI * ToneHz / rate);
  EXPECT_LT(LargestStep(left, from, to), 1.5 * sineStep + 0.01);
  EXPECT_GT(QuietestWindow(left, from, to, static_cast<size_t>(rate / 100)), 0.3);
}

// ---- the sync rule on its own ------------------------------------------------------------

struct TSyncCase {
  const char* Name;
  TAudioSyncInput In;
  TAudioSyncAction::TKind Kind;
  int64_t Samples;    // Trim, Insert, Compensate
  int64_t Timestamp;  // SetTimestamp
  friend void PrintTo(const TSyncCase& c, std::ostream* os) { *os << c.Name; }
};

class AudioSyncRule : public ::testing::TestWithParam<TSyncCase> {};

TEST_P(AudioSyncRule, Decides) {
  const TSyncCase& c = GetParam();
  const TAudioSyncAction action = DecideAudioSync(c.In);
  EXPECT_EQ(action.Kind, c.Kind);
  if (c.Kind == TAudioSyncAction::TKind::SetTimestamp)
    EXPECT_EQ(action.Timestamp, c.Timestamp);
  else
    EXPECT_EQ(action.Samples, c.Samples);
}

using K = TAudioSyncAction::TKind;
//                                          method time  enc    dec   sync   fifo start drift
INSTANTIATE_TEST_SUITE_P(
    All, AudioSyncRule,
    ::testing::Values(
        TSyncCase{"StartLateInsertsInDecoderRate", {1, 0.5, 44100, 22050, 0, 0, true, 0.1}, K::Insert, 11025, 0},
        TSyncCase{"StartEarlyTrims", {1, 0.0, 44100, 44100, 4410, 0, true, 0.1}, K::Trim, 4410, 0},
        TSyncCase{"FifoCountsAsPutOut", {1, 0.1, 44100, 44100, 0, 4410, true, 0.1}, K::None, 0, 0},
        TSyncCase{"WithinToleranceNothing", {1, 0.001, 44100, 44100, 0, 0, true, 0.1}, K::None, 0, 0},
        TSyncCase{"SmallDriftLaterIgnoredByMethod1", {1, 0.05, 44100, 44100, 0, 0, false, 0.1}, K::None, 0, 0},
        TSyncCase{"LargeDriftLaterInserts", {1, 0.5, 44100, 44100, 0, 0, false, 0.1}, K::Insert, 22050, 0},
        TSyncCase{"SmallDriftCompensatedByMethodLimit", {3, 0.05, 44100, 44100, 0, 0, false, 0.1}, K::Compensate, 3, 0},
        TSyncCase{"NegativeDriftCompensatedDown", {2, 0.0, 44100, 44100, 2000, 0, false, 0.1}, K::Compensate, -2, 0},
        TSyncCase{"Method0MovesTheTimestamp", {0, 0.5, 44100, 44100, 7, 1000, true, 0.1}, K::SetTimestamp, 0, 21050}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- a tone through lossy encoders ---------------------------------------------------------

struct TToneCase {
  const char* Name;
  const char* Output;
  const char* Codec;    // encoder asked for
  const char* Found;    // the codec FFmpeg finds in the file
  int Rate;             // what the encoder runs at
  friend void PrintTo(const TToneCase& c, std::ostream* os) { *os << c.Name; }
};

class AudioToneThroughCodec : public AudioPath, public ::testing::WithParamInterface<TToneCase> {};

TEST_P(AudioToneThroughCodec, KeepsFrequencyWithoutGapsAndCoversTheVideo) {
  const TToneCase& c = GetParam();
  const TVideoRecipe recipe = Shaped(MatroskaRecipe(), 64, 48, {25, 1}, 50, true);
  const std::string source = MakeTestVideo(Tmp.Path(), "source", recipe);
  const std::string output = Tmp.File(c.Output);
  ASSERT_TRUE(SetUpTask(Task, {}, source, {{"vn", ""}, {"acodec", c.Codec}}, output));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();

  const TDecodedAudio audio = ReadAudio(output);
  EXPECT_EQ(audio.Codec, c.Found);
  EXPECT_EQ(audio.Channels, 2);
  ASSERT_EQ(audio.Rate, c.Rate);
  const int64_t frame = (audio.FrameSize > 0 ? audio.FrameSize : 1024) * Second / audio.Rate;
  EXPECT_NEAR(static_cast<double>(audio.End()), static_cast<double>(TestVideoDuration(recipe)), frame);
  // The codecs' own start-up and end are left out.
  const size_t from = 4096, to = audio.Left.size() - 4096;
  ASSERT_GT(to, from);
  ExpectTone(audio.Left, from, to, audio.Rate);
  ExpectSmoothTone(audio.Left, from, to, audio.Rate);
}

INSTANTIATE_TEST_SUITE_P(All, AudioToneThroughCodec,
                         ::testing::Values(TToneCase{"Mp4Aac", "out.mp4", "aac", "aac", 44100},
                                           TToneCase{"WebmVorbis", "out.webm", "libvorbis", "vorbis", 44100},
                                           TToneCase{"WebmOpusResampled", "opus.webm", "libopus", "opus", 48000}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---- audio that starts after the video -----------------------------------------------------

struct TLateAudioCase {
  const char* Name;
  const char* Async;
  int64_t FirstPts;       // µs: where the output's audio begins
  int64_t SilentSamples;  // how much of it is inserted silence
  friend void PrintTo(const TLateAudioCase& c, std::ostream* os) { *os << c.Name; }
};

class AudioStartingLate : public AudioPath, public ::testing::WithParamInterface<TLateAudioCase> {};

TEST_P(AudioStartingLate, FollowsTheSyncMethod) {
  const TLateAudioCase& c = GetParam();
  TVideoRecipe recipe = Shaped(MatroskaRecipe(), 64, 48, {25, 1}, 50, true);
  recipe.VideoCodec = "mpeg4";
  recipe.Audio[0].StartSeconds = 0.5;
  const std::string source = MakeTestVideo(Tmp.Path(), "late", recipe);
  const std::string output = Tmp.File("out.mkv");
  TLogCapture log;
  ASSERT_TRUE(SetUpTask(Task, {}, source, {{"v", "3"}, {"async", c.Async}, {"acodec", "pcm_s16le"}}, output));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();

  const TDecodedAudio audio = ReadAudio(output);
  ASSERT_EQ(audio.Rate, 44100);
  EXPECT_NEAR(static_cast<double>(audio.FirstPts), static_cast<double>(c.FirstPts), 1000);
  EXPECT_NEAR(static_cast<double>(audio.End()), static_cast<double>(TestVideoDuration(recipe)), 1024 * Second / 44100);
  const size_t silent = static_cast<size_t>(c.SilentSamples);
  if (silent > 0) {
    EXPECT_LT(LargestStep(audio.Left, 0, silent - 1), 1e-4);
  }
  ExpectTone(audio.Left, silent + 1024, audio.Left.size() - 1024, 44100);
  ExpectSmoothTone(audio.Left, silent + 1024, audio.Left.size() - 1024, 44100);
  EXPECT_EQ(log.Count(llVerbose, "adding " + std::to_string(c.SilentSamples) + " audio samples of silence"),
            silent > 0 ? 1 : 0);
  EXPECT_FALSE(log.Contains("discarding"));
  EXPECT_FALSE(log.Contains("compensating"));
}

INSTANTIATE_TEST_SUITE_P(All, AudioStartingLate,
                         ::testing::Values(TLateAudioCase{"Async1InsertsHalfASecondOfSilence", "1", 0, 22050},
                                           TLateAudioCase{"Async0KeepsTheGapInTheTimestamps", "0", Second / 2, 0}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---- an input whose rate and channels change mid-stream ------------------------------------

// The path fed straight from a generator of decoded frames: a stereo 44100 Hz PCM encoder whose
// packets are collected, and an input stream whose frames change form when the generator says.
class AudioPathFormatChange : public ::testing::Test {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }

  void SetUp() override {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    Output.Kind = TStreamKind::Audio;
    Output.Encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext* enc = Output.Encoder.get();
    enc->sample_fmt = AV_SAMPLE_FMT_S16;
    enc->sample_rate = 44100;
    av_channel_layout_default(&enc->ch_layout, 2);
    enc->time_base = AVRational{1, 44100};
    ASSERT_GE(avcodec_open2(enc, codec, nullptr), 0);
    Container.reset(avformat_alloc_context());
    Output.Stream = avformat_new_stream(Container.get(), nullptr);
    Output.Stream->time_base = enc->time_base;
    // The decoder as the stream was set up: mono 22050 Hz planar 16-bit.
    Decoder.reset(avcodec_alloc_context3(nullptr));
    Decoder->sample_fmt = AV_SAMPLE_FMT_S16P;
    Decoder->sample_rate = 22050;
    av_channel_layout_default(&Decoder->ch_layout, 1);
    Input.Decoder = Decoder.get();
    Output.ResampleNeeded = true;  // the rates differ
  }

  // One decoded frame of the tone in the form, at the input's current time.
  void Feed(TAudioPath& path, int rate, int channels, int samples) {
    FramePtr frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_S16P;
    frame->sample_rate = rate;
    frame->nb_samples = samples;
    av_channel_layout_default(&frame->ch_layout, channels);
    ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    const int64_t first = Input.Pts * rate / Second;
    for (int ch = 0; ch < channels; ++ch)
      for (int i = 0; i < samples; ++i)
        reinterpret_cast<int16_t*>(frame->data[ch])[i] =
            static_cast<int16_t>(16383 * std::sin(2 * M_PI * ToneHz * static_cast<double>(first + i) / rate));
    path.Output(Output, Input, path.PreProcess(Input, *frame));
    Input.Pts += static_cast<int64_t>(samples) * Second / rate;
  }

  TOutputStream Output;
  TInputStreamState Input;
  CodecContextPtr Decoder;
  struct ContainerFree {
    void operator()(AVFormatContext* s) const { avformat_free_context(s); }
  };
  std::unique_ptr<AVFormatContext, ContainerFree> Container;
  TOptionState Options;
  std::vector<std::pair<TLogLevel, std::string>> Lines;
  std::vector<float> Written;  // the left channel of every packet, in order
  int64_t FirstPts = -1;

  TAudioPathEnv Env() {
    TAudioPathEnv env;
    env.Options = &Options;
    env.Write = [this](TOutputStream&, AVPacket& packet) {
      if (FirstPts < 0) FirstPts = packet.pts;
      const auto* s = reinterpret_cast<const int16_t*>(packet.data);
      for (int i = 0; i + 1 < packet.size / 2; i += 2) Written.push_back(s[i] / 32768.0f);
    };
    env.Log = [this](TLogLevel level, const std::string& text) { Lines.emplace_back(level, text); };
    return env;
  }
  int Count(TLogLevel level, const std::string& text) const {
    return static_cast<int>(std::count(Lines.begin(), Lines.end(), std::make_pair(level, text)));
  }
};

TEST_F(AudioPathFormatChange, ResamplerIsMadeOnceAndRebuiltWhenTheInputChanges) {
  TAudioPath path(Env());
  for (int i = 0; i < 22; ++i) Feed(path, 22050, 1, 1000);  // about one second each
  for (int i = 0; i < 44; ++i) Feed(path, 44100, 2, 1000);
  path.Flush(Output);

  EXPECT_EQ(Count(llInfo, "Input stream #0.0 frame changed from rate:22050 fmt:s16p ch:1 to rate:44100 fmt:s16p ch:2"), 1);
  EXPECT_EQ(Lines.size(), 3u);
  // Planar samples are not the packed 16-bit ones: each resampler made says so, once.
  EXPECT_EQ(Count(llWarning, "Warning, using s16 intermediate sample format for resampling"), 2);
  EXPECT_EQ(FirstPts, 0);
  // Every sample reaches the encoder at its rate: 22000 at 22050 Hz and 44000 at 44100 Hz.
  EXPECT_NEAR(static_cast<double>(Written.size()), 44000 + 22000 * 2, 2);
  ExpectTone(Written, 4410, 44000 - 4410, 44100);
  ExpectTone(Written, 44000 + 4410, Written.size() - 4410, 44100);
  // Smooth within each half; where the form changes the old resampler's filter runs out.
  ExpectSmoothTone(Written, 1000, 44000 - 200, 44100);
  ExpectSmoothTone(Written, 44000 + 200, Written.size() - 1000, 44100);
}

TEST_F(AudioPathFormatChange, InputInTheEncodersFormNeedsNoResampler) {
  TAudioPath path(Env());
  Decoder->sample_fmt = AV_SAMPLE_FMT_S16;
  Decoder->sample_rate = 44100;
  av_channel_layout_default(&Decoder->ch_layout, 2);
  Output.ResampleNeeded = false;
  for (int i = 0; i < 10; ++i) {
    FramePtr frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_S16;
    frame->sample_rate = 44100;
    frame->nb_samples = 1000;
    av_channel_layout_default(&frame->ch_layout, 2);
    ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    for (int n = 0; n < 2000; ++n) reinterpret_cast<int16_t*>(frame->data[0])[n] = static_cast<int16_t>(i * 2000 + n);
    path.Output(Output, Input, path.PreProcess(Input, *frame));
    Input.Pts += 1000 * Second / 44100;
  }
  path.Flush(Output);
  EXPECT_TRUE(Lines.empty());
  // Passed through untouched: the left channel counts up in steps of two.
  ASSERT_EQ(Written.size(), 10000u);
  for (size_t n = 0; n < Written.size(); ++n) ASSERT_EQ(Written[n], static_cast<float>(2 * n) / 32768.0f) << n;
}

// ---- the volume step and the audio hook ----------------------------------------------------

TEST_F(AudioPath, HookSeesDecodedSamplesAndVolumeScalesTheEncodedOnes) {
  const TVideoRecipe recipe = Shaped(MatroskaRecipe(), 64, 48, {25, 1}, 25, true);
  const std::string source = MakeTestVideo(Tmp.Path(), "source", recipe);
  const std::string output = Tmp.File("out.wav");
  int64_t hookedBytes = 0, lastTime = -1;
  bool ordered = true;
  int32_t peak = 0;
  Task.OnAudioHook = [&](TObject*, uint8_t* samples, int64_t time, int32_t bytes, int32_t rate, int32_t channels,
                         AVSampleFormat format) {
    EXPECT_EQ(format, AV_SAMPLE_FMT_S16);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    ordered = ordered && time > lastTime;
    lastTime = time;
    hookedBytes += bytes;
    const auto* s = reinterpret_cast<const int16_t*>(samples);
    for (int32_t i = 0; i < bytes / 2; ++i) peak = std::max<int32_t>(peak, std::abs(s[i]));
  };
  ASSERT_TRUE(SetUpTask(Task, {}, source, {{"vn", ""}, {"vol", "128"}}, output));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();

  const TDecodedAudio audio = ReadAudio(output);
  EXPECT_TRUE(ordered);
  EXPECT_EQ(hookedBytes, static_cast<int64_t>(audio.Left.size()) * 2 * 2);
  // Half of the tone's 0.5: the hook sees the samples before the volume step scales them.
  EXPECT_NEAR(peak, 16383, 2);
  EXPECT_NEAR(*std::max_element(audio.Left.begin(), audio.Left.end()), 0.25, 0.001);
}

}  // namespace
}  // namespace vidorant::testing

// Delivery targets end to end: a tiny video with a mono tone becomes a VCD, SVCD, DVD or DV file,
// and FFmpeg reads back the norm's size and rate and the target's codecs and audio. Where the
// frame rate says no norm, the caller's fallback decides.
#include "tests/engine/core/DecodedOutput.h"
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

namespace vidorant::testing {
namespace {

// What a delivery file is made of, as FFmpeg reads it.
struct TDeliveryFile {
  std::string Video, Audio;  // decoder names; empty without the stream
  int Width = 0, Height = 0;
  AVRational Rate{0, 1};
  AVPixelFormat PixelFormat = AV_PIX_FMT_NONE;
  int SampleRate = 0, Channels = 0;
  bool operator==(const TDeliveryFile& o) const {
    return Video == o.Video && Audio == o.Audio && Width == o.Width && Height == o.Height &&
           av_cmp_q(Rate, o.Rate) == 0 && PixelFormat == o.PixelFormat && SampleRate == o.SampleRate &&
           Channels == o.Channels;
  }
  friend void PrintTo(const TDeliveryFile& f, std::ostream* os) {
    *os << f.Video << " " << f.Width << "x" << f.Height << " @" << f.Rate.num << "/" << f.Rate.den << " "
        << (av_get_pix_fmt_name(f.PixelFormat) ? av_get_pix_fmt_name(f.PixelFormat) : "none") << ", " << f.Audio << " "
        << f.SampleRate << " Hz " << f.Channels << " ch";
  }
};

TDeliveryFile Probe(const std::string& path) {
  TDeliveryFile file;
  const InputPtr in = OpenMediaFile(path);
  if (!in) return file;
  for (unsigned i = 0; i < in->nb_streams; ++i) {
    const AVStream* st = in->streams[i];
    const AVCodecParameters* par = st->codecpar;
    const char* name = avcodec_get_name(par->codec_id);
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      file.Video = name;
      file.Width = par->width;
      file.Height = par->height;
      file.Rate = st->r_frame_rate;
      file.PixelFormat = static_cast<AVPixelFormat>(par->format);
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
      file.Audio = name;
      file.SampleRate = par->sample_rate;
      file.Channels = par->ch_layout.nb_channels;
    }
  }
  return file;
}

struct TTargetCase {
  const char* Name;
  const char* Target;  // option text
  TDeliveryFile Expected;
  friend void PrintTo(const TTargetCase& c, std::ostream* os) { *os << c.Name; }
};

class TargetTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }
  // Five pictures at the rate with a mono 22050 Hz tone: every target changes the audio too.
  std::string Source(AVRational rate) {
    TVideoRecipe recipe = Shaped(MatroskaRecipe(), 64, 48, rate, 5, true);
    recipe.Audio[0].SampleRate = 22050;
    recipe.Audio[0].Channels = 1;
    return MakeTestVideo(Tmp.Path(), "source", recipe);
  }
  TTempFolder Tmp;
  TTestTask Task;
};

class TargetFile : public TargetTest, public ::testing::WithParamInterface<TTargetCase> {};

TEST_P(TargetFile, ReadsBackWithTheNormsSizeRateAndCodecs) {
  const TTargetCase& c = GetParam();
  const std::string output = Tmp.File("out.mpg");
  ASSERT_TRUE(SetUpTask(Task, {}, Source({25, 1}), {{"target", c.Target}}, output));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();
  EXPECT_EQ(Probe(output), c.Expected);
}

constexpr AVRational Pal{25, 1}, Ntsc{30000, 1001}, Film{24000, 1001};
constexpr AVPixelFormat Yuv420 = AV_PIX_FMT_YUV420P;

TTargetCase Mpeg(const char* name, const char* target, const char* video, const char* audio, int width, int height,
                 AVRational rate, int sampleRate) {
  return {name, target, {video, audio, width, height, rate, Yuv420, sampleRate, 2}};
}

TTargetCase Dv(const char* name, const char* target, int height, AVRational rate, AVPixelFormat format) {
  return {name, target, {"dvvideo", "pcm_s16le", 720, height, rate, format, 48000, 2}};
}

// The source runs at 25 frames/s, so "auto" means PAL.
INSTANTIATE_TEST_SUITE_P(
    All, TargetFile,
    ::testing::Values(Mpeg("VcdPal", "pal-vcd", "mpeg1video", "mp2", 352, 288, Pal, 44100),
                      Mpeg("VcdNtsc", "ntsc-vcd", "mpeg1video", "mp2", 352, 240, Ntsc, 44100),
                      Mpeg("VcdFilm", "film-vcd", "mpeg1video", "mp2", 352, 240, Film, 44100),
                      Mpeg("VcdAuto", "vcd", "mpeg1video", "mp2", 352, 288, Pal, 44100),
                      Mpeg("SvcdPal", "pal-svcd", "mpeg2video", "mp2", 480, 576, Pal, 44100),
                      Mpeg("SvcdNtsc", "ntsc-svcd", "mpeg2video", "mp2", 480, 480, Ntsc, 44100),
                      Mpeg("SvcdFilm", "film-svcd", "mpeg2video", "mp2", 480, 480, Film, 44100),
                      Mpeg("SvcdAuto", "svcd", "mpeg2video", "mp2", 480, 576, Pal, 44100),
                      Mpeg("DvdPal", "pal-dvd", "mpeg2video", "ac3", 720, 576, Pal, 48000),
                      Mpeg("DvdNtsc", "ntsc-dvd", "mpeg2video", "ac3", 720, 480, Ntsc, 48000),
                      Mpeg("DvdFilm", "film-dvd", "mpeg2video", "ac3", 720, 480, Film, 48000),
                      Mpeg("DvdAuto", "dvd", "mpeg2video", "ac3", 720, 576, Pal, 48000),
                      Dv("DvPal", "pal-dv", 576, Pal, AV_PIX_FMT_YUV420P),
                      Dv("DvNtsc", "ntsc-dv", 480, Ntsc, AV_PIX_FMT_YUV411P),
                      Dv("Dv50Pal", "pal-dv50", 576, Pal, AV_PIX_FMT_YUV422P),
                      Dv("Dv50Ntsc", "ntsc-dv50", 480, Ntsc, AV_PIX_FMT_YUV422P)),
    [](const auto& info) { return std::string(info.param.Name); });

// A rate of no norm leaves "auto" to the fallback: PAL for the option text, the caller's choice
// through SetTarget; with no input to ask, and with an input of that rate.
struct TFallbackCase {
  const char* Name;
  bool WithInput;
  const char* Fallback;  // null: the option text
  int Height;
  AVRational Rate;
};

TEST_F(TargetTest, FifteenFramesPerSecondTakesTheFallbackNorm) {
  const TFallbackCase cases[] = {
      {"NoInputOptionText", false, nullptr, 288, Pal},
      {"NoInputNtscFallback", false, "ntsc", 240, Ntsc},
      {"InputOptionText", true, nullptr, 288, Pal},
      {"InputNtscFallback", true, "ntsc", 240, Ntsc},
  };
  for (const TFallbackCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTestTask task;
    if (c.WithInput)
      ASSERT_TRUE(task.AddInputFile(Source({15, 1})));
    else
      task.ParseOption("r", "15");
    if (c.Fallback)
      task.SetTarget("vcd", "auto", c.Fallback);
    else
      task.ParseOption("target", "vcd");
    EXPECT_EQ(task.Options().FrameHeight, c.Height);
    EXPECT_EQ(av_cmp_q(AVRational{task.Options().FrameRateNum, task.Options().FrameRateDen}, c.Rate), 0);
    if (!c.WithInput) continue;
    const std::string output = Tmp.File(std::string(c.Name) + ".mpg");
    ASSERT_GE(task.AddOutputFile(output), 1) << task.LastErrorMessage();
    task.Start(false);
    ASSERT_TRUE(task.Finished()) << task.ErrorMessage();
    const TDeliveryFile file = Probe(output);
    EXPECT_EQ(file.Height, c.Height);
    EXPECT_EQ(av_cmp_q(file.Rate, c.Rate), 0);
  }
}

}  // namespace
}  // namespace vidorant::testing

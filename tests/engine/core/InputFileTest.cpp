// AddInputFile on generated videos: what the task learns from each input, the clip start, the
// timestamp offset, and every expected failure with its message. Pictures are checked with the
// libraries directly (linked by the test), independent of the engine.
#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/InterruptCB.h"
#include "tests/engine/core/TestEngine.h"
#include "tools/testvideo/LinkedFFPtr.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/TestPattern.h"
#include "tools/testvideo/TestVideo.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <thread>

extern "C" {
#include <libavutil/opt.h>
}

namespace vidorant::testing {
namespace {

class InputFiles : public ::testing::Test {
protected:
  static void SetUpTestSuite() { BindLibrariesForTests(); }

  std::string Make(const std::string& name, const TVideoRecipe& recipe) {
    return MakeTestVideo(Tmp.Path(), name, recipe);
  }

  // The message of the FFmpegException AddInputFile raises, or "" when it returns.
  std::string Raised(TCustomFFmpeg& task, const std::string& file) {
    try {
      task.AddInputFile(file);
    } catch (const FFmpegException& e) {
      return e.Message;
    }
    return "";
  }

  TTempFolder Tmp;
  TTestTask Task;
  const TOptionState& Opt = Task.Options();
};

// The pattern index of the first video picture the input delivers from where it stands now.
int FirstPictureIndex(AVFormatContext* ic, int64_t* ptsMicroseconds = nullptr) {
  const int video = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video < 0) return -2;
  AVStream* st = ic->streams[video];
  CodecContextPtr dec(avcodec_alloc_context3(avcodec_find_decoder(st->codecpar->codec_id)));
  avcodec_parameters_to_context(dec.get(), st->codecpar);
  if (avcodec_open2(dec.get(), dec->codec, nullptr) < 0) return -3;
  PacketPtr pkt(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  bool draining = false;
  for (;;) {
    if (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
      if (ptsMicroseconds)
        *ptsMicroseconds = av_rescale_q(frame->best_effort_timestamp, st->time_base, AVRational{1, 1000000});
      return FrameIndexFromLuma(frame->data[0], frame->linesize[0], frame->width, frame->height);
    }
    if (draining) return -4;
    if (av_read_frame(ic, pkt.get()) < 0) {
      avcodec_send_packet(dec.get(), nullptr);
      draining = true;
      continue;
    }
    if (pkt->stream_index == video) avcodec_send_packet(dec.get(), pkt.get());
    av_packet_unref(pkt.get());
  }
}

// The next picture of the input is the one with that index, and the file's offset puts it at 0.
void ExpectFirstPictureAtTimeZero(const TInputFile& input, int index) {
  int64_t pts = 0;
  EXPECT_EQ(FirstPictureIndex(input.Context.get(), &pts), index);
  EXPECT_EQ(pts + input.TsOffset, 0);
}

int CountOfKind(const TCustomFFmpeg& task, AVMediaType kind) {
  int n = 0;
  for (const TInputStreamCodec& codec : task.InputStreamCodecs()) n += codec.Context->codec_type == kind;
  return n;
}

struct TProbeCase {
  const char* Name;
  TVideoRecipe Recipe;
  int Audio, Subtitles;
  float Aspect;
  int SampleRate, Channels;
};

TVideoRecipe WithAudio(TVideoRecipe recipe, std::vector<TTestAudio> audio, bool subtitle = false) {
  recipe.Audio = std::move(audio);
  recipe.Subtitle = subtitle;
  return recipe;
}

TVideoRecipe WithAspect(TVideoRecipe recipe, AVRational sar) {
  recipe.SampleAspect = sar;
  return recipe;
}

TEST_F(InputFiles, OptionStateTakesTheInputsVideoAndAudioProperties) {
  const TProbeCase cases[] = {
      {"mp4", WithAudio(Mp4Recipe(), {{"aac", 44100, 2, 440}}), 1, 0, 64.0f / 48, 44100, 2},
      {"avi", WithAudio(AviRecipe(), {{"pcm_s16le", 22050, 1, 440}}), 1, 0, 64.0f / 48, 22050, 1},
      {"mkv", WithAudio(MatroskaRecipe(), {{"pcm_s16le", 48000, 2, 440}, {"mp2", 32000, 1, 300}}, true), 2, 1, 64.0f / 48, 32000, 1},
      {"mkv-sar", WithAspect(MatroskaRecipe(), AVRational{2, 1}), 0, 0, 2 * 64.0f / 48, 44100, 2},
      {"webm", WithAudio(WebmRecipe(), {{"libvorbis", 48000, 2, 440}}), 1, 0, 64.0f / 48, 48000, 2},
      {"ts", WithAudio(MpegTsRecipe(), {{"mp2", 44100, 2, 440}}), 1, 0, 64.0f / 48, 44100, 2},
      {"m4v", RawStreamRecipe(), 0, 0, 64.0f / 48, 44100, 2},
  };
  for (const TProbeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTestTask task;
    ASSERT_TRUE(task.AddInputFile(Make(c.Name, c.Recipe))) << task.LastErrorMessage();
    const TOptionState& o = task.Options();
    EXPECT_EQ(task.InputCount(), 1);
    EXPECT_EQ(task.InputStreamCodecs().size(), task.InputFile(0).Context->nb_streams);
    EXPECT_EQ(CountOfKind(task, AVMEDIA_TYPE_VIDEO), 1);
    EXPECT_EQ(CountOfKind(task, AVMEDIA_TYPE_AUDIO), c.Audio);
    EXPECT_EQ(CountOfKind(task, AVMEDIA_TYPE_SUBTITLE), c.Subtitles);
    EXPECT_EQ(o.FrameWidth, 64);
    EXPECT_EQ(o.FrameHeight, 48);
    EXPECT_NEAR(o.FrameAspectRatio, c.Aspect, 1e-4);
    EXPECT_EQ(o.FramePixFmt, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(o.FrameRateNum, 25);
    EXPECT_EQ(o.FrameRateDen, 1);
    EXPECT_EQ(o.AudioSampleRate, c.SampleRate);
    EXPECT_EQ(o.AudioChannels, c.Channels);
    if (c.Audio) {
      EXPECT_NE(o.AudioSampleFmt, -1);
    }
    // AVI keeps no layout; where there is one it has the stream's channel count.
    if (o.AudioChannelLayout) {
      EXPECT_EQ(__builtin_popcountll(o.AudioChannelLayout), o.AudioChannels);
    }
    if (c.Recipe.Format != "m4v") {
      EXPECT_NEAR(static_cast<double>(task.ExpectedDuration()), 1e6, 1e5);
    }
    // Every stream has its own codec context, made from its parameters.
    for (const TInputStreamCodec& codec : task.InputStreamCodecs()) EXPECT_NE(codec.Context, nullptr);
  }
}

TEST_F(InputFiles, VideoWithoutSizeOrAspectGetsFourThirds) {
  TVideoRecipe recipe = AviRecipe();
  recipe.Width = recipe.Height = 0;
  recipe.HeaderOnly = true;
  Task.ParseOption("v", "-1");  // stream information cannot be complete for an empty file
  ASSERT_TRUE(Task.AddInputFile(Make("nosize", recipe))) << Task.LastErrorMessage();
  EXPECT_EQ(Opt.FrameWidth * Opt.FrameHeight, 0);
  EXPECT_FLOAT_EQ(Opt.FrameAspectRatio, 4.0f / 3.0f);
}

TEST_F(InputFiles, NoClipStartMeansNoSeekAndAnOffsetThatUndoesTheContainerStart) {
  TVideoRecipe recipe = MpegTsRecipe();
  const std::string file = Make("ts", recipe);
  ASSERT_TRUE(Task.AddInputFile(file)) << Task.LastErrorMessage();
  AVFormatContext* ic = Task.InputFile(0).Context.get();
  ASSERT_NE(ic->start_time, AV_NOPTS_VALUE);
  EXPECT_GT(ic->start_time, 0);  // MPEG-TS starts its clock above zero
  EXPECT_EQ(Task.InputFile(0).TsOffset, -ic->start_time);
  ExpectFirstPictureAtTimeZero(Task.InputFile(0), 0);
}

TEST_F(InputFiles, ClipStartSeeksAndMapsTheStartToTimeZero) {
  TVideoRecipe recipe = MatroskaRecipe();
  recipe.FrameCount = 100;
  recipe.GopSize = 1;  // every picture key: the seek lands on the exact picture
  const std::string file = Make("clip", recipe);
  Task.ParseOption("ss", "2");
  ASSERT_TRUE(Task.AddInputFile(file)) << Task.LastErrorMessage();
  EXPECT_EQ(Opt.StartTime, 0);
  AVFormatContext* ic = Task.InputFile(0).Context.get();
  const int64_t start = ic->start_time == AV_NOPTS_VALUE ? 0 : ic->start_time;
  EXPECT_EQ(Task.InputFile(0).TsOffset, -2000000 - start);
  ExpectFirstPictureAtTimeZero(Task.InputFile(0), 50);
}

TEST_F(InputFiles, TwoInputsTakeTheLongerDurationAndTheClipStartOnlyOnce) {
  TVideoRecipe longer = MatroskaRecipe();
  longer.FrameCount = 50;
  longer.GopSize = 1;
  TVideoRecipe shorter = MatroskaRecipe();
  shorter.FrameCount = 25;
  Task.ParseOption("ss", "0.4");
  ASSERT_TRUE(Task.AddInputFile(Make("long", longer))) << Task.LastErrorMessage();
  ASSERT_TRUE(Task.AddInputFile(Make("short", shorter))) << Task.LastErrorMessage();
  EXPECT_EQ(Task.InputCount(), 2);
  EXPECT_NEAR(static_cast<double>(Task.ExpectedDuration()), 2e6, 1e5);
  EXPECT_EQ(Task.InputFile(0).TsOffset, -400000);
  ExpectFirstPictureAtTimeZero(Task.InputFile(0), 10);
  EXPECT_EQ(Task.InputFile(1).TsOffset, 0);
  ExpectFirstPictureAtTimeZero(Task.InputFile(1), 0);
}

TEST_F(InputFiles, TimestampOffsetFollowsItsoffsetAndCopyts) {
  const std::string file = Make("v", MatroskaRecipe());
  Task.ParseOption("itsoffset", "1.5");
  Task.ParseOption("ss", "0.2");
  ASSERT_TRUE(Task.AddInputFile(file));
  EXPECT_EQ(Task.InputFile(0).TsOffset, 1500000 - 200000);
  TTestTask copy;
  copy.ParseOption("itsoffset", "1.5");
  copy.ParseOption("ss", "0.2");
  copy.ParseOption("copyts", "");
  ASSERT_TRUE(copy.AddInputFile(file));
  EXPECT_EQ(copy.InputFile(0).TsOffset, 1500000);
}

TEST_F(InputFiles, ForcedDecodersThatCannotServeAreRefusedAndConsumed) {
  const std::string file = Make("v", WithAudio(AviRecipe(), {{"pcm_s16le", 44100, 2, 440}}));
  struct Case {
    const char* Option;
    const char* Name;
    const char* Message;
  } cases[] = {
      {"vcodec", "nosuchdecoder", "Unknown decoder 'nosuchdecoder'"},
      {"vcodec", "mp3", "Invalid decoder type 'mp3'"},
      {"acodec", "h264", "Invalid decoder type 'h264'"},
      {"scodec", "mpeg4", "Invalid decoder type 'mpeg4'"},
  };
  for (const Case& c : cases) {
    TTestTask task;
    task.ParseOption("vc", "3");
    task.ParseOption(c.Option, c.Name);
    EXPECT_FALSE(task.AddInputFile(file)) << c.Name;
    EXPECT_EQ(task.LastErrorMessage(), c.Message);
    EXPECT_EQ(task.InputCount(), 0);
    EXPECT_TRUE(task.InputStreamCodecs().empty());
    EXPECT_FALSE(task.Options().CodecNames[TStreamKind::Video] || task.Options().CodecNames[TStreamKind::Audio] || task.Options().CodecNames[TStreamKind::Subtitle]);
    EXPECT_EQ(task.Options().VideoChannel, 0);
  }
}

TEST_F(InputFiles, ExperimentalDecoderNeedsTheStrictnessToAllowIt) {
  const std::string file = Make("v", WithAudio(AviRecipe(), {{"pcm_s16le", 44100, 2, 440}}));
  Task.ParseOption("acodec", "sonic");
  EXPECT_FALSE(Task.AddInputFile(file));
  EXPECT_EQ(Task.LastErrorMessage(),
            "decoder 'sonic' is experimental and might produce bad results.\r\n"
            "Add '-strict experimental' if you want to use it.");
  Task.ParseOption("strict", "experimental");
  Task.ParseOption("acodec", "sonic");
  ASSERT_TRUE(Task.AddInputFile(file)) << Task.LastErrorMessage();
  EXPECT_STREQ(Task.InputStreamCodecs()[1].Decoder->name, "sonic");
}

TEST_F(InputFiles, ForcedDecoderIsKeptForItsStream) {
  const std::string file = Make("v", WithAudio(AviRecipe(), {{"pcm_s16le", 44100, 2, 440}}));
  Task.ParseOption("vcodec", "mpeg4");
  ASSERT_TRUE(Task.AddInputFile(file)) << Task.LastErrorMessage();
  ASSERT_EQ(Task.InputStreamCodecs().size(), 2u);
  ASSERT_NE(Task.InputStreamCodecs()[0].Decoder, nullptr);
  EXPECT_STREQ(Task.InputStreamCodecs()[0].Decoder->name, "mpeg4");
  EXPECT_EQ(Task.InputStreamCodecs()[1].Decoder, nullptr);
  EXPECT_FALSE(Opt.CodecNames[TStreamKind::Video]);
}

TEST_F(InputFiles, UnopenableFilesReportTheLibrarysErrorText) {
  const std::string missing = Tmp.File("missing.mkv");
  EXPECT_FALSE(Task.AddInputFile(missing));
  EXPECT_EQ(Task.LastErrorMessage(), missing + ": No such file or directory");

  const std::string garbage = Tmp.File("garbage.bin");
  std::ofstream(garbage) << std::string(4096, '\x5a');
  AVFormatContext* direct = nullptr;
  const int rc = avformat_open_input(&direct, garbage.c_str(), nullptr, nullptr);
  ASSERT_LT(rc, 0);
  EXPECT_FALSE(Task.AddInputFile(garbage));
  EXPECT_EQ(Task.LastErrorMessage(), FormatAVError(garbage, rc));
  EXPECT_EQ(Task.InputCount(), 0);

  // A name the libraries cannot take is an expected failure too, not an exception.
  const std::string tooLong = Tmp.File(std::string(3000, 'n'));
  EXPECT_FALSE(Task.AddInputFile(tooLong));
  EXPECT_FALSE(Task.LastErrorMessage().empty());
  EXPECT_EQ(Task.InputCount(), 0);
}

TEST_F(InputFiles, UnknownPendingFormatRaisesAndAKnownOneIsUsed) {
  const std::string file = Make("v", MatroskaRecipe());
  Task.ParseOption("f", "nosuchformat");
  EXPECT_EQ(Raised(Task, file), "Unknown input format: \"nosuchformat\"");
  EXPECT_EQ(Task.InputCount(), 0);
  // The refused name is consumed: the next input opens with detection.
  EXPECT_TRUE(Opt.FormatName.empty());
  ASSERT_TRUE(Task.AddInputFile(file)) << Task.LastErrorMessage();
  EXPECT_EQ(Task.InputCount(), 1);
  Task.ParseOption("f", "matroska");
  ASSERT_TRUE(Task.AddInputFile(file)) << Task.LastErrorMessage();
  EXPECT_TRUE(Opt.FormatName.empty());
  EXPECT_STREQ(Task.InputFile(1).Context->iformat->name, "matroska,webm");
}

// Only a demuxer with a loop option of its own can start over; any other input plays once and
// the user is told so, instead of the option silently doing nothing.
TEST_F(InputFiles, LoopInputReachesTheImageSequenceAndWarnsForOtherFormats) {
  for (int i = 1; i <= 3; i++) {
    char name[32];
    std::snprintf(name, sizeof name, "still%03d.pgm", i);
    std::ofstream(Tmp.File(name), std::ios::binary) << "P5 4 2 255\n" << std::string(8, static_cast<char>(40 * i));
  }
  const std::string matroska = Make("v", MatroskaRecipe());
  TLogCapture log;
  Task.ParseOption("loop_input", "");
  Task.ParseOption("f", "image2");
  ASSERT_TRUE(Task.AddInputFile(Tmp.File("still%03d.pgm"))) << Task.LastErrorMessage();
  int64_t loop = 0;
  ASSERT_EQ(av_opt_get_int(Task.InputFile(0).Context->priv_data, "loop", 0, &loop), 0);
  EXPECT_EQ(loop, 1);
  EXPECT_EQ(log.LinesAt(llWarning), 0);
  ASSERT_TRUE(Task.AddInputFile(matroska)) << Task.LastErrorMessage();
  EXPECT_TRUE(log.Has(llWarning, matroska + ": this input format cannot loop; it is read once"));
}

// Raw demuxers learn size, pixel format, rate, sample rate and channels only from the format
// parameters, which come from the option state.
TEST_F(InputFiles, FormatParametersReachRawDemuxers) {
  const std::string yuv = Tmp.File("raw.yuv");
  std::ofstream(yuv, std::ios::binary) << std::string(32 * 16 * 3 / 2 * 5, '\x50');
  Task.ParseOption("f", "rawvideo");
  Task.ParseOption("s", "32x16");
  Task.ParseOption("pix_fmt", "yuv420p");
  Task.ParseOption("r", "10");
  ASSERT_TRUE(Task.AddInputFile(yuv)) << Task.LastErrorMessage();
  EXPECT_EQ(Opt.FrameWidth, 32);
  EXPECT_EQ(Opt.FrameHeight, 16);
  EXPECT_EQ(Opt.FrameRateNum, 10);
  EXPECT_EQ(Opt.FrameRateDen, 1);
  EXPECT_NEAR(static_cast<double>(Task.ExpectedDuration()), 5e5, 1e3);

  const std::string pcm = Tmp.File("raw.pcm");
  std::ofstream(pcm, std::ios::binary) << std::string(8000 * 2, '\0');
  TTestTask audio;
  audio.ParseOption("f", "s16le");
  audio.ParseOption("ar", "8000");
  audio.ParseOption("ac", "1");
  ASSERT_TRUE(audio.AddInputFile(pcm)) << audio.LastErrorMessage();
  EXPECT_EQ(audio.Options().AudioSampleRate, 8000);
  EXPECT_EQ(audio.Options().AudioChannels, 1);
  EXPECT_EQ(audio.Options().AudioSampleFmt, AV_SAMPLE_FMT_S16);
}

TEST_F(InputFiles, ProgramSelectionKeepsOnlyTheProgramsStreams) {
  const std::string file = Make("ts", WithAudio(MpegTsRecipe(), {{"mp2", 44100, 2, 440}}));
  Task.ParseOption("programid", "7");
  EXPECT_FALSE(Task.AddInputFile(file));
  EXPECT_EQ(Task.LastErrorMessage(), "Specified program id not found");
  EXPECT_EQ(Opt.ProgramId, 0);
  EXPECT_EQ(Task.InputCount(), 0);
  const int program = [&] {
    AVFormatContext* direct = nullptr;
    avformat_open_input(&direct, file.c_str(), nullptr, nullptr);
    InputPtr owner(direct);
    avformat_find_stream_info(direct, nullptr);
    return direct->nb_programs ? direct->programs[0]->id : -1;
  }();
  ASSERT_GT(program, 0);
  Task.ParseOption("programid", std::to_string(program));
  ASSERT_TRUE(Task.AddInputFile(file)) << Task.LastErrorMessage();
  EXPECT_EQ(Opt.ProgramId, 0);
  for (unsigned i = 0; i < Task.InputFile(0).Context->nb_streams; ++i)
    EXPECT_NE(Task.InputFile(0).Context->streams[i]->discard, AVDISCARD_ALL);
}

TEST_F(InputFiles, DisabledKindsAreDiscarded) {
  const std::string file = Make("v", WithAudio(MatroskaRecipe(), {{"pcm_s16le", 44100, 2, 440}}, true));
  Task.ParseOption("vn", "");
  Task.ParseOption("an", "");
  Task.ParseOption("sn", "");
  ASSERT_TRUE(Task.AddInputFile(file));
  for (unsigned i = 0; i < 3; ++i) EXPECT_EQ(Task.InputFile(0).Context->streams[i]->discard, AVDISCARD_ALL);
  TTestTask level;
  level.ParseOption("vdt", std::to_string(AVDISCARD_NONKEY));
  ASSERT_TRUE(level.AddInputFile(file));
  EXPECT_EQ(level.InputFile(0).Context->streams[0]->discard, AVDISCARD_NONKEY);
  EXPECT_EQ(level.InputFile(0).Context->streams[1]->discard, AVDISCARD_DEFAULT);
}

TEST_F(InputFiles, BeforeFindStreamInfoSeesTheOpenedContext) {
  const std::string file = Make("v", MatroskaRecipe());
  int calls = 0;
  Task.SetOnBeforeFindStreamInfo([&](TObject* sender, AVFormatContext* context) {
    ++calls;
    // The timeout check guards the blocking calls while the input opens.
    EXPECT_EQ(FFInterruptCB().Count(), 1u);
    EXPECT_EQ(sender, &Task);
    ASSERT_NE(context, nullptr);
    EXPECT_NE(context->iformat, nullptr);
  });
  const size_t checks = FFInterruptCB().Count();
  ASSERT_TRUE(Task.AddInputFile(file));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(FFInterruptCB().Count(), checks);
}

TEST_F(InputFiles, InputDescriptionIsLoggedUnlessQuiet) {
  const std::string file = Make("v", MatroskaRecipe());
  {
    TLogCapture log;
    ASSERT_TRUE(Task.AddInputFile(file));
    EXPECT_TRUE(log.Contains("Input #0, matroska,webm"));
  }
  TTestTask quiet;
  quiet.ParseOption("v", "-1");
  TLogCapture log;
  ASSERT_TRUE(quiet.AddInputFile(file));
  EXPECT_FALSE(log.Contains("Input #0"));
}

TEST_F(InputFiles, NonAsciiNamesOpen) {
  const std::string file = Make("vid\xC3\xA9o \xE6\x98\xA0\xE5\x83\x8F", MatroskaRecipe());
  ASSERT_TRUE(Task.AddInputFile(file)) << Task.LastErrorMessage();
  EXPECT_EQ(FirstPictureIndex(Task.InputFile(0).Context.get()), 0);
}

TEST_F(InputFiles, InputsBeyondTheCapacityAreRefused) {
  const std::string file = Make("v", MatroskaRecipe());
  TTestTask one(1);
  ASSERT_TRUE(one.AddInputFile(file));
  EXPECT_FALSE(one.AddInputFile(file));
  EXPECT_EQ(one.LastErrorMessage(), "max input files 1 reached");
  EXPECT_EQ(one.InputCount(), 1);
}

// A decoder's private option (h264's x264_build) given before the input reaches the decoder the
// stream is opened with, through the options the task hands to the opening.
TEST_F(InputFiles, PrivateDecoderOptionReachesTheOpenedDecoder) {
  TVideoRecipe recipe = MatroskaRecipe();
  recipe.VideoCodec = "libx264";
  const std::string file = Make("h264", recipe);
  Task.ParseOption("x264_build", "150");
  ASSERT_TRUE(Task.AddInputFile(file)) << Task.LastErrorMessage();
  AVCodecContext* context = Task.InputStreamCodecs()[0].Context.get();
  const AVCodec* decoder = avcodec_find_decoder(context->codec_id);
  ASSERT_STREQ(decoder->name, "h264");
  TDictionary options = Task.OptionSet().PrivateCodecOptions(decoder, AV_OPT_FLAG_DECODING_PARAM);
  ASSERT_EQ(avcodec_open2(context, decoder, options.Address()), 0);
  int64_t build = 0;
  ASSERT_GE(av_opt_get_int(context, "x264_build", AV_OPT_SEARCH_CHILDREN, &build), 0);
  EXPECT_EQ(build, 150);
  // An option of another codec stays out of the h264 decoder's dictionary.
  TTestTask other;
  other.ParseOption("preset", "slow");
  EXPECT_EQ(other.OptionSet().PrivateCodecOptions(decoder, AV_OPT_FLAG_DECODING_PARAM).Get(), nullptr);
}

class BlockedInputs : public InputFiles {
protected:
  std::string Fifo() {
    const std::string path = Tmp.File("fifo");
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
  }
};

TEST_F(BlockedInputs, PipeWithoutWriterIsEndedByTheTimeout) {
  const std::string fifo = Fifo();
  TLogCapture log;
  Task.SetIOTimeout(200);
  const size_t checks = FFInterruptCB().Count();
  EXPECT_FALSE(Task.AddInputFile(fifo));
  EXPECT_EQ(FFInterruptCB().Count(), checks);
  EXPECT_TRUE(log.Has(llInfo, "connecting/reading/writing timeout"));
  EXPECT_EQ(Task.LastErrorMessage(), FormatAVError(fifo, AVERROR_EXIT));
  EXPECT_EQ(Task.InputCount(), 0);
  // The check is gone with the opening: the thread's next blocking call is not interrupted.
  EXPECT_FALSE(Task.IOTimedOut());
}

// One cancel, given while the pipe's opening waits, ends it although no timeout is set.
TEST_F(BlockedInputs, CancelEndsAnOpeningEvenWithoutATimeout) {
  const std::string fifo = Fifo();
  TLogCapture log;
  Task.SetIOTimeout(0);
  const size_t checks = FFInterruptCB().Count();
  std::thread canceller([&] {
    // The opening has registered its check; from there on one cancel must be enough.
    while (FFInterruptCB().Count() == checks) std::this_thread::yield();
    Task.CancelIO();
  });
  const bool added = Task.AddInputFile(fifo);
  canceller.join();
  EXPECT_FALSE(added);
  EXPECT_TRUE(log.Has(llInfo, "connecting/reading/writing canceled"));
}

// A cancel given between two blocking steps of one opening is not undone by the clock the next
// step starts: the probing that follows is told to stop, and the task stays cancelled.
TEST_F(InputFiles, CancelBeforeALaterStepOfTheOpeningIsKept) {
  const std::string file = Make("v", MatroskaRecipe());
  TLogCapture log;
  Task.SetIOTimeout(0);
  Task.SetOnBeforeFindStreamInfo([&](TObject*, AVFormatContext*) { Task.CancelIO(); });
  // A container whose header tells every stream's parameters may still be added.
  Task.AddInputFile(file);
  EXPECT_TRUE(log.Has(llInfo, "connecting/reading/writing canceled"));
  EXPECT_TRUE(Task.IOTimedOut());
}

}  // namespace
}  // namespace vidorant::testing

#include "engine/core/VideoPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "engine/core/FFmpegException.h"
#include "engine/runtime/FrameHook.h"
#include "tests/engine/core/TestEngine.h"
#include "tools/testvideo/TestPattern.h"

#ifdef VIDORANT_TEST_HOOK_DIR
#include "tests/engine/runtime/hooks/HookRecorder.h"
#endif

namespace vidorant {
namespace {

using testing::FrameIndexFromBGR24;
using testing::FrameIndexFromLuma;
using testing::WriteFramePattern;

constexpr int64_t Second = 1000000;

// A yuv420p picture showing its index in the test pattern.
TFramePtr Picture(int index, int width = 64, int height = 48) {
  TFramePtr frame(ff::av_frame_alloc());
  frame->width = width;
  frame->height = height;
  frame->format = AV_PIX_FMT_YUV420P;
  EXPECT_EQ(ff::av_frame_get_buffer(frame.get(), 0), 0);
  WriteFramePattern(frame->data[0], frame->linesize[0], width, height, index);
  for (int plane = 1; plane < 3; plane++) std::memset(frame->data[plane], 128, frame->linesize[plane] * height / 2);
  return frame;
}

// Paints the pattern of index into a 24-bit bitmap (full-range grey, as the converter makes it).
void PaintPattern(TBitmap& bitmap, int index) {
  for (int y = 0; y < bitmap.Height(); y++) {
    const int luma = testing::PatternLevel(y < bitmap.Height() / 2 ? index % testing::PatternBase
                                                                   : index / testing::PatternBase);
    std::memset(bitmap.ScanLine(y), static_cast<int>(std::lround((luma - 16) * 255.0 / 219.0)), bitmap.Width() * 3);
  }
}

struct TPacketSeen {
  int64_t Pts;  // ms (the stream's time base)
  int Picture;  // the pattern it shows, -1 when it shows none
};

// One output stream with an opened encoder, fed by one input stream, with what the path wrote.
class VideoPath : public ::testing::Test {
protected:
  static void SetUpTestSuite() { testing::BindLibrariesForTests(); }

  void OpenOutput(const char* codec = "rawvideo", AVPixelFormat format = AV_PIX_FMT_BGR24, AVRational timeBase = {1, 10},
                  const char* bFrames = nullptr) {
    Output.Stream = ff::avformat_new_stream(Context.get(), nullptr);
    Output.Stream->time_base = {1, 1000};
    Output.Encoder.reset(ff::avcodec_alloc_context3(ff::avcodec_find_encoder_by_name(codec)));
    Output.Encoder->width = 32;
    Output.Encoder->height = 24;
    Output.Encoder->pix_fmt = format;
    Output.Encoder->time_base = timeBase;
    TDictionary options;
    if (bFrames) ff::av_dict_set(options.Address(), "bf", bFrames, 0);
    ASSERT_EQ(ff::avcodec_open2(Output.Encoder.get(), nullptr, options.Address()), 0);
    Output.ResampleNeeded = true;
    Output.Scaler = std::make_unique<TVideoScaler>(32, 24, format, TScalerFlags::Bicubic);
  }

  TVideoPath& Path() {
    if (!FPath) {
      TVideoPathEnv env;
      env.Options = &Options;
      env.StopRequested = &Stop;
      env.OnVideoInputHook = &InputHook;
      env.OnVideoOutputHook = &OutputHook;
      env.Preview = &Preview;
      env.Converter = &Converter;
      env.PreviewConverter = &PreviewConverter;
      env.Counters = &Counters;
      env.VariableFrameRate = [this](const TOutputStream&) { return VariableRateFormat; };
      env.Write = [this](TOutputStream& stream, AVPacket& packet) {
        const AVCodecContext& enc = *stream.Encoder;
        int shown = -1;
        if (enc.codec_id == AV_CODEC_ID_RAWVIDEO)
          shown = enc.pix_fmt == AV_PIX_FMT_BGR24 ? FrameIndexFromBGR24(packet.data, enc.width * 3, enc.width, enc.height)
                                                  : FrameIndexFromLuma(packet.data, enc.width, enc.width, enc.height);
        Packets.push_back({packet.pts, shown});
        if (StopAfter && Packets.size() >= StopAfter) Stop = true;
      };
      env.Log = [this](TLogLevel level, const std::string& text) { Lines.emplace_back(level, text); };
      FPath = std::make_unique<TVideoPath>(std::move(env));
    }
    return *FPath;
  }

  // The picture of that index at that time (µs) goes through pre-processing to the output.
  void Feed(int index, int64_t pts, int width = 64, int height = 48) {
    Input.Pts = pts;
    const TFramePtr decoded = Picture(index, width, height);
    Path().Output(Output, Input, *Path().PreProcess(Input, *decoded));
  }
  void FeedAtRate(int pictures, double fps) {
    for (int i = 0; i < pictures; i++) Feed(i, std::llround(i * Second / fps));
  }

  std::vector<int> Shown() const {
    std::vector<int> shown;
    for (const TPacketSeen& p : Packets) shown.push_back(p.Picture);
    return shown;
  }
  int LinesOf(const std::string& text) const {
    int n = 0;
    for (const auto& line : Lines) n += line.second == text;
    return n;
  }

  TOptionState Options;
  std::atomic<bool> Stop{false};
  size_t StopAfter = 0;
  bool VariableRateFormat = false;
  TRunCounters Counters;
  TFormatContextPtr Context{ff::avformat_alloc_context()};
  TOutputStream Output;
  TInputStreamState Input{.File = 0, .Index = 1};
  TVideoHookEvent InputHook, OutputHook;
  TFormatConverter Converter, PreviewConverter;
  TPreviewStep Preview;
  std::vector<TPacketSeen> Packets;
  std::vector<std::pair<TLogLevel, std::string>> Lines;

private:
  std::unique_ptr<TVideoPath> FPath;
};

TEST_F(VideoPath, From25To10KeepsTwoOfFiveAndNeverRunsAheadOfTheInput) {
  OpenOutput();
  Options.Verbose = 3;
  FeedAtRate(50, 25);
  // Independently of the path: output frame k shows the first picture after the previous one
  // that is no more than 1.1 frames behind it.
  std::vector<int> expected;
  for (int k = 0, i = 0; i < 50; i++)
    if (i * 0.4 >= k - 1.1) expected.push_back(i), k++;
  ASSERT_EQ(expected.size(), 21u);  // the first picture, then two of every five
  EXPECT_EQ(Shown(), expected);
  for (size_t k = 0; k < Packets.size(); k++) {
    EXPECT_EQ(Packets[k].Pts, int64_t(k) * 100);
    EXPECT_LE(k - Packets[k].Picture * 0.4, 1.1) << "frame " << k << " ahead of its picture";
  }
  EXPECT_EQ(Output.RateSync.Dropped(), 29);
  EXPECT_EQ(LinesOf("*** drop!"), 29);
  EXPECT_EQ(Output.FrameNumber, 21);
  EXPECT_EQ(Counters.VideoBytes, 21 * 32 * 24 * 3);
}

TEST_F(VideoPath, EachMethodGivesItsFramesPerPicture) {
  const struct {
    const char* Name;
    TVideoSyncMethod Method;
    bool VariableRateFormat;
    double InputFps;
    AVRational TimeBase;
    std::vector<int> Shown;
    std::vector<int64_t> Pts;  // ms
  } cases[] = {
      // 2.5 frames per picture: 1, then 2 or 3 with half-way values rounding to even.
      {"10 to 25 constant", TVideoSyncMethod::Auto, false, 10, {1, 25}, {0, 1, 1, 2, 2, 3, 3, 4, 4, 4, 5, 5},
       {0, 40, 80, 120, 160, 200, 240, 280, 320, 360, 400, 440}},
      {"10 to 25 variable", TVideoSyncMethod::VariableRate, false, 10, {1, 25}, {0, 1, 2, 3, 4, 5},
       {0, 80, 200, 320, 400, 480}},
      {"automatic on a variable-rate format", TVideoSyncMethod::Auto, true, 10, {1, 25}, {0, 1, 2, 3, 4, 5},
       {0, 80, 200, 320, 400, 480}},
      {"passthrough 25 to 10", TVideoSyncMethod::Passthrough, false, 25, {1, 10}, {0, 1, 2, 3, 4, 5},
       {0, 0, 100, 100, 200, 200}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Packets.clear();
    Output = TOutputStream{};
    OpenOutput("rawvideo", AV_PIX_FMT_BGR24, c.TimeBase);
    Options.VideoSyncMethod = c.Method;
    VariableRateFormat = c.VariableRateFormat;
    FeedAtRate(6, c.InputFps);
    EXPECT_EQ(Shown(), c.Shown);
    std::vector<int64_t> pts;
    for (const TPacketSeen& p : Packets) pts.push_back(p.Pts);
    EXPECT_EQ(pts, c.Pts);
    EXPECT_EQ(Output.RateSync.Duplicated(), int64_t(c.Shown.size()) - 6);
  }
}

TEST_F(VideoPath, TheFrameLimitCutsDuplicatesToo) {
  OpenOutput("rawvideo", AV_PIX_FMT_BGR24, {1, 25});
  Options.MaxFrames[TStreamKind::Video] = 4;
  FeedAtRate(5, 10);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 1, 2}));
  EXPECT_EQ(Output.FrameNumber, 4);
}

TEST_F(VideoPath, PicturesBeforeTheClipStartAreDroppedUnlessWithinOneFrame) {
  OpenOutput();
  Options.StartTime = 2 * Second;
  // 25 pictures per second from 0.4 s before the start: 0.4 output frames apart.
  for (int i = 0; i < 15; i++) Feed(i, Options.StartTime + (i - 10) * 40000);
  // Picture 8 (-0.8 frames) is the first within 1.1 frames; 9 (-0.4) falls behind frame 1.
  EXPECT_EQ(Shown(), (std::vector<int>{8, 10, 13}));
  EXPECT_EQ(Packets.front().Pts, 0);
  EXPECT_EQ(Output.RateSync.Dropped(), 12);
}

TEST_F(VideoPath, TheScalerFollowsANewInputSizeAndSaysSo) {
  OpenOutput();
  Feed(1, 0);
  Feed(2, 100000, 80, 60);
  Feed(3, 200000, 80, 60);
  EXPECT_EQ(Shown(), (std::vector<int>{1, 2, 3}));
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_EQ(Lines[0], std::make_pair(llQuiet, std::string("Input Stream #0.1 frame size changed to 80x60, yuv420p")));
}

TEST_F(VideoPath, AnOutputWithoutResamplingRefusesANewInputSize) {
  OpenOutput("rawvideo", AV_PIX_FMT_YUV420P);
  Output.ResampleNeeded = false;
  Output.Scaler.reset();
  Feed(5, 0, 32, 24);
  try {
    Feed(6, 100000, 48, 32);
    ADD_FAILURE() << "a picture of another size reached the encoder";
  } catch (const FFmpegException& e) {
    EXPECT_NE(e.Message.find("frame size changed to 48x32, yuv420p"), std::string::npos) << e.Message;
    EXPECT_NE(e.Message.find("without resampling"), std::string::npos) << e.Message;
  }
  EXPECT_EQ(Shown(), (std::vector<int>{5}));
  EXPECT_EQ(Output.FrameNumber, 1);
}

TEST_F(VideoPath, FilteredPicturesGoOutWithTheirOwnTimes) {
  OpenOutput();
  TFilterGraphFailure failure;
  Output.Filters = TVideoFilterGraph::Open({64, 48, AV_PIX_FMT_YUV420P, 32, 24, AV_PIX_FMT_BGR24,
                                            TScalerFlags::Bicubic, "vflip,setpts=PTS+0.2/TB"},
                                           failure);
  ASSERT_TRUE(Output.Filters) << failure.Message;
  Output.Scaler.reset();
  for (int i = 1; i <= 3; i++) Feed(i, (i - 1) * 100000);
  Path().Flush(Output, Input);
  Path().Flush(Output, Input);  // the graph has ended: nothing more to push
  // Upside down, the two digits of the pattern swap. The graph moved the pictures 2 frames later,
  // so the first one also fills the gap before it.
  EXPECT_EQ(Shown(), (std::vector<int>{28, 28, 56, 84}));
  EXPECT_EQ(Input.Pts, 400000);
}

TEST_F(VideoPath, TheInputHookChangesWhatOutputsGetButNotTheDecodedPicture) {
  OpenOutput();
  std::vector<int64_t> seen;
  InputHook = [&seen](TObject*, TBitmap& bitmap, int32_t frame, int64_t time, bool&, bool&) {
    seen.insert(seen.end(), {frame, time});
    PaintPattern(bitmap, 100 + frame);
  };
  const TFramePtr decoded = Picture(7);
  Input.Pts = 0;
  Path().Output(Output, Input, *Path().PreProcess(Input, *decoded));
  Feed(8, 100000);
  EXPECT_EQ(FrameIndexFromLuma(decoded->data[0], decoded->linesize[0], 64, 48), 7);
  EXPECT_EQ(Shown(), (std::vector<int>{101, 102}));
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 0, 2, 100000}));
}

TEST_F(VideoPath, DeinterlacingBlendsFieldsIntoACopyOrLeavesThePicture) {
  Options.DoDeinterlace = true;
  for (const AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_NV12}) {
    SCOPED_TRACE(format);
    Lines.clear();
    TFramePtr decoded(ff::av_frame_alloc());
    decoded->width = 32;
    decoded->height = 24;
    decoded->format = format;
    ASSERT_EQ(ff::av_frame_get_buffer(decoded.get(), 0), 0);
    for (AVBufferRef* buffer : decoded->buf)
      if (buffer) std::memset(buffer->data, 128, buffer->size);
    for (int y = 0; y < 24; y++) std::memset(decoded->data[0] + y * decoded->linesize[0], y % 2 ? 200 : 20, 32);
    const AVFrame* out = Path().PreProcess(Input, *decoded);
    EXPECT_EQ(decoded->data[0][decoded->linesize[0]], 200) << "the decoded picture changed";
    if (format == AV_PIX_FMT_NV12) {
      EXPECT_EQ(out, decoded.get());
      EXPECT_EQ(LinesOf("Deinterlacing failed."), 1);
      continue;
    }
    for (int y = 0; y < 24; y++) EXPECT_EQ(out->data[0][y * out->linesize[0] + 5], 20) << "row " << y;
    EXPECT_TRUE(Lines.empty());
  }
  EXPECT_EQ(Input.PictureCount, 2);
}

#ifdef VIDORANT_TEST_HOOK_DIR
TEST_F(VideoPath, FrameHooksWorkOnACopy) {
  TFrameHookChain chain;
  std::string module = std::string(VIDORANT_TEST_HOOK_DIR) + "FullHook" + VIDORANT_TEST_HOOK_SUFFIX;
  char* argv[] = {module.data()};
  ASSERT_EQ(AddFrameHook(chain, 1, argv), 0);
  TVideoPathEnv env;
  env.FrameHooks = &chain;
  env.FrameHooksActive = true;
  TVideoPath path(std::move(env));
  HookClearEvents();
  const TFramePtr decoded = Picture(3);
  const uint8_t before = decoded->data[0][0];
  Input.Pts = 1500;
  EXPECT_EQ(path.PreProcess(Input, *decoded)->data[0][0], before + 1);
  EXPECT_EQ(decoded->data[0][0], before);
  EXPECT_STREQ(HookEvents(), "process:full:1500:64x48;");

}
#endif

TEST_F(VideoPath, TheOutputHookAndThePreviewSeeEachFrameNumberedFromOne) {
  OpenOutput("rawvideo", AV_PIX_FMT_BGR24, {1, 25});
  std::vector<int64_t> seen;
  OutputHook = [&seen](TObject*, TBitmap& bitmap, int32_t frame, int64_t time, bool& update, bool&) {
    seen.insert(seen.end(), {frame, time});
    PaintPattern(bitmap, 700 + frame);
    update = frame != 3;
  };
  Preview = TPreviewStep(3600 * Second);
  Preview.EventMode = true;
  std::vector<int> previews;
  Preview.OnPreviewBitmap = [&previews](const TBitmap& bitmap, int32_t frame, int64_t) {
    previews.insert(previews.end(), {frame, FrameIndexFromBGR24(bitmap.ScanLine(0), bitmap.BytesPerScanLine(), 32, 24)});
  };
  FeedAtRate(2, 10);
  // The duplicate of picture 1 starts again from the picture, not from the first one's drawing.
  EXPECT_EQ(Shown(), (std::vector<int>{701, 702, 1}));
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 0, 2, 40000, 3, 80000}));
  // One preview in the interval, showing the hook's bitmap without a conversion of its own.
  EXPECT_EQ(previews, (std::vector<int>{1, 701}));
  EXPECT_EQ(PreviewConverter.ToRGBContext(), nullptr);
}

TEST_F(VideoPath, FlushWritesWhatTheEncoderHeldBackOnce) {
  const struct {
    const char* Codec;
    AVPixelFormat Format;
    const char* BFrames;
    int Pictures;
  } cases[] = {{"mpeg4", AV_PIX_FMT_YUV420P, "2", 6}, {"rawvideo", AV_PIX_FMT_BGR24, nullptr, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Codec);
    Packets.clear();
    Output = TOutputStream{};
    OpenOutput(c.Codec, c.Format, {1, 10}, c.BFrames);
    FeedAtRate(c.Pictures, 10);
    if (c.Pictures) {
      EXPECT_LT(Packets.size(), size_t(c.Pictures)) << "B-frames delay the packets";
    }
    Path().Flush(Output, Input);
    Path().Flush(Output, Input);
    std::vector<int64_t> pts, expected;
    for (const TPacketSeen& p : Packets) pts.push_back(p.Pts);
    for (int i = 0; i < c.Pictures; i++) expected.push_back(i * 100);
    std::sort(pts.begin(), pts.end());
    EXPECT_EQ(pts, expected);
    if (c.Pictures) {
      EXPECT_GT(Output.LastQuality, 0);
    }
  }
}

TEST_F(VideoPath, AStopEndsTheFramesOfAPictureAfterTheOneBeingWritten) {
  OpenOutput();
  StopAfter = 3;
  Feed(0, 0);
  Feed(1, 500000);  // 4 frames later: 1 frame and 3 duplicates
  Feed(2, 600000);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 1}));
  EXPECT_EQ(Output.FrameNumber, 3);
  EXPECT_EQ(Output.RateSync.SyncTimestamp(), 3);
}

}  // namespace
}  // namespace vidorant

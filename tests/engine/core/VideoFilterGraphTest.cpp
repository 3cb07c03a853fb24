// The video filter graph on pictures made here: what comes out of the sink (size, format,
// colours, order, timestamps) is checked against colours computed from the source's own values
// with the standard-definition conversion, and against the source's bytes; failures against the
// exact text a task raises.
#include "engine/core/VideoFilterGraph.h"
#include "engine/runtime/AVErrorText.h"
#include "tests/engine/core/TestEngine.h"
#include "tools/testvideo/LinkedFFPtr.h"
#include "tools/testvideo/TestPattern.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace vidorant::testing {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

struct TYUV {
  int Y, U, V;
};
// Top left, top right, bottom left, bottom right: distinct colours well inside the gamut.
constexpr TYUV kQuadrants[4] = {{100, 100, 160}, {150, 160, 100}, {60, 140, 140}, {200, 120, 120}};

FramePtr NewPicture() {
  FramePtr picture(av_frame_alloc());
  picture->width = kWidth;
  picture->height = kHeight;
  picture->format = AV_PIX_FMT_YUV420P;
  EXPECT_EQ(av_frame_get_buffer(picture.get(), 32), 0);
  return picture;
}

// A 64x48 yuv420p picture of four flat quadrants; the borders fall on chroma sample borders.
FramePtr QuadrantPicture() {
  FramePtr picture = NewPicture();
  for (int plane = 0; plane < 3; ++plane) {
    const int shift = plane ? 1 : 0;
    for (int y = 0; y < kHeight >> shift; ++y)
      for (int x = 0; x < kWidth >> shift; ++x) {
        const TYUV& c = kQuadrants[(y >= (kHeight >> shift) / 2) * 2 + (x >= (kWidth >> shift) / 2)];
        picture->data[plane][y * picture->linesize[plane] + x] = static_cast<uint8_t>(plane == 0 ? c.Y
                                                                                      : plane == 1 ? c.U
                                                                                                   : c.V);
      }
  }
  return picture;
}

// A picture carrying a frame index in its luma (the test videos' pattern), neutral chroma.
FramePtr IndexPicture(int index) {
  FramePtr picture = NewPicture();
  WriteFramePattern(picture->data[0], picture->linesize[0], kWidth, kHeight, index);
  for (int plane = 1; plane < 3; ++plane)
    std::memset(picture->data[plane], 128, static_cast<size_t>(picture->linesize[plane]) * kHeight / 2);
  return picture;
}

// Limited-range BT.601, the conversion the scaler applies to pictures that name no colour space.
std::array<int, 3> ExpectedBGR(const TYUV& c) {
  const double y = 1.164 * (c.Y - 16);
  const auto clip = [](double v) { return static_cast<int>(std::lround(std::fmin(255, std::fmax(0, v)))); };
  return {clip(y + 2.018 * (c.U - 128)), clip(y - 0.813 * (c.V - 128) - 0.391 * (c.U - 128)),
          clip(y + 1.596 * (c.V - 128))};
}

std::unique_ptr<TVideoFilterGraph> OpenGraph(int width, int height, AVPixelFormat pixFmt, const std::string& text,
                                             TFilterGraphFailure& failure,
                                             AVPixelFormat inputPixFmt = AV_PIX_FMT_YUV420P) {
  const TVideoFilterSetup setup{.InputWidth = kWidth,
                                .InputHeight = kHeight,
                                .InputPixFmt = inputPixFmt,
                                .EncoderWidth = width,
                                .EncoderHeight = height,
                                .EncoderPixFmt = pixFmt,
                                .FilterText = text};
  return TVideoFilterGraph::Open(setup, failure);
}

class VideoFilterGraph : public ::testing::Test {
protected:
  static void SetUpTestSuite() { BindLibrariesForTests(); }
};

// Each case names which source quadrant must show at the centre of each output quadrant.
struct TPictureCase {
  const char* Fault;
  int EncoderWidth, EncoderHeight;
  const char* FilterText;
  int Width, Height;  // what the sink negotiates
  std::array<int, 4> Shows;
};

TEST_F(VideoFilterGraph, PicturesArriveInTheEncodersFormatAndSizeWithTheFiltersApplied) {
  const TPictureCase cases[] = {
      {"format conversion without a scaler goes wrong", 64, 48, "", 64, 48, {0, 1, 2, 3}},
      {"the scaler is missing or misplaced", 32, 24, "", 32, 24, {0, 1, 2, 3}},
      {"the filter text is not applied", 64, 48, "hflip", 64, 48, {1, 0, 3, 2}},
      {"the filter text is not placed after the scaler", 32, 24, "vflip", 32, 24, {2, 3, 0, 1}},
      {"the sink's negotiated size is not reported", 64, 48, "crop=32:24:32:24", 32, 24, {3, 3, 3, 3}},
  };
  for (const TPictureCase& c : cases) {
    SCOPED_TRACE(c.Fault);
    TFilterGraphFailure failure;
    auto graph = OpenGraph(c.EncoderWidth, c.EncoderHeight, AV_PIX_FMT_BGR24, c.FilterText, failure);
    ASSERT_TRUE(graph) << failure.Message;
    EXPECT_EQ(graph->Width(), c.Width);
    EXPECT_EQ(graph->Height(), c.Height);
    FramePtr source = QuadrantPicture();
    int pictures = 0;
    const auto check = [&](const TFilteredPicture& out) {
      ++pictures;
      ASSERT_EQ(out.Frame->format, AV_PIX_FMT_BGR24);
      ASSERT_EQ(out.Frame->width, c.Width);
      ASSERT_EQ(out.Frame->height, c.Height);
      for (int q = 0; q < 4; ++q) {
        const int x = (2 * (q % 2) + 1) * c.Width / 4, y = (2 * (q / 2) + 1) * c.Height / 4;
        const uint8_t* pixel = out.Frame->data[0] + y * out.Frame->linesize[0] + x * 3;
        const std::array<int, 3> want = ExpectedBGR(kQuadrants[c.Shows[q]]);
        for (int channel = 0; channel < 3; ++channel)
          EXPECT_NEAR(pixel[channel], want[channel], 4) << "quadrant " << q << " channel " << channel;
      }
    };
    EXPECT_EQ(graph->Push(source.get(), 0, check), 0);
    EXPECT_EQ(graph->Push(nullptr, 0, check), 0);
    EXPECT_EQ(pictures, 1);
  }
}

TEST_F(VideoFilterGraph, SameSizeAndFormatPassesThePixelsUnchanged) {
  TFilterGraphFailure failure;
  auto graph = OpenGraph(kWidth, kHeight, AV_PIX_FMT_YUV420P, "", failure);
  ASSERT_TRUE(graph) << failure.Message;
  FramePtr source = QuadrantPicture();
  int pictures = 0;
  const auto check = [&](const TFilteredPicture& out) {
    ++pictures;
    ASSERT_EQ(out.Frame->format, AV_PIX_FMT_YUV420P);
    for (int plane = 0; plane < 3; ++plane)
      for (int y = 0; y < kHeight >> (plane ? 1 : 0); ++y)
        ASSERT_EQ(std::memcmp(out.Frame->data[plane] + y * out.Frame->linesize[plane],
                              source->data[plane] + y * source->linesize[plane], kWidth >> (plane ? 1 : 0)),
                  0)
            << "plane " << plane << " row " << y;
  };
  EXPECT_EQ(graph->Push(source.get(), 0, check), 0);
  EXPECT_EQ(pictures, 1);
}

// Three pictures at 0, 0.1 and 0.2 s, then the end of input.
struct TTimingCase {
  const char* Fault;
  const char* FilterText;
  std::vector<int> Indices;  // pattern index of each picture out, in order
  std::vector<int64_t> Pts;  // µs
  int BeforeEnd;             // how many come out before the end of input
  AVRational SourceAspectRatio;
  AVRational SampleAspectRatio;  // of each picture out
};

TEST_F(VideoFilterGraph, TimestampsOrderAndHeldPicturesComeOut) {
  const TTimingCase cases[] = {
      {"timestamps are lost", "", {0, 1, 2}, {0, 100000, 200000}, 3, {1, 1}, {1, 1}},
      {"the sink's time base is not rescaled to µs", "settb=1/10", {0, 1, 2}, {0, 100000, 200000}, 3, {1, 1}, {1, 1}},
      {"the pushed timestamp is not taken as µs", "setpts=PTS+500000", {0, 1, 2}, {500000, 600000, 700000}, 3,
       {1, 1}, {1, 1}},
      {"the decoder's aspect ratio is not carried", "", {0, 1, 2}, {0, 100000, 200000}, 3, {4, 3}, {4, 3}},
      {"the filters' aspect ratio is not carried", "setsar=2/1", {0, 1, 2}, {0, 100000, 200000}, 3, {4, 3}, {2, 1}},
      {"the end of input does not flush", "reverse", {2, 1, 0}, {0, 100000, 200000}, 0, {1, 1}, {1, 1}},
  };
  for (const TTimingCase& c : cases) {
    SCOPED_TRACE(c.Fault);
    TFilterGraphFailure failure;
    auto graph = OpenGraph(kWidth, kHeight, AV_PIX_FMT_BGR24, c.FilterText, failure);
    ASSERT_TRUE(graph) << failure.Message;
    std::vector<int> indices;
    std::vector<int64_t> pts;
    const auto collect = [&](const TFilteredPicture& out) {
      indices.push_back(FrameIndexFromBGR24(out.Frame->data[0], out.Frame->linesize[0], out.Frame->width,
                                            out.Frame->height));
      pts.push_back(out.Pts);
      EXPECT_EQ(av_cmp_q(out.SampleAspectRatio, c.SampleAspectRatio), 0)
          << out.SampleAspectRatio.num << "/" << out.SampleAspectRatio.den;
    };
    for (int i = 0; i < 3; ++i) {
      FramePtr source = IndexPicture(i);
      source->sample_aspect_ratio = c.SourceAspectRatio;
      ASSERT_EQ(graph->Push(source.get(), i * 100000, collect), 0);
      // The caller's picture keeps its own timestamp and its pixels.
      EXPECT_EQ(source->pts, AV_NOPTS_VALUE);
      EXPECT_NE(source->buf[0], nullptr);
    }
    EXPECT_EQ(static_cast<int>(indices.size()), c.BeforeEnd);
    ASSERT_EQ(graph->Push(nullptr, 0, collect), 0);
    EXPECT_EQ(indices, c.Indices);
    EXPECT_EQ(pts, c.Pts);
    // Nothing can be fed after the end of input, and that is not a success.
    FramePtr late = IndexPicture(3);
    EXPECT_LT(graph->Push(late.get(), 300000, collect), 0);
    EXPECT_EQ(indices.size(), c.Indices.size());
  }
}

struct TFailureCase {
  const char* Fault;
  int EncoderWidth;
  AVPixelFormat InputPixFmt;
  const char* FilterText;
  const char* Step;
  int Code;
};

TEST_F(VideoFilterGraph, AFailedOpeningGivesTheLibrarysCodeAndText) {
  const TFailureCase cases[] = {
      {"a bad filter text opens", 64, AV_PIX_FMT_YUV420P, "nosuchfilter",
       "Cannot parse the filters \"nosuchfilter\"", AVERROR(EINVAL)},
      {"a filter that cannot be configured opens", 64, AV_PIX_FMT_YUV420P, "crop=200:200",
       "Cannot configure the filter graph", AVERROR(EINVAL)},
      {"an unknown input format reaches the library", 64, AV_PIX_FMT_NONE, "", "Invalid picture size or format",
       AVERROR(EINVAL)},
      {"an empty encoder size is left to the scaler", 0, AV_PIX_FMT_YUV420P, "", "Invalid picture size or format",
       AVERROR(EINVAL)},
  };
  for (const TFailureCase& c : cases) {
    SCOPED_TRACE(c.Fault);
    TFilterGraphFailure failure;
    auto graph = OpenGraph(c.EncoderWidth, kHeight, AV_PIX_FMT_BGR24, c.FilterText, failure, c.InputPixFmt);
    EXPECT_FALSE(graph);
    EXPECT_EQ(failure.Code, c.Code);
    EXPECT_EQ(FilterOpeningError(failure.Message),
              std::string("Error opening filters: ") + c.Step + ": " + AVErrorMessage(c.Code));
  }
}

TEST_F(VideoFilterGraph, AFailureWithoutAMessageHasItsOwnText) {
  EXPECT_EQ(FilterOpeningError(""), "Error opening filters!");
  EXPECT_EQ(FilterOpeningError("Invalid argument"), "Error opening filters: Invalid argument");
}

}  // namespace
}  // namespace vidorant::testing

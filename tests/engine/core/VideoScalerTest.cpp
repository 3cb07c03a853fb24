#include "engine/core/VideoScaler.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

extern "C" {
#include <libavutil/frame.h>
}

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVUtilStubs.h"
#include "tests/engine/core/TestEngine.h"

namespace vidorant {
namespace {

using testing::BindLibrariesForTests;

// A picture of one colour: yuv420p from limited-range Y, U, V, or any packed 24-bit format from
// its three bytes.
TFramePtr SolidPicture(int width, int height, AVPixelFormat format, const uint8_t (&value)[3]) {
  TFramePtr frame(ff::av_frame_alloc());
  frame->width = width;
  frame->height = height;
  frame->format = format;
  EXPECT_EQ(ff::av_frame_get_buffer(frame.get(), 0), 0);
  if (format == AV_PIX_FMT_YUV420P) {
    for (int plane = 0; plane < 3; plane++) {
      const int rows = plane == 0 ? height : (height + 1) / 2;
      for (int y = 0; y < rows; y++) memset(frame->data[plane] + y * frame->linesize[plane], value[plane], frame->linesize[plane]);
    }
  } else {
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) memcpy(frame->data[0] + y * frame->linesize[0] + x * 3, value, 3);
  }
  frame->pts = 1234;
  return frame;
}

// Every pixel of a BGR24 picture is within 3 of blue, green, red.
void ExpectBGR(const AVFrame& picture, int b, int g, int r, const std::string& what) {
  for (int y = 0; y < picture.height; y++)
    for (int x = 0; x < picture.width; x++) {
      const uint8_t* p = picture.data[0] + y * picture.linesize[0] + x * 3;
      if (std::abs(p[0] - b) > 3 || std::abs(p[1] - g) > 3 || std::abs(p[2] - r) > 3) {
        ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << int(p[0]) << "," << int(p[1]) << ","
                      << int(p[2]);
        return;
      }
    }
}

class VideoScaler : public ::testing::Test {
protected:
  static void SetUpTestSuite() { BindLibrariesForTests(); }
};

constexpr uint8_t RedYUV[3] = {81, 90, 240};  // limited-range BT.601 red
constexpr uint8_t GreenRGB[3] = {0, 255, 0};

TEST_F(VideoScaler, PicturesReachTheEncodersSizeAndFormatAtEveryOddSize) {
  const struct {
    int InWidth, InHeight, OutWidth, OutHeight;
  } cases[] = {{64, 48, 32, 24}, {4, 2, 4, 2}, {7, 3, 33, 17}, {160, 120, 320, 240}, {33, 17, 1, 1}};
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.InWidth) + "x" + std::to_string(c.InHeight) + " to " +
                             std::to_string(c.OutWidth) + "x" + std::to_string(c.OutHeight);
    TVideoScaler scaler(c.OutWidth, c.OutHeight, AV_PIX_FMT_BGR24, TScalerFlags::Bicubic);
    const AVFrame& out = scaler.Scale(*SolidPicture(c.InWidth, c.InHeight, AV_PIX_FMT_YUV420P, RedYUV));
    EXPECT_EQ(out.width, c.OutWidth) << what;
    EXPECT_EQ(out.height, c.OutHeight) << what;
    EXPECT_EQ(out.format, AV_PIX_FMT_BGR24) << what;
    EXPECT_EQ(out.pts, 1234) << what;
    ExpectBGR(out, 0, 0, 255, what);
  }
}

TEST_F(VideoScaler, AGeometryChangeInMidStreamMakesANewContext) {
  TVideoScaler scaler(32, 24, AV_PIX_FMT_BGR24, TScalerFlags::Bilinear);
  const TFramePtr first = SolidPicture(64, 48, AV_PIX_FMT_YUV420P, RedYUV);
  const TFramePtr second = SolidPicture(80, 60, AV_PIX_FMT_RGB24, GreenRGB);
  EXPECT_TRUE(scaler.MadeFor(*first));
  ExpectBGR(scaler.Scale(*first), 0, 0, 255, "first geometry");
  EXPECT_TRUE(scaler.MadeFor(*first));
  EXPECT_FALSE(scaler.MadeFor(*second));
  ExpectBGR(scaler.Scale(*second), 0, 255, 0, "second geometry");
  EXPECT_TRUE(scaler.MadeFor(*second));
  EXPECT_FALSE(scaler.MadeFor(*first));
  ExpectBGR(scaler.Scale(*first), 0, 0, 255, "back to the first");
}

// An encoder may still hold the last picture when the next one is scaled: the held one keeps its
// pixels, and the new one, in buffers of its own, is whole.
TEST_F(VideoScaler, APictureStillHeldKeepsItsPixelsWhenTheNextIsScaled) {
  TVideoScaler scaler(48, 36, AV_PIX_FMT_BGR24, TScalerFlags::Bicubic);
  const AVFrame* reused = &scaler.Scale(*SolidPicture(64, 48, AV_PIX_FMT_YUV420P, RedYUV));
  const uint8_t* unheldPixels = reused->data[0];
  ExpectBGR(scaler.Scale(*SolidPicture(64, 48, AV_PIX_FMT_RGB24, GreenRGB)), 0, 255, 0, "nobody held the first");
  EXPECT_EQ(scaler.Output().data[0], unheldPixels) << "buffers nobody holds are scaled over";
  TFramePtr held(ff::av_frame_alloc());
  ASSERT_EQ(ff::av_frame_ref(held.get(), &scaler.Output()), 0);
  ExpectBGR(scaler.Scale(*SolidPicture(64, 48, AV_PIX_FMT_YUV420P, RedYUV)), 0, 0, 255, "next while held");
  EXPECT_NE(scaler.Output().data[0], held->data[0]);
  ExpectBGR(*held, 0, 255, 0, "the held picture");
  EXPECT_EQ(scaler.Output().linesize[0] % 64, 0) << "fresh buffers keep the scaler's alignment";
}

TEST_F(VideoScaler, PicturesThatCannotBeMadeOrScaledAreRefusedWithTheirReason) {
  try {
    TVideoScaler scaler(32, 24, AV_PIX_FMT_NONE, TScalerFlags::Bicubic);
    ADD_FAILURE() << "an output without a pixel format was accepted";
  } catch (const FFmpegException& e) {
    EXPECT_EQ(e.Message, "Cannot allocate temp picture, check pix fmt");
  }
  TVideoScaler scaler(32, 24, AV_PIX_FMT_BGR24, TScalerFlags::Bicubic);
  // A hardware surface carries no pixels the scaler can read.
  TFramePtr hardware(ff::av_frame_alloc());
  hardware->width = 64;
  hardware->height = 48;
  hardware->format = AV_PIX_FMT_VAAPI;
  try {
    scaler.Scale(*hardware);
    ADD_FAILURE() << "a hardware picture was scaled";
  } catch (const FFmpegException& e) {
    EXPECT_EQ(e.Message, "Cannot get resampling context");
  }
}

}  // namespace
}  // namespace vidorant

#include "engine/core/PictureEvent.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVUtilStubs.h"
#include "tests/engine/core/TestEngine.h"

namespace vidorant {
namespace {

class PictureEvent : public ::testing::Test {
protected:
  static void SetUpTestSuite() { testing::BindLibrariesForTests(); }

  // A 4x2 BGR24 picture whose every byte is `value`, sharing its buffer with a second reference
  // (as a decoder's picture may).
  void SetUp() override {
    Picture.reset(ff::av_frame_alloc());
    Picture->width = 4;
    Picture->height = 2;
    Picture->format = AV_PIX_FMT_BGR24;
    ASSERT_EQ(ff::av_frame_get_buffer(Picture.get(), 0), 0);
    for (int y = 0; y < 2; y++) std::memset(Picture->data[0] + y * Picture->linesize[0], 50, 12);
    Shared.reset(ff::av_frame_alloc());
    ASSERT_EQ(ff::av_frame_ref(Shared.get(), Picture.get()), 0);
  }

  bool Run(TVideoHookEvent& event) {
    return RunPictureEvent(event, nullptr, Converter, *Picture, 7, 1500000,
                           [this](TLogLevel level, const std::string& text) { Log.push_back({level, text}); });
  }

  uint8_t FirstByte(const AVFrame& frame) const { return frame.data[0][0]; }

  TFramePtr Picture;
  TFramePtr Shared;
  TFormatConverter Converter;
  std::vector<std::pair<TLogLevel, std::string>> Log;
};

// The handler paints the bitmap's first byte and sets the flags as the case says.
TVideoHookEvent Painter(bool keepUpdate, bool detach, std::vector<int64_t>* seen = nullptr) {
  return [=](TObject*, TBitmap& bitmap, int32_t frame, int64_t time, bool& update, bool& detachFlag) {
    if (seen) *seen = {frame, time, bitmap.Width(), bitmap.Height(), bitmap.ScanLine(0)[0]};
    bitmap.ScanLine(0)[0] = 200;
    update = keepUpdate;
    detachFlag = detach;
  };
}

TEST_F(PictureEvent, TheDrawingIsWrittenBackIntoAPictureOfItsOwn) {
  std::vector<int64_t> seen;
  TVideoHookEvent event = Painter(true, false, &seen);
  EXPECT_TRUE(Run(event));
  EXPECT_EQ(seen, (std::vector<int64_t>{7, 1500000, 4, 2, 50}));
  EXPECT_EQ(FirstByte(*Picture), 200);
  EXPECT_EQ(FirstByte(*Shared), 50) << "a picture shared with the decoder must not change under it";
  EXPECT_TRUE(event);
  EXPECT_TRUE(Log.empty());
}

TEST_F(PictureEvent, UpdateFalseKeepsThePictureAndDetachClearsTheEvent) {
  TVideoHookEvent event = Painter(false, true);
  EXPECT_FALSE(Run(event));
  EXPECT_EQ(FirstByte(*Picture), 50);
  EXPECT_FALSE(event);
}

TEST_F(PictureEvent, AHandlerThatRaisesIsLoggedAndItsDrawingDropped) {
  TVideoHookEvent event = [](TObject*, TBitmap& bitmap, int32_t, int64_t, bool&, bool&) {
    bitmap.ScanLine(0)[0] = 200;
    throw FFmpegException("handler broke");
  };
  EXPECT_FALSE(Run(event));
  EXPECT_EQ(FirstByte(*Picture), 50);
  EXPECT_TRUE(event) << "a raising handler stays attached";
  ASSERT_EQ(Log.size(), 1u);
  EXPECT_EQ(Log[0].first, llError);
  EXPECT_EQ(Log[0].second, "Error occurs VideoHook event: handler broke");
}

TEST_F(PictureEvent, APictureThatCannotBecomeABitmapDetachesTheEvent) {
  Picture->format = AV_PIX_FMT_VAAPI;  // a hardware surface: no pixels to convert
  bool called = false;
  TVideoHookEvent event = [&called](TObject*, TBitmap&, int32_t, int64_t, bool&, bool&) { called = true; };
  EXPECT_FALSE(Run(event));
  EXPECT_FALSE(called);
  EXPECT_FALSE(event);
  ASSERT_EQ(Log.size(), 1u);
  EXPECT_EQ(Log[0].first, llError);
  Picture->format = AV_PIX_FMT_BGR24;  // so the frame is freed as what it is
}

}  // namespace
}  // namespace vidorant

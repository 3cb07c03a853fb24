#include "engine/core/PreviewStep.h"

#include <gtest/gtest.h>

#include <vector>

namespace vidorant {
namespace {

// A window that the user closes after it has shown `closeAfter` pictures.
class TCountingWindow : public TPreviewWindow {
public:
  TCountingWindow(std::vector<std::string>& captions, size_t closeAfter) : FCaptions(captions), FCloseAfter(closeAfter) {}
  void Show(const TBitmap&, const std::string& caption) override { FCaptions.push_back(caption); }
  bool Closed() const override { return FCaptions.size() >= FCloseAfter; }

private:
  std::vector<std::string>& FCaptions;
  size_t FCloseAfter;
};

struct TOffers {
  TBitmap Bitmap{2, 2, pf24bit};
  int Conversions = 0;
  bool ConversionFails = false;

  // Offers a picture at each clock value (µs); the picture's time is the clock value too.
  void At(TPreviewStep& step, const std::vector<int64_t>& clock) {
    int32_t frame = 0;
    for (int64_t now : clock)
      step.Offer(now, ++frame, now, [this]() -> const TBitmap* {
        Conversions++;
        return ConversionFails ? nullptr : &Bitmap;
      });
  }
};

TEST(PreviewStep, TheWindowGetsAtMostOnePicturePerIntervalUntilTheUserClosesIt) {
  std::vector<std::string> captions;
  SetPreviewWindowFactory([&captions] { return std::make_unique<TCountingWindow>(captions, 3); });
  TPreviewStep step;  // 100 ms
  step.PreviewerMode = true;
  TOffers offers;
  offers.At(step, {0, 40000, 99999, 100000, 150000, 260000});
  EXPECT_EQ(captions, (std::vector<std::string>{"00:00:00.000", "00:00:00.100", "00:00:00.260"}));
  EXPECT_EQ(offers.Conversions, 3);  // only pictures that are shown are converted
  EXPECT_TRUE(step.PreviewerMode);
  // Closed after its third picture: the next offer finds it closed and previewing stops.
  offers.At(step, {400000, 600000});
  EXPECT_FALSE(step.PreviewerMode);
  EXPECT_EQ(captions.size(), 3u);
  EXPECT_EQ(offers.Conversions, 4);
  SetPreviewWindowFactory(nullptr);
}

TEST(PreviewStep, TheEventTakesPrecedenceAndAFailedConversionEndsIt) {
  TPreviewStep step(1000);
  step.EventMode = step.PreviewerMode = true;  // no factory: the previewer would show nothing
  std::vector<int32_t> frames;
  step.OnPreviewBitmap = [&frames](const TBitmap&, int32_t frame, int64_t) { frames.push_back(frame); };
  TOffers offers;
  offers.At(step, {0, 500, 1000, 2500});
  EXPECT_EQ(frames, (std::vector<int32_t>{1, 3, 4}));
  offers.ConversionFails = true;
  offers.At(step, {5000});
  EXPECT_FALSE(step.EventMode);
  EXPECT_TRUE(step.PreviewerMode);
  EXPECT_EQ(frames.size(), 3u);
}

}  // namespace
}  // namespace vidorant

#include "engine/runtime/Previewer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/runtime/FFUtils.h"
#include "platform/Thread.h"
#include "platform/ThreadID.h"

namespace vidorant {
namespace {

// What the windows made by the test's factory saw, and on which threads.
struct TWindowLog {
  int Made = 0;
  std::vector<std::string> Captions;
  std::vector<uint8_t> FirstPixels;  // the first byte of each shown picture
  bool OffMainThread = false;
  bool FreedOnMainThread = false;
  size_t CloseAfterShows = 0;  // the user closes the window once it has shown that many; 0 never
  bool ClosedByUser = false;
};

class TTestWindow : public TPreviewWindow {
public:
  explicit TTestWindow(TWindowLog& log) : FLog(log) {}
  ~TTestWindow() override { FLog.FreedOnMainThread = InMainThread(); }
  void Show(const TBitmap& picture, const std::string& caption) override {
    if (!InMainThread()) FLog.OffMainThread = true;
    FLog.Captions.push_back(caption);
    FLog.FirstPixels.push_back(picture.ScanLine(0)[0]);
    if (FLog.Captions.size() == FLog.CloseAfterShows) FLog.ClosedByUser = true;
  }
  bool Closed() const override { return FLog.ClosedByUser; }

private:
  TWindowLog& FLog;
};

// Runs work on a worker while this (main) thread serves its synchronised calls.
void OnWorker(const std::function<void()>& work) {
  TThread worker([&](TThread&) { work(); }, false, "preview-test");
  worker.WaitFor();
  ASSERT_FALSE(worker.FatalException());
}

TBitmap Picture(uint8_t value) {
  TBitmap picture(4, 2, pf24bit);
  std::memset(picture.ScanLine(0), value, 12);
  return picture;
}

struct FactoryScope {
  explicit FactoryScope(TWindowLog& log) {
    SetPreviewWindowFactory([&log] {
      log.Made++;
      return std::make_unique<TTestWindow>(log);
    });
  }
  ~FactoryScope() { SetPreviewWindowFactory(nullptr); }
};

TEST(Previewer, WorkerPicturesAreShownOnTheMainThreadUntilTheUserClosesTheWindow) {
  TWindowLog log;
  log.CloseAfterShows = 2;
  FactoryScope factory(log);
  std::vector<bool> answers;
  {
    TPreviewer previewer;
    OnWorker([&] {
      answers.push_back(previewer.UpdatePreview(Picture(10), 1500000));
      answers.push_back(previewer.UpdatePreview(Picture(20), 3723004000));
      answers.push_back(previewer.UpdatePreview(Picture(30), 4000000));
      answers.push_back(previewer.UpdatePreview(Picture(40), 5000000));
    });
    EXPECT_TRUE(previewer.Closed());
  }
  EXPECT_EQ(answers, (std::vector<bool>{true, true, false, false}));
  EXPECT_EQ(log.Made, 1);
  EXPECT_EQ(log.Captions, (std::vector<std::string>{TimeToText(1500000), TimeToText(3723004000)}));
  EXPECT_EQ(log.Captions[1], "01:02:03.004");
  EXPECT_EQ(log.FirstPixels, (std::vector<uint8_t>{10, 20}));
  EXPECT_FALSE(log.OffMainThread);
  EXPECT_TRUE(log.FreedOnMainThread);
}

TEST(Previewer, WithoutAWindowFactoryNothingIsShownAndPreviewingStops) {
  TPreviewer previewer;
  bool first = true;
  OnWorker([&] { first = previewer.UpdatePreview(Picture(1), 0); });
  EXPECT_FALSE(first);
  EXPECT_TRUE(previewer.Closed());
}

}  // namespace
}  // namespace vidorant

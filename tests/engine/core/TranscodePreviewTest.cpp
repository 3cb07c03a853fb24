// The previewer fed by a running task: pictures shown on the main thread at most once per
// preview interval, until the user closes the window, without disturbing the conversion. The
// interval runs on the library's clock, so it is checked by what was shown, not by time.
#include "engine/runtime/Previewer.h"
#include "platform/ThreadID.h"
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>

namespace vidorant::testing {
namespace {

// What the windows of one run were asked to do.
struct TShown {
  int Windows = 0;
  int Shows = 0;
  int OffMainThread = 0;
  int Width = 0, Height = 0;  // of the last picture shown
  int CloseAfter = -1;        // shows after which the user closes the window; -1: never
};

class TRecordingWindow : public TPreviewWindow {
public:
  explicit TRecordingWindow(TShown& shown) : FShown(shown) {}
  void Show(const TBitmap& picture, const std::string&) override {
    ++FShown.Shows;
    FShown.OffMainThread += !InMainThread();
    FShown.Width = picture.Width();
    FShown.Height = picture.Height();
  }
  bool Closed() const override {
    FShown.OffMainThread += !InMainThread();
    return FShown.CloseAfter >= 0 && FShown.Shows >= FShown.CloseAfter;
  }

private:
  TShown& FShown;
};

// Registers the recording window for one test and removes it whatever the test's outcome.
class TWindowFactoryScope {
public:
  explicit TWindowFactoryScope(TShown& shown) {
    SetPreviewWindowFactory([&shown] {
      ++shown.Windows;
      return std::make_unique<TRecordingWindow>(shown);
    });
  }
  ~TWindowFactoryScope() { SetPreviewWindowFactory(nullptr); }
  TWindowFactoryScope(const TWindowFactoryScope&) = delete;
  TWindowFactoryScope& operator=(const TWindowFactoryScope&) = delete;
};

struct TPreviewCase {
  const char* Name;
  int64_t Interval;  // µs
  int CloseAfter;    // -1: the window stays open
  int Shows;         // -1: one per output frame
  friend void PrintTo(const TPreviewCase& c, std::ostream* os) { *os << c.Name; }
};

class TranscodePreview : public ::testing::TestWithParam<TPreviewCase> {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }
};

TEST_P(TranscodePreview, ShowsPicturesOnTheMainThreadWhileTheConversionCompletes) {
  const TPreviewCase& c = GetParam();
  TTempFolder tmp;
  const std::string source = MakeTestVideo(tmp.Path(), "source", Shaped(MatroskaRecipe(), 160, 120, {25, 1}, 50));
  TShown shown;
  shown.CloseAfter = c.CloseAfter;
  TWindowFactoryScope scope(shown);
  TFrameOutputAdapter adapter;
  TAdapterRecord record;
  record.Attach(adapter);
  TTestTask task;
  task.SetPreviewFlags(true, false);
  task.SetPreviewInterval(c.Interval);
  ASSERT_TRUE(SetUpTask(task, {}, source, AdapterOutputOptions(), AdapterOutputName(adapter)));
  RunOnWorker(task);

  EXPECT_TRUE(task.Finished()) << task.ErrorMessage();
  const std::vector<int> whole = ConstantRateSchedule(ReadMediaFile(source), {});
  EXPECT_EQ(record.Indices, whole) << "previewing changes nothing in the output";
  EXPECT_EQ(shown.Windows, 1);
  EXPECT_EQ(shown.Shows, c.Shows < 0 ? static_cast<int>(whole.size()) : c.Shows);
  EXPECT_EQ(shown.OffMainThread, 0);
  EXPECT_EQ(shown.Width, 320);
  EXPECT_EQ(shown.Height, 240);
}

INSTANTIATE_TEST_SUITE_P(All, TranscodePreview,
                         ::testing::Values(TPreviewCase{"HugeIntervalShowsTheFirstOnly", INT64_C(1) << 50, -1, 1},
                                           TPreviewCase{"ZeroIntervalShowsEveryFrame", 0, -1, -1},
                                           TPreviewCase{"ClosedWindowIsShownNoMore", 0, 3, 3}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vidorant::testing

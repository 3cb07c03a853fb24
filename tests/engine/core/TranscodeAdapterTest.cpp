// A task turning a generated video into the converter's pictures: 24-bit BGR rows of the output
// size delivered to the frame output adapter, one per output frame, numbered from 1, between one
// header and one close. Which source picture each frame shows is checked against the
// constant-rate schedule worked out from the source's own decoded timestamps.
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

namespace vidorant::testing {
namespace {

constexpr int OutputBytes = 320 * 240 * 3;

struct TAdapterCase {
  const char* Name;
  TVideoRecipe Source;
  TOptionList InputOptions;
  TOptionList OutputOptions;  // after the converter's own, so a later "r" wins
  const char* OutputName;     // "%r" stands for the adapter's reference
  TRateRule Rule;
  int Frames;  // the count the rule gives, as worked out by hand; -1: the schedule alone
  friend void PrintTo(const TAdapterCase& c, std::ostream* os) { *os << c.Name; }
};

std::string OutputName(std::string pattern, const TFrameOutputAdapter& adapter) {
  pattern.replace(pattern.find("%r"), 2, std::to_string(adapter.Reference()));
  return pattern;
}

class TranscodeToAdapter : public ::testing::TestWithParam<TAdapterCase> {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }
};

TEST_P(TranscodeToAdapter, DeliversTheConstantRateScheduleAsBGRRows) {
  const TAdapterCase& c = GetParam();
  TTempFolder tmp;
  const std::string source = MakeTestVideo(tmp.Path(), "source", c.Source);
  const std::vector<int> expected = ConstantRateSchedule(ReadMediaFile(source), c.Rule);
  if (c.Frames >= 0) {
    ASSERT_EQ(static_cast<int>(expected.size()), c.Frames) << "the schedule of the test itself";
  }

  TFrameOutputAdapter adapter;
  TAdapterRecord record;
  record.Attach(adapter);
  TTestTask task;
  int terminations = 0;
  task.OnTerminate = [&terminations](TObject*) { ++terminations; };
  TOptionList output = AdapterOutputOptions();
  output.insert(output.end(), c.OutputOptions.begin(), c.OutputOptions.end());
  ASSERT_TRUE(SetUpTask(task, c.InputOptions, source, output, OutputName(c.OutputName, adapter)));
  EXPECT_EQ(task.Start(false), nullptr);

  EXPECT_FALSE(task.Error()) << task.ErrorMessage();
  EXPECT_TRUE(task.Finished());
  EXPECT_EQ(terminations, 1);
  EXPECT_EQ(record.Headers, 1);
  EXPECT_EQ(record.Closes, 1);
  EXPECT_EQ(record.Width, 320);
  EXPECT_EQ(record.Height, 240);
  EXPECT_EQ(record.PixFmt, AV_PIX_FMT_BGR24);
  std::vector<int> numbers(expected.size());
  std::iota(numbers.begin(), numbers.end(), 1);
  EXPECT_EQ(record.FrameNumbers, numbers);
  EXPECT_THAT(record.PacketSizes, ::testing::Each(OutputBytes));
  EXPECT_EQ(record.Indices, expected) << "source picture of each output frame";
}

constexpr AVRational Fps25{25, 1}, Fps10{10, 1};
const TOptionList NoOptions;
const TOptionList Clip{{"t", "2"}};

INSTANTIATE_TEST_SUITE_P(
    All, TranscodeToAdapter,
    ::testing::Values(
        // The converter's own road: 25 to 10 frames/s drops three pictures of every five.
        TAdapterCase{"ConverterRoad", Shaped(MatroskaRecipe(), 640, 480, Fps25, 100, true), NoOptions, NoOptions,
                     "a=%r", {}, 41},
        TAdapterCase{"KeyAdapterBeforeAnother", Shaped(MatroskaRecipe(), 320, 240, Fps25, 30), NoOptions,
                     NoOptions, "adapter=%r;x=1", {}, -1},
        TAdapterCase{"KeyUpperAAfterAnother", Shaped(MatroskaRecipe(), 320, 240, Fps25, 30), NoOptions, NoOptions,
                     "x=1;A=%r", {}, -1},
        TAdapterCase{"FromMp4", Shaped(Mp4Recipe(), 400, 300, Fps25, 50), NoOptions, NoOptions, "a=%r", {}, -1},
        TAdapterCase{"FromAvi", Shaped(AviRecipe(), 400, 300, Fps25, 50), NoOptions, NoOptions, "a=%r", {}, -1},
        TAdapterCase{"FromWebm", Shaped(WebmRecipe(), 400, 300, Fps25, 50), NoOptions, NoOptions, "a=%r", {}, -1},
        // The container's start offset is where the schedule starts.
        TAdapterCase{"FromMpegTs", Shaped(MpegTsRecipe(), 400, 300, Fps25, 50), NoOptions, NoOptions, "a=%r", {},
                     -1},
        TAdapterCase{"FromRawM4v", Shaped(RawStreamRecipe(), 400, 300, Fps25, 50), NoOptions, NoOptions, "a=%r",
                     {}, -1},
        TAdapterCase{"UpscaledFrom160x120", Shaped(Mp4Recipe(), 160, 120, Fps25, 50), NoOptions, NoOptions,
                     "a=%r", {}, -1},
        // The seek lands on the key picture of 0.96 s (a GOP of 12): it lies 0.4 output frames
        // before the clip and becomes frame 0.
        TAdapterCase{"Clip25fps", Shaped(Mp4Recipe(), 320, 240, Fps25, 100), {{"ss", "1"}}, Clip, "a=%r",
                     {Fps10, 1000000, 2000000}, 21},
        // Here it lands on the picture of 0 s: those more than 1.1 frames before 1 s are dropped.
        TAdapterCase{"Clip10fps", Shaped(Mp4Recipe(), 320, 240, Fps10, 40), {{"ss", "1"}}, Clip, "a=%r",
                     {Fps10, 1000000, 2000000}, -1},
        TAdapterCase{"ClipOfLengthZero", Shaped(MatroskaRecipe(), 320, 240, Fps25, 30), NoOptions, {{"t", "0"}},
                     "a=%r", {Fps10, 0, 0}, 0},
        // 10 to 25 frames/s: 2.5 frames per picture, ties rounding to 2.
        TAdapterCase{"Rate10To25", Shaped(MatroskaRecipe(), 320, 240, Fps10, 40), NoOptions, {{"r", "25"}},
                     "a=%r", {{25, 1}}, -1},
        TAdapterCase{"VsyncZero", Shaped(MatroskaRecipe(), 320, 240, Fps25, 50), NoOptions, {{"vsync", "0"}},
                     "a=%r", {Fps10, 0, -1, true}, 50},
        TAdapterCase{"VframesLimit", Shaped(MatroskaRecipe(), 320, 240, Fps10, 40), NoOptions,
                     {{"r", "25"}, {"vframes", "50"}}, "a=%r", {{25, 1}, 0, -1, false, 50}, 50}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vidorant::testing

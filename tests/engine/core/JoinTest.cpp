// Inputs joined into one output: the pictures of every input, in input order, with rising
// timestamps, in a file read back by the libraries directly and through the frame output adapter;
// a stop in a later input; and what a join refuses. The inputs differ in length, and the second
// in size and container, so a later input that is not scaled, not offset or not drained shows.
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <filesystem>
#include <numeric>

namespace vidorant::testing {
namespace {

class JoinTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }

  void SetUp() override {
    // 18 pictures end on 8 frames at 10 frames/s: 0.8 s, whole ticks of the second input's 1/25
    // time base, to which its timestamp offset is rounded.
    Sources = {MakeTestVideo(Tmp.Path(), "a", Shaped(MatroskaRecipe(), 160, 120, {25, 1}, 18)),
               MakeTestVideo(Tmp.Path(), "b", Shaped(AviRecipe(), 96, 72, {25, 1}, 13)),
               MakeTestVideo(Tmp.Path(), "c", Shaped(MatroskaRecipe(), 160, 120, {25, 1}, 30))};
  }

  // Opens the inputs, gives the output options and adds the output joined, as the encoder
  // component does.
  static bool Join(TTestTask& task, const std::vector<std::string>& inputs, const TOptionList& output,
                   const std::string& name) {
    for (const std::string& input : inputs)
      if (!task.AddInputFile(input)) return ADD_FAILURE() << task.LastErrorMessage(), false;
    for (const auto& [option, value] : output) task.ParseOption(option, value);
    if (task.AddOutputFile(name, true) < 1) return ADD_FAILURE() << task.LastErrorMessage(), false;
    task.PrepareJoinedInputs();
    return true;
  }

  // Each input's own schedule, one after the other: a joined input begins where the output stands.
  static std::vector<int> Concatenated(const std::vector<std::string>& inputs, const TRateRule& rule) {
    std::vector<int> all;
    for (const std::string& input : inputs) {
      const std::vector<int> one = ConstantRateSchedule(ReadMediaFile(input), rule);
      all.insert(all.end(), one.begin(), one.end());
    }
    return all;
  }

  static void ExpectPicturesInOrder(const TMediaFile& written, const std::vector<int>& expected) {
    std::vector<int> indices;
    for (size_t i = 0; i < written.Pictures.size(); ++i) {
      indices.push_back(written.Pictures[i].Index);
      if (i > 0) {
        EXPECT_GT(written.Pictures[i].Time, written.Pictures[i - 1].Time) << "picture " << i;
      }
    }
    EXPECT_EQ(indices, expected);
  }

  TTempFolder Tmp;
  std::vector<std::string> Sources;
  TTestTask Task;
};

TEST_F(JoinTest, ThreeInputsPlayInOrderIntoOneFileAtItsSize) {
  for (const auto& [name, codec] : {std::pair{"joined.mkv", "ffv1"}, std::pair{"joined.avi", "mpeg4"}}) {
    SCOPED_TRACE(name);
    TTestTask task;
    const std::string output = Tmp.File(name);
    ASSERT_TRUE(Join(task, Sources, {{"vcodec", codec}, {"s", "160x120"}, {"r", "25"}}, output));
    task.Start(false);
    ASSERT_TRUE(task.Finished()) << task.ErrorMessage();
    const TMediaFile written = ReadMediaFile(output);
    EXPECT_EQ(written.Width, 160);
    EXPECT_EQ(written.Height, 120);
    ExpectPicturesInOrder(written, Concatenated(Sources, {{25, 1}}));
  }
}

TEST_F(JoinTest, CopiedStreamsContinueTheTimestampsOfTheInputBefore) {
  const std::vector<std::string> inputs = {Sources[0], Sources[2]};
  const std::string output = Tmp.File("copied.mkv");
  ASSERT_TRUE(Join(Task, inputs, {{"vcodec", "copy"}}, output));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();
  const TMediaFile written = ReadMediaFile(output);
  std::vector<int> packets = ReadMediaFile(inputs[0]).PacketSizes;
  for (int size : ReadMediaFile(inputs[1]).PacketSizes) packets.push_back(size);
  EXPECT_EQ(written.PacketSizes, packets);
  ExpectPicturesInOrder(written, Concatenated(inputs, {{25, 1}}));
}

TEST_F(JoinTest, TheAdapterGetsEveryInputNumberedOnWithProgressOverTheWhole) {
  TFrameOutputAdapter adapter;
  TAdapterRecord record;
  record.Attach(adapter);
  std::vector<TProgressRecord> reports;
  RecordProgress(Task, reports);
  Task.SetProgressInterval(0);
  ASSERT_TRUE(Join(Task, Sources, AdapterOutputOptions(), AdapterOutputName(adapter)));
  int64_t total = 0;
  for (const std::string& source : Sources) total += ReadMediaFile(source).Duration;
  EXPECT_EQ(Task.ExpectedDuration(), total);
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();

  const std::vector<int> expected = Concatenated(Sources, {});
  std::vector<int> numbers(expected.size());
  std::iota(numbers.begin(), numbers.end(), 1);
  EXPECT_EQ(record.FrameNumbers, numbers);
  EXPECT_EQ(record.Indices, expected);
  EXPECT_EQ(record.Headers, 1);
  EXPECT_EQ(record.Closes, 1);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().FileIndex, -1);
  EXPECT_EQ(reports.back().FrameNumber, static_cast<int>(expected.size()));
  std::vector<int> files;  // the inputs the reports named, each once, in order
  for (const TProgressRecord& r : reports)
    if (r.FileIndex >= 0 && (files.empty() || files.back() != r.FileIndex)) files.push_back(r.FileIndex);
  EXPECT_EQ(files, (std::vector<int>{0, 1, 2}));
  for (size_t i = 1; i < reports.size(); ++i) EXPECT_GE(reports[i].FrameNumber, reports[i - 1].FrameNumber);
}

TEST_F(JoinTest, AStopInTheSecondInputKeepsWhatCameBeforeAndClosesTheOutput) {
  TFrameOutputAdapter adapter;
  TAdapterRecord record;
  record.Attach(adapter);
  const int firstInput = static_cast<int>(ConstantRateSchedule(ReadMediaFile(Sources[0]), {}).size());
  record.AfterFrame = [&](int frameNumber) {
    if (frameNumber == firstInput + 2) Task.Stop(false);
  };
  ASSERT_TRUE(Join(Task, Sources, AdapterOutputOptions(), AdapterOutputName(adapter)));
  Task.Start(false);
  EXPECT_FALSE(Task.Finished());
  EXPECT_FALSE(Task.Error()) << Task.ErrorMessage();
  EXPECT_EQ(record.Closes, 1);
  const std::vector<int> whole = Concatenated(Sources, {});
  ASSERT_GE(static_cast<int>(record.Indices.size()), firstInput + 2);
  ASSERT_LT(record.Indices.size(), whole.size());
  EXPECT_TRUE(std::equal(record.Indices.begin(), record.Indices.end(), whole.begin()));
}

TEST_F(JoinTest, AnInputWithoutVideoEndsTheRunWithTheMappingText) {
  TVideoRecipe toneOnly = MatroskaRecipe();
  toneOnly.VideoCodec.clear();
  toneOnly.Audio = {TTestAudio{}};
  const std::string output = Tmp.File("joined.mkv");
  ASSERT_TRUE(Join(Task, {Sources[0], MakeTestVideo(Tmp.Path(), "tone", toneOnly)}, {{"vcodec", "ffv1"}}, output));
  Task.Start(false);
  EXPECT_TRUE(Task.Error());
  EXPECT_EQ(Task.ErrorMessage(), "Could not find input stream matching output stream #0.0 (Video)");
  EXPECT_FALSE(std::filesystem::exists(output)) << "an output left empty is removed";
}

TEST_F(JoinTest, AnInputThatFailsToOpenIsLeftOutAndTheOthersJoin) {
  const std::string missing = Tmp.File("missing.mkv");
  EXPECT_FALSE(Task.AddInputFile(missing));
  EXPECT_EQ(Task.LastErrorMessage(), missing + ": No such file or directory");
  const std::vector<std::string> inputs = {Sources[0], Sources[2]};
  const std::string output = Tmp.File("joined.mkv");
  ASSERT_TRUE(Join(Task, inputs, {{"vcodec", "ffv1"}, {"r", "25"}}, output));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();
  ExpectPicturesInOrder(ReadMediaFile(output), Concatenated(inputs, {{25, 1}}));
}

TEST_F(JoinTest, AJoinedOutputIsTheOnlyOutput) {
  for (const bool joinFirst : {true, false}) {
    TTestTask task;
    for (const std::string& source : Sources) ASSERT_TRUE(task.AddInputFile(source));
    ASSERT_EQ(task.AddOutputFile(Tmp.File("first.mkv"), joinFirst), 1) << task.LastErrorMessage();
    EXPECT_EQ(task.AddOutputFile(Tmp.File("second.mkv"), true), -1);
    EXPECT_EQ(task.LastErrorMessage(), joinFirst ? "Cannot join more than one output file."
                                                 : "Cannot join inputs into an output file that follows another one.");
  }
}

TEST_F(JoinTest, ALaterInputsEncoderIsConfiguredLikeTheFirst) {
  ASSERT_TRUE(Join(Task, Sources, {{"vcodec", "mpeg4"}, {"b", "200k"}, {"g", "5"}, {"qscale", "3"}, {"s", "80x60"}},
                   Tmp.File("joined.avi")));
  const AVCodecContext* first = Task.Outputs().JoinedSet(0).at(0)->Encoder.get();
  for (int input : {1, 2}) {
    const AVCodecContext* later = Task.Outputs().JoinedSet(input).at(0)->Encoder.get();
    EXPECT_EQ(later->bit_rate, first->bit_rate);
    EXPECT_EQ(later->gop_size, 5);
    EXPECT_EQ(later->flags, first->flags);
    EXPECT_EQ(later->global_quality, first->global_quality);
    EXPECT_EQ(av_cmp_q(later->time_base, first->time_base), 0);
    EXPECT_EQ(later->width, 80);
    EXPECT_EQ(later->pix_fmt, first->pix_fmt);
  }
}

}  // namespace
}  // namespace vidorant::testing

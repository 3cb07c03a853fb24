// A task's run seen from outside: a stop ends it early with what was produced so far and the
// output still closed; progress reports follow the frames put out. Stops are placed by what the
// task has delivered (in the adapter's handlers), never by a clock.
#include "platform/Event.h"
#include "platform/Synchronize.h"
#include "platform/Thread.h"
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vidorant::testing {
namespace {

class TranscodeRun : public ::testing::Test {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }

  // 25 frames/s for 4 s: 41 frames at the converter's 10 frames/s.
  void SetUp() override {
    Source = MakeTestVideo(Tmp.Path(), "source", Shaped(MatroskaRecipe(), 320, 240, {25, 1}, 100));
    Record.Attach(Adapter);
    Task.OnTerminate = [this](TObject*) { ++Terminations; };
  }

  bool SetUpAdapterTask(const TOptionList& extra = {}) {
    TOptionList output = AdapterOutputOptions();
    output.insert(output.end(), extra.begin(), extra.end());
    return SetUpTask(Task, {}, Source, output, AdapterOutputName(Adapter));
  }

  // A stopped run: fewer frames than the whole input gives, each the one the schedule puts
  // there, the output closed, the task not finished.
  void ExpectStoppedAfter(int atLeast) {
    const std::vector<int> whole = ConstantRateSchedule(ReadMediaFile(Source), {});
    EXPECT_FALSE(Task.Finished());
    EXPECT_FALSE(Task.Error()) << "a stop is no error: " << Task.ErrorMessage();
    EXPECT_EQ(Terminations, 1);
    EXPECT_EQ(Record.Headers, 1);
    EXPECT_EQ(Record.Closes, 1);
    EXPECT_GE(static_cast<int>(Record.Indices.size()), atLeast);
    ASSERT_LT(Record.Indices.size(), whole.size());
    EXPECT_TRUE(std::equal(Record.Indices.begin(), Record.Indices.end(), whole.begin()))
        << "the frames before the stop are the schedule's first ones";
  }

  TTempFolder Tmp;
  std::string Source;
  TFrameOutputAdapter Adapter;
  TAdapterRecord Record;
  TTestTask Task;
  int Terminations = 0;
};

TEST_F(TranscodeRun, StopBeforeTheFirstPacketStillWritesTheTrailer) {
  Record.AfterHeader = [this] { Task.Stop(false); };
  ASSERT_TRUE(SetUpAdapterTask());
  Task.Start(false);
  ExpectStoppedAfter(0);
  EXPECT_TRUE(Record.Indices.empty()) << "the loop read nothing after the stop";
}

TEST_F(TranscodeRun, StopFromTheFrameHandlerEndsTheRunEarly) {
  Record.AfterFrame = [this](int frameNumber) {
    if (frameNumber == 5) Task.Stop(false);
  };
  ASSERT_TRUE(SetUpAdapterTask());
  Task.Start(false);
  ExpectStoppedAfter(5);
}

TEST_F(TranscodeRun, StopFromTheMainThreadEndsAWorkerRunEarly) {
  // The worker holds at frame 3 until the stop request is made, so the stop lands mid-run.
  TEvent reached, requested;
  Record.AfterFrame = [&](int frameNumber) {
    if (frameNumber != 3) return;
    reached.SetEvent();
    requested.WaitFor();
  };
  Task.OnTerminate = [&](TObject*) {  // a run that never reaches frame 3 fails below
    ++Terminations;
    reached.SetEvent();
  };
  ASSERT_TRUE(SetUpAdapterTask());
  RunOnWorker(Task, [&](TThread& worker) {
    worker.Resume();
    WaitServingSynchronize(reached);
    Task.Stop(false);
    requested.SetEvent();
    Task.Stop(true);
  });
  ExpectStoppedAfter(3);
}

TEST_F(TranscodeRun, ProgressFollowsTheFramesAndEndsWithTheFinalReport) {
  std::vector<TProgressRecord> reports;
  RecordProgress(Task, reports);
  Task.SetProgressInterval(0);
  ASSERT_TRUE(SetUpAdapterTask());
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();
  const int frames = static_cast<int>(Record.FrameNumbers.size());
  const int64_t duration = ReadMediaFile(Source).Duration;

  ASSERT_GE(reports.size(), 2u) << "reports during the run and the final one";
  EXPECT_EQ(reports.back().FileIndex, -1);
  EXPECT_EQ(reports.back().FrameNumber, frames);
  for (size_t i = 0; i < reports.size(); ++i) {
    const TProgressRecord& r = reports[i];
    SCOPED_TRACE(i);
    if (i + 1 < reports.size()) {
      EXPECT_EQ(r.FileIndex, 0);
    }
    EXPECT_GE(r.FrameNumber, 1) << "no report before the first frame";
    EXPECT_GT(r.CurrentTime, 0);
    EXPECT_EQ(r.TotalSize, 0) << "the adapter's output has no file";
    EXPECT_EQ(r.ExpectedDuration, duration);
    if (i == 0) continue;
    EXPECT_GE(r.FrameNumber, reports[i - 1].FrameNumber);
    EXPECT_GE(r.CurrentTime, reports[i - 1].CurrentTime);
  }
}

TEST_F(TranscodeRun, AHugeProgressIntervalLeavesOnlyTheFinalReport) {
  std::vector<TProgressRecord> reports;
  RecordProgress(Task, reports);
  Task.SetProgressInterval(INT64_C(1) << 50);
  ASSERT_TRUE(SetUpAdapterTask());
  Task.Start(false);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].FileIndex, -1);
  EXPECT_EQ(reports[0].FrameNumber, static_cast<int>(Record.FrameNumbers.size()));
}

TEST_F(TranscodeRun, NoReportWhileNoVideoFrameWasPutOut) {
  std::vector<TProgressRecord> reports;
  RecordProgress(Task, reports);
  Task.SetProgressInterval(0);
  ASSERT_TRUE(SetUpAdapterTask({{"t", "0"}}));
  Task.Start(false);
  EXPECT_TRUE(Task.Finished()) << Task.ErrorMessage();
  EXPECT_TRUE(Record.FrameNumbers.empty());
  EXPECT_TRUE(reports.empty()) << "not even the final one";
}

// Frame number, fps and quality have no meaning without a video output: -1 each.
TEST_F(TranscodeRun, AnOutputWithoutVideoReportsMinusOneFrames) {
  const std::string toned = MakeTestVideo(Tmp.Path(), "toned", Shaped(MatroskaRecipe(), 64, 48, {25, 1}, 50, true));
  std::vector<TProgressRecord> reports;
  RecordProgress(Task, reports);
  Task.SetProgressInterval(0);
  ASSERT_TRUE(SetUpTask(Task, {}, toned, {{"vn", ""}, {"acodec", "copy"}}, Tmp.File("tone.mka")));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().FileIndex, -1);
  EXPECT_GT(reports.back().TotalSize, 0);
  for (const TProgressRecord& r : reports) {
    EXPECT_EQ(r.FrameNumber, -1);
    EXPECT_EQ(r.FPS, -1);
    EXPECT_EQ(r.Quality, -1.0f);
  }
}

}  // namespace
}  // namespace vidorant::testing

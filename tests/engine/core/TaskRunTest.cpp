// The life cycle of a task apart from what it converts: the runs that cannot begin, a second Start,
// terminating a task that never ran, and stopping a worker from the main thread while the worker
// waits for the main thread.
#include "engine/runtime/FrameOutput.h"
#include "platform/Synchronize.h"
#include "tests/engine/core/TestEngine.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/TestVideo.h"

#include <gtest/gtest.h>

#include <atomic>

namespace vidorant::testing {
namespace {

class TaskRun : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    BindLibrariesForTests();
    RegisterFrameOutputFormats();
  }

  // Counts the task's terminations and remembers the state each one saw.
  void WatchTermination(TTestTask& task) {
    task.OnTerminate = [this, &task](TObject* sender) {
      EXPECT_EQ(sender, &task);
      EXPECT_FALSE(task.Running());
      EXPECT_TRUE(task.Terminated());
      Terminations++;
    };
  }

  // An input of 2 s at 25 frames/s, an adapter output at 10 frames/s.
  void ConfigureAdapterRun(TTestTask& task) {
    TVideoRecipe recipe;
    recipe.FrameCount = 50;
    ASSERT_TRUE(task.AddInputFile(MakeTestVideo(Tmp.Path(), "in", recipe))) << task.LastErrorMessage();
    for (auto [name, value] : {std::pair{"f", "rawrgb"}, {"vcodec", "rawvideo"}, {"r", "10"}, {"pix_fmt", "bgr24"}})
      task.ParseOption(name, value);
    ASSERT_EQ(task.AddOutputFile(AdapterOutputName(Adapter)), 1) << task.LastErrorMessage();
  }

  TTempFolder Tmp;
  TFrameOutputAdapter Adapter;
  std::atomic<int> Terminations{0};
};

TEST_F(TaskRun, AMissingFileEndsTheTaskAtOnceWithItsErrorAndOneTermination) {
  struct TCase {
    bool Input;
    bool Output;
    const char* Message;
  };
  for (const TCase& c : {TCase{false, false, "At least one output file must be specified"},
                         TCase{true, false, "At least one output file must be specified"},
                         TCase{false, true, "At least one input file must be specified"}}) {
    SCOPED_TRACE(c.Message);
    TTestTask task;
    WatchTermination(task);
    if (c.Input) {
      TVideoRecipe recipe;
      ASSERT_TRUE(task.AddInputFile(MakeTestVideo(Tmp.Path(), "in", recipe)));
    }
    if (c.Output) {
      task.ParseOption("f", "rawrgb");
      ASSERT_EQ(task.AddOutputFile(AdapterOutputName(Adapter)), 1) << task.LastErrorMessage();
    }
    Terminations = 0;
    EXPECT_EQ(task.Start(true), nullptr);
    EXPECT_TRUE(task.Error());
    EXPECT_EQ(task.ErrorMessage(), c.Message);
    EXPECT_FALSE(task.Finished());
    EXPECT_EQ(Terminations, 1);
    // A terminated task does not run again.
    EXPECT_EQ(task.Start(false), nullptr);
    EXPECT_EQ(Terminations, 1);
  }
}

TEST_F(TaskRun, ATaskRunsOnceAndItsWorkerEndsWithTheFinishedEventSet) {
  TTestTask task;
  WatchTermination(task);
  ConfigureAdapterRun(task);
  int frames = 0;
  Adapter.OnWriteFrame = [&](TObject*, POutputFrameInfo) { frames++; };
  TThread* worker = task.Start(true);
  ASSERT_NE(worker, nullptr);
  EXPECT_TRUE(task.Running());
  EXPECT_EQ(task.Start(true), nullptr);  // running: nothing more starts
  worker->Resume();
  WaitServingSynchronize(task.FinishedEvent());
  EXPECT_TRUE(task.Finished()) << task.ErrorMessage();
  EXPECT_FALSE(task.Error());
  EXPECT_EQ(frames, 21);
  EXPECT_EQ(Terminations, 1);
  EXPECT_EQ(task.Start(false), nullptr);
  EXPECT_EQ(Terminations, 1);
}

TEST_F(TaskRun, TerminatingATaskThatNeverRanFiresItsTerminationOnAThreadOfItsOwn) {
  TTestTask task;
  WatchTermination(task);
  task.Terminate(true);
  EXPECT_EQ(Terminations, 1);
  EXPECT_FALSE(task.Finished());
  task.Terminate(true);  // terminated already
  EXPECT_EQ(Terminations, 1);
}

TEST_F(TaskRun, StoppingAWorkerThatWaitsForTheMainThreadServesItsCallsAndKeepsTheOutputComplete) {
  TTestTask task;
  WatchTermination(task);
  ConfigureAdapterRun(task);
  int frames = 0;
  int closes = 0;
  // Each picture is shown on the main thread, as the application shows its progress; the stop
  // comes from there after the third.
  Adapter.OnWriteFrame = [&](TObject*, POutputFrameInfo) {
    Synchronize([&] {
      if (++frames == 3) task.Stop(false);
    });
  };
  Adapter.OnWriteClose = [&](TObject*) { closes++; };
  TThread* worker = task.Start(true);
  ASSERT_NE(worker, nullptr);
  worker->Resume();
  while (frames < 3 && task.Running()) CheckSynchronize();
  task.Stop(true);
  EXPECT_FALSE(task.Finished());
  EXPECT_FALSE(task.Error()) << task.ErrorMessage();
  EXPECT_GE(frames, 3);
  EXPECT_LT(frames, 21);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(Terminations, 1);
}

}  // namespace
}  // namespace vidorant::testing

// Runs of real tasks through the encoder component: how many run at once, what each adapter
// receives, the order of the termination events, stopping, and where each event runs.
#include "platform/Bitmap.h"
#include "platform/Exception.h"
#include "platform/Canvas.h"
#include "platform/Synchronize.h"
#include "platform/ThreadID.h"
#include "tests/engine/encoder/EncoderFixture.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <condition_variable>
#include <numeric>

namespace vidorant::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

std::vector<int> Indices(int count) {
  std::vector<int> indices(count);
  std::iota(indices.begin(), indices.end(), 0);
  return indices;
}

TEST_F(EncoderTest, TwoAtATimeDeliverEveryPictureToItsOwnAdapterInOrder) {
  // Each task's start (its adapter's header) and end, in the order they happened; the first two
  // wait at their header for each other, so that a start of one only would show.
  std::vector<std::string> log;
  std::condition_variable bothStarted;
  int started = 0;
  for (int k = 0; k < 4; k++) {
    Adapters[k].OnWriteHeader = [&, k](TObject*) {
      std::unique_lock<std::mutex> lock(Lock);
      log.push_back("start");
      if (++started <= 2) bothStarted.wait_for(lock, std::chrono::seconds(30), [&] { return started >= 2; });
      bothStarted.notify_all();
    };
    Adapters[k].OnWriteClose = [&](TObject*) {
      std::lock_guard<std::mutex> lock(Lock);
      log.push_back("end");
    };
  }
  AddTasks(4);
  Encoder->StartTask(2);
  WaitForRunEnd();
  int running = 0;
  int most = 0;
  for (const std::string& step : log) {
    running += step == "start" ? 1 : -1;
    most = std::max(most, running);
  }
  EXPECT_EQ(most, 2);
  EXPECT_EQ(std::count(log.begin(), log.end(), "start"), 4);
  for (int k = 0; k < 4; k++) EXPECT_EQ(Pictures(k), Indices(FrameCount(k))) << "adapter " << k;
  EXPECT_EQ(EndOrder().back(), -1);
  std::lock_guard<std::mutex> lock(Lock);
  for (const TTerminateInfo& info : Ends) EXPECT_TRUE(info.Completed && !info.HadError) << info.ErrorText;
}

TEST_F(EncoderTest, StartTaskZeroRunsEveryTaskInsideTheCallOnTheCallingThread) {
  AddTasks(4);
  bool pictureOffMainThread = false;
  Adapters[3].OnWriteClose = [&](TObject*) { pictureOffMainThread = !InMainThread(); };
  Encoder->StartTask(0);
  EXPECT_THAT(EndOrder(), ElementsAre(0, 1, 2, 3));
  for (int k = 0; k < 4; k++) EXPECT_EQ(Pictures(k).size(), static_cast<size_t>(FrameCount(k)));
  EXPECT_FALSE(pictureOffMainThread);
  WaitForRunEnd();
  EXPECT_THAT(EndOrder(), ElementsAre(0, 1, 2, 3, -1));
}

// The event that closes a run follows every task's own, whether the handlers run on the main
// thread or on the delivery threads themselves, with two tasks ending close together.
TEST_F(EncoderTest, TheRunsLastEventComesAfterEveryTasksOwnOverRepeatedRuns) {
  for (bool inMainThread : {true, false}) {
    Encoder->SetTriggerEventInMainThread(inMainThread);
    for (int run = 0; run < 12; run++) {
      SCOPED_TRACE(::testing::Message() << "main thread " << inMainThread << ", run " << run);
      AddTasks(4);
      Encoder->StartTask(2);
      WaitForRunEnd();
      EXPECT_THAT(EndOrder(), UnorderedElementsAre(0, 1, 2, 3, -1));
      EXPECT_EQ(EndOrder().back(), -1);
      Encoder->ClearTasks();
      std::lock_guard<std::mutex> lock(Lock);
      Ends.clear();
    }
  }
}

TEST_F(EncoderTest, OperationsAreRefusedWhileWorkingAndClearTasksAfterTheRunEnded) {
  AddTasks(1);
  // The task waits at its header until the refusals were tried.
  TEvent release;
  Adapters[0].OnWriteHeader = [&](TObject*) { release.WaitFor(); };
  Encoder->StartTask(1);
  const TOutputOptions options = AdapterOptions();
  const std::vector<std::pair<std::string, std::function<void()>>> refused = {
      {"Cannot AddTask while working.", [&] { Encoder->AddTask(Video(0)); }},
      {"Cannot SetOutputFile while working.", [&] { Encoder->SetOutputFile(0, "x", &options); }},
      {"Cannot RemoveTask while working.", [&] { Encoder->RemoveTask(0); }},
      {"Cannot StartTask while working.", [&] { Encoder->StartTask(1); }},
      {"Cannot ClearTasks while working.", [&] { Encoder->ClearTasks(); }}};
  for (const auto& [message, operation] : refused) {
    try {
      operation();
      ADD_FAILURE() << "not refused: " << message;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, message);
    }
  }
  release.SetEvent();
  WaitForRunEnd();
  Encoder->ClearTasks();
  EXPECT_EQ(Encoder->TaskCount(), 0);
  EXPECT_FALSE(Encoder->Working());
}

TEST_F(EncoderTest, ATaskWithoutOutputEndsAtOnceWithItsError) {
  AddTasks(1, false);
  Encoder->StartTask(1);
  WaitForRunEnd();
  std::lock_guard<std::mutex> lock(Lock);
  ASSERT_EQ(Ends.size(), 2u);
  EXPECT_EQ(Ends[0].TaskIndex, 0);
  EXPECT_FALSE(Ends[0].Completed);
  EXPECT_TRUE(Ends[0].HadError);
  EXPECT_EQ(Ends[0].ErrorText, "At least one output file must be specified");
  EXPECT_EQ(Ends[1].TaskIndex, -1);
}

// The stop comes from the main thread while the first of three tasks runs; every picture waits
// for the main thread, and so does the progress report the stopped run still makes. The worker
// holds after its third picture until the stop is on its way, so the run cannot end before.
TEST_F(EncoderTest, StoppingTheFirstOfThreeEndsEachTaskOnceWhileTheMainThreadServesCalls) {
  Encoder->SetProgressInterval(100);
  std::atomic<int> pictures{0};
  std::atomic<bool> stopping{false};
  std::atomic<int> progressWhileStopping{0};
  TEvent gate;
  Encoder->OnProgress = [&](TObject*, PProgressInfo info) {
    EXPECT_TRUE(InMainThread());
    if (stopping) progressWhileStopping++;
  };
  for (int k = 0; k < 3; k++) Adapters[k].OnWriteFrame = [&](TObject*, POutputFrameInfo) {
    Synchronize([&] { pictures++; });
    if (pictures == 3) gate.WaitFor();
  };
  for (int run = 0; run < 10; run++) {
    SCOPED_TRACE(::testing::Message() << "run " << run);
    AddTasks(3);
    pictures = 0;
    progressWhileStopping = 0;
    gate.ResetEvent();
    Encoder->StartTask(1);
    while (pictures < 3) CheckSynchronize();
    gate.SetEvent();
    stopping = true;
    Encoder->StopTasks(true);
    stopping = false;
    EXPECT_FALSE(Encoder->Task(0).Running());
    EXPECT_GE(progressWhileStopping, 1);
    WaitForRunEnd();
    {
      std::lock_guard<std::mutex> lock(Lock);
      ASSERT_EQ(Ends.size(), 4u);
      EXPECT_EQ(Ends[3].TaskIndex, -1);
      for (const TTerminateInfo& info : Ends) {
        EXPECT_FALSE(info.TaskIndex >= 0 && info.Completed) << info.TaskIndex;
        EXPECT_FALSE(info.HadError) << info.ErrorText;
      }
      Ends.pop_back();
      std::vector<int> order;
      for (const TTerminateInfo& info : Ends) order.push_back(info.TaskIndex);
      EXPECT_THAT(order, UnorderedElementsAre(0, 1, 2));
      Ends.clear();
    }
    {
      // The running task ended on its worker, the two that never started on threads of their
      // own: none on the main thread that stopped them.
      std::lock_guard<std::mutex> lock(Encoder->Lock);
      EXPECT_THAT(Encoder->EndedTasks, ElementsAre(0, 1, 2));
      for (uint32_t thread : Encoder->EndingThreads) EXPECT_NE(thread, MainThreadID());
      Encoder->EndingThreads.clear();
      Encoder->EndedTasks.clear();
    }
    Encoder->ClearTasks();
  }
}

// The handler of the run's last event frees the tasks at once, on the delivery thread, while the
// last worker still runs; the tasks must outlive it (AddressSanitizer and ThreadSanitizer tell).
TEST_F(EncoderTest, ClearingTheTasksFromTheLastEventWaitsForTheLastWorker) {
  Encoder->SetTriggerEventInMainThread(false);
  Encoder->TailMs = 5;
  std::atomic<int> cleared{0};
  Encoder->OnTerminate = [&](TObject*, const TTerminateInfo& info) {
    if (info.TaskIndex != -1) return;
    Encoder->ClearTasks();
    cleared++;
    RunEnded.SetEvent();
  };
  for (int run = 0; run < 12; run++) {
    AddTasks(1);
    Encoder->StartTask(1);
    WaitForRunEnd();
    EXPECT_EQ(Encoder->TaskCount(), 0);
  }
  EXPECT_EQ(cleared, 12);
}

TEST_F(EncoderTest, EventsRunOnTheThreadsTheirKindGoesTo) {
  std::mutex lock;
  std::vector<std::string> offMain;  // the events that ran off the main thread
  std::vector<int> hookDepths;
  int inputHooks = 0;
  auto note = [&](const char* event) {
    std::lock_guard<std::mutex> guard(lock);
    if (!InMainThread()) offMain.push_back(event);
  };
  Encoder->OnBeforeFindStreamInfo = [&](TObject* sender, AVFormatContext* context) {
    EXPECT_NE(context, nullptr);
    note("BeforeFindStreamInfo");
  };
  Encoder->OnProgress = [&](TObject*, PProgressInfo) { note("Progress"); };
  Encoder->OnVideoInputHook = [&](TObject*, PHookInfo info) {
    note("VideoInputHook");
    EXPECT_GT(info->Bitmap->Canvas().LockCount(), 0);
    hookDepths.push_back(static_cast<int>(info->Bitmap->PixelFormat()));
    inputHooks++;
    info->Detach = true;
  };
  Encoder->OnVideoOutputHook = [&](TObject*, PHookInfo) { note("VideoOutputHook"); };
  Encoder->OnTerminate = [&](TObject*, const TTerminateInfo& info) {
    note("Terminate");
    if (info.TaskIndex == -1) RunEnded.SetEvent();
  };
  Adapters[0].OnWriteFrame = [&](TObject*, POutputFrameInfo) { note("WriteFrame"); };
  AddTasks(1, false);
  TOutputOptions options = AdapterOptions();
  options.VideoInputHook = true;
  options.VideoOutputHook = true;
  options.HookBitsPixel = 32;
  ASSERT_TRUE(Encoder->SetOutputFile(0, AdapterOutputName(Adapters[0]), &options)) << Encoder->LastErrMsg();
  Encoder->StartTask(1);
  WaitForRunEnd();
  std::sort(offMain.begin(), offMain.end());
  offMain.erase(std::unique(offMain.begin(), offMain.end()), offMain.end());
  EXPECT_THAT(offMain, ElementsAre("VideoInputHook", "VideoOutputHook", "WriteFrame"));
  // Detached after its first picture.
  EXPECT_EQ(inputHooks, 1);
  EXPECT_THAT(hookDepths, ElementsAre(static_cast<int>(TPixelFormat::pf32bit)));
}

}  // namespace
}  // namespace vidorant::testing

#include "engine/runtime/InterruptCB.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "Isolated.h"
#include "platform/Event.h"
#include "platform/Synchronize.h"
#include "platform/ThreadID.h"

namespace vidorant {
namespace {

// A task stand-in: its check answers its own stop flag; calls counts how often it was asked.
struct TFakeTask {
  std::atomic<bool> Stop{false};
  std::atomic<int> Calls{0};
  bool Check(void* arg) {
    ++Calls;
    return static_cast<TFakeTask*>(arg)->Stop.load();
  }
  bool OtherCheck(void*) { return true; }
};

TEST(InterruptRegistry, AThreadWithoutEntryIsNeverInterrupted) {
  TInterruptCB cb;
  TFakeTask task;
  task.Stop = true;
  cb.AddInterrupt(7, &task, MethodInterruptCheck<&TFakeTask::Check>(&task));
  EXPECT_TRUE(cb.CheckInterrupt(7));
  EXPECT_FALSE(cb.CheckInterrupt(8));
  EXPECT_FALSE(cb.CheckInterrupt(0));
}

TEST(InterruptRegistry, SameThreadArgumentAndCheckTwiceLeaveOneEntry) {
  TInterruptCB cb;
  TFakeTask task, other;
  const TInterruptCheck check = MethodInterruptCheck<&TFakeTask::Check>(&task);
  cb.AddInterrupt(1, &task, check);
  cb.AddInterrupt(1, &task, check);
  EXPECT_EQ(cb.Count(), 1u);
  // A different argument, thread or check code is a different entry.
  cb.AddInterrupt(1, &other, check);
  cb.AddInterrupt(2, &task, check);
  cb.AddInterrupt(1, &task, MethodInterruptCheck<&TFakeTask::OtherCheck>(&task));
  EXPECT_EQ(cb.Count(), 4u);
  cb.RemoveInterrupt(1, &task, check);
  EXPECT_EQ(cb.Count(), 3u);
  cb.RemoveInterrupt(1, &task, check);  // already gone: nothing else is removed
  EXPECT_EQ(cb.Count(), 3u);
  cb.ClearInterrupts();
  EXPECT_EQ(cb.Count(), 0u);
  EXPECT_FALSE(cb.CheckInterrupt(1));
}

TEST(InterruptRegistry, TheThreadsFirstEntryDecides) {
  TInterruptCB cb;
  TFakeTask first, second;
  second.Stop = true;
  cb.AddInterrupt(3, &first, MethodInterruptCheck<&TFakeTask::Check>(&first));
  cb.AddInterrupt(3, &second, MethodInterruptCheck<&TFakeTask::Check>(&second));
  EXPECT_FALSE(cb.CheckInterrupt(3));
  EXPECT_EQ(second.Calls, 0);
  cb.RemoveInterrupt(3, &first, MethodInterruptCheck<&TFakeTask::Check>(&first));
  EXPECT_TRUE(cb.CheckInterrupt(3));
}

TEST(InterruptRegistry, EngineCallbackAsksTheCallingThreadsCheckOnly) {
  TFakeTask stopped, running;
  stopped.Stop = true;
  const TInterruptCheck check = MethodInterruptCheck<&TFakeTask::Check>(&stopped);
  FFInterruptCB().AddInterrupt(CurrentThreadID(), &stopped, check);
  EXPECT_EQ(EngineInterruptCallback(nullptr), 1);
  int otherThread = -1;
  std::thread([&] { otherThread = EngineInterruptCallback(nullptr); }).join();
  EXPECT_EQ(otherThread, 0);
  FFInterruptCB().RemoveInterrupt(CurrentThreadID(), &stopped, check);
  EXPECT_EQ(EngineInterruptCallback(nullptr), 0);
}

TEST(InterruptRegistry, ACheckThatThrowsDoesNotReachTheLibrary) {
  struct TThrowing {
    bool Check(void*) { throw std::runtime_error("check failed"); }
  } throwing;
  const TInterruptCheck check = MethodInterruptCheck<&TThrowing::Check>(&throwing);
  FFInterruptCB().AddInterrupt(CurrentThreadID(), nullptr, check);
  EXPECT_EQ(EngineInterruptCallback(nullptr), 0);
  FFInterruptCB().RemoveInterrupt(CurrentThreadID(), nullptr, check);
}

// A check that holds its thread until another thread answers, as the timeout check does when it
// logs through the main thread. Its waits are bounded, so a fault ends the case instead of
// hanging it.
struct TWaitingTask {
  TEvent Started;
  TEvent Answer;
  std::atomic<bool> Answered{false};
  bool Check(void*) {
    Started.SetEvent();
    Answered = Answer.WaitFor(3000) == TWaitResult::wrSignaled;
    return false;
  }
};

TEST(InterruptRegistry, OtherThreadsUseTheRegistryWhileACheckWaitsForThem) {
  const struct {
    const char* Name;
    std::function<void(TInterruptCB&, TFakeTask&)> Call;
  } kCalls[] = {
      {"add", [](TInterruptCB& cb, TFakeTask& t) { cb.AddInterrupt(100, &t, MethodInterruptCheck<&TFakeTask::Check>(&t)); }},
      {"remove", [](TInterruptCB& cb, TFakeTask& t) { cb.RemoveInterrupt(99, &t, MethodInterruptCheck<&TFakeTask::Check>(&t)); }},
      {"check", [](TInterruptCB& cb, TFakeTask&) { cb.CheckInterrupt(99); }},
      {"count", [](TInterruptCB& cb, TFakeTask&) { cb.Count(); }},
  };
  for (const auto& c : kCalls) {
    TInterruptCB cb;
    TFakeTask other;
    cb.AddInterrupt(99, &other, MethodInterruptCheck<&TFakeTask::Check>(&other));
    TWaitingTask waiting;
    std::thread worker([&] {
      cb.AddInterrupt(CurrentThreadID(), &waiting, MethodInterruptCheck<&TWaitingTask::Check>(&waiting));
      cb.CheckInterrupt(CurrentThreadID());
    });
    waiting.Started.WaitFor(INFINITE);
    c.Call(cb, other);
    waiting.Answer.SetEvent();
    worker.join();
    EXPECT_TRUE(waiting.Answered) << c.Name << " waited for the running check";
  }
}

TEST(InterruptRegistry, RemovalWaitsForTheEntrysRunningCheckAndServesItsCalls) {
  // The check's owner may be freed as soon as its removal returns, so removal waits for the
  // check; removal on the main thread keeps serving the check's calls to the main thread. A
  // registry that runs the check under its lock deadlocks here, which the time limit ends.
  RunIsolated([] {
    struct TLoggingTask {
      TEvent Started;
      TEvent Removed;
      std::atomic<bool> RemovedWhileRunning{false};
      bool Check(void*) {
        Started.SetEvent();
        Synchronize([] {});  // as a check that logs does
        RemovedWhileRunning = Removed.WaitFor(300) == TWaitResult::wrSignaled;
        return false;
      }
    } task;
    TInterruptCB cb;
    const TInterruptCheck check = MethodInterruptCheck<&TLoggingTask::Check>(&task);
    std::atomic<uint32_t> workerID{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
      workerID = CurrentThreadID();
      cb.AddInterrupt(workerID, &task, check);
      cb.CheckInterrupt(workerID);
      done = true;
    });
    task.Started.WaitFor(INFINITE);
    cb.RemoveInterrupt(workerID, &task, check);
    task.Removed.SetEvent();
    while (!done) CheckSynchronize();
    worker.join();
    EXPECT_FALSE(task.RemovedWhileRunning) << "removal returned while the entry's check ran";
    EXPECT_EQ(cb.Count(), 0u);
  }, TChildEnd::ceImmediate, 30);
}

}  // namespace
}  // namespace vidorant

#include "engine/runtime/InterruptCB.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

}  // namespace
}  // namespace vidorant

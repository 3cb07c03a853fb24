#include <pthread.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Event.h"
#include "platform/Mutex.h"
#include "platform/Synchronize.h"
#include "platform/Thread.h"
#include "platform/ThreadID.h"

namespace vidorant {
namespace {

// Serves synchronised calls on the test's main thread until done() holds; false when it still
// does not after a minute, so that a fault shows as a failure instead of a hung run.
template <class Done>
bool ServeUntil(Done done) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    CheckSynchronize();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(Synchronize, RunsTheCallOnTheMainThreadAndRethrowsInTheWorker) {
  ASSERT_TRUE(InMainThread());
  std::atomic<bool> done{false};
  uint32_t ranOn = 0;
  std::string caught;
  std::thread worker([&] {
    Synchronize([&] { ranOn = CurrentThreadID(); });
    try {
      Synchronize([] { throw std::runtime_error("raised on the main thread"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  ASSERT_TRUE(ServeUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(ranOn, MainThreadID());
  EXPECT_EQ(caught, "raised on the main thread");
}

TEST(Synchronize, OnTheMainThreadRunsAtOnceAndCallsTheWakeHookFromWorkers) {
  bool ran = false;
  Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);

  std::atomic<int> wakes{0};
  SetWakeMainThread([&] { wakes++; });
  std::atomic<bool> done{false};
  std::thread worker([&] {
    Synchronize([] {});
    done = true;
  });
  ASSERT_TRUE(ServeUntil([&] { return done.load(); }));
  worker.join();
  SetWakeMainThread(nullptr);
  EXPECT_EQ(wakes.load(), 1);
}

TEST(Synchronize, MainThreadWaitServesCallsOfTheThreadItWaitsFor) {
  int processed = 0;
  SetProcessMessages([&] { processed++; });
  TEvent finished;
  bool ranOnMain = false;
  std::thread worker([&] {
    Synchronize([&] { ranOnMain = InMainThread(); });
    finished.SetEvent();
  });
  // Without serving, the worker would wait for the main thread forever.
  EXPECT_EQ(WaitServingSynchronize(finished, INFINITE), TWaitResult::wrSignaled);
  worker.join();
  SetProcessMessages(nullptr);
  EXPECT_TRUE(ranOnMain);
  EXPECT_GT(processed, 0);
  TEvent never;
  EXPECT_EQ(WaitServingSynchronize(never, 30), TWaitResult::wrTimeout);
}

// A program without an event loop (the command-line converter) sets no message hook: its main
// thread then waits without waking on a timer, so each queued call must wake the wait itself.
TEST(Synchronize, WithoutAMessageHookEachQueuedCallWakesTheMainThreadsWait) {
  TEvent finished, gaveUp;
  std::atomic<int> ranOnMain{0};
  std::thread worker([&] {
    for (int i = 0; i < 3; i++) Synchronize([&] { ranOnMain += InMainThread() ? 1 : 0; });
    finished.SetEvent();
  });
  // Ends the wait should the calls never be served, so that the fault fails instead of hanging.
  std::thread watchdog([&] {
    if (finished.WaitFor(60000) == TWaitResult::wrTimeout) {
      gaveUp.SetEvent();
      finished.SetEvent();
    }
  });
  EXPECT_EQ(WaitServingSynchronize(finished, INFINITE), TWaitResult::wrSignaled);
  while (ranOnMain.load() < 3) CheckSynchronize();  // the worker's calls, after a give-up
  worker.join();
  watchdog.join();
  EXPECT_FALSE(gaveUp.IsSet());
  EXPECT_EQ(ranOnMain.load(), 3);
}

// Workers that end the moment their calls have run: the main thread must be done with a call
// (its notification included) before the worker can see it finished, since the call's record
// goes with the worker's frame. The sanitizers report any touch after that.
TEST(Synchronize, CallerMayEndTheMomentItsCallHasRun) {
  constexpr int kRounds = 40, kWorkers = 4, kCalls = 4;
  std::atomic<int> ran{0};
  for (int round = 0; round < kRounds; round++) {
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; w++)
      workers.emplace_back([&] {
        for (int c = 0; c < kCalls; c++) Synchronize([&] { ran++; });
        finished++;
      });
    // Answered as fast as the main thread can, so that workers often find their call done.
    while (finished.load() < kWorkers) {
      CheckSynchronize();
      std::this_thread::yield();
    }
    for (auto& worker : workers) worker.join();
  }
  EXPECT_EQ(ran.load(), kRounds * kWorkers * kCalls);
}

TEST(Event, WaiterMayDestroyTheEventOnceReleased) {
  // The setter is still inside SetEvent when the waiter returns; the event must be free to go.
  constexpr int kRounds = 200;
  int released = 0;
  for (int round = 0; round < kRounds; round++) {
    auto event = std::make_unique<TEvent>();
    std::thread setter([raw = event.get()] { raw->SetEvent(); });
    if (event->WaitFor(INFINITE) == TWaitResult::wrSignaled) released++;
    event.reset();
    setter.join();
  }
  EXPECT_EQ(released, kRounds);
}

TEST(Event, TimedWaitsAndManualReset) {
  TEvent event;
  EXPECT_EQ(event.WaitFor(20), TWaitResult::wrTimeout);
  EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout);

  // One SetEvent releases every waiter and the event stays set.
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; i++)
    waiters.emplace_back([&] {
      if (event.WaitFor(INFINITE) == TWaitResult::wrSignaled) released++;
    });
  event.SetEvent();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 3);
  EXPECT_EQ(event.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(event.WaitFor(10), TWaitResult::wrSignaled);

  event.ResetEvent();
  EXPECT_EQ(event.WaitFor(10), TWaitResult::wrTimeout);
  TEvent initiallySet(true);
  EXPECT_TRUE(initiallySet.IsSet());
}

TEST(Event, AWakeEndsOneWaitOrWakeAndLeavesTheEventUnset) {
  TEvent event, passed;
  // Sets the event should the wake be lost, so that the fault fails instead of hanging.
  std::thread watchdog([&] {
    if (passed.WaitFor(60000) == TWaitResult::wrTimeout) event.SetEvent();
  });
  event.Wake();
  // A plain wait does not take the wake; the next WaitOrWake does, though begun after it.
  EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout);
  EXPECT_EQ(event.WaitOrWake(INFINITE), TWaitResult::wrTimeout);
  EXPECT_FALSE(event.IsSet());
  passed.SetEvent();
  watchdog.join();
}

TEST(ThreadID, StablePerThreadAndDistinctAmongLiveThreads) {
  EXPECT_EQ(CurrentThreadID(), MainThreadID());
  EXPECT_EQ(CurrentThreadID(), CurrentThreadID());
  constexpr int kThreads = 8;
  std::vector<uint32_t> ids(kThreads);
  std::atomic<int> arrived{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; i++)
    threads.emplace_back([&, i] {
      ids[i] = CurrentThreadID();
      EXPECT_EQ(ids[i], CurrentThreadID());
      EXPECT_FALSE(InMainThread());
      arrived++;
      // Stay alive until all have taken their id, so the ids belong to live threads at once.
      while (arrived.load() < kThreads) std::this_thread::yield();
    });
  for (auto& t : threads) t.join();
  std::set<uint32_t> distinct(ids.begin(), ids.end());
  distinct.insert(MainThreadID());
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads + 1));
}

TEST(Thread, SuspendedThreadWaitsForResumeAndReportsItsResult) {
  std::atomic<bool> ran{false};
  TThread thread([&](TThread& self) {
    ran = true;
    self.ReturnValue = 42;
  }, true, "suspended");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(ran.load());
  EXPECT_EQ(thread.ThreadID(), 0u);
  thread.Resume();
  EXPECT_NE(thread.ThreadID(), 0u);
  EXPECT_NE(thread.ThreadID(), MainThreadID());
  EXPECT_EQ(thread.WaitFor(), 42);
  EXPECT_TRUE(ran.load());
  EXPECT_TRUE(thread.Finished());
}

TEST(Thread, NameTerminateAndEscapedException) {
  char name[32] = {};
  TThread named([&](TThread&) { pthread_getname_np(pthread_self(), name, sizeof name); }, false,
                "VidorantWorkerWithALongName");
  named.WaitFor();
  EXPECT_STREQ(name, "VidorantWorkerW");

  TThread polling([](TThread& self) {
    while (!self.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    throw std::runtime_error("stopped");
  }, false);
  polling.Terminate();
  polling.WaitFor();
  ASSERT_TRUE(polling.FatalException());
  EXPECT_THROW(std::rethrow_exception(polling.FatalException()), std::runtime_error);
}

TEST(Thread, OnTerminateRunsOnTheMainThreadAndFreeOnTerminateDeletes) {
  static std::atomic<bool> destroyed;
  destroyed = false;
  struct TCounted : TThread {
    explicit TCounted(std::atomic<bool>* go) : TThread("counted"), FGo(go) {}
    ~TCounted() override { destroyed = true; }
    void Execute() override {
      while (!*FGo) std::this_thread::yield();
    }
    std::atomic<bool>* FGo;
  };
  std::atomic<bool> go{false};
  auto* thread = new TCounted(&go);
  uint32_t terminateRanOn = 0;
  TObject* sender = nullptr;
  thread->OnTerminate = [&](TObject* s) {
    terminateRanOn = CurrentThreadID();
    sender = s;
  };
  thread->FreeOnTerminate = true;
  thread->Resume();
  go = true;
  ASSERT_TRUE(ServeUntil([&] { return destroyed.load(); }));
  EXPECT_EQ(terminateRanOn, MainThreadID());
  EXPECT_EQ(sender, static_cast<TObject*>(thread));
}

TEST(Thread, FreeOnTerminateThreadThatEndsAtOnceIsResumedSafely) {
  // Nothing to do: each thread may end and free itself while Resume is still at work on it.
  static std::atomic<int> freed;
  freed = 0;
  struct TEmpty : TThread {
    TEmpty() : TThread("empty") {}
    ~TEmpty() override { freed++; }
  };
  constexpr int kThreads = 5000;
  for (int i = 0; i < kThreads; i++) {
    auto* thread = new TEmpty();
    thread->FreeOnTerminate = true;
    thread->Resume();
  }
  ASSERT_TRUE(ServeUntil([&] { return freed.load() == kThreads; }));
}

TEST(Thread, DestroyingARunningThreadStopsItWhileServingItsCalls) {
  std::atomic<int> calls{0};
  {
    TThread thread([&](TThread& self) {
      while (!self.Terminated()) Synchronize([&] { calls++; });
    }, false);
    while (calls.load() == 0) CheckSynchronize();
  }
  EXPECT_GT(calls.load(), 0);
}

TEST(Thread, PriorityIsKept) {
  TThread thread([](TThread&) {}, true);
  thread.SetPriority(TThreadPriority::tpLower);
  thread.Resume();
  thread.WaitFor();
  EXPECT_EQ(thread.Priority(), TThreadPriority::tpLower);
}

TEST(Mutex, OwnedByTheObtainingThreadWithSystemTextOnFailure) {
  TMutex first, second;
  ASSERT_TRUE(first.Valid());
  EXPECT_NE(first.Handle(), second.Handle());
  std::string error;
  EXPECT_TRUE(first.Obtain(error));
  EXPECT_TRUE(first.Obtain(error));  // recursive
  bool foreignRelease = true;
  std::string foreignError;
  std::thread other([&] { foreignRelease = first.Release(foreignError); });
  other.join();
  EXPECT_FALSE(foreignRelease);
  EXPECT_FALSE(foreignError.empty());
  EXPECT_TRUE(first.Release(error));
  EXPECT_TRUE(first.Release(error));
  EXPECT_FALSE(first.Release(error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vidorant

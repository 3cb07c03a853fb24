// Every row of the codec lock manager's table: message, level and result.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/runtime/CodecLock.h"
#include "engine/runtime/FFLog.h"
#include "Isolated.h"
#include "platform/Format.h"

namespace vidorant {
namespace {

struct TLogged {
  TLogLevel Level;
  std::string Text;
};

// Captures the logger's messages on the logging thread, at every level. Several threads log at
// once when they take and release the codec lock, so the lines are guarded.
class TLogCapture {
public:
  TLogCapture() {
    FLogger.TriggerEventInMainThread = false;
    FLogger.SetLogLevel(llDebug);
    FLogger.OnLog = [this](TObject*, uint32_t, TLogLevel level, const std::string& text) {
      std::lock_guard<std::mutex> guard(FLock);
      FLines.push_back({level, text});
    };
  }
  std::vector<TLogged> Take() {
    std::lock_guard<std::mutex> guard(FLock);
    return std::exchange(FLines, {});
  }

private:
  TFFLogger FLogger;
  std::mutex FLock;
  std::vector<TLogged> FLines;
};

void ExpectOneLine(TLogCapture& log, TLogLevel level, const std::string& text) {
  const std::vector<TLogged> lines = log.Take();
  ASSERT_EQ(lines.size(), 1u) << "expected only: " << text;
  EXPECT_EQ(lines[0].Level, level);
  EXPECT_EQ(lines[0].Text, text);
}

int HandleIn(void* slot) { return static_cast<std::atomic<TMutex*>*>(slot)->load()->Handle(); }

// A mutex whose waits fail, as a wait on an abandoned or invalid handle does.
class TFailingMutex : public TMutex {
public:
  bool Obtain(std::string& error) override {
    error = "the wait was abandoned";
    return false;
  }
};

TEST(CodecLockManager, CreateObtainReleaseDestroyRows) {
  RunIsolated([] {
    TLogCapture log;
    void* slot = nullptr;
    ASSERT_EQ(CodecLockManager(&slot, lockCreate), 0);
    ASSERT_NE(slot, nullptr);
    const int handle = HandleIn(slot);
    ExpectOneLine(log, llDebug, Format("create codec mutex [%d].", handle));

    // The slot already points to a live handle.
    EXPECT_EQ(CodecLockManager(&slot, lockCreate), -1);
    ExpectOneLine(log, llError, Format("error, codec mutex [%d] already exist.", handle));

    EXPECT_EQ(CodecLockManager(&slot, lockObtain), 0);
    ExpectOneLine(log, llDebug, Format("obtain codec mutex [%d].", handle));

    // Release by a thread that does not own the mutex fails with the system's text.
    int foreign = 0;
    std::thread([&] { foreign = CodecLockManager(&slot, lockRelease); }).join();
    EXPECT_EQ(foreign, -1);
    ExpectOneLine(log, llError, Format("error, could not release codec mutex [%d]: Operation not permitted.", handle));

    EXPECT_EQ(CodecLockManager(&slot, lockRelease), 0);
    ExpectOneLine(log, llDebug, Format("release codec mutex [%d].", handle));

    EXPECT_EQ(CodecLockManager(&slot, lockDestroy), 0);
    EXPECT_EQ(slot, nullptr);
    ExpectOneLine(log, llDebug, Format("destory codec mutex [%d].", handle));

    // No handle: destroy is quiet, obtain and release fail.
    EXPECT_EQ(CodecLockManager(&slot, lockDestroy), 0);
    EXPECT_TRUE(log.Take().empty());
    EXPECT_EQ(CodecLockManager(&slot, lockObtain), -1);
    ExpectOneLine(log, llError, "error, codec mutex not available.");
    EXPECT_EQ(CodecLockManager(&slot, lockRelease), -1);
    ExpectOneLine(log, llError, "error, codec mutex not available.");

    EXPECT_EQ(CodecLockManager(&slot, 7), -1);
    ExpectOneLine(log, llError, "error, invalid codec mutex operation 7.");
  });
}

TEST(CodecLockManager, StaleHandleIsClosedWithAWarningBeforeCreating) {
  RunIsolated([] {
    TLogCapture log;
    void* first = nullptr;
    ASSERT_EQ(CodecLockManager(&first, lockCreate), 0);
    const int stale = HandleIn(first);
    log.Take();
    // A second slot while the process-wide handle is still set.
    void* second = nullptr;
    EXPECT_EQ(CodecLockManager(&second, lockCreate), 0);
    const std::vector<TLogged> lines = log.Take();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Level, llWarning);
    EXPECT_EQ(lines[0].Text, Format("warning, local codec mutex [%d] not destroyed.", stale));
    EXPECT_EQ(lines[1].Text, Format("create codec mutex [%d].", HandleIn(second)));
    EXPECT_NE(HandleIn(second), stale);
  });
}

TEST(CodecLockManager, CreationAndWaitFailuresAreReportedAndReturnMinusOne) {
  RunIsolated([] {
    TLogCapture log;
    SetCodecMutexFactory([](std::string& error) -> std::unique_ptr<TMutex> {
      error = "no more handles";
      return nullptr;
    });
    void* slot = nullptr;
    EXPECT_EQ(CodecLockManager(&slot, lockCreate), -1);
    EXPECT_EQ(slot, nullptr);
    ExpectOneLine(log, llError, "error, failed to create codec mutex: no more handles.");
    // Registration fails too, and leaves no manager behind.
    EXPECT_EQ(RegisterCodecLockManager(CodecLockManager), -1);
    log.Take();
    EXPECT_TRUE(ObtainCodecLock());
    EXPECT_TRUE(log.Take().empty());

    SetCodecMutexFactory([](std::string&) -> std::unique_ptr<TMutex> { return std::make_unique<TFailingMutex>(); });
    ASSERT_EQ(CodecLockManager(&slot, lockCreate), 0);
    const int handle = HandleIn(slot);
    log.Take();
    EXPECT_EQ(CodecLockManager(&slot, lockObtain), -1);
    ExpectOneLine(log, llError, Format("error, could not wait on codec mutex [%d]: the wait was abandoned.", handle));
  });
}

TEST(CodecLockManager, InertWhileFinalizing) {
  RunIsolated([] {
    TLogCapture log;
    SetCodecLockFinalizing(true);
    void* slot = nullptr;
    for (int op : {0, 1, 2, 3, 9}) EXPECT_EQ(CodecLockManager(&slot, op), 0) << op;
    EXPECT_EQ(slot, nullptr);
    EXPECT_TRUE(log.Take().empty());
  });
}

TEST(CodecLock, RegisteredManagerSerialisesThreadsAndReregisteringRemakesTheMutex) {
  RunIsolated([] {
    TLogCapture log;
    ASSERT_EQ(RegisterCodecLockManager(CodecLockManager), 0);
    ASSERT_EQ(RegisterCodecLockManager(CodecLockManager), 0);
    std::vector<TLogged> lines = log.Take();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].Text.rfind("destory codec mutex [", 0), 0u);
    EXPECT_EQ(lines[2].Text.rfind("create codec mutex [", 0), 0u);

    // Threads holding the lock never overlap.
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
      threads.emplace_back([&] {
        for (int i = 0; i < 200; i++) {
          TCodecLockGuard guard;
          if (!guard.Locked()) overlaps++;
          if (inside.fetch_add(1) != 0) overlaps++;
          std::this_thread::yield();
          inside.fetch_sub(1);
        }
      });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(overlaps.load(), 0);
  });
}

TEST(CodecLock, ReregisteringWhileThreadsUseTheLockKeepsEveryObtainPairedWithItsRelease) {
  // The loader registers the manager again on every load of avcodec; tasks on other threads may
  // be holding or waiting for the lock at that moment.
  RunIsolated([] {
    ASSERT_EQ(RegisterCodecLockManager(CodecLockManager), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> held{0};
    std::atomic<int> inside{0};
    std::atomic<int> failures{0};
    std::atomic<int> overlaps{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; t++)
      threads.emplace_back([&] {
        while (!stop) {
          if (!ObtainCodecLock()) {
            failures++;
            continue;
          }
          if (inside.fetch_add(1) != 0) overlaps++;
          std::this_thread::yield();
          inside.fetch_sub(1);
          if (!ReleaseCodecLock()) failures++;
          held++;
        }
      });
    int registrations = 0;
    for (int i = 0; i < 300; i++) registrations += RegisterCodecLockManager(CodecLockManager) == 0;
    // Each thread goes on using the lock after the last registration.
    for (const int before = held.load(); held.load() < before + 30;) std::this_thread::yield();
    stop = true;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(registrations, 300);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(overlaps.load(), 0);
  }, TChildEnd::ceImmediate, 60);
}

}  // namespace
}  // namespace vidorant

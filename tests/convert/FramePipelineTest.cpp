// The frame pipeline's order, bound and failures, counted in frames (never timed).
#include "convert/FramePipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <sys/resource.h>

namespace vidorant::testing {
namespace {

// A frame that says which submission it came from.
TGIFEncodedFrame Numbered(int number) {
  TGIFEncodedFrame frame;
  frame.Bytes = {static_cast<uint8_t>(number)};
  return frame;
}

// Frames finish out of order (the later ones sooner), yet arrive in order, and no more than the
// capacity are ever in flight: when frame k arrives, at most k + capacity frames were started.
// The first delivery is held until every worker has taken a frame and the submitter has filled
// the pipeline, so the bound is reached.
TEST(FramePipeline, FramesArriveInOrderWithNeverMoreInFlightThanTheBound) {
  for (int threads : {2, 3, 8}) {
    SCOPED_TRACE(::testing::Message() << threads << " threads");
    constexpr int Count = 40;
    int started = 0;
    int submitted = 0;
    int mostAhead = 0;
    std::vector<int> arrived;
    std::mutex lock;
    std::condition_variable changed;
    TFramePipeline pipeline(threads, [&](const TGIFEncodedFrame& frame) {
      std::unique_lock<std::mutex> held(lock);
      if (arrived.empty()) {
        changed.wait(held, [&] { return started >= threads && submitted >= pipeline.Capacity(); });
        EXPECT_EQ(submitted, pipeline.Capacity()) << "submitted past the bound while nothing was delivered";
      }
      mostAhead = std::max(mostAhead, started - static_cast<int>(arrived.size()));
      arrived.push_back(frame.Bytes[0]);
    });
    ASSERT_EQ(pipeline.Capacity(), threads * TFramePipeline::FramesPerThread);
    for (int i = 0; i < Count; ++i) {
      pipeline.Submit([&, i] {
        {
          std::lock_guard<std::mutex> guard(lock);
          ++started;
        }
        changed.notify_all();
        // Later frames of a group do less work than earlier ones.
        volatile int spin = 0;
        for (int k = 0; k < (threads - i % threads) * 20000; ++k) spin = spin + 1;
        return Numbered(i);
      });
      {
        std::lock_guard<std::mutex> guard(lock);
        ++submitted;
      }
      changed.notify_all();
    }
    pipeline.Drain();
    std::vector<int> expected(Count);
    for (int i = 0; i < Count; ++i) expected[i] = i;
    EXPECT_EQ(arrived, expected);
    EXPECT_LE(mostAhead, pipeline.Capacity());
    EXPECT_EQ(pipeline.MaxInFlight(), pipeline.Capacity());
  }
}

// The workers give way to the task's threads, which run at the normal priority and decode:
// their nice value is higher (on Linux each thread has one of its own).
TEST(FramePipeline, WorkersRunBelowTheNormalPriorityOfTheTasksThreads) {
  int makerNice = 0;
  std::atomic<int> workerNice{-100};
  TThread maker(
      [&](TThread&) {
        makerNice = getpriority(PRIO_PROCESS, 0);
        TFramePipeline pipeline(2, [](const TGIFEncodedFrame&) {});
        pipeline.Submit([&] {
          workerNice = getpriority(PRIO_PROCESS, 0);
          return Numbered(0);
        });
        pipeline.Drain();
      },
      false, "maker");
  maker.WaitFor();
  if (makerNice >= 10) GTEST_SKIP() << "started at nice " << makerNice << ": no lower priority can be asked";
  EXPECT_GT(workerNice.load(), makerNice);
}

// As one thread would: every frame before the failing one arrives, none after it, and the
// failure is raised on the submitting thread.
TEST(FramePipeline, AFailingFrameEndsDeliveryAfterTheFramesBeforeIt) {
  for (int threads : {1, 3}) {
    std::vector<int> arrived;
    TFramePipeline pipeline(threads, [&](const TGIFEncodedFrame& frame) { arrived.push_back(frame.Bytes[0]); });
    std::string failure;
    try {
      for (int i = 0; i < 12; ++i)
        pipeline.Submit([i] {
          if (i == 4) throw std::runtime_error("frame 4 failed");
          return Numbered(i);
        });
      pipeline.Drain();
    } catch (const std::exception& e) {
      failure = e.what();
    }
    EXPECT_EQ(failure, "frame 4 failed") << threads << " threads";
    EXPECT_EQ(arrived, (std::vector<int>{0, 1, 2, 3})) << threads << " threads";
  }
}

}  // namespace
}  // namespace vidorant::testing

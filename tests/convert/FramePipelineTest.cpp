// The frame pipeline's order, bound and failures, counted in frames (never timed).
#include "convert/FramePipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

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
// The first delivery is held until every worker has taken a frame, so the bound is reached.
TEST(FramePipeline, FramesArriveInOrderWithNeverMoreInFlightThanTheBound) {
  for (int threads : {2, 3, 8}) {
    SCOPED_TRACE(::testing::Message() << threads << " threads");
    constexpr int Count = 40;
    std::atomic<int> started{0};
    std::atomic<int> submitted{0};
    int mostAhead = 0;
    std::vector<int> arrived;
    std::mutex lock;
    std::condition_variable allStarted;
    TFramePipeline pipeline(threads, [&](const TGIFEncodedFrame& frame) {
      if (arrived.empty()) {
        std::unique_lock<std::mutex> held(lock);
        allStarted.wait(held, [&] { return started >= threads; });
        EXPECT_LE(submitted.load(), threads) << "submitted past the bound while nothing was delivered";
      }
      mostAhead = std::max(mostAhead, started.load() - static_cast<int>(arrived.size()));
      arrived.push_back(frame.Bytes[0]);
    });
    for (int i = 0; i < Count; ++i) {
      pipeline.Submit([&, i] {
        {
          std::lock_guard<std::mutex> guard(lock);
          ++started;
        }
        allStarted.notify_all();
        // Later frames of a group do less work than earlier ones.
        volatile int spin = 0;
        for (int k = 0; k < (threads - i % threads) * 20000; ++k) spin = spin + 1;
        return Numbered(i);
      });
      ++submitted;
    }
    pipeline.Drain();
    std::vector<int> expected(Count);
    for (int i = 0; i < Count; ++i) expected[i] = i;
    EXPECT_EQ(arrived, expected);
    EXPECT_LE(mostAhead, threads);
    EXPECT_EQ(pipeline.MaxInFlight(), threads);
  }
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

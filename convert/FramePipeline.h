// Frames reduced and compressed on a pool of threads while the task goes on decoding, and handed
// on in the order they were submitted. A frame's colour reduction and compression depend on that
// frame alone, so only the hand-over needs an order: whichever worker finishes the frame next in
// line delivers it, and any frames after it that are ready already.
//
// Memory stays bounded: at most Capacity() frames are in flight (submitted, not yet delivered),
// and Submit blocks until there is room, so neither a slow destination nor a fast decoder makes
// the queue grow. With one thread no pool is made: each frame is worked and delivered inside
// Submit, on the caller's thread.
// Scheduling: the decoder that feeds the pipeline is the part that cannot wait, since every
// frame depends on the one before and the workers have nothing to do while it is behind. So the
// workers run at a lower priority than the caller's threads, and a few frames per worker may
// wait in the queue: when both are runnable the decoder goes first, and the workers catch up
// whenever it waits. (Linux weighs a thread's priority against the threads of the same program
// first, where programs are grouped by session or service, which desktops do.)
// Failure: a frame whose work failed takes its turn like the others, so every frame before it is
// delivered, as when frames are worked one after another; that failure (or one of a delivery)
// is kept, nothing after it is delivered, and the next Submit or Drain raises it on the
// caller's thread.
// Ownership: owns its worker threads; joins them in the destructor (undelivered frames are
// dropped). Submit and Drain are called from one thread at a time.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "gif/GIFStreamWriter.h"
#include "platform/Thread.h"

namespace vidorant {

// As many as the machine runs at once (at least 1).
int DefaultFrameThreads();

class TFramePipeline {
public:
  // Makes one frame; runs on a worker. Carries its own copy of whatever it reads.
  using TWork = std::function<TGIFEncodedFrame()>;
  // Takes the frames in submission order, one call at a time.
  using TDeliver = std::function<void(const TGIFEncodedFrame&)>;
  // Frames in flight per worker: fewer left the decoder waiting for a free place while the
  // workers were still behind, more gained nothing measurable.
  static constexpr int FramesPerThread = 4;

  // threads below 1 count as 1. Capacity is FramesPerThread frames per thread.
  TFramePipeline(int threads, TDeliver deliver);
  ~TFramePipeline();
  TFramePipeline(const TFramePipeline&) = delete;
  TFramePipeline& operator=(const TFramePipeline&) = delete;

  // Queues the frame, first waiting while Capacity() frames are in flight. Raises the first
  // failure of an earlier frame instead of queueing.
  void Submit(TWork work);
  // Returns once every submitted frame has been delivered, or, after a failure, once no worker
  // is busy any more; then raises the failure. Delivery has ended for good when it returns.
  void Drain();

  int Capacity() const { return FCapacity; }
  // The most frames that were in flight at once.
  int MaxInFlight() const;

private:
  struct TJob {
    int64_t Sequence;
    TWork Work;
  };
  // A worked frame, or why it could not be made.
  struct TResult {
    std::optional<TGIFEncodedFrame> Frame;
    std::exception_ptr Failure;
  };
  void WorkerLoop();
  // Delivers the ready frames that are next in line, unless another thread does already.
  // Called and returns with the lock held.
  void DeliverReady(std::unique_lock<std::mutex>& lock);
  void Fail(std::exception_ptr failure);
  void RaiseFailure();

  const int FCapacity;
  TDeliver FDeliver;
  mutable std::mutex FLock;
  std::condition_variable FChanged;  // a job queued, a frame delivered, a worker idle, a failure
  std::deque<TJob> FQueue;
  std::map<int64_t, TResult> FReady;  // worked, waiting for the frames before them
  int64_t FSubmitted = 0;
  int64_t FDelivered = 0;
  int FBusy = 0;  // workers inside a work or a delivery
  bool FDelivering = false;
  bool FStopping = false;
  int FMaxInFlight = 0;
  std::exception_ptr FFailure;
  std::vector<std::unique_ptr<TThread>> FWorkers;
};

}  // namespace vidorant

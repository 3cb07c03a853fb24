// TFramePipeline: the bounded queue, the workers and the in-order hand-over.
#include "convert/FramePipeline.h"

#include <algorithm>
#include <optional>
#include <thread>

namespace vidorant {

namespace {

// Below the task's threads, which run at the normal priority and decode. "Lower" (five nice
// levels below normal) was not enough to let the decoder go first; "lowest" (ten) and "idle"
// (nineteen) did about as well as each other.
constexpr TThreadPriority WorkerPriority = TThreadPriority::tpLowest;

}  // namespace

int DefaultFrameThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

TFramePipeline::TFramePipeline(int threads, TDeliver deliver)
    : FCapacity(threads > 1 ? threads * FramesPerThread : 1), FDeliver(std::move(deliver)) {
  if (threads <= 1) return;  // worked inline, on the caller's thread
  for (int i = 0; i < threads; ++i) {
    auto worker = std::make_unique<TThread>([this](TThread&) { WorkerLoop(); }, true, "GIFFrame");
    worker->SetPriority(WorkerPriority);
    worker->Resume();
    FWorkers.push_back(std::move(worker));
  }
}

TFramePipeline::~TFramePipeline() {
  {
    std::lock_guard<std::mutex> lock(FLock);
    FStopping = true;
    FQueue.clear();
  }
  FChanged.notify_all();
  FWorkers.clear();  // joins each; a frame being worked is finished but not delivered
}

int TFramePipeline::MaxInFlight() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FMaxInFlight;
}

void TFramePipeline::RaiseFailure() {
  if (FFailure) std::rethrow_exception(FFailure);
}

void TFramePipeline::Fail(std::exception_ptr failure) {
  // The first failure is the cause; what fails after it only follows from it.
  if (!FFailure) FFailure = std::move(failure);
  FQueue.clear();
  FReady.clear();
  FChanged.notify_all();
}

void TFramePipeline::Submit(TWork work) {
  std::unique_lock<std::mutex> lock(FLock);
  if (FWorkers.empty()) {
    RaiseFailure();
    FMaxInFlight = 1;
    lock.unlock();
    try {
      FDeliver(work());
    } catch (...) {
      lock.lock();
      Fail(std::current_exception());
      throw;
    }
    lock.lock();
    ++FSubmitted;
    ++FDelivered;
    return;
  }
  FChanged.wait(lock, [this] { return FFailure || FSubmitted - FDelivered < FCapacity; });
  RaiseFailure();
  FQueue.push_back({FSubmitted++, std::move(work)});
  FMaxInFlight = std::max<int>(FMaxInFlight, static_cast<int>(FSubmitted - FDelivered));
  FChanged.notify_all();
}

void TFramePipeline::Drain() {
  std::unique_lock<std::mutex> lock(FLock);
  FChanged.wait(lock, [this] { return (FFailure && FBusy == 0) || FDelivered == FSubmitted; });
  RaiseFailure();
}

void TFramePipeline::WorkerLoop() {
  std::unique_lock<std::mutex> lock(FLock);
  for (;;) {
    FChanged.wait(lock, [this] { return FStopping || !FQueue.empty(); });
    if (FStopping) return;
    TJob job = std::move(FQueue.front());
    FQueue.pop_front();
    ++FBusy;
    lock.unlock();
    std::optional<TGIFEncodedFrame> frame;
    std::exception_ptr failure;
    try {
      frame = job.Work();
    } catch (...) {
      failure = std::current_exception();
    }
    job.Work = nullptr;  // the picture it carried goes now, outside the lock
    lock.lock();
    // A failed frame waits for its turn too: the frames before it still reach the destination,
    // exactly as when they are worked one after another.
    if (!FFailure && !FStopping) {
      FReady.emplace(job.Sequence, TResult{std::move(frame), failure});
      DeliverReady(lock);
    }
    --FBusy;
    FChanged.notify_all();
  }
}

void TFramePipeline::DeliverReady(std::unique_lock<std::mutex>& lock) {
  while (!FDelivering && !FFailure && !FStopping) {
    auto next = FReady.find(FDelivered);
    if (next == FReady.end()) return;
    TResult result = std::move(next->second);
    FReady.erase(next);
    if (result.Failure) {
      Fail(result.Failure);
      return;
    }
    FDelivering = true;
    lock.unlock();
    std::exception_ptr failure;
    try {
      FDeliver(*result.Frame);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    FDelivering = false;
    if (failure) {
      Fail(failure);
      return;
    }
    ++FDelivered;
    FChanged.notify_all();
  }
}

}  // namespace vidorant

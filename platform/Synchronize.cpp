#include "platform/Synchronize.h"

#include <chrono>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/ThreadID.h"

namespace vidorant {
namespace {

// One queued call, shared by the waiting worker and the queue: the worker may return the moment
// it sees Done set, so the main thread holds its own reference until it has finished setting it.
// Fn stays on the worker's stack; it is used only before Done is set, while the worker waits.
struct TSyncCall {
  explicit TSyncCall(const std::function<void()>& fn) : Fn(&fn) {}
  const std::function<void()>* Fn;
  std::exception_ptr Error;
  TEvent Done;
};

std::mutex gQueueLock;
std::deque<std::shared_ptr<TSyncCall>> gQueue;
// The event the main thread is waiting on while it serves calls, woken by each call queued; null
// when it is not waiting. Guarded by gQueueLock, so that a call is either seen queued before the
// wait starts or wakes it.
TEvent* gMainWait = nullptr;

std::mutex gHookLock;
std::function<void()> gWakeMainThread;
std::function<void()> gProcessMessages;

std::function<void()> CopyHook(const std::function<void()>& hook) {
  std::lock_guard<std::mutex> lock(gHookLock);
  return hook;
}

}  // namespace

void Synchronize(const std::function<void()>& fn) {
  if (InMainThread()) {
    fn();
    return;
  }
  auto call = std::make_shared<TSyncCall>(fn);
  {
    std::lock_guard<std::mutex> lock(gQueueLock);
    gQueue.push_back(call);
    if (gMainWait) gMainWait->Wake();
  }
  if (auto wake = CopyHook(gWakeMainThread)) wake();
  call->Done.WaitFor(INFINITE);
  // Taken out of the record, so that the exception goes with this thread and not with whichever
  // thread happens to drop the record last.
  if (std::exception_ptr error = std::exchange(call->Error, nullptr)) std::rethrow_exception(error);
}

bool CheckSynchronize() {
  if (!InMainThread()) return false;
  bool ranAny = false;
  for (;;) {
    std::shared_ptr<TSyncCall> call;
    {
      std::lock_guard<std::mutex> lock(gQueueLock);
      if (gQueue.empty()) break;
      call = gQueue.front();
      gQueue.pop_front();
    }
    try {
      (*call->Fn)();
    } catch (...) {
      call->Error = std::current_exception();
    }
    call->Done.SetEvent();
    ranAny = true;
  }
  return ranAny;
}

void SetWakeMainThread(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(gHookLock);
  gWakeMainThread = std::move(hook);
}

void SetProcessMessages(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(gHookLock);
  gProcessMessages = std::move(hook);
}

void ProcessMessages() {
  if (auto hook = CopyHook(gProcessMessages)) hook();
}

TWaitResult WaitServingSynchronize(TEvent& event, uint32_t timeoutMs) {
  if (!InMainThread()) return event.WaitFor(timeoutMs);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  // Each queued call wakes the wait, so a worker waits for the main thread only as long as the
  // call takes to run. The application's messages have no such signal: with a message hook the
  // wait is cut in slices to serve them.
  const bool messages = static_cast<bool>(CopyHook(gProcessMessages));
  for (;;) {
    CheckSynchronize();
    ProcessMessages();
    uint32_t slice = messages ? 10 : INFINITE;
    if (timeoutMs != INFINITE) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return event.WaitFor(0);
      if (static_cast<uint64_t>(left) < slice) slice = static_cast<uint32_t>(left);
    }
    TEvent* outer = nullptr;
    {
      std::lock_guard<std::mutex> lock(gQueueLock);
      if (!gQueue.empty()) continue;
      // A call served here may wait on another event in turn; that wait takes the wake-ups
      // until it ends.
      outer = std::exchange(gMainWait, &event);
    }
    const TWaitResult result = event.WaitOrWake(slice);
    {
      std::lock_guard<std::mutex> lock(gQueueLock);
      gMainWait = outer;
    }
    if (result == TWaitResult::wrSignaled) return result;
  }
}

}  // namespace vidorant

#include "platform/Event.h"

#include <chrono>

namespace vidorant {

void TEvent::SetEvent() {
  // Notified while the lock is held: a waiter cannot leave WaitFor before this call has let go
  // of the event, so whoever it releases may destroy the event at once (a synchronised call's
  // event lives on the waiting worker's stack; a thread's end event goes with its object).
  std::lock_guard<std::mutex> lock(FMutex);
  FSignaled = true;
  FChanged.notify_all();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(FMutex);
  FSignaled = false;
}

bool TEvent::IsSet() {
  std::lock_guard<std::mutex> lock(FMutex);
  return FSignaled;
}

void TEvent::Wake() {
  std::lock_guard<std::mutex> lock(FMutex);
  FWoken = true;
  FChanged.notify_all();
}

TWaitResult TEvent::WaitOrWake(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(FMutex);
  const auto ready = [this] { return FSignaled || FWoken; };
  if (timeoutMs == INFINITE)
    FChanged.wait(lock, ready);
  else
    FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
  FWoken = false;
  return FSignaled ? TWaitResult::wrSignaled : TWaitResult::wrTimeout;
}

TWaitResult TEvent::WaitFor(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(FMutex);
  if (timeoutMs == INFINITE) {
    FChanged.wait(lock, [this] { return FSignaled; });
    return TWaitResult::wrSignaled;
  }
  // A steady clock: changing the wall clock must not stretch or cut a time-out.
  bool signaled = FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FSignaled; });
  return signaled ? TWaitResult::wrSignaled : TWaitResult::wrTimeout;
}

}  // namespace vidorant

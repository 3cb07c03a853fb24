// A manual-reset event: once set it stays signalled, releasing every waiter, until reset.
// Invariant: SetEvent is done with the event before any waiter it releases returns, so a waiter
// may destroy the event at once (the event of a call record or of a thread object).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vidorant {

enum class TWaitResult { wrSignaled, wrTimeout };

// A wait time in milliseconds that never runs out.
constexpr uint32_t INFINITE = 0xFFFFFFFFu;

class TEvent {
public:
  explicit TEvent(bool initialState = false) : FSignaled(initialState) {}
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  void SetEvent();
  void ResetEvent();
  bool IsSet();
  // Waits until the event is set or timeoutMs milliseconds have passed (INFINITE: no limit).
  TWaitResult WaitFor(uint32_t timeoutMs = INFINITE);
  // Ends the WaitOrWake under way, or else the next one, early, without setting the event: how a
  // thread that hands the waiter more work gets its attention. WaitFor does not see it.
  void Wake();
  // As WaitFor, and also returns wrTimeout at the first Wake, which it takes.
  TWaitResult WaitOrWake(uint32_t timeoutMs);

private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  bool FSignaled;
  bool FWoken = false;
};

}  // namespace vidorant

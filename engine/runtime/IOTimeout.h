// The I/O timeout of one component (a task, a decoder): while it opens, probes or seeks an
// input, the libraries ask the engine's interrupt callback over and over; the check registered
// for the calling thread answers "interrupt" once the current blocking step has run longer than
// the timeout, or at once after a cancel from another thread.
// Invariants: a cancel is a flag of its own, so no later step's clock can undo it; it stays until
// the owner clears it (a stopped task stays stopped). Without a step in progress (no start time)
// only a cancel interrupts. The check is registered exactly while a TIOTimeoutScope lives.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>

namespace vidorant {

class TObject;

class TIOTimeout {
public:
  static constexpr int32_t DefaultTimeout = 10000;  // ms

  // sender: the component named in the log lines (not owned, may be null).
  explicit TIOTimeout(TObject* sender) : FSender(sender) {}
  TIOTimeout(const TIOTimeout&) = delete;
  TIOTimeout& operator=(const TIOTimeout&) = delete;

  // Milliseconds a blocking step may take; 0 or less waits for ever (only a cancel ends it).
  int32_t Timeout() const { return FTimeout; }
  void SetTimeout(int32_t milliseconds) { FTimeout = milliseconds; }

  // Starts the clock of the blocking step that follows (library clock, µs).
  void Stamp();
  // No step in progress: the clock stops (a cancel still holds).
  void Clear() { FStartTime = NoTime; }
  // From any thread: every blocking step of the owner, now and later, is interrupted.
  void Cancel() { FCancelled = true; }
  void ClearCancel() { FCancelled = false; }
  bool Cancelled() const { return FCancelled; }

  // The check: true interrupts the blocking call; logs why at llInfo.
  bool TimedOut();

private:
  static constexpr int64_t NoTime = std::numeric_limits<int64_t>::max();

  TObject* FSender;
  std::atomic<int32_t> FTimeout{DefaultTimeout};
  std::atomic<int64_t> FStartTime{NoTime};
  std::atomic<bool> FCancelled{false};
};

// Registers the timeout's check with the interrupt registry for the calling thread while it
// lives; on the way out the clock stops and the check is removed.
class TIOTimeoutScope {
public:
  explicit TIOTimeoutScope(TIOTimeout& timeout);
  ~TIOTimeoutScope();
  TIOTimeoutScope(const TIOTimeoutScope&) = delete;
  TIOTimeoutScope& operator=(const TIOTimeoutScope&) = delete;

private:
  TIOTimeout& FTimeout;
  uint32_t FThread;
};

}  // namespace vidorant

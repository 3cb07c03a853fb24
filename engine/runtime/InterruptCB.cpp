// The interrupt registry of InterruptCB.h. EngineInterruptCallback reaches the registry through
// an atomic pointer that the registry clears when it is destroyed, so a library call made while
// the process ends finds no registry instead of a dead one.
//
// A check runs outside the registry's lock. Each entry counts its running checks in a small
// record of its own (TRuns), shared by the entry and by every run: removal takes the entry out
// under the lock, so no new run of it can start, then waits on that record until the runs in
// progress have ended. A run reports its end to the record alone, never to the registry.
#include "engine/runtime/InterruptCB.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/Event.h"
#include "platform/Synchronize.h"
#include "platform/ThreadID.h"

namespace vidorant {

struct TInterruptCB::TRuns {
  std::mutex Lock;
  int Count = 0;      // guarded by Lock
  TEvent Idle{true};  // set exactly when Count is 0; both change under Lock
};

namespace {

std::atomic<TInterruptCB*> LiveRegistry{nullptr};

// The innermost check running on this thread, so that a check removing its own entry does not
// wait for itself.
thread_local const void* tRunningHere = nullptr;

}  // namespace

TInterruptCB::TInterruptCB() {
  TInterruptCB* expected = nullptr;
  LiveRegistry.compare_exchange_strong(expected, this);
}

TInterruptCB::~TInterruptCB() {
  TInterruptCB* expected = this;
  LiveRegistry.compare_exchange_strong(expected, nullptr);
  ClearInterrupts();
}

void TInterruptCB::AddInterrupt(uint32_t threadID, void* arg, TInterruptCheck check) {
  std::lock_guard<TCriticalSection> lock(FLock);
  for (const TEntry& e : FEntries)
    if (e.ThreadID == threadID && e.Arg == arg && e.Check.Code == check.Code) return;
  FEntries.push_back({threadID, check, arg, std::make_shared<TRuns>()});
}

void TInterruptCB::RemoveInterrupt(uint32_t threadID, void* arg, TInterruptCheck check) {
  std::shared_ptr<TRuns> runs;
  {
    std::lock_guard<TCriticalSection> lock(FLock);
    auto it = std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) {
      return e.ThreadID == threadID && e.Arg == arg && e.Check.Code == check.Code;
    });
    if (it == FEntries.end()) return;
    runs = std::move(it->Runs);
    FEntries.erase(it);
  }
  WaitUntilIdle({runs});
}

bool TInterruptCB::CheckInterrupt(uint32_t threadID) {
  TEntry entry;
  {
    std::lock_guard<TCriticalSection> lock(FLock);
    auto it = std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.ThreadID == threadID; });
    if (it == FEntries.end()) return false;
    entry = *it;
    std::lock_guard<std::mutex> counting(entry.Runs->Lock);
    if (entry.Runs->Count++ == 0) entry.Runs->Idle.ResetEvent();
  }
  // Ends the run however the check leaves (it may throw).
  struct TRunScope {
    TRuns& Runs;
    const void* Outer = tRunningHere;
    explicit TRunScope(TRuns& runs) : Runs(runs) { tRunningHere = &runs; }
    ~TRunScope() {
      tRunningHere = Outer;
      std::lock_guard<std::mutex> counting(Runs.Lock);
      if (--Runs.Count == 0) Runs.Idle.SetEvent();
    }
  } scope(*entry.Runs);
  return entry.Check.Code && entry.Check.Code(entry.Check.Object, entry.Arg);
}

void TInterruptCB::ClearInterrupts() {
  std::vector<std::shared_ptr<TRuns>> runs;
  {
    std::lock_guard<TCriticalSection> lock(FLock);
    for (TEntry& e : FEntries) runs.push_back(std::move(e.Runs));
    FEntries.clear();
  }
  WaitUntilIdle(runs);
}

void TInterruptCB::WaitUntilIdle(const std::vector<std::shared_ptr<TRuns>>& runs) {
  // The entries are out of the list, so no new run starts: once idle, a record stays idle.
  for (const std::shared_ptr<TRuns>& r : runs)
    if (r.get() != tRunningHere) WaitServingSynchronize(r->Idle, INFINITE);
}

size_t TInterruptCB::Count() {
  std::lock_guard<TCriticalSection> lock(FLock);
  return FEntries.size();
}

TInterruptCB& FFInterruptCB() {
  static TInterruptCB registry;
  return registry;
}

int EngineInterruptCallback(void* /*opaque*/) {
  try {
    TInterruptCB* registry = LiveRegistry.load();
    return registry && registry->CheckInterrupt(CurrentThreadID()) ? 1 : 0;
  } catch (...) {
    return 0;  // a check that throws cannot abort: the library must never see an exception
  }
}

}  // namespace vidorant

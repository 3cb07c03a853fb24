// The interrupt registry of InterruptCB.h. EngineInterruptCallback reaches the registry through
// an atomic pointer that the registry clears when it is destroyed, so a library call made while
// the process ends finds no registry instead of a dead one.
#include "engine/runtime/InterruptCB.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/ThreadID.h"

namespace vidorant {

namespace {

std::atomic<TInterruptCB*> LiveRegistry{nullptr};

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
  FEntries.push_back({threadID, check, arg});
}

void TInterruptCB::RemoveInterrupt(uint32_t threadID, void* arg, TInterruptCheck check) {
  std::lock_guard<TCriticalSection> lock(FLock);
  auto it = std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) {
    return e.ThreadID == threadID && e.Arg == arg && e.Check.Code == check.Code;
  });
  if (it != FEntries.end()) FEntries.erase(it);
}

bool TInterruptCB::CheckInterrupt(uint32_t threadID) {
  std::lock_guard<TCriticalSection> lock(FLock);
  for (const TEntry& e : FEntries)
    if (e.ThreadID == threadID) return e.Check.Code && e.Check.Code(e.Check.Object, e.Arg);
  return false;
}

void TInterruptCB::ClearInterrupts() {
  std::lock_guard<TCriticalSection> lock(FLock);
  FEntries.clear();
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

// Per-thread interrupt checks for the media libraries' blocking I/O. FFmpeg asks an interrupt
// callback over and over while it opens, probes or reads; the engine gives every format context
// and every byte stream it opens EngineInterruptCallback, which asks the check registered for
// the calling thread. So a stop of one task ends that task's blocking call and no other.
// Invariant: the registry never calls a check while holding its lock (a check may wait for
// another thread, such as the main thread when it logs, and that thread may be using the
// registry); and once RemoveInterrupt or ClearInterrupts has returned, no check of the removed
// entries is running, so their owners may be freed.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/CriticalSection.h"

namespace vidorant {

// A method pointer made plain: Code(Object, argument) returns true to abort the blocking call.
struct TInterruptCheck {
  bool (*Code)(void* object, void* arg) = nullptr;
  void* Object = nullptr;
};

// The check that calls object->*Method(arg).
template <auto Method, typename TOwner>
TInterruptCheck MethodInterruptCheck(TOwner* object) {
  return {[](void* o, void* arg) -> bool { return (static_cast<TOwner*>(o)->*Method)(arg); },
          object};
}

class TInterruptCB {
public:
  TInterruptCB();
  // Waits for checks still running, like ClearInterrupts.
  ~TInterruptCB();
  TInterruptCB(const TInterruptCB&) = delete;
  TInterruptCB& operator=(const TInterruptCB&) = delete;

  // Appends an entry unless one with the same thread, argument and check code exists.
  void AddInterrupt(uint32_t threadID, void* arg, TInterruptCheck check);
  // Deletes the first entry with that thread, argument and check code, then waits until no check
  // of that entry runs any more (on the main thread serving synchronised calls meanwhile). A
  // check that removes its own entry does not wait for itself.
  void RemoveInterrupt(uint32_t threadID, void* arg, TInterruptCheck check);
  // The first entry of the thread decides; false when the thread has none. The check runs
  // outside the registry's lock, so it may take its time and may add or remove entries.
  bool CheckInterrupt(uint32_t threadID);
  // Deletes every entry and waits for their running checks, as RemoveInterrupt does.
  void ClearInterrupts();
  size_t Count();

private:
  struct TRuns;
  struct TEntry {
    uint32_t ThreadID;
    TInterruptCheck Check;
    void* Arg;
    std::shared_ptr<TRuns> Runs;  // shared with the checks of this entry that are running
  };
  static void WaitUntilIdle(const std::vector<std::shared_ptr<TRuns>>& runs);

  TCriticalSection FLock;
  std::vector<TEntry> FEntries;
};

// The process-wide registry; it lives until static destruction at the end of the process.
TInterruptCB& FFInterruptCB();

// The callback handed to FFmpeg as {EngineInterruptCallback, nullptr}: 1 when the registry
// exists and the calling thread's check asks to abort, else 0. Never throws.
int EngineInterruptCallback(void* opaque);

}  // namespace vidorant

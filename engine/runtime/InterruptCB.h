// Per-thread interrupt checks for the media libraries' blocking I/O. FFmpeg asks an interrupt
// callback over and over while it opens, probes or reads; the engine gives every format context
// and every byte stream it opens EngineInterruptCallback, which asks the check registered for
// the calling thread. So a stop of one task ends that task's blocking call and no other.
// Invariant: a check runs under the registry's lock; it must be quick and must not add or
// remove entries.
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
  ~TInterruptCB();
  TInterruptCB(const TInterruptCB&) = delete;
  TInterruptCB& operator=(const TInterruptCB&) = delete;

  // Appends an entry unless one with the same thread, argument and check code exists.
  void AddInterrupt(uint32_t threadID, void* arg, TInterruptCheck check);
  // Deletes the first entry with that thread, argument and check code.
  void RemoveInterrupt(uint32_t threadID, void* arg, TInterruptCheck check);
  // The first entry of the thread decides; false when the thread has none.
  bool CheckInterrupt(uint32_t threadID);
  void ClearInterrupts();
  size_t Count();

private:
  struct TEntry {
    uint32_t ThreadID;
    TInterruptCheck Check;
    void* Arg;
  };
  TCriticalSection FLock;
  std::vector<TEntry> FEntries;
};

// The process-wide registry; it lives until static destruction at the end of the process.
TInterruptCB& FFInterruptCB();

// The callback handed to FFmpeg as {EngineInterruptCallback, nullptr}: 1 when the registry
// exists and the calling thread's check asks to abort, else 0. Never throws.
int EngineInterruptCallback(void* opaque);

}  // namespace vidorant

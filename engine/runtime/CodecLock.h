// The codec lock: one process-wide mutex that serialises the engine's codec opening and closing.
// The lock manager callback keeps the libraries' old interface (a mutex slot and an operation
// code) and reports through the logger; the loader registers it when avcodec loads and removes
// it when avcodec unloads, as the libraries once did with their own lock-manager registration.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Mutex.h"

namespace vidorant {

enum TCodecLockOp { lockCreate = 0, lockObtain = 1, lockRelease = 2, lockDestroy = 3 };

// Result 0 for success, -1 for failure.
using TLockManager = int (*)(void** mutex, int op);

// The engine's lock manager. While the loader finalises it does nothing and returns 0.
int CodecLockManager(void** mutex, int op);

// Registers a lock manager (nullptr removes it): the previous manager destroys its mutex, the new
// one creates one. Returns 0, or -1 when the new manager could not create its mutex (it is then
// not registered). Waits until no thread holds or waits for the codec lock (on the main thread
// serving synchronised calls meanwhile), so never call it while holding the lock.
int RegisterCodecLockManager(TLockManager manager);

// Obtains and releases the registered manager's mutex; true (and nothing to do) without one.
// A release pairs with an obtain of the same thread; one without it is refused (false) while a
// manager is registered.
bool ObtainCodecLock();
bool ReleaseCodecLock();

// Holds the codec lock for a scope: around every codec open and close.
class TCodecLockGuard {
public:
  TCodecLockGuard() : FLocked(ObtainCodecLock()) {}
  ~TCodecLockGuard() {
    if (FLocked) ReleaseCodecLock();
  }
  TCodecLockGuard(const TCodecLockGuard&) = delete;
  TCodecLockGuard& operator=(const TCodecLockGuard&) = delete;
  bool Locked() const { return FLocked; }

private:
  bool FLocked;
};

// Set by the loader's finalisation: from then on the lock manager is inert.
void SetCodecLockFinalizing(bool finalizing);

// Makes the mutexes the lock manager creates; nullptr with the system's text in error when it
// cannot. The default makes a TMutex. Replaced only to exercise failures.
using TCodecMutexFactory = std::function<std::unique_ptr<TMutex>(std::string& error)>;
void SetCodecMutexFactory(TCodecMutexFactory factory);

}  // namespace vidorant

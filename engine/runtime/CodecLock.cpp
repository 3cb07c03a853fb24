// The lock manager and its registration. The slot the manager is given points at the one
// process-wide handle (gCodecMutex); the handle owns its mutex until destroyed.
#include "engine/runtime/CodecLock.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "engine/runtime/FFLog.h"
#include "platform/Event.h"
#include "platform/Format.h"
#include "platform/Synchronize.h"

namespace vidorant {
namespace {

std::atomic<bool> gFinalizing{false};
std::atomic<TMutex*> gCodecMutex{nullptr};  // the process-wide handle; owns its mutex

std::mutex gFactoryLock;
TCodecMutexFactory gFactory;

// The registered manager and the slot it was given (the libraries' own codec mutex slot), and
// the threads using them. A thread is a user from the moment it asks for the lock until it has
// released it; a registration waits until there is none, and new users wait while it runs, so
// the mutex is never replaced or freed under a thread that holds or waits for it. gManager and
// gManagerSlot change only while replacing with no user; gManager is atomic because a thread
// holding nothing may look at it then.
std::mutex gRegistrationLock;
std::atomic<TLockManager> gManager{nullptr};
void* gManagerSlot = nullptr;
int gUsers = 0;                        // guarded by gRegistrationLock
bool gReplacing = false;               // guarded by gRegistrationLock
std::condition_variable gReplaceDone;  // a registration has ended
TEvent gNoUsers{true};                 // set exactly when gUsers is 0; both change under the lock
// How often this thread holds the lock through the registered manager (the mutex is recursive).
thread_local int tHeld = 0;

std::unique_ptr<TMutex> MakeMutex(std::string& error) {
  TCodecMutexFactory factory;
  {
    std::lock_guard<std::mutex> lock(gFactoryLock);
    factory = gFactory;
  }
  if (factory) return factory(error);
  auto mutex = std::make_unique<TMutex>();
  if (mutex->Valid()) return mutex;
  error = mutex->CreateError();
  return nullptr;
}

TMutex* HandleInSlot(void** slot) {
  if (!slot || !*slot) return nullptr;
  return static_cast<std::atomic<TMutex*>*>(*slot)->load();
}

void LogLock(TLogLevel level, const std::string& message) { FFLogger()->Log(nullptr, level, message); }

int CreateLock(void** slot) {
  if (TMutex* live = HandleInSlot(slot)) {
    LogLock(llError, Format("error, codec mutex [%d] already exist.", live->Handle()));
    return -1;
  }
  if (TMutex* stale = gCodecMutex.exchange(nullptr)) {
    LogLock(llWarning, Format("warning, local codec mutex [%d] not destroyed.", stale->Handle()));
    delete stale;
  }
  std::string error;
  std::unique_ptr<TMutex> mutex = MakeMutex(error);
  if (!mutex) {
    LogLock(llError, Format("error, failed to create codec mutex: %s.", error.c_str()));
    return -1;
  }
  const int handle = mutex->Handle();
  gCodecMutex = mutex.release();
  *slot = &gCodecMutex;
  LogLock(llDebug, Format("create codec mutex [%d].", handle));
  return 0;
}

int ObtainOrRelease(void** slot, bool obtain) {
  TMutex* mutex = HandleInSlot(slot);
  if (!mutex) {
    LogLock(llError, "error, codec mutex not available.");
    return -1;
  }
  std::string error;
  if (obtain ? mutex->Obtain(error) : mutex->Release(error)) {
    LogLock(llDebug, Format(obtain ? "obtain codec mutex [%d]." : "release codec mutex [%d].", mutex->Handle()));
    return 0;
  }
  LogLock(llError, Format(obtain ? "error, could not wait on codec mutex [%d]: %s."
                                 : "error, could not release codec mutex [%d]: %s.",
                          mutex->Handle(), error.c_str()));
  return -1;
}

int DestroyLock(void** slot) {
  TMutex* mutex = HandleInSlot(slot);
  if (!mutex) return 0;
  LogLock(llDebug, Format("destory codec mutex [%d].", mutex->Handle()));
  static_cast<std::atomic<TMutex*>*>(*slot)->store(nullptr);
  delete mutex;
  *slot = nullptr;
  return 0;
}

}  // namespace

int CodecLockManager(void** mutex, int op) {
  if (gFinalizing) return 0;
  switch (op) {
    case lockCreate: return CreateLock(mutex);
    case lockObtain: return ObtainOrRelease(mutex, true);
    case lockRelease: return ObtainOrRelease(mutex, false);
    case lockDestroy: return DestroyLock(mutex);
    default:
      LogLock(llError, Format("error, invalid codec mutex operation %d.", op));
      return -1;
  }
}

namespace {

void EndUse() {
  std::lock_guard<std::mutex> lock(gRegistrationLock);
  if (--gUsers == 0) gNoUsers.SetEvent();
}

// Destroys the old manager's mutex and has the new manager create one. Called with nobody using
// the lock and nobody able to start, but outside the registration lock: the manager logs, and a
// line may wait for the main thread.
int SwapManager(TLockManager manager) {
  if (TLockManager old = gManager) {
    old(&gManagerSlot, lockDestroy);
    gManager = nullptr;
    gManagerSlot = nullptr;
  }
  if (!manager) return 0;
  if (manager(&gManagerSlot, lockCreate) != 0) {
    gManagerSlot = nullptr;
    return -1;
  }
  gManager = manager;
  return 0;
}

}  // namespace

int RegisterCodecLockManager(TLockManager manager) {
  std::unique_lock<std::mutex> lock(gRegistrationLock);
  gReplaceDone.wait(lock, [] { return !gReplacing; });
  gReplacing = true;
  // Once replacing, the users only leave; on the main thread their calls to it are served.
  while (gUsers > 0) {
    lock.unlock();
    WaitServingSynchronize(gNoUsers, INFINITE);
    lock.lock();
  }
  lock.unlock();
  const int result = SwapManager(manager);
  lock.lock();
  gReplacing = false;
  gReplaceDone.notify_all();
  return result;
}

bool ObtainCodecLock() {
  TLockManager manager;
  {
    std::unique_lock<std::mutex> lock(gRegistrationLock);
    // A thread that holds the lock already is a user, so a waiting registration waits for it
    // anyway; making it wait in turn would deadlock.
    if (tHeld == 0) gReplaceDone.wait(lock, [] { return !gReplacing; });
    manager = gManager;
    if (!manager) return true;
    if (gUsers++ == 0) gNoUsers.ResetEvent();
  }
  // Outside the registration lock: obtaining may wait for another thread, which must still be
  // able to release.
  if (manager(&gManagerSlot, lockObtain) == 0) {
    tHeld++;
    return true;
  }
  EndUse();
  return false;
}

bool ReleaseCodecLock() {
  TLockManager manager;
  {
    std::lock_guard<std::mutex> lock(gRegistrationLock);
    manager = gManager;
  }
  // Nothing obtained through a manager on this thread: true when there is nothing to release,
  // false when a manager would refuse a release by a thread that does not hold its mutex.
  if (tHeld == 0) return !manager;
  const bool released = manager(&gManagerSlot, lockRelease) == 0;
  tHeld--;
  EndUse();
  return released;
}

void SetCodecLockFinalizing(bool finalizing) { gFinalizing = finalizing; }

void SetCodecMutexFactory(TCodecMutexFactory factory) {
  std::lock_guard<std::mutex> lock(gFactoryLock);
  gFactory = std::move(factory);
}

}  // namespace vidorant

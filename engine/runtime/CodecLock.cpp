// The lock manager and its registration. The slot the manager is given points at the one
// process-wide handle (gCodecMutex); the handle owns its mutex until destroyed.
#include "engine/runtime/CodecLock.h"

#include <atomic>
#include <mutex>

#include "engine/runtime/FFLog.h"
#include "platform/Format.h"

namespace vidorant {
namespace {

std::atomic<bool> gFinalizing{false};
std::atomic<TMutex*> gCodecMutex{nullptr};  // the process-wide handle; owns its mutex

std::mutex gFactoryLock;
TCodecMutexFactory gFactory;

// The registered manager and the slot it was given (the libraries' own codec mutex slot).
std::mutex gRegistrationLock;
TLockManager gManager = nullptr;
void* gManagerSlot = nullptr;

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

int RegisterCodecLockManager(TLockManager manager) {
  std::lock_guard<std::mutex> lock(gRegistrationLock);
  if (gManager) {
    gManager(&gManagerSlot, lockDestroy);
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

namespace {
// The registered manager is read under the registration lock but called outside it: obtaining
// may wait for another thread, which must still be able to release.
bool CallRegisteredManager(TCodecLockOp op) {
  TLockManager manager;
  {
    std::lock_guard<std::mutex> lock(gRegistrationLock);
    manager = gManager;
  }
  return !manager || manager(&gManagerSlot, op) == 0;
}
}  // namespace

bool ObtainCodecLock() { return CallRegisteredManager(lockObtain); }
bool ReleaseCodecLock() { return CallRegisteredManager(lockRelease); }

void SetCodecLockFinalizing(bool finalizing) { gFinalizing = finalizing; }

void SetCodecMutexFactory(TCodecMutexFactory factory) {
  std::lock_guard<std::mutex> lock(gFactoryLock);
  gFactory = std::move(factory);
}

}  // namespace vidorant

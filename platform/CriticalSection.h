// A recursive lock: the owning thread may enter again, and must leave as often as it entered.
// Usable with std::lock_guard / std::unique_lock.
#pragma once

#include <mutex>

namespace vidorant {

class TCriticalSection {
public:
  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }
  bool TryEnter() { return FMutex.try_lock(); }

  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

private:
  std::recursive_mutex FMutex;
};

}  // namespace vidorant

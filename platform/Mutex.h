// A lock object with an identity: it can be handed between parts of the program by its
// number, is owned by the thread that obtained it, and reports failures with the system's text.
// Obtaining is recursive; releasing from a thread that does not own it fails. The owner and
// depth are kept here too, so a foreign release is refused before it reaches the system (the
// thread checker counts such an unlock as a fault even when the system refuses it).
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace vidorant {

class TMutex {
public:
  TMutex();
  virtual ~TMutex();
  TMutex(const TMutex&) = delete;
  TMutex& operator=(const TMutex&) = delete;

  // False with the system's text in error when the lock could not be made.
  bool Valid() const { return FValid; }
  const std::string& CreateError() const { return FCreateError; }
  // Serial number, unique for the life of the process, starting at 1.
  int Handle() const { return FHandle; }

  // Waits without time-out. False with the system's text in error.
  virtual bool Obtain(std::string& error);
  virtual bool Release(std::string& error);

private:
  pthread_mutex_t FMutex;
  std::atomic<uint32_t> FOwner{0};  // thread id of the holder, 0 when free
  int FDepth = 0;                   // touched only by the holder
  bool FValid = false;
  std::string FCreateError;
  int FHandle;
};

}  // namespace vidorant

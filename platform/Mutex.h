// A lock object with an identity: it can be handed between parts of the program by its
// number, is owned by the thread that obtained it, and reports failures with the system's text.
// Obtaining is recursive; releasing from a thread that does not own it fails.
#pragma once

#include <pthread.h>

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
  bool FValid = false;
  std::string FCreateError;
  int FHandle;
};

}  // namespace vidorant

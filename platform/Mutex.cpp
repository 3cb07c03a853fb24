#include "platform/Mutex.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/ThreadID.h"

namespace vidorant {
namespace {

std::atomic<int> gNextHandle{1};

std::string SystemText(int code) {
  char buffer[256];
  return strerror_r(code, buffer, sizeof buffer);
}

}  // namespace

TMutex::TMutex() : FHandle(gNextHandle++) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  // Recursive like the platform mutexes the engine was designed around; a recursive mutex also
  // checks ownership on unlock, which turns a foreign release into an error instead of chaos.
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  int code = pthread_mutex_init(&FMutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  FValid = code == 0;
  if (!FValid) FCreateError = SystemText(code);
}

TMutex::~TMutex() {
  if (FValid) pthread_mutex_destroy(&FMutex);
}

bool TMutex::Obtain(std::string& error) {
  int code = FValid ? pthread_mutex_lock(&FMutex) : EINVAL;
  if (code != 0) {
    error = SystemText(code);
    return false;
  }
  if (FDepth++ == 0) FOwner = CurrentThreadID();
  return true;
}

bool TMutex::Release(std::string& error) {
  // What the system answers a thread that does not hold a recursive mutex.
  int code = !FValid ? EINVAL : FOwner != CurrentThreadID() ? EPERM : 0;
  if (code == 0) {
    if (--FDepth == 0) FOwner = 0;
    code = pthread_mutex_unlock(&FMutex);
  }
  if (code != 0) error = SystemText(code);
  return code == 0;
}

}  // namespace vidorant

#include "platform/ThreadID.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace vidorant {
namespace {

// The kernel's thread id: a positive pid_t, unique per live thread, so it fits 32 bits.
uint32_t QueryThreadID() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

const uint32_t gMainThreadID = QueryThreadID();

}  // namespace

uint32_t CurrentThreadID() {
  thread_local const uint32_t id = QueryThreadID();
  return id;
}

uint32_t MainThreadID() { return gMainThreadID; }

}  // namespace vidorant

// 32-bit thread identifiers: unique among the threads alive at one time (a finished thread's
// number may be reused later), and equal for every call made on the same thread.
#pragma once

#include <cstdint>

namespace vidorant {

uint32_t CurrentThreadID();
// The thread that initialised the process's static objects: the one running main().
uint32_t MainThreadID();
inline bool InMainThread() { return CurrentThreadID() == MainThreadID(); }

}  // namespace vidorant

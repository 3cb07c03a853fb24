// Running an event handler on the main thread: from any other thread the call is queued for the
// main thread and the caller waits until it has run (an exception it raised comes back to the
// caller); on the main thread it runs at once. A caller that holds a lock the main thread may
// wait for must not use it: the main thread would never run the call.
#pragma once

#include <functional>

namespace vidorant {

void CallInMainThread(const std::function<void()>& handler);

}  // namespace vidorant

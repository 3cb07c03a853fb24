// Running code on the main thread from any thread. A worker queues a call and waits until the
// main thread has run it; the main thread runs queued calls whenever it calls CheckSynchronize.
// The application makes that happen promptly by two hooks: the wake-up hook tells its event loop
// that calls are waiting, and the message hook lets a main thread that waits for a worker keep
// its event loop (and so the queued calls) going. Invariant: no code waits on the main thread
// without serving queued calls, or a worker waiting in Synchronize would never return.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/Event.h"

namespace vidorant {

// On the main thread runs fn at once. On any other thread queues fn, calls the wake-up hook,
// waits until the main thread has run it, and rethrows in the caller any exception fn raised.
void Synchronize(const std::function<void()>& fn);

// Runs every queued call on the main thread (a call from another thread does nothing).
// Returns true when at least one call ran.
bool CheckSynchronize();

// The hook is called from the queuing thread after a call was queued; it may be empty.
void SetWakeMainThread(std::function<void()> hook);
// The hook runs the application's pending messages; main-thread waits call it between checks.
void SetProcessMessages(std::function<void()> hook);
// Calls the message hook when one is set.
void ProcessMessages();

// Waits for an event. On the main thread the wait serves each queued call as it comes, and,
// when a message hook is set, the application's messages every few milliseconds; elsewhere it
// is a plain wait.
TWaitResult WaitServingSynchronize(TEvent& event, uint32_t timeoutMs = INFINITE);

}  // namespace vidorant

// Joins the engine's threads to Qt's event loop: a worker that queues a call for the main thread
// wakes the loop, which then runs the queued calls; a main thread that waits for a worker keeps
// the loop turning; and a task that previews gets a Qt window. Installed once at start-up, while
// the application object lives.
#pragma once

namespace vidorant {

// Installs the hooks for its life and removes them when it goes, so no hook outlives the
// application object it posts to. Make it after the QApplication and before any task runs.
class TMainThreadHooks {
public:
  TMainThreadHooks();
  ~TMainThreadHooks();
  TMainThreadHooks(const TMainThreadHooks&) = delete;
  TMainThreadHooks& operator=(const TMainThreadHooks&) = delete;
};

}  // namespace vidorant

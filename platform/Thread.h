// A thread object: created suspended or running, named, with a priority, joinable, or freeing
// itself when it ends (FreeOnTerminate). Stopping is cooperative: Terminate sets a flag that the
// thread's work polls. Invariant: every started thread is either joined (WaitFor, destructor)
// or frees itself; a TThread is never destroyed while its thread still uses it.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <thread>

#include "platform/Event.h"
#include "platform/TObject.h"

namespace vidorant {

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
public:
  using TThreadProc = std::function<void(TThread& thread)>;

  // Runs proc on a new thread, at once unless createSuspended (then Resume starts it). The name
  // is shown by debuggers and system tools (at most 15 characters are kept there).
  TThread(TThreadProc proc, bool createSuspended, std::string name = {});
  // A running thread is told to terminate and joined (serving main-thread calls meanwhile).
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts a suspended thread; does nothing once started. ThreadID is valid when it returns.
  void Resume();
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  bool Started() const { return FStarted; }
  bool Finished() { return FFinished.IsSet(); }
  // Waits until the thread has ended and returns ReturnValue. On the main thread the wait
  // serves synchronised calls. Not for a FreeOnTerminate thread (it may be gone already).
  int WaitFor();

  // The thread's priority; raising it above normal may be refused by the system, in which case
  // the thread runs at the highest priority it is allowed.
  void SetPriority(TThreadPriority priority);
  TThreadPriority Priority() const { return FPriority; }
  const std::string& Name() const { return FName; }
  // 0 until started.
  uint32_t ThreadID() const { return FThreadID; }
  // An exception that escaped the thread's work, else nullptr.
  std::exception_ptr FatalException() const { return FFatalException; }

  // Set before the thread ends: the object deletes itself after its work and OnTerminate.
  std::atomic<bool> FreeOnTerminate{false};
  // Runs on the main thread (through Synchronize) after the work, before the thread ends.
  std::function<void(TObject* Sender)> OnTerminate;
  int ReturnValue = 0;

protected:
  // For derived threads that override Execute: always created suspended, so that the object is
  // fully built before its work starts; the derived constructor may call Resume last. A derived
  // destructor must end the thread itself (Terminate, WaitFor) before its members go, since
  // this base's destructor runs only after them.
  explicit TThread(std::string name);
  virtual void Execute();

private:
  void Run();
  void ApplyPriority();

  TThreadProc FProc;
  std::string FName;
  std::thread FThread;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FStarted{false};
  std::atomic<uint32_t> FThreadID{0};
  std::atomic<TThreadPriority> FPriority{TThreadPriority::tpNormal};
  std::exception_ptr FFatalException;
  TEvent FRunning;   // set by the thread once its id, name and priority are in place
  TEvent FResumed;   // set by Resume when it is done with the object; the work waits for it
  TEvent FFinished;
};

}  // namespace vidorant

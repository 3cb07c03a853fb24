#include "platform/Thread.h"

#include <pthread.h>
#include <sys/resource.h>

#include "platform/Synchronize.h"
#include "platform/ThreadID.h"

namespace vidorant {
namespace {

// Nice values per priority; Linux schedules each thread by its own nice value.
int NiceValue(TThreadPriority priority) {
  switch (priority) {
    case TThreadPriority::tpIdle: return 19;
    case TThreadPriority::tpLowest: return 10;
    case TThreadPriority::tpLower: return 5;
    case TThreadPriority::tpNormal: return 0;
    case TThreadPriority::tpHigher: return -5;
    case TThreadPriority::tpHighest: return -10;
    case TThreadPriority::tpTimeCritical: return -20;
  }
  return 0;
}

}  // namespace

TThread::TThread(TThreadProc proc, bool createSuspended, std::string name)
    : FProc(std::move(proc)), FName(std::move(name)) {
  if (!createSuspended) Resume();
}

TThread::TThread(std::string name) : FName(std::move(name)) {}

TThread::~TThread() {
  if (FThread.joinable() && FThread.get_id() == std::this_thread::get_id()) {
    // A FreeOnTerminate thread deleting itself: nobody joins it.
    FThread.detach();
    return;
  }
  if (FStarted) {
    Terminate();
    WaitFor();
  }
}

void TThread::Resume() {
  bool expected = false;
  if (!FStarted.compare_exchange_strong(expected, true)) return;
  FThread = std::thread([this] { Run(); });
  FRunning.WaitFor(INFINITE);
  // The last touch of this object here: from now on the thread may end and free itself.
  FResumed.SetEvent();
}

void TThread::Execute() {
  if (FProc) FProc(*this);
}

void TThread::Run() {
  FThreadID = CurrentThreadID();
  pthread_setname_np(pthread_self(), FName.substr(0, 15).c_str());
  ApplyPriority();
  FRunning.SetEvent();
  // A FreeOnTerminate thread that ended at once would free this object under Resume, which is
  // still storing the handle and waiting for FRunning.
  FResumed.WaitFor(INFINITE);
  try {
    Execute();
  } catch (...) {
    FFatalException = std::current_exception();
  }
  if (OnTerminate) {
    try {
      Synchronize([this] { OnTerminate(this); });
    } catch (...) {
      if (!FFatalException) FFatalException = std::current_exception();
    }
  }
  // After FFinished is set another thread may destroy this object: read what is needed first.
  const bool freeSelf = FreeOnTerminate;
  FFinished.SetEvent();
  if (freeSelf) delete this;
}

int TThread::WaitFor() {
  if (!FStarted) return ReturnValue;
  WaitServingSynchronize(FFinished, INFINITE);
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
  return ReturnValue;
}

void TThread::SetPriority(TThreadPriority priority) {
  FPriority = priority;
  if (FThreadID != 0 && !FFinished.IsSet()) ApplyPriority();
}

void TThread::ApplyPriority() {
  // Best effort: an unprivileged process may lower but not raise a thread's priority.
  setpriority(PRIO_PROCESS, static_cast<id_t>(FThreadID.load()), NiceValue(FPriority));
}

}  // namespace vidorant

// The timeout check of IOTimeout.h and its registration with the interrupt registry.
#include "engine/runtime/IOTimeout.h"

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/InterruptCB.h"
#include "platform/ThreadID.h"

namespace vidorant {

void TIOTimeout::Stamp() { FStartTime = ff::av_gettime(); }

bool TIOTimeout::TimedOut() {
  if (FCancelled) {
    FFLogger()->Log(FSender, llInfo, "connecting/reading/writing canceled");
    return true;
  }
  const int64_t start = FStartTime;
  const int32_t timeout = FTimeout;
  if (start == NoTime || timeout <= 0 || ff::av_gettime() - start <= int64_t{timeout} * 1000) return false;
  FFLogger()->Log(FSender, llInfo, "connecting/reading/writing timeout");
  return true;
}

namespace {

bool CheckTimeout(void* timeout, void*) { return static_cast<TIOTimeout*>(timeout)->TimedOut(); }

TInterruptCheck CheckOf(TIOTimeout& timeout) { return TInterruptCheck{CheckTimeout, &timeout}; }

}  // namespace

TIOTimeoutScope::TIOTimeoutScope(TIOTimeout& timeout) : FTimeout(timeout), FThread(CurrentThreadID()) {
  FFInterruptCB().AddInterrupt(FThread, &FTimeout, CheckOf(FTimeout));
}

TIOTimeoutScope::~TIOTimeoutScope() {
  FTimeout.Clear();
  FFInterruptCB().RemoveInterrupt(FThread, &FTimeout, CheckOf(FTimeout));
}

}  // namespace vidorant

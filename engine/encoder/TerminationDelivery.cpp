// The termination deliveries (TerminationDelivery.h).
#include "engine/encoder/TerminationDelivery.h"

#include "engine/encoder/CallInMainThread.h"
#include "engine/runtime/FFLog.h"
#include "platform/Synchronize.h"

namespace vidorant {

uint64_t TDeliveryLedger::Issue() {
  std::lock_guard<std::mutex> lock(FLock);
  const uint64_t ticket = FNext++;
  FOutstanding.insert(ticket);
  FIdle.ResetEvent();
  return ticket;
}

void TDeliveryLedger::Done(uint64_t ticket) {
  std::lock_guard<std::mutex> lock(FLock);
  FOutstanding.erase(ticket);
  if (FOutstanding.empty()) FIdle.SetEvent();
  FChanged.notify_all();
}

void TDeliveryLedger::WaitForEarlier(uint64_t ticket) {
  std::unique_lock<std::mutex> lock(FLock);
  FChanged.wait(lock, [&] { return *FOutstanding.begin() >= ticket; });
}

bool TDeliveryLedger::Idle() {
  std::lock_guard<std::mutex> lock(FLock);
  return FOutstanding.empty();
}

void TDeliveryLedger::WaitIdle() {
  WaitServingSynchronize(FIdle);
  // The last Done may still be leaving the lock; the ledger may go once it has.
  std::lock_guard<std::mutex> lock(FLock);
}

void RunTerminateHandler(const TTerminateEvent& handler, TObject* sender, const TTerminateInfo& info,
                         bool inMainThread) {
  if (!handler) return;
  try {
    if (inMainThread)
      CallInMainThread([&] { handler(sender, info); });
    else
      handler(sender, info);
  } catch (const std::exception& e) {
    FFLogger()->Log(sender, llError, e.what());
  }
}

TDoTerminateThread::TDoTerminateThread(TTerminateEvent handler, TObject* sender, const TTerminateInfo& info,
                                       TDeliveryLedger& ledger, uint64_t ticket, bool waitForEarlier,
                                       bool inMainThread)
    : TThread("Deliver end"),
      FHandler(std::move(handler)),
      FSender(sender),
      FInfo(info),
      FLedger(ledger),
      FTicket(ticket),
      FWaitForEarlier(waitForEarlier),
      FInMainThread(inMainThread) {}

void TDoTerminateThread::Deliver(TTerminateEvent handler, TObject* sender, const TTerminateInfo& info,
                                 TDeliveryLedger& ledger, uint64_t ticket, bool waitForEarlier, bool inMainThread) {
  auto* thread = new TDoTerminateThread(std::move(handler), sender, info, ledger, ticket, waitForEarlier, inMainThread);
  thread->FreeOnTerminate = true;
  thread->Resume();
}

void TDoTerminateThread::Execute() {
  if (FWaitForEarlier) FLedger.WaitForEarlier(FTicket);
  if (!FLedger.Closed()) RunTerminateHandler(FHandler, FSender, FInfo, FInMainThread);
  // The last touch of the ledger: its owner may go from here on.
  FLedger.Done(FTicket);
}

}  // namespace vidorant

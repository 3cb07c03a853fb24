// The delivery of termination events. A task's end is handed to a short-lived thread of its own
// (TDoTerminateThread), so that the ending worker never waits for the main thread; the thread runs
// the handler, on the main thread when asked to. The ledger numbers the deliveries in the order
// they were handed over, so the event that closes a run can wait for every delivery before it,
// however many tasks ended at once, and so the component can wait for all of them before it goes.
// Invariant: every ticket issued is done exactly once, by its delivery thread, whatever the
// handler does; nothing touches the ledger after its ticket is done.
#pragma once

#include "engine/encoder/EncoderRecords.h"
#include "platform/Event.h"
#include "platform/Thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>

namespace vidorant {

using TTerminateEvent = std::function<void(TObject* Sender, const TTerminateInfo& ATerminateInfo)>;

class TDeliveryLedger {
public:
  TDeliveryLedger() = default;
  TDeliveryLedger(const TDeliveryLedger&) = delete;
  TDeliveryLedger& operator=(const TDeliveryLedger&) = delete;

  // A number for a delivery about to be handed over; numbers grow in the order of the calls.
  uint64_t Issue();
  // The delivery of the ticket is over.
  void Done(uint64_t ticket);
  // Waits until every delivery issued before the ticket is over. Not on the main thread, whose
  // synchronised calls the earlier deliveries may be waiting for.
  void WaitForEarlier(uint64_t ticket);
  // True when no delivery is outstanding.
  bool Idle();
  // Waits until no delivery is outstanding, on the main thread serving synchronised calls.
  void WaitIdle();

  // After Close no handler is run any more; the deliveries still end (and are done).
  void Close() { FClosed = true; }
  bool Closed() const { return FClosed; }

private:
  std::mutex FLock;
  std::condition_variable FChanged;
  std::set<uint64_t> FOutstanding;
  uint64_t FNext = 0;
  TEvent FIdle{true};  // set exactly while FOutstanding is empty
  std::atomic<bool> FClosed{false};
};

// One termination event on its way: runs the handler with its own copy of the record, after the
// earlier deliveries when waitForEarlier, on the main thread when inMainThread. Frees itself.
class TDoTerminateThread : public TThread {
public:
  // Hands the delivery to a new thread; the ticket comes from the ledger, issued by the caller
  // in the order the events must keep.
  static void Deliver(TTerminateEvent handler, TObject* sender, const TTerminateInfo& info, TDeliveryLedger& ledger,
                      uint64_t ticket, bool waitForEarlier, bool inMainThread);

protected:
  void Execute() override;

private:
  TDoTerminateThread(TTerminateEvent handler, TObject* sender, const TTerminateInfo& info, TDeliveryLedger& ledger,
                     uint64_t ticket, bool waitForEarlier, bool inMainThread);

  TTerminateEvent FHandler;
  TObject* FSender;  // the encoder component; outlives the ticket
  TTerminateInfo FInfo;
  TDeliveryLedger& FLedger;
  uint64_t FTicket;
  bool FWaitForEarlier;
  bool FInMainThread;
};

// Runs the handler of one termination event, on the main thread when inMainThread. A handler's
// exception is logged and goes no further: the deliveries after it must still come.
void RunTerminateHandler(const TTerminateEvent& handler, TObject* sender, const TTerminateInfo& info,
                         bool inMainThread);

}  // namespace vidorant

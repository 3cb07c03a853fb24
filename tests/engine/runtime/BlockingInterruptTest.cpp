// A blocking open on one thread ends when that thread's task stops, while another thread's
// blocking open goes on. Waits are bounded generously; the outcomes are asserted, not times.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>
#include <future>
#include <string>

#include "TestFiles.h"
#include "TestLibraries.h"
#include "TestLocale.h"
#include "engine/runtime/EngineIO.h"
#include "engine/runtime/InterruptCB.h"
#include "engine/runtime/UnicodeProtocol.h"
#include "platform/ThreadID.h"

namespace vidorant {
namespace {

using namespace std::chrono_literals;

// A task stand-in that registers its stop check for the thread it opens on.
struct TBlockedTask {
  std::atomic<bool> Stop{false};
  bool Check(void*) { return Stop.load(); }

  // Opens the name on a new thread; the future gives the open's result and what was read.
  std::future<std::pair<int, std::string>> OpenInBackground(const std::string& libName) {
    return std::async(std::launch::async, [this, libName] {
      const TInterruptCheck check = MethodInterruptCheck<&TBlockedTask::Check>(this);
      FFInterruptCB().AddInterrupt(CurrentThreadID(), this, check);
      std::unique_ptr<TEngineIO> io;
      const int rc = OpenEngineIO(libName, AVIO_FLAG_READ, nullptr, io);
      std::string got;
      if (rc == 0) {
        unsigned char buf[64];
        const int n = ff::avio_read(io->Context(), buf, sizeof buf);
        if (n > 0) got.assign(reinterpret_cast<char*>(buf), n);
      }
      FFInterruptCB().RemoveInterrupt(CurrentThreadID(), this, check);
      return std::make_pair(rc, got);
    });
  }
};

// Stops both tasks when a test ends early, so no background open stays blocked (the futures'
// destructors wait for them).
struct TStopAtEnd {
  TBlockedTask* A;
  TBlockedTask* B;
  ~TStopAtEnd() { A->Stop = B->Stop = true; }
};

// Opens both names on two threads, stops A's task and checks that A's open ends with the exit
// code while B's keeps waiting; then endB ends B's wait the ordinary way and B must read
// expectedB.
void ExpectStopEndsOnlyItsOwnOpen(const std::string& nameA, const std::string& nameB,
                                  const std::function<void()>& endB, const std::string& expectedB) {
  TBlockedTask taskA, taskB;
  auto openA = taskA.OpenInBackground(nameA);
  auto openB = taskB.OpenInBackground(nameB);
  TStopAtEnd stopAtEnd{&taskA, &taskB};  // declared after the futures: runs before they wait
  // Nobody feeds either one: both opens are blocked.
  ASSERT_EQ(openA.wait_for(300ms), std::future_status::timeout);
  ASSERT_EQ(openB.wait_for(0ms), std::future_status::timeout);

  taskA.Stop = true;
  ASSERT_EQ(openA.wait_for(10s), std::future_status::ready) << "the stop did not end the open";
  EXPECT_EQ(openA.get().first, AVERROR_EXIT);

  // B's check still says "go on": its open keeps waiting.
  EXPECT_EQ(openB.wait_for(300ms), std::future_status::timeout);
  endB();
  ASSERT_EQ(openB.wait_for(10s), std::future_status::ready);
  const auto [rcB, gotB] = openB.get();
  EXPECT_EQ(rcB, 0);
  EXPECT_EQ(gotB, expectedB);
}

TEST(BlockingInterrupt, StopEndsOneThreadsPipeOpenAndLeavesTheOtherWaiting) {
  if (!LoadTestLibraries()) return;
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  TTempFolder folder;
  // Non-ASCII names take the engine's own protocol, whose pipe waits ask the interrupt check.
  const std::string pipeA = folder.File("pipe-\xC3\xA0.fifo");
  const std::string pipeB = folder.File("pipe-\xC3\xA9.fifo");
  ASSERT_EQ(mkfifo(pipeA.c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(pipeB.c_str(), 0600), 0);
  ExpectStopEndsOnlyItsOwnOpen(
      FileNameToLib(pipeA), FileNameToLib(pipeB), [&] { std::ofstream(pipeB) << "data for B"; },
      "data for B");
}

// A free local TCP port (bound and released again).
int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  close(s);
  return ntohs(addr.sin_port);
}

// Connects to the local port, sends the text and closes (the end of the stream ends a read).
void SendTo(int port, const std::string& text) {
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  bool connected = false;
  for (int attempt = 0; attempt < 100 && !connected; ++attempt) {
    connected = connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (!connected) std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(connected);
  EXPECT_EQ(write(client, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(client);
}

TEST(BlockingInterrupt, StopEndsOneThreadsLibraryOpenAndLeavesTheOtherWaiting) {
  if (!LoadTestLibraries()) return;
  // A listening TCP open blocks inside the library until a client connects; it asks the
  // callback that OpenEngineIO handed to avio_open2.
  const int portA = FreePort(), portB = FreePort();
  auto url = [](int port) { return "tcp://127.0.0.1:" + std::to_string(port) + "?listen=1"; };
  ExpectStopEndsOnlyItsOwnOpen(url(portA), url(portB), [&] { SendTo(portB, "hi"); }, "hi");
}

}  // namespace
}  // namespace vidorant

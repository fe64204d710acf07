// On Windows the client's waits end as soon as a window message comes for the GUI thread,
// so the pump runs at once; every limit keeps its length however many messages come.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "retrieval/http_client.h"
#include "retrieval/socket.h"
#include "tests/retrieval/support/scripted_server.h"

namespace corvella {
namespace {

using Steady = std::chrono::steady_clock;

long long MsSince(Steady::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
}

// Handles every waiting message; returns how many there were.
int Pump() {
  int n = 0;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ++n;
  return n;
}

// Posts a message to a thread every `everyMs` until destroyed, like a user clicking away.
class MessageRain {
 public:
  MessageRain(DWORD thread, int everyMs)
      : worker_([this, thread, everyMs] {
          while (!stop_) {
            PostThreadMessageW(thread, WM_APP, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
          }
        }) {}
  ~MessageRain() {
    stop_ = true;
    worker_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

class MessageWaitTest : public ::testing::Test {
 protected:
  MessageWaitTest() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread gets its queue
    Pump();
  }
  // A connection to a server that takes the request and never answers.
  std::unique_ptr<StreamSocket> SilentConnection() {
    server.Then([](ServerConnection& c) { c.Pause(20000); });
    std::atomic<bool> cancel{false};
    return sockets->Connect({"127.0.0.1", server.port()}, cancel);
  }
  void PostToSelf() { PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0); }

  std::unique_ptr<SocketLayer> sockets = MakeSystemSocketLayer();
  ScriptedServer server{*sockets};
};

TEST_F(MessageWaitTest, SocketWaitsEndOnANewMessageButNotOnOneAlreadySeen) {
  auto stream = SilentConnection();
  char buffer[64];

  // Nothing to read and no message: the wait lasts its whole time.
  auto start = Steady::now();
  EXPECT_EQ(stream->Receive(buffer, sizeof buffer, 300), StreamSocket::kWaitElapsed);
  EXPECT_GE(MsSince(start), 300);

  // A message that comes during the wait ends it long before its time.
  start = Steady::now();
  {
    std::thread poster([thread = GetCurrentThreadId()] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      PostThreadMessageW(thread, WM_APP, 0, 0);
    });
    EXPECT_EQ(stream->Receive(buffer, sizeof buffer, 8000), StreamSocket::kWaitElapsed);
    poster.join();
  }
  EXPECT_GE(MsSince(start), 90);
  EXPECT_LT(MsSince(start), 4000);

  // A message already looked at does not end the next wait: a caller that leaves it in the
  // queue never spins.
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  start = Steady::now();
  EXPECT_EQ(stream->Receive(buffer, sizeof buffer, 300), StreamSocket::kWaitElapsed);
  EXPECT_GE(MsSince(start), 300);
  EXPECT_EQ(Pump(), 1);

  // Data still wins over a pending message: what came is read.
  PostToSelf();
  std::string big(8 * 1024 * 1024, 'x');  // more than the loopback buffers take at once
  long sent = 0;
  for (int i = 0; i < 64; ++i) {
    const long n = stream->SendSome(big, 300);
    if (n == StreamSocket::kWaitElapsed) break;
    sent += n;
  }
  EXPECT_GT(sent, 0);
  // The send side is full now (the server never reads): a send waits, and a new message
  // ends that wait too.
  Pump();
  start = Steady::now();
  std::thread poster([thread = GetCurrentThreadId()] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    PostThreadMessageW(thread, WM_APP, 0, 0);
  });
  EXPECT_EQ(stream->SendSome(big, 8000), StreamSocket::kWaitElapsed);
  poster.join();
  EXPECT_LT(MsSince(start), 4000);
  EXPECT_EQ(Pump(), 1);
}

TEST_F(MessageWaitTest, ClientPumpsForEveryMessageAndStillKeepsItsLimits) {
  // The program's slice of 250 ms: with messages every 10 ms the pump runs for them, not
  // only once per slice; the read limit still lasts its full time.
  HttpClient client(*sockets);
  client.timings.readTimeoutMs = 1500;
  int pumps = 0;
  client.pump = [&] {
    Pump();
    ++pumps;
  };
  server.Then([](ServerConnection& c) {
    c.ReadRequest();
    c.Pause(20000);
  });
  const auto start = Steady::now();
  std::string error;
  {
    MessageRain rain(GetCurrentThreadId(), 10);
    try {
      client.Get(server.Url("/index.php"));
    } catch (const HttpError& e) {
      error = e.what();
    }
  }
  EXPECT_EQ(error, "Read Timeout");
  EXPECT_GE(MsSince(start), 1500);
  // Once per slice would be 6; a message every 10 ms makes it many more.
  EXPECT_GE(pumps, 30);
}

// A lookup that takes its time, on a thread of its own.
class SlowLookup : public SocketLayer {
 public:
  explicit SlowLookup(SocketLayer& real) : real_(real) {}
  std::vector<Endpoint> Resolve(const std::string&, int port) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    return {{"127.0.0.1", port}};
  }
  std::unique_ptr<StreamSocket> Connect(const Endpoint& peer, const std::atomic<bool>& cancel) override {
    return real_.Connect(peer, cancel);
  }
  std::unique_ptr<ListeningSocket> ListenLoopback(int port) override { return real_.ListenLoopback(port); }
  std::unique_ptr<WaitSignal> MakeWaitSignal() override { return real_.MakeWaitSignal(); }

 private:
  SocketLayer& real_;
};

TEST_F(MessageWaitTest, WaitForTheLookupThreadPumpsForEveryMessage) {
  SlowLookup slow(*sockets);
  HttpClient client(slow);
  int pumps = 0;
  client.pump = [&] {
    Pump();
    ++pumps;
  };
  server.ThenAnswer({"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nfeed"});
  {
    MessageRain rain(GetCurrentThreadId(), 10);
    EXPECT_EQ(client.Get("http://localhost.velmar.example:" + std::to_string(server.port()) + "/"), "feed");
  }
  // Once per 125 ms slice would be about 6.
  EXPECT_GE(pumps, 20);

  // The signal itself: set from another thread it ends the wait; a message ends it early
  // without being set.
  auto signal = sockets->MakeWaitSignal();
  Pump();
  PostToSelf();
  EXPECT_FALSE(signal->Wait(5000));
  std::thread setter([&] { signal->Set(); });
  setter.join();
  EXPECT_TRUE(signal->Wait(5000));
  Pump();
}

}  // namespace
}  // namespace corvella

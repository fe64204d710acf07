// The socket layer over Winsock 2.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <mutex>

#include "common/deadline.h"
#include "common/handles_win32.h"
#include "common/message_wait_win32.h"
#include "common/unique_handle.h"
#include "retrieval/socket.h"

namespace corvella {
namespace {

namespace se = socket_errors;

struct SocketTraits {
  static constexpr Counted kCounted = Counted::Sockets;
  using handle_type = SOCKET;
  static SOCKET Invalid() { return INVALID_SOCKET; }
  static void Close(SOCKET s) { closesocket(s); }
};
using UniqueSocket = UniqueHandle<SocketTraits>;

constexpr int kCancelPollMs = 25;

[[noreturn]] void ThrowLast() { throw SocketError(WSAGetLastError()); }

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    int rc = WSAStartup(MAKEWORD(2, 2), &data);
    if (rc != 0) throw SocketError(rc);
  });
}

struct AddrInfoDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

AddrInfoList Lookup(const std::string& host, int port, int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  std::string service = std::to_string(port);
  int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (rc != 0) throw SocketError(rc == WSANO_DATA ? se::kNoData : rc);
  return AddrInfoList(list);
}

std::string NumericAddress(const sockaddr* addr, int len) {
  char text[NI_MAXHOST];
  if (getnameinfo(addr, static_cast<socklen_t>(len), text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
    return {};
  return text;
}

int PortOf(const sockaddr_storage& addr) {
  if (addr.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);
  return ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port);
}

void MakeNonBlocking(SOCKET s) {
  u_long on = 1;
  if (ioctlsocket(s, FIONBIO, &on) != 0) ThrowLast();
}

void SetNoDelay(SOCKET s) {
  BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

enum class Wait { Read, Connect };

// Waits for the socket; false when the time ran out. For Connect, a failed connect
// also ends the wait (the caller reads SO_ERROR).
bool WaitFor(SOCKET s, Wait what, int timeoutMs) {
  fd_set set;
  fd_set failed;
  FD_ZERO(&set);
  FD_ZERO(&failed);
  FD_SET(s, &set);
  FD_SET(s, &failed);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  int rc = select(0, what == Wait::Read ? &set : nullptr, what == Wait::Read ? nullptr : &set,
                  what == Wait::Connect ? &failed : nullptr, &tv);
  if (rc == SOCKET_ERROR) ThrowLast();
  return rc > 0;
}

// A stream's waits go through an event bound to the socket, so that they can end on a
// window message as well (see StreamSocket).
class WinsockStream : public StreamSocket {
 public:
  WinsockStream(UniqueSocket s, Endpoint peer)
      : event_(WSACreateEvent()), s_(std::move(s)), peer_(std::move(peer)) {
    if (!event_) ThrowLast();
  }

  long Receive(char* buffer, std::size_t size, int timeoutMs) override {
    if (!s_) throw SocketError(se::kNotConnected);
    int ask = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
    return Transfer(FD_READ | FD_CLOSE, timeoutMs, [&] { return recv(s_.get(), buffer, ask, 0); });
  }

  long SendSome(std::string_view bytes, int timeoutMs) override {
    if (!s_) throw SocketError(se::kNotConnected);
    int ask = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<int>(bytes.size());
    return Transfer(FD_WRITE | FD_CLOSE, timeoutMs, [&] { return send(s_.get(), bytes.data(), ask, 0); });
  }

  void ShutdownSend() override {
    if (s_) shutdown(s_.get(), SD_SEND);
  }

  void Abort() override {
    if (!s_) return;
    linger hard{1, 0};
    setsockopt(s_.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    s_.reset();
  }

  void Close() override { s_.reset(); }
  Endpoint Peer() const override { return peer_; }

 private:
  // Runs `io` until it moves bytes, fails, or the wait for `events` ends without them.
  // The event is armed before each try, so readiness that comes between the try and the
  // wait still ends the wait.
  template <class Io>
  long Transfer(long events, int timeoutMs, Io io) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
      WSAResetEvent(event_.get());
      if (WSAEventSelect(s_.get(), event_.get(), events) != 0) ThrowLast();
      int n = io();
      if (n >= 0) return n;
      int err = WSAGetLastError();
      if (err == WSAEINTR) continue;
      if (err != WSAEWOULDBLOCK) throw SocketError(err);
      if (WaitForObjectOrMessage(event_.get(), MillisecondsUntil(deadline)) != WaitEnd::Signalled)
        return kWaitElapsed;
    }
  }

  // Declared first, so the socket is closed before its event.
  UniqueKernelHandle event_;
  UniqueSocket s_;
  Endpoint peer_;
};

// Set by a lookup or connect thread; the GUI thread's wait for it also ends on a message.
class MessageWaitSignal : public WaitSignal {
 public:
  MessageWaitSignal() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!event_) throw SocketError(static_cast<int>(GetLastError()));
  }
  void Set() override { SetEvent(event_.get()); }
  bool Wait(int timeoutMs) override {
    return WaitForObjectOrMessage(event_.get(), timeoutMs) == WaitEnd::Signalled;
  }

 private:
  UniqueKernelHandle event_;
};

class WinsockListener : public ListeningSocket {
 public:
  WinsockListener(UniqueSocket s, int port) : s_(std::move(s)), port_(port) {}
  int port() const override { return port_; }

  std::unique_ptr<StreamSocket> Accept(int timeoutMs) override {
    if (!WaitFor(s_.get(), Wait::Read, timeoutMs)) return nullptr;
    sockaddr_storage addr{};
    int len = sizeof addr;
    UniqueSocket s(accept(s_.get(), reinterpret_cast<sockaddr*>(&addr), &len));
    if (!s) {
      int err = WSAGetLastError();
      if (err == WSAEWOULDBLOCK || err == WSAEINTR || err == WSAECONNRESET) return nullptr;
      throw SocketError(err);
    }
    MakeNonBlocking(s.get());
    SetNoDelay(s.get());
    Endpoint peer{NumericAddress(reinterpret_cast<sockaddr*>(&addr), len), PortOf(addr)};
    return std::make_unique<WinsockStream>(std::move(s), std::move(peer));
  }

 private:
  UniqueSocket s_;
  int port_;
};

class WinsockLayer : public SocketLayer {
 public:
  WinsockLayer() { StartWinsock(); }

  std::unique_ptr<WaitSignal> MakeWaitSignal() override { return std::make_unique<MessageWaitSignal>(); }

  std::vector<Endpoint> Resolve(const std::string& host, int port) override {
    if (host.empty()) throw SocketError(se::kHostNotFound);
    AddrInfoList list = Lookup(host, port, IsNumericHost(host) ? AI_NUMERICHOST : 0);
    std::vector<Endpoint> out;
    for (addrinfo* a = list.get(); a; a = a->ai_next) {
      std::string address = NumericAddress(a->ai_addr, static_cast<int>(a->ai_addrlen));
      if (!address.empty()) out.push_back({address, port});
    }
    if (out.empty()) throw SocketError(se::kNoData);
    return out;
  }

  std::unique_ptr<StreamSocket> Connect(const Endpoint& peer, const std::atomic<bool>& cancel) override {
    AddrInfoList list = Lookup(peer.address, peer.port, AI_NUMERICHOST);
    const addrinfo* a = list.get();
    UniqueSocket s(socket(a->ai_family, a->ai_socktype, a->ai_protocol));
    if (!s) ThrowLast();
    MakeNonBlocking(s.get());
    SetNoDelay(s.get());
    if (connect(s.get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      int err = WSAGetLastError();
      if (err != WSAEWOULDBLOCK && err != WSAEINPROGRESS) throw SocketError(err);
      while (!WaitFor(s.get(), Wait::Connect, kCancelPollMs)) {
        if (cancel.load()) throw SocketError(se::kTimedOut);
      }
      int soError = 0;
      int len = sizeof soError;
      if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len) != 0) ThrowLast();
      if (soError != 0) throw SocketError(soError);
    }
    return std::make_unique<WinsockStream>(std::move(s), peer);
  }

  std::unique_ptr<ListeningSocket> ListenLoopback(int port) override {
    UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s) ThrowLast();
    // Exclusive use, so that no other process can take over a test server's port.
    BOOL on = TRUE;
    setsockopt(s.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) ThrowLast();
    if (listen(s.get(), 16) != 0) ThrowLast();
    MakeNonBlocking(s.get());
    int len = sizeof addr;
    if (getsockname(s.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) ThrowLast();
    return std::make_unique<WinsockListener>(std::move(s), ntohs(addr.sin_port));
  }
};

}  // namespace

std::unique_ptr<SocketLayer> MakeSystemSocketLayer() { return std::make_unique<WinsockLayer>(); }

}  // namespace corvella

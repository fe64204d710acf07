// The socket layer over POSIX sockets. Errors are reported with Winsock's codes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/unique_handle.h"
#include "retrieval/socket.h"

namespace corvella {
namespace {

namespace se = socket_errors;

struct FdTraits {
  static constexpr Counted kCounted = Counted::Sockets;
  using handle_type = int;
  static int Invalid() { return -1; }
  static void Close(int fd) { ::close(fd); }
};
using UniqueFd = UniqueHandle<FdTraits>;

// A wait slice inside Connect, so that a cancel is noticed promptly.
constexpr int kCancelPollMs = 25;

int WinsockCode(int err) {
  switch (err) {
    case EINTR: return se::kInterrupted;
    case EACCES: return 10013;
    case EINVAL: return se::kInvalidArgument;
    case EMFILE: case ENFILE: return 10024;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return se::kAddressNotAvailable;
    case ENETDOWN: return se::kNetworkDown;
    case ENETUNREACH: return se::kNetworkUnreachable;
    case ENETRESET: return 10052;
    case ECONNABORTED: return se::kConnectionAborted;
    case ECONNRESET: case EPIPE: return se::kConnectionReset;
    case ENOBUFS: case ENOMEM: return se::kNoBufferSpace;
    case ENOTCONN: return se::kNotConnected;
    case ESHUTDOWN: return se::kShutdown;
    case ETIMEDOUT: return se::kTimedOut;
    case ECONNREFUSED: return se::kConnectionRefused;
    case EHOSTDOWN: return se::kHostDown;
    case EHOSTUNREACH: return se::kHostUnreachable;
    default: return err;
  }
}

[[noreturn]] void ThrowErrno() { throw SocketError(WinsockCode(errno)); }

int LookupCode(int eai) {
  switch (eai) {
    case EAI_NONAME: return se::kHostNotFound;
#ifdef EAI_NODATA
    case EAI_NODATA: return se::kNoData;
#endif
    case EAI_AGAIN: return se::kTryAgain;
    case EAI_SYSTEM: return WinsockCode(errno);
    case EAI_MEMORY: return se::kNoBufferSpace;
    default: return se::kNoRecovery;
  }
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
  if (rc != 0) throw SocketError(LookupCode(rc));
  return AddrInfoList(list);
}

std::string NumericAddress(const sockaddr* addr, socklen_t len) {
  char text[NI_MAXHOST];
  if (getnameinfo(addr, len, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) return {};
  return text;
}

int PortOf(const sockaddr_storage& addr) {
  if (addr.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);
  return ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port);
}

void MakeNonBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) ThrowErrno();
}

void SetNoDelay(int fd) {
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Waits for `events`; false when the time ran out.
bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  for (;;) {
    int rc = poll(&p, 1, timeoutMs);
    if (rc > 0) return true;
    if (rc == 0) return false;
    if (errno != EINTR) ThrowErrno();
  }
}

class PosixStream : public StreamSocket {
 public:
  PosixStream(UniqueFd fd, Endpoint peer) : fd_(std::move(fd)), peer_(std::move(peer)) {}

  long Receive(char* buffer, std::size_t size, int timeoutMs) override {
    if (!fd_) throw SocketError(se::kNotConnected);
    for (;;) {
      ssize_t n = recv(fd_.get(), buffer, size, 0);
      if (n >= 0) return static_cast<long>(n);
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) ThrowErrno();
      if (!WaitFor(fd_.get(), POLLIN, timeoutMs)) return kWaitElapsed;
      timeoutMs = 0;  // readable now; a second empty wait means nothing came
    }
  }

  long SendSome(std::string_view bytes, int timeoutMs) override {
    if (!fd_) throw SocketError(se::kNotConnected);
    for (;;) {
      ssize_t n = send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n > 0) return static_cast<long>(n);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ThrowErrno();
      if (!WaitFor(fd_.get(), POLLOUT, timeoutMs)) return kWaitElapsed;
      timeoutMs = 0;
    }
  }

  void ShutdownSend() override {
    if (fd_) ::shutdown(fd_.get(), SHUT_WR);
  }

  void Abort() override {
    if (!fd_) return;
    linger hard{1, 0};
    setsockopt(fd_.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    fd_.reset();
  }

  void Close() override { fd_.reset(); }
  Endpoint Peer() const override { return peer_; }

 private:
  UniqueFd fd_;
  Endpoint peer_;
};

class PosixListener : public ListeningSocket {
 public:
  PosixListener(UniqueFd fd, int port) : fd_(std::move(fd)), port_(port) {}
  int port() const override { return port_; }

  std::unique_ptr<StreamSocket> Accept(int timeoutMs) override {
    if (!WaitFor(fd_.get(), POLLIN, timeoutMs)) return nullptr;
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    UniqueFd fd(accept(fd_.get(), reinterpret_cast<sockaddr*>(&addr), &len));
    if (!fd) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) return nullptr;
      ThrowErrno();
    }
    fcntl(fd.get(), F_SETFD, FD_CLOEXEC);
    MakeNonBlocking(fd.get());
    SetNoDelay(fd.get());
    Endpoint peer{NumericAddress(reinterpret_cast<sockaddr*>(&addr), len), PortOf(addr)};
    return std::make_unique<PosixStream>(std::move(fd), std::move(peer));
  }

 private:
  UniqueFd fd_;
  int port_;
};

class PosixSocketLayer : public SocketLayer {
 public:
  std::vector<Endpoint> Resolve(const std::string& host, int port) override {
    if (host.empty()) throw SocketError(se::kHostNotFound);
    AddrInfoList list = Lookup(host, port, IsNumericHost(host) ? AI_NUMERICHOST : 0);
    std::vector<Endpoint> out;
    for (addrinfo* a = list.get(); a; a = a->ai_next) {
      std::string address = NumericAddress(a->ai_addr, a->ai_addrlen);
      if (!address.empty()) out.push_back({address, port});
    }
    if (out.empty()) throw SocketError(se::kNoData);
    return out;
  }

  std::unique_ptr<StreamSocket> Connect(const Endpoint& peer, const std::atomic<bool>& cancel) override {
    AddrInfoList list = Lookup(peer.address, peer.port, AI_NUMERICHOST);
    const addrinfo* a = list.get();
    UniqueFd fd(socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
    if (!fd) ThrowErrno();
    MakeNonBlocking(fd.get());
    SetNoDelay(fd.get());
    if (connect(fd.get(), a->ai_addr, a->ai_addrlen) != 0) {
      if (errno != EINPROGRESS && errno != EINTR) ThrowErrno();
      while (!WaitFor(fd.get(), POLLOUT, kCancelPollMs)) {
        if (cancel.load()) throw SocketError(se::kTimedOut);
      }
      int err = 0;
      socklen_t len = sizeof err;
      if (getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &len) != 0) ThrowErrno();
      if (err != 0) throw SocketError(WinsockCode(err));
    }
    return std::make_unique<PosixStream>(std::move(fd), peer);
  }

  std::unique_ptr<ListeningSocket> ListenLoopback(int port) override {
    UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) ThrowErrno();
    int on = 1;
    setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) ThrowErrno();
    if (listen(fd.get(), 16) != 0) ThrowErrno();
    MakeNonBlocking(fd.get());
    socklen_t len = sizeof addr;
    if (getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) ThrowErrno();
    return std::make_unique<PosixListener>(std::move(fd), ntohs(addr.sin_port));
  }
};

}  // namespace

std::unique_ptr<SocketLayer> MakeSystemSocketLayer() { return std::make_unique<PosixSocketLayer>(); }

}  // namespace corvella

// The narrow socket interface under the HTTP client: blocking name lookup, a cancellable
// connect, and stream reads and writes with a bounded wait. One adapter per platform
// (socket_posix.cpp, socket_win32.cpp). Error codes and texts are Winsock's on both.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

namespace corvella {

// Winsock error codes, used on every platform so that messages read the same.
namespace socket_errors {
inline constexpr int kInterrupted = 10004;
inline constexpr int kInvalidArgument = 10022;
inline constexpr int kAddressNotAvailable = 10049;
inline constexpr int kNetworkDown = 10050;
inline constexpr int kNetworkUnreachable = 10051;
inline constexpr int kConnectionAborted = 10053;
inline constexpr int kConnectionReset = 10054;
inline constexpr int kNoBufferSpace = 10055;
inline constexpr int kNotConnected = 10057;
inline constexpr int kShutdown = 10058;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kHostDown = 10064;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kHostNotFound = 11001;
inline constexpr int kTryAgain = 11002;
inline constexpr int kNoRecovery = 11003;
inline constexpr int kNoData = 11004;
}  // namespace socket_errors

// The text for a Winsock error code ("Connection refused.", "Host not found.").
std::string SocketErrorText(int code);

// "Socket Error # %d", CR LF, and the text for the code.
class SocketError : public Error {
 public:
  explicit SocketError(int code);
  int code() const { return code_; }

 private:
  int code_;
};

// A resolved peer: a numeric address and a port.
struct Endpoint {
  std::string address;  // numeric, "127.0.0.1" or "::1"
  int port = 0;
};

// One connected TCP stream. Receive and Send may be called from one thread at a time;
// Close may be called from another thread to abandon a blocked call.
//
// On Windows every wait of a stream also ends as soon as a window message arrives for the
// calling thread (one that came after the thread last looked at its queue), so that a GUI
// thread can pump at once; the wait then reports kWaitElapsed early, and the caller, who
// keeps the real limit, waits again after pumping. POSIX waits end only with their time.
class StreamSocket {
 public:
  static constexpr long kWaitElapsed = -1;
  // A send that cannot get rid of its bytes for this long fails with kTimedOut.
  static constexpr int kSendLimitMs = 60000;

  virtual ~StreamSocket() = default;
  // Waits up to timeoutMs for data. Returns the count read (> 0), 0 when the peer has
  // closed, or kWaitElapsed when nothing came. Throws SocketError.
  virtual long Receive(char* buffer, std::size_t size, int timeoutMs) = 0;
  // Writes what the socket takes now, waiting up to timeoutMs for room. Returns the count
  // written (> 0) or kWaitElapsed when nothing could be written. Throws SocketError.
  virtual long SendSome(std::string_view bytes, int timeoutMs) = 0;
  // Writes all bytes within kSendLimitMs, without pumping. Throws SocketError.
  void Send(std::string_view bytes);
  // Ends sending; the peer reads an orderly close.
  virtual void ShutdownSend() = 0;
  // Closes with a reset instead of an orderly close.
  virtual void Abort() = 0;
  virtual void Close() = 0;
  virtual Endpoint Peer() const = 0;
};

// A listening socket on the loopback interface (test servers and tools).
class ListeningSocket {
 public:
  virtual ~ListeningSocket() = default;
  virtual int port() const = 0;
  // Waits up to timeoutMs; nullptr when nobody connected in that time. Throws SocketError.
  virtual std::unique_ptr<StreamSocket> Accept(int timeoutMs) = 0;
};

// A one-shot signal from a helper thread (a lookup or connect) to the thread waiting for it.
class WaitSignal {
 public:
  virtual ~WaitSignal() = default;
  // Any thread; the signal stays set.
  virtual void Set() = 0;
  // Waits up to timeoutMs; true once set. On Windows it also returns false early when a
  // window message arrives for the calling thread, as the stream waits do.
  virtual bool Wait(int timeoutMs) = 0;
};

// A signal over a condition variable: waits end only when set or with their time.
std::unique_ptr<WaitSignal> MakePlainWaitSignal();

class SocketLayer {
 public:
  virtual ~SocketLayer() = default;
  // The signal the client waits on for its lookup and connect threads.
  virtual std::unique_ptr<WaitSignal> MakeWaitSignal() { return MakePlainWaitSignal(); }
  // Blocking name lookup; numeric addresses resolve without one. Throws SocketError.
  virtual std::vector<Endpoint> Resolve(const std::string& host, int port) = 0;
  // Connects, giving up early with kTimedOut once `cancel` is set. Throws SocketError.
  virtual std::unique_ptr<StreamSocket> Connect(const Endpoint& peer, const std::atomic<bool>& cancel) = 0;
  // Listens on 127.0.0.1 (port 0: any free port).
  virtual std::unique_ptr<ListeningSocket> ListenLoopback(int port) = 0;
};

// True for a dotted IPv4 address or an IPv6 literal: no name lookup is needed.
bool IsNumericHost(std::string_view host);

// The platform's sockets (POSIX or Winsock).
std::unique_ptr<SocketLayer> MakeSystemSocketLayer();

}  // namespace corvella

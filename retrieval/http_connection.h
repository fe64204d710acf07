// The client's one TCP connection: its peer, its read buffer, and waits cut into slices
// that run the message pump.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/deadline.h"
#include "retrieval/http_client.h"
#include "retrieval/http_reader.h"
#include "retrieval/socket.h"

namespace corvella {

class HttpConnection : public ByteSource {
 public:
  HttpConnection(std::unique_ptr<StreamSocket> socket, std::string host, int port);

  // True when this connection goes to `host` (case-insensitive) and `port`.
  bool GoesTo(std::string_view host, int port) const;

  // How reads and sends wait: slices of `sliceMs`, the pump after every empty slice (and
  // at once when the socket's wait ends early for a window message), and a read fails
  // with "Read Timeout" once one wait has lasted `limitMs` or `deadline` has come.
  void SetWaits(int sliceMs, int limitMs, const std::function<void()>* pump,
                SteadyClock::time_point deadline = SteadyClock::time_point::max());
  void SetLog(HttpTrafficLog* log) { log_ = log; }

  std::size_t Read(char* buffer, std::size_t size) override;
  // Throws HttpError with the socket layer's message.
  void Send(std::string_view bytes);
  HttpReader& reader() { return reader_; }
  // A read or write has met the peer's close or a socket error.
  bool lost() const { return lost_; }

 private:
  std::unique_ptr<StreamSocket> socket_;
  std::string host_;
  int port_;
  HttpReader reader_{*this};
  int sliceMs_ = http_limits::kIdleSliceMs;
  int limitMs_ = http_limits::kReadTimeoutMs;
  const std::function<void()>* pump_ = nullptr;
  SteadyClock::time_point deadline_ = SteadyClock::time_point::max();
  HttpTrafficLog* log_ = nullptr;
  bool lost_ = false;
};

}  // namespace corvella

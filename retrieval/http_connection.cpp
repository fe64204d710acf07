#include "retrieval/http_connection.h"

#include <algorithm>
#include <chrono>

#include "common/deadline.h"
#include "retrieval/http_messages.h"
#include "retrieval/http_text.h"

namespace corvella {

HttpConnection::HttpConnection(std::unique_ptr<StreamSocket> socket, std::string host, int port)
    : socket_(std::move(socket)), host_(std::move(host)), port_(port) {}

bool HttpConnection::GoesTo(std::string_view host, int port) const {
  return port == port_ && http_text::EqualsNoCase(host, host_);
}

void HttpConnection::SetWaits(int sliceMs, int limitMs, const std::function<void()>* pump,
                              SteadyClock::time_point deadline) {
  sliceMs_ = std::max(1, sliceMs);
  limitMs_ = std::max(0, limitMs);
  pump_ = pump;
  deadline_ = deadline;
}

std::size_t HttpConnection::Read(char* buffer, std::size_t size) {
  const auto deadline = std::min(deadline_, SteadyClock::now() + std::chrono::milliseconds(limitMs_));
  for (;;) {
    const int left = MillisecondsUntil(deadline);
    if (left <= 0) throw HttpError(std::string(http_messages::kReadTimeout));
    long n;
    try {
      n = socket_->Receive(buffer, size, std::min(sliceMs_, left));
    } catch (const SocketError& e) {
      lost_ = true;
      throw HttpError(e.what());
    }
    if (n >= 0) {
      if (n == 0) lost_ = true;
      if (log_ && log_->active && log_->record && n > 0)
        log_->record("recv", std::string_view(buffer, static_cast<std::size_t>(n)));
      return static_cast<std::size_t>(n);
    }
    if (pump_ && *pump_) (*pump_)();
  }
}

void HttpConnection::Send(std::string_view bytes) {
  if (log_ && log_->active && log_->record) log_->record("send", bytes);
  // The socket's own limit on a send that makes no headway, waited in slices like a read.
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(StreamSocket::kSendLimitMs);
  try {
    while (!bytes.empty()) {
      const int left = MillisecondsUntil(deadline);
      if (left <= 0) throw SocketError(socket_errors::kTimedOut);
      const long n = socket_->SendSome(bytes, std::min(sliceMs_, left));
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
      } else if (pump_ && *pump_) {
        (*pump_)();
      }
    }
  } catch (const SocketError& e) {
    lost_ = true;
    throw HttpError(e.what());
  }
}

}  // namespace corvella

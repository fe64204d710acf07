// The portable parts of the socket layer's waiting: a whole send over SendSome, and the
// plain wait signal.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "common/deadline.h"
#include "retrieval/socket.h"

namespace corvella {
namespace {

class PlainWaitSignal : public WaitSignal {
 public:
  void Set() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      set_ = true;
    }
    changed_.notify_all();
  }

  bool Wait(int timeoutMs) override {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs), [this] { return set_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace

std::unique_ptr<WaitSignal> MakePlainWaitSignal() { return std::make_unique<PlainWaitSignal>(); }

void StreamSocket::Send(std::string_view bytes) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kSendLimitMs);
  while (!bytes.empty()) {
    const int left = MillisecondsUntil(deadline);
    if (left <= 0) throw SocketError(socket_errors::kTimedOut);
    const long n = SendSome(bytes, left);
    if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace corvella

#include "retrieval/http_reader.h"

#include <cstring>
#include <string_view>

#include "retrieval/http_client.h"
#include "retrieval/http_messages.h"

namespace corvella {

bool HttpReader::Fill() {
  if (closed_) return false;
  if (pos_ == buffer_.size()) {
    buffer_.clear();
    pos_ = 0;
  } else if (pos_ > buffer_.size() / 2) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  std::size_t old = buffer_.size();
  buffer_.resize(old + http_limits::kRecvBufferSize);
  std::size_t n;
  try {
    n = source_.Read(buffer_.data() + old, http_limits::kRecvBufferSize);
  } catch (...) {
    buffer_.resize(old);
    throw;
  }
  buffer_.resize(old + n);
  if (n == 0) closed_ = true;
  return n > 0;
}

bool HttpReader::ReadLine(std::string& line, std::size_t maxLength) {
  std::size_t scanned = 0;
  for (;;) {
    const char* start = buffer_.data() + pos_;
    std::size_t available = buffer_.size() - pos_;
    const void* lf = std::memchr(start + scanned, '\n', available - scanned);
    if (lf) {
      std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
      std::size_t end = length;
      if (end > 0 && start[end - 1] == '\r') --end;
      if (end > maxLength) throw HttpError(std::string(http_messages::kMaxLineLengthExceeded));
      line.assign(start, end);
      pos_ += length + 1;
      return true;
    }
    // One byte more than the limit may still be the CR of the line end.
    if (available > maxLength + 1) throw HttpError(std::string(http_messages::kMaxLineLengthExceeded));
    scanned = available;
    if (!Fill()) {
      std::size_t end = buffer_.size() - pos_;
      if (end > maxLength) throw HttpError(std::string(http_messages::kMaxLineLengthExceeded));
      line.assign(buffer_.data() + pos_, end);
      pos_ = buffer_.size();
      return false;
    }
  }
}

std::size_t HttpReader::Read(std::size_t count, std::string* out) {
  std::size_t done = 0;
  while (done < count) {
    if (buffered() == 0 && !Fill()) break;
    std::size_t take = std::min(count - done, buffered());
    if (out) out->append(buffer_.data() + pos_, take);
    pos_ += take;
    done += take;
  }
  return done;
}

void HttpReader::ReadToClose(std::string* out, std::size_t limit) {
  std::size_t total = 0;
  for (;;) {
    if (buffered() == 0 && !Fill()) return;
    std::size_t take = buffered();
    if (take > limit - total) throw HttpError(std::string(http_messages::kBodyTooLarge));
    if (out) out->append(buffer_.data() + pos_, take);
    pos_ += take;
    total += take;
  }
}

void HttpReader::Reset() {
  buffer_.clear();
  pos_ = 0;
  closed_ = false;
}

}  // namespace corvella

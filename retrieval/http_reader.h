// Buffered reading of a response: lines, counted bytes, and everything until close.
#pragma once

#include <cstddef>
#include <string>

#include "retrieval/http_limits.h"

namespace corvella {

// Where response bytes come from: a connection, or memory in tests and fuzzing.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes, waiting as long as the source's policy allows; 0 when the
  // peer has closed. Throws HttpError on a failure or a wait past its limit.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

class HttpReader {
 public:
  explicit HttpReader(ByteSource& source) : source_(source) {}

  // Reads up to LF; `line` gets the text without it (a CR just before is removed).
  // False when the peer closed first: `line` then holds what came (maybe nothing).
  // Throws HttpError("Max line length exceeded.") for a longer line.
  bool ReadLine(std::string& line, std::size_t maxLength = http_limits::kMaxLineLength);
  // Waits until a byte is at hand; false when the peer closed first.
  bool Await() { return buffered() > 0 || Fill(); }
  // Reads `count` bytes, appending them to `out` unless it is null. Returns fewer only
  // when the peer closed.
  std::size_t Read(std::size_t count, std::string* out);
  // Reads until the peer closes; throws HttpError(body too large) past `limit` bytes.
  void ReadToClose(std::string* out, std::size_t limit);

  // A read has met the peer's close.
  bool closed() const { return closed_; }
  // Bytes received but not yet taken.
  std::size_t buffered() const { return buffer_.size() - pos_; }
  // Forgets the buffer and the close (a new connection).
  void Reset();

 private:
  bool Fill();
  ByteSource& source_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool closed_ = false;
};

}  // namespace corvella

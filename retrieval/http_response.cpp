#include "retrieval/http_response.h"

#include <algorithm>
#include <climits>

#include "retrieval/http_messages.h"
#include "retrieval/http_text.h"

namespace corvella {
namespace {

using namespace http_text;

[[noreturn]] void Fail(std::string_view message) { throw HttpError(std::string(message)); }

void TakeFromBudget(std::size_t& budget, std::size_t bytes) {
  if (bytes > budget) Fail(http_messages::kHeadTooLarge);
  budget -= bytes;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int ParseStatusCode(std::string_view statusLine) {
  std::size_t blank = statusLine.find(' ');
  if (blank == std::string_view::npos) return -1;
  std::string_view rest = Trim(statusLine.substr(blank + 1));
  rest = rest.substr(0, rest.find(' '));
  if (rest.empty() || rest.size() > 9) return -1;
  int value = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

long long ParseContentLength(std::string_view value) {
  value = Trim(value);
  if (value.empty()) return -1;
  long long n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return -1;
    int digit = c - '0';
    n = n > (LLONG_MAX - digit) / 10 ? LLONG_MAX : n * 10 + digit;
  }
  return n;
}

void ReadResponseHead(HttpReader& reader, HttpResponse& response, std::size_t& headBudget) {
  response = HttpResponse{};
  std::string line;
  if (!reader.ReadLine(line)) Fail(http_messages::kConnectionClosedGracefully);
  TakeFromBudget(headBudget, line.size() + 2);
  response.statusLine = line;
  for (;;) {
    bool complete = reader.ReadLine(line);
    TakeFromBudget(headBudget, line.size() + 2);
    if (line.empty()) break;
    if ((line[0] == ' ' || line[0] == '\t') && !response.headers.empty()) {
      // A continuation line belongs to the header before it.
      std::string& value = response.headers.back().second;
      std::string_view more = Trim(line);
      if (!more.empty()) {
        if (!value.empty()) value += ' ';
        value += more;
      }
    } else if (std::size_t colon = line.find(':'); colon != std::string::npos) {
      response.headers.emplace_back(std::string(Trim(std::string_view(line).substr(0, colon))),
                                    std::string(Trim(std::string_view(line).substr(colon + 1))));
    }
    if (!complete) break;
  }
  response.statusCode = ParseStatusCode(response.statusLine);
  response.contentLength = ParseContentLength(response.Header("Content-Length"));
  response.hasContentLength = response.contentLength >= 0;
  response.transferEncoding = response.Header("Transfer-Encoding");
  response.location = response.Header("Location");
  response.connection = response.Header("Connection");
  response.proxyConnection = response.Header("Proxy-Connection");
}

BodyFraming FramingOf(const HttpResponse& response) {
  if (response.contentLength > 0) return BodyFraming::Length;
  if (response.transferEncoding.find("chunked") != std::string::npos) return BodyFraming::Chunked;
  if (!response.hasContentLength) return BodyFraming::UntilClose;
  return BodyFraming::None;
}

std::optional<std::size_t> ParseChunkSize(std::string_view line, std::size_t limit) {
  line = Trim(line);
  line = line.substr(0, line.find_first_of(" \t;"));
  std::size_t size = 0;
  for (char c : line) {
    int digit = HexValue(c);
    if (digit < 0) return 0;
  }
  for (char c : line) {
    // Checked before shifting, so that no size past the limit is ever formed.
    auto digit = static_cast<std::size_t>(HexValue(c));
    if (digit > limit || size > (limit - digit) / 16) return std::nullopt;
    size = size * 16 + digit;
  }
  return size;
}

void ReadBody(HttpReader& reader, const HttpResponse& response, std::string* out, std::size_t limit,
              const std::function<void()>& chunkStarted) {
  switch (FramingOf(response)) {
    case BodyFraming::Length: {
      if (static_cast<unsigned long long>(response.contentLength) > limit) Fail(http_messages::kBodyTooLarge);
      auto count = static_cast<std::size_t>(response.contentLength);
      // Reserve only what is modest: the declared length is the peer's word, not a fact.
      if (out) out->reserve(out->size() + std::min<std::size_t>(count, 1 << 20));
      reader.Read(count, out);  // an early close leaves the bytes received so far
      return;
    }
    case BodyFraming::Chunked: {
      if (chunkStarted) chunkStarted();
      std::size_t total = 0;
      std::string line;
      if (!reader.ReadLine(line)) Fail(http_messages::kConnectionClosedGracefully);
      for (;;) {
        std::optional<std::size_t> size = ParseChunkSize(line, limit - total);
        if (!size) Fail(http_messages::kBodyTooLarge);
        if (*size == 0) break;
        if (reader.Read(*size, out) < *size) Fail(http_messages::kConnectionClosedGracefully);
        total += *size;
        if (!reader.ReadLine(line) || !reader.ReadLine(line)) Fail(http_messages::kConnectionClosedGracefully);
      }
      // The line after the last chunk; a close instead of it loses nothing.
      reader.ReadLine(line);
      return;
    }
    case BodyFraming::UntilClose:
      reader.ReadToClose(out, limit);
      return;
    case BodyFraming::None:
      return;
  }
}

}  // namespace corvella

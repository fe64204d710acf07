// Reading a response head and its body framing.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "retrieval/http_client.h"
#include "retrieval/http_reader.h"

namespace corvella {

// The status code of a status line: the text after the first blank, trimmed, up to the
// next blank, in decimal; -1 when that is not a number.
int ParseStatusCode(std::string_view statusLine);
// A trimmed decimal Content-Length; -1 when it is not a number. Values too large for
// the type saturate (they are over every limit anyway).
long long ParseContentLength(std::string_view value);

// Reads one status line and its header lines into `response` (all but lastModified).
// `headBudget` is what may still be read for heads in this exchange; it is reduced.
// Throws HttpError: "Connection Closed Gracefully." when the peer closes before the
// status line is complete, "Max line length exceeded.", or the head limit message.
// When the peer closes among the header lines, those read so far count.
void ReadResponseHead(HttpReader& reader, HttpResponse& response, std::size_t& headBudget);

// How a body is delimited, in the order the rules are tried.
enum class BodyFraming { Length, Chunked, UntilClose, None };
BodyFraming FramingOf(const HttpResponse& response);

// The size on a chunk size line: hex digits before the first blank or ";", 0 when they
// are not hexadecimal. Nothing when the number does not fit the limit (never allocated).
std::optional<std::size_t> ParseChunkSize(std::string_view line, std::size_t limit);

// Reads the body as its framing says, appending to `out` (or dropping it when null).
// Throws HttpError for a body past `limit` bytes, and passes on read failures.
// `chunkStarted` runs when a chunked body begins.
void ReadBody(HttpReader& reader, const HttpResponse& response, std::string* out, std::size_t limit,
              const std::function<void()>& chunkStarted);

}  // namespace corvella

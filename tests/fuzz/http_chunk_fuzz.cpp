// The chunk decoder on arbitrary bytes.
#include <cstdlib>

#include "retrieval/http_client.h"
#include "retrieval/http_response.h"
#include "tests/fuzz/http_fuzz_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvella;
  constexpr std::size_t kLimit = 1 << 16;
  FuzzSource source(data, size);
  HttpReader reader(source);
  HttpResponse response;
  response.transferEncoding = "chunked";
  try {
    std::string body;
    ReadBody(reader, response, &body, kLimit, nullptr);
    if (body.size() > kLimit) std::abort();
  } catch (const HttpError&) {
  }
  if (size > 0) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    auto chunk = ParseChunkSize(line, kLimit);
    if (chunk && *chunk > kLimit) std::abort();
  }
  return 0;
}

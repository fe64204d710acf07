// The response head parser, and the body framing it chooses, on arbitrary bytes.
#include <cstdlib>

#include "retrieval/http_client.h"
#include "retrieval/http_response.h"
#include "tests/fuzz/http_fuzz_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvella;
  FuzzSource source(data, size);
  HttpReader reader(source);
  HttpResponse response;
  try {
    std::size_t budget = http_limits::kMaxHeadBytes;
    do {
      ReadResponseHead(reader, response, budget);
    } while (response.statusCode == 100);
    if (budget > http_limits::kMaxHeadBytes) std::abort();
    if (response.hasContentLength != (response.contentLength >= 0)) std::abort();
    std::string body;
    ReadBody(reader, response, &body, 1 << 16, nullptr);
    if (body.size() > (1 << 16)) std::abort();
  } catch (const HttpError&) {
  }
  return 0;
}

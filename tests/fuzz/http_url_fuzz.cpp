// The URL parser: the input is a base URL and a reference, split at the first newline.
#include <cstdlib>
#include <string_view>

#include "retrieval/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvella;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t newline = text.find('\n');
  Url base = ParseUrl(text.substr(0, newline));
  Url url = newline == std::string_view::npos ? base : ParseUrl(text.substr(newline + 1), base);
  for (const Url* u : {&base, &url}) {
    if (u->path.empty() || u->path.front() != '/' || u->path.back() != '/') std::abort();
    if (!u->params.empty() && u->params.front() != '?') std::abort();
    if (u->port != -1 && (u->port < 1 || u->port > 65535)) std::abort();
    if (u->path.find("/../") != std::string::npos || u->path.find("/./") != std::string::npos) std::abort();
    if (RemoveDotSegments(u->path) != u->path) std::abort();
  }
  return 0;
}

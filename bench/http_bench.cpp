// GET over a kept connection on loopback: the program's client against libcurl, side by
// side in one run, for a 4 KiB and a 256 KiB body.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <string>

#include "retrieval/http_client.h"
#include "retrieval/socket.h"
#include "tests/retrieval/support/scripted_server.h"

namespace corvella {
namespace {

// A server that answers every request on a connection with the same response.
void ServeForever(ScriptedServer& server, std::size_t bodySize) {
  std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                         std::to_string(bodySize) + "\r\n\r\n" + std::string(bodySize, 'x');
  for (int i = 0; i < 4; ++i) {
    server.Then([response](ServerConnection& c) {
      while (!c.ReadRequest(60000).empty() && c.Send(response)) {
      }
    });
  }
}

void BM_HttpClientGet(benchmark::State& state) {
  auto sockets = MakeSystemSocketLayer();
  ScriptedServer server(*sockets);
  const auto size = static_cast<std::size_t>(state.range(0));
  ServeForever(server, size);
  HttpClient client(*sockets);
  const std::string url = server.Url("/bench");
  for (auto _ : state) {
    std::string body = client.Get(url);
    if (body.size() != size) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

std::size_t Append(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

void BM_CurlGet(benchmark::State& state) {
  auto sockets = MakeSystemSocketLayer();
  ScriptedServer server(*sockets);
  const auto size = static_cast<std::size_t>(state.range(0));
  ServeForever(server, size);
  CURL* curl = curl_easy_init();
  const std::string url = server.Url("/bench");
  std::string body;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/5.0 (compatible;)");
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  for (auto _ : state) {
    body.clear();
    if (curl_easy_perform(curl) != CURLE_OK || body.size() != size) state.SkipWithError("curl failed");
    benchmark::DoNotOptimize(body);
  }
  curl_easy_cleanup(curl);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Real time: a request is mostly waiting on the loopback peer.
BENCHMARK(BM_HttpClientGet)->Arg(4 * 1024)->Arg(256 * 1024)->UseRealTime();
BENCHMARK(BM_CurlGet)->Arg(4 * 1024)->Arg(256 * 1024)->UseRealTime();

}  // namespace
}  // namespace corvella

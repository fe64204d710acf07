// "get" and "head": one request; the body to stdout, the head to stderr.
#include <cstdio>
#include <optional>
#include <string>

#include "common/date_time.h"
#include "retrieval/http_client.h"
#include "retrieval/socket.h"
#include "tools/corvella-cli/commands.h"

namespace corvella::cli {
namespace {

struct RequestOptions {
  std::string proxyHost;
  int proxyPort = 0;
  std::string proxyUser, proxyPassword;
  std::string url;
};

std::optional<RequestOptions> ParseOptions(Args args) {
  RequestOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    bool hasValue = i + 1 < args.size();
    if (arg == "--proxy" && hasValue) {
      std::string_view value = args[++i];
      std::size_t colon = value.rfind(':');
      if (colon == std::string_view::npos) return std::nullopt;
      options.proxyHost.assign(value.substr(0, colon));
      try {
        options.proxyPort = std::stoi(std::string(value.substr(colon + 1)));
      } catch (const std::exception&) {
        return std::nullopt;
      }
      if (options.proxyHost.empty() || options.proxyPort <= 0 || options.proxyPort > 65535) return std::nullopt;
    } else if (arg == "--proxy-user" && hasValue) {
      options.proxyUser.assign(args[++i]);
    } else if (arg == "--proxy-password" && hasValue) {
      options.proxyPassword.assign(args[++i]);
    } else if (!arg.starts_with("--") && options.url.empty()) {
      options.url.assign(arg);
    } else {
      return std::nullopt;
    }
  }
  if (options.url.empty()) return std::nullopt;
  return options;
}

void PrintHead(const HttpResponse& response) {
  std::fprintf(stderr, "%s\n", response.statusLine.c_str());
  for (const auto& [name, value] : response.headers) std::fprintf(stderr, "%s: %s\n", name.c_str(), value.c_str());
  CivilTime t = DecodeDateTime(response.lastModified);
  std::fprintf(stderr, "LastModified: %04d-%02d-%02d %02d:%02d:%02d\n", t.date.year, t.date.month, t.date.day, t.hour,
               t.minute, t.second);
}

int Run(Args args, bool withBody) {
  std::optional<RequestOptions> options = ParseOptions(args);
  if (!options) {
    std::fprintf(stderr, "usage: corvella-cli %s [--proxy HOST:PORT] [--proxy-user U --proxy-password P] URL\n",
                 withBody ? "get" : "head");
    return 2;
  }
  std::unique_ptr<SocketLayer> sockets = MakeSystemSocketLayer();
  HttpClient client(*sockets);
  client.proxyServer = options->proxyHost;
  client.proxyPort = options->proxyPort;
  client.proxyUsername = options->proxyUser;
  client.proxyPassword = options->proxyPassword;
  try {
    if (withBody) {
      std::string body = client.Get(options->url);
      PrintHead(client.Response());
      std::fwrite(body.data(), 1, body.size(), stdout);
      std::fflush(stdout);
    } else {
      client.Head(options->url);
      PrintHead(client.Response());
    }
  } catch (const HttpError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace

int RunGet(Args args) { return Run(args, true); }
int RunHead(Args args) { return Run(args, false); }

}  // namespace corvella::cli

#include "gateway/http_front.h"

#include <curl/curl.h>

#include <utility>  // before Asio: Boost 1.74 needs std::exchange in C++20
// (kept apart so that include sorting leaves it first)
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "gateway/geocoder.h"

namespace corvella::gateway {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

constexpr std::string_view kFeedPath = "/index.php";
constexpr std::string_view kRatesPath = "/currency_base/daily/";
constexpr std::string_view kUpdatePath = "/soft/corv.exe";
constexpr std::int64_t kUpdateMaxAge = 3600;

bool SameText(std::string_view a, std::string_view b) {
  return beast::iequals(beast::string_view(a.data(), a.size()), beast::string_view(b.data(), b.size()));
}

// The target split by libcurl's URL parser: the host of an absolute form, the path and query.
struct Target {
  std::string host, path, query;
};

std::optional<Target> SplitTarget(std::string_view target) {
  std::unique_ptr<CURLU, void (*)(CURLU*)> u(curl_url(), curl_url_cleanup);
  if (!u) return std::nullopt;
  const bool absolute = target.size() > 7 && SameText(target.substr(0, 7), "http://");
  if (!absolute && (target.empty() || target[0] != '/')) return std::nullopt;
  std::string url = absolute ? std::string(target) : "http://origin" + std::string(target);
  if (curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return std::nullopt;
  auto part = [&](CURLUPart p) {
    char* s = nullptr;
    std::string out;
    if (curl_url_get(u.get(), p, &s, 0) == CURLUE_OK && s) out = s;
    curl_free(s);
    return out;
  };
  Target t{absolute ? part(CURLUPART_HOST) : std::string(), part(CURLUPART_PATH), part(CURLUPART_QUERY)};
  // The client names the default port; any other port or user information is not ours.
  const std::string port = absolute ? part(CURLUPART_PORT) : std::string();
  if (absolute && (!part(CURLUPART_USER).empty() || !(port.empty() || port == "80"))) t.host = "\x01";
  return t;
}

// The feed query: every key once, api_lang=ru, v=2, h=1, an affiliate and a numeric place id.
std::optional<std::string> FeedIdFromQuery(std::string_view query) {
  std::map<std::string, std::string, std::less<>> keys;
  while (!query.empty()) {
    std::size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    std::size_t eq = pair.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    int length = 0;
    std::string raw(pair.substr(eq + 1));
    char* v = curl_easy_unescape(nullptr, raw.c_str(), static_cast<int>(raw.size()), &length);
    if (!v) return std::nullopt;
    std::string value(v, static_cast<std::size_t>(length));
    curl_free(v);
    if (!keys.emplace(std::string(pair.substr(0, eq)), value).second) return std::nullopt;
  }
  auto is = [&](const char* key, std::string_view want) {
    auto it = keys.find(key);
    return it != keys.end() && it->second == want;
  };
  if (!is("api_lang", "ru") || !is("v", "2") || !is("h", "1") || !keys.count("affiliate_id"))
    return std::nullopt;
  auto id = keys.find("localidad");
  if (id == keys.end() || !IsFeedId(id->second)) return std::nullopt;
  return id->second;
}

std::string HttpDate(std::filesystem::file_time_type t) {
  auto sys = std::chrono::file_clock::to_sys(t);
  std::time_t tt =
      std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::seconds>(sys));
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return buf;
}

// The newest .exe in the release folder.
std::optional<std::filesystem::path> NewestRelease(const std::string& dir) {
  std::error_code ec;
  std::optional<std::filesystem::path> best;
  std::filesystem::file_time_type bestTime;
  if (dir.empty()) return best;
  for (auto it = std::filesystem::directory_iterator(dir, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec) || it->path().extension() != ".exe") continue;
    auto t = it->last_write_time(ec);
    if (ec) continue;
    if (!best || t > bestTime) {
      best = it->path();
      bestTime = t;
    }
  }
  return best;
}

class ConnectionCounter {
 public:
  ConnectionCounter(std::size_t total, std::size_t perClient) : total_(total), perClient_(perClient) {}
  bool Enter(const std::string& client) {
    std::lock_guard lock(mutex_);
    if (count_ >= total_ || byClient_[client] >= perClient_) return false;
    ++count_;
    ++byClient_[client];
    return true;
  }
  void Leave(const std::string& client) {
    std::lock_guard lock(mutex_);
    --count_;
    if (--byClient_[client] == 0) byClient_.erase(client);
  }

 private:
  std::mutex mutex_;
  std::size_t total_, perClient_, count_ = 0;
  std::map<std::string, std::size_t> byClient_;
};

struct Shared {
  FrontOptions options;
  FrontServices services;
  ConnectionCounter counter;
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, Shared& shared, std::string client)
      : stream_(std::move(socket)), shared_(shared), client_(std::move(client)) {}
  ~Session() { shared_.counter.Leave(client_); }

  void Start() {
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->Read(); });
  }

 private:
  void Read() {
    parser_.emplace();
    parser_->header_limit(shared_.options.headerLimit);
    parser_->body_limit(shared_.options.bodyLimit);
    stream_.expires_after(std::chrono::seconds(shared_.options.idleSeconds));
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, std::size_t) { self->OnRead(ec); });
  }

  void OnRead(beast::error_code ec) {
    if (ec == http::error::header_limit || ec == http::error::body_limit) {
      request_ = {};
      route_ = "other";
      started_ = std::chrono::steady_clock::now();
      return SendText(ec == http::error::header_limit ? http::status::request_header_fields_too_large
                                                      : http::status::payload_too_large,
                      "request too large\n", false);
    }
    if (ec) return Close();
    request_ = parser_->release();
    started_ = std::chrono::steady_clock::now();
    Handle();
  }

  void Handle() {
    const bool head = request_.method() == http::verb::head;
    route_ = "other";
    if (request_.method() != http::verb::get && !head) {
      return SendText(request_.method() == http::verb::connect ? http::status::forbidden
                                                               : http::status::method_not_allowed,
                      "not served here\n");
    }
    std::optional<Target> t =
        SplitTarget(std::string_view(request_.target().data(), request_.target().size()));
    if (!t) return SendText(http::status::bad_request, "bad request target\n");
    if (!t->host.empty()) {
      bool ours = false;
      for (const std::string& h : shared_.options.hosts) ours = ours || SameText(h, t->host);
      if (!ours) {
        route_ = "proxy_refused";
        return SendText(http::status::forbidden, "this server is not a proxy\n");
      }
    }
    if (t->path == kFeedPath) {
      route_ = "feed";
      std::optional<std::string> id = FeedIdFromQuery(t->query);
      if (!id) return SendText(http::status::bad_request, "malformed feed query\n");
      const CataloguePlace* place = shared_.services.catalogue.Find(*id);
      if (!place) return SendText(http::status::not_found, "unknown place\n");
      shared_.services.forecasts.Get(*place, [self = shared_from_this()](Answer a) {
        net::post(self->stream_.get_executor(),
                  [self, a = std::move(a)] { self->SendAnswer(a, "text/xml; charset=UTF-8"); });
      });
      return;
    }
    if (t->path == kRatesPath) {
      route_ = "rates";
      return SendAnswer(shared_.services.rates.Get(), "text/html; charset=utf-8");
    }
    if (t->path == kUpdatePath) {
      route_ = "update";
      return SendRelease(head);
    }
    if (t->path == "/healthz" && t->host.empty()) {
      route_ = "healthz";
      return SendText(http::status::ok, "ok\n");
    }
    if (t->path == "/metrics" && t->host.empty()) {
      route_ = "metrics";
      return SendText(http::status::ok, shared_.services.metrics.Render(), true,
                      "text/plain; version=0.0.4; charset=utf-8");
    }
    SendText(http::status::not_found, "not found\n");
  }

  void SendAnswer(const Answer& a, const char* type) {
    if (a.status != 200 || !a.body) {
      http::response<http::string_body> res{http::status::service_unavailable, request_.version()};
      res.set(http::field::retry_after, std::to_string(a.retryAfter));
      res.set(http::field::cache_control, "no-store");
      res.set(http::field::content_type, "text/plain; charset=utf-8");
      res.body() = "the source is not available; try again later\n";
      return Send(std::move(res));
    }
    http::response<http::string_body> res{http::status::ok, request_.version()};
    res.set(http::field::content_type, type);
    res.set(http::field::cache_control, "max-age=" + std::to_string(a.maxAge));
    res.body() = *a.body;
    Send(std::move(res));
  }

  void SendRelease(bool head) {
    std::optional<std::filesystem::path> file = NewestRelease(shared_.options.releaseDir);
    std::error_code ec;
    if (!file) return SendText(http::status::not_found, "no release\n");
    std::string modified = HttpDate(std::filesystem::last_write_time(*file, ec));
    if (head) {
      http::response<http::empty_body> res{http::status::ok, request_.version()};
      res.set(http::field::content_type, "application/octet-stream");
      res.set(http::field::last_modified, modified);
      res.set(http::field::cache_control, "max-age=" + std::to_string(kUpdateMaxAge));
      res.content_length(std::filesystem::file_size(*file, ec));
      return Send(std::move(res));
    }
    http::file_body::value_type body;
    beast::error_code bec;
    body.open(file->c_str(), beast::file_mode::scan, bec);
    if (bec) return SendText(http::status::not_found, "no release\n");
    http::response<http::file_body> res{std::piecewise_construct, std::make_tuple(std::move(body)),
                                        std::make_tuple(http::status::ok, request_.version())};
    res.set(http::field::content_type, "application/octet-stream");
    res.set(http::field::last_modified, modified);
    res.set(http::field::cache_control, "max-age=" + std::to_string(kUpdateMaxAge));
    Send(std::move(res));
  }

  void SendText(http::status status, std::string text, bool keepAlive = true,
                const char* type = "text/plain; charset=utf-8") {
    http::response<http::string_body> res{status, request_.version() ? request_.version() : 11};
    res.set(http::field::content_type, type);
    res.set(http::field::cache_control, "no-store");
    if (status == http::status::method_not_allowed) res.set(http::field::allow, "GET, HEAD");
    res.body() = std::move(text);
    if (!keepAlive) {
      res.keep_alive(false);
      keepAlive_ = false;
    }
    Send(std::move(res));
  }

  template <class Body>
  void Send(http::response<Body>&& res) {
    res.set(http::field::server, "corvella-gateway");
    if constexpr (!std::is_same_v<Body, http::empty_body>) {
      res.prepare_payload();
      // A HEAD answer has the headers of the GET answer, its Content-Length included, and no body.
      if (request_.method() == http::verb::head) {
        http::response<http::empty_body> headOnly{res.result(), res.version()};
        headOnly.base() = res.base();
        return Write(std::move(headOnly));
      }
    }
    Write(std::move(res));
  }

  template <class Body>
  void Write(http::response<Body>&& res) {
    keepAlive_ = keepAlive_ && request_.keep_alive();
    res.keep_alive(keepAlive_);
    shared_.services.metrics.Request(
        route_, res.result_int(),
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count());
    auto sp = std::make_shared<http::response<Body>>(std::move(res));
    held_ = sp;
    http::async_write(stream_, *sp, [self = shared_from_this(), sp](beast::error_code ec, std::size_t) {
      self->held_.reset();
      if (ec || !self->keepAlive_) return self->Close();
      self->Read();
    });
  }

  void Close() {
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
  }

  beast::tcp_stream stream_;
  Shared& shared_;
  std::string client_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
  http::request<http::empty_body> request_;
  std::shared_ptr<void> held_;
  std::string route_ = "other";
  bool keepAlive_ = true;
  std::chrono::steady_clock::time_point started_;
};

class Listener : public std::enable_shared_from_this<Listener> {
 public:
  Listener(net::io_context& ioc, tcp::endpoint at, Shared& shared)
      : ioc_(ioc), acceptor_(ioc), shared_(shared) {
    acceptor_.open(at.protocol());
    acceptor_.set_option(net::socket_base::reuse_address(true));
    acceptor_.bind(at);
    acceptor_.listen(net::socket_base::max_listen_connections);
  }
  void Accept() {
    acceptor_.async_accept(net::make_strand(ioc_),
                           [self = shared_from_this()](beast::error_code ec, tcp::socket s) {
                             if (ec == net::error::operation_aborted) return;
                             if (!ec) {
                               beast::error_code e2;
                               tcp::endpoint peer = s.remote_endpoint(e2);
                               std::string client = e2 ? std::string() : peer.address().to_string();
                               if (self->shared_.counter.Enter(client)) {
                                 std::make_shared<Session>(std::move(s), self->shared_, client)->Start();
                               } else {
                                 self->shared_.services.metrics.Error("connection_refused");
                                 s.close(e2);
                               }
                             }
                             self->Accept();
                           });
  }
  void Stop() {
    beast::error_code ec;
    acceptor_.close(ec);
  }

 private:
  net::io_context& ioc_;
  tcp::acceptor acceptor_;
  Shared& shared_;
};

}  // namespace

void RunFront(const FrontOptions& options, FrontServices services) {
  Shared shared{options, services,
                ConnectionCounter(options.maxConnections, options.maxConnectionsPerClient)};
  net::io_context ioc(options.threads);
  beast::error_code ec;
  auto address = net::ip::make_address(options.address, ec);
  if (ec) throw std::runtime_error("bad listen address " + options.address);
  std::shared_ptr<Listener> listener;
  try {
    listener = std::make_shared<Listener>(ioc, tcp::endpoint(address, options.port), shared);
  } catch (const boost::system::system_error& e) {
    throw std::runtime_error("cannot listen on " + options.address + ":" + std::to_string(options.port) +
                             ": " + e.code().message());
  }
  listener->Accept();
  net::signal_set signals(ioc, SIGTERM, SIGINT);
  signals.async_wait([&](beast::error_code, int) {
    listener->Stop();
    ioc.stop();
  });
  LogLine("corvella-gateway listening on " + options.address + ":" + std::to_string(options.port));
  std::vector<std::thread> threads;
  for (int i = 1; i < options.threads; ++i) threads.emplace_back([&] { ioc.run(); });
  ioc.run();
  for (std::thread& t : threads) t.join();
  // The workers stop while the connections they owe answers to can still be closed.
  services.upstream.Abort();
  services.forecasts.Stop();
  services.rates.Stop();
}

}  // namespace corvella::gateway

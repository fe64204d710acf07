#include "gateway/http_front.h"

#include <curl/curl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>  // before Asio: Boost 1.74 needs std::exchange in C++20
// (kept apart so that include sorting leaves it first)
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "gateway/admission.h"
#include "gateway/geocoder.h"
#include "gateway/release_folder.h"
#include "gateway/routing.h"

namespace corvella::gateway {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

constexpr std::int64_t kUpdateMaxAge = 3600;
constexpr std::int64_t kDeadlineRetryAfter = 30;
constexpr std::size_t kReservedDescriptors = 128;  // upstream calls, the store, logs

std::string HttpDate(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return buf;
}

std::string_view View(beast::string_view s) { return {s.data(), s.size()}; }

class ConnectionCounter {
 public:
  ConnectionCounter(std::size_t total, std::size_t perClient) : total_(total), perClient_(perClient) {}
  // A trusted proxy's connections count only towards the total.
  bool Enter(const std::string& client, bool proxy) {
    std::lock_guard lock(mutex_);
    if (count_ >= total_ || (!proxy && byClient_[client] >= perClient_)) return false;
    ++count_;
    if (!proxy) ++byClient_[client];
    return true;
  }
  void Leave(const std::string& client, bool proxy) {
    std::lock_guard lock(mutex_);
    --count_;
    if (!proxy && --byClient_[client] == 0) byClient_.erase(client);
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
  MissAllowance allowance;
  ReleaseFolder release;
  std::atomic<bool> stopping{false};  // no more requests on a connection once its answer is out
  std::atomic<int> answering{0};       // requests read and not yet answered
};

// The session whose feed request the forecast service may answer on this thread, right away.
thread_local const void* tAnswering = nullptr;

// A document's answer as it goes out: the head, made by Beast once a second (its Date and
// max-age change no faster), and the body shared with the service that holds it.
struct ReadyHead {
  std::shared_ptr<const std::string> body;
  std::time_t second = 0;
  std::int64_t maxAge = -1;
  bool keepAlive = true;
  unsigned version = 11;
  std::string bytes;
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, Shared& shared, std::string peer, bool proxy)
      : stream_(std::move(socket)),
        deadline_(stream_.get_executor()),
        shared_(shared),
        peer_(std::move(peer)),
        proxy_(proxy) {}
  ~Session() {
    LeaveCounter();
    Answering(false);
  }

  void Start() {
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->Read(); });
  }

 private:
  void Read() {
    parser_.emplace();
    parser_->header_limit(shared_.options.headerLimit);
    parser_->body_limit(0);
    stream_.expires_after(std::chrono::seconds(shared_.options.idleSeconds));
    http::async_read_header(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code ec, std::size_t) { self->OnRead(ec); });
  }

  void OnRead(beast::error_code ec) {
    request_ = {};
    started_ = std::chrono::steady_clock::now();
    label_ = "other";
    if (ec == http::error::header_limit) return Refuse(431, "request too large\n", "too_large", false);
    if (ec == http::error::body_limit)
      return Refuse(413, "no request body is taken here\n", "too_large", false);
    if (ec && &ec.category() == &beast::error_code(http::error::end_of_stream).category() &&
        ec != http::error::end_of_stream && ec != http::error::partial_message) {
      return Refuse(400, "malformed request\n", "framing", false);
    }
    if (ec) return Close();
    request_ = parser_->release();
    // Beast takes any Transfer-Encoding whose last coding is not chunked as a request without a
    // body; nothing but a plain chunked is understood here, and no request carries a body.
    auto te = request_.find(http::field::transfer_encoding);
    if (te != request_.end() && !beast::iequals(te->value(), "chunked")) {
      return Refuse(501, "transfer coding not supported\n", "framing", false);
    }
    if (!parser_->is_done()) return Refuse(413, "no request body is taken here\n", "too_large", false);
    Answering(true);
    Handle();
  }

  void Handle() {
    const http::verb verb = request_.method();
    RouteRequest r;
    r.method = verb == http::verb::get       ? Method::Get
               : verb == http::verb::head    ? Method::Head
               : verb == http::verb::connect ? Method::Connect
                                             : Method::Other;
    r.target = View(request_.target());
    for (auto range = request_.equal_range(http::field::host); range.first != range.second; ++range.first) {
      r.hostFields.push_back(View(range.first->value()));
    }
    r.version = request_.version();
    client_ = ClientOf(peer_, View(request_["X-Real-IP"]), View(request_["X-Forwarded-For"]),
                       shared_.options.trustedProxies);
    r.localPeer = client_.loopback;
    RouteDecision d = Route(r, shared_.options.hosts);
    label_ = d.label;
    switch (d.to) {
      case Destination::Feed:
        return AskFeed(d.feedId);
      case Destination::Rates:
        return SendAnswer(shared_.services.rates.Get(), "text/html; charset=utf-8");
      case Destination::Update:
        return SendRelease();
      case Destination::Health:
        return SendText(http::status::ok, "ok\n");
      case Destination::Metrics:
        return SendText(http::status::ok, shared_.services.metrics.Render(),
                        "text/plain; version=0.0.4; charset=utf-8");
      case Destination::Refused:
        break;
    }
    if (d.status == 400 || d.status == 403)
      shared_.services.metrics.Refusal(d.label == "other" ? "request" : d.label);
    if (d.status == 400) keepAlive_ = false;  // what else it sent cannot be trusted either
    SendText(static_cast<http::status>(d.status), std::string(d.text));
  }

  void AskFeed(const std::string& id) {
    const CataloguePlace* place = shared_.services.catalogue.Find(id);
    if (!place) return SendText(http::status::not_found, "unknown place\n");
    const std::uint64_t ask = ++asks_;
    // A new place costs the forecast source a call: each client has an allowance of them.
    auto admit = [&shared = shared_, &client = client_](std::int64_t& retryAfter, std::function<void()>& giveBack) {
      if (!shared.allowance.Take(client, NowMs(), retryAfter)) {
        shared.services.metrics.Refusal("client_new_places");
        return false;
      }
      giveBack = [&shared, client] { shared.allowance.GiveBack(client, NowMs()); };
      return true;
    };
    waiting_ = true;
    tAnswering = this;
    const std::uint64_t ticket = shared_.services.forecasts.Get(
        *place,
        [self = shared_from_this(), ask](Answer a) {
          if (tAnswering == self.get()) return self->OnAnswer(ask, a);  // from the cache, right away
          net::post(self->stream_.get_executor(), [self, ask, a = std::move(a)] { self->OnAnswer(ask, a); });
        },
        admit);
    tAnswering = nullptr;
    if (!waiting_) return;
    // At the deadline the ask is dropped, and answered with what there is (a stale copy or 503).
    deadline_.expires_after(std::chrono::seconds(shared_.options.answerSeconds));
    deadline_.async_wait([self = shared_from_this(), ask, id, ticket](beast::error_code ec) {
      if (ec || !self->waiting_ || self->asks_ != ask) return;
      self->shared_.services.metrics.Refusal("deadline");
      self->shared_.services.forecasts.Drop(id, ticket, kDeadlineRetryAfter);
    });
    // Meanwhile, a client that hangs up gives its connection back at once; one that only closed
    // its sending side still has its answer written.
    stream_.socket().async_wait(
        tcp::socket::wait_read, [self = shared_from_this(), ask](beast::error_code ec) {
          if (ec || !self->waiting_ || self->asks_ != ask) return;
          char c;
          const ssize_t n = recv(self->stream_.socket().native_handle(), &c, 1, MSG_PEEK | MSG_DONTWAIT);
          if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))) return;  // a pipelined request
          self->shared_.services.metrics.Error("client_gone");
          self->keepAlive_ = false;
          self->LeaveCounter();
        });
  }

  static std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  void OnAnswer(std::uint64_t ask, const Answer& a) {
    if (EndWait(ask)) SendAnswer(a, "text/xml; charset=UTF-8");
  }

  // The feed request `ask` is answered now, unless it was already (at the deadline, or gone).
  bool EndWait(std::uint64_t ask) {
    if (!waiting_ || asks_ != ask) return false;
    waiting_ = false;
    deadline_.cancel();
    beast::error_code ignored;
    stream_.socket().cancel(ignored);  // the watch for a hang-up
    return true;
  }

  void Answering(bool now) {
    if (now != answering_) shared_.answering += now ? 1 : -1;
    answering_ = now;
  }

  void LeaveCounter() {
    if (!left_) shared_.counter.Leave(peer_, proxy_);
    left_ = true;
  }

  void SendAnswer(const Answer& a, const char* type) {
    if (a.status != 200 || !a.body) {
      http::response<http::string_body> res{
          a.status == 429 ? http::status::too_many_requests : http::status::service_unavailable, Version()};
      res.set(http::field::retry_after, std::to_string(a.retryAfter));
      res.set(http::field::cache_control, "no-store");
      res.set(http::field::content_type, "text/plain; charset=utf-8");
      res.body() = a.status == 429 ? "too many new places from this address; try again later\n"
                                   : "the source is not available; try again later\n";
      return Send(std::move(res));
    }
    const bool keepAlive = keepAlive_ && request_.keep_alive();
    const std::time_t now = std::time(nullptr);
    if (ready_.body != a.body || ready_.second != now || ready_.maxAge != a.maxAge ||
        ready_.keepAlive != keepAlive || ready_.version != Version()) {
      http::response<http::empty_body> res{http::status::ok, Version()};
      res.set(http::field::server, "corvella-gateway");
      res.set(http::field::date, HttpDate(now));
      res.set(http::field::content_type, type);
      res.set(http::field::cache_control, "max-age=" + std::to_string(a.maxAge));
      res.content_length(a.body->size());
      res.keep_alive(keepAlive);
      std::ostringstream head;
      head << res.base();
      ready_ = ReadyHead{a.body, now, a.maxAge, keepAlive, Version(), head.str()};
    }
    keepAlive_ = keepAlive;
    body_ = a.body;  // held until written
    Count(200);
    // One write of head and body together (a HEAD answer's body is empty).
    std::array<net::const_buffer, 2> out{net::buffer(ready_.bytes), request_.method() == http::verb::head
                                                                        ? net::const_buffer()
                                                                        : net::buffer(*body_)};
    stream_.expires_after(std::chrono::seconds(shared_.options.idleSeconds));
    net::async_write(stream_, out, [self = shared_from_this()](beast::error_code ec, std::size_t) {
      self->body_.reset();
      self->AfterWrite(ec);
    });
  }

  void SendRelease() {
    std::shared_ptr<const Release> release = shared_.release.Current();
    if (!release) return SendText(http::status::not_found, "no release\n");
    const std::string modified = HttpDate(release->modified);
    // Not modified: the same checksum, or a date past both the file's and its publishing.
    bool same = false;
    auto match = request_.find(http::field::if_none_match);
    auto since = request_.find(http::field::if_modified_since);
    if (match != request_.end()) {
      same = View(match->value()).find(release->etag) != std::string_view::npos;
    } else if (since != request_.end()) {
      const std::time_t t = curl_getdate(std::string(View(since->value())).c_str(), nullptr);
      same = t != -1 && release->modified <= t && release->published <= t;
    }
    if (same) {
      http::response<http::empty_body> res{http::status::not_modified, Version()};
      res.set(http::field::last_modified, modified);
      res.set(http::field::etag, release->etag);
      res.set(http::field::cache_control, "max-age=" + std::to_string(kUpdateMaxAge));
      return Send(std::move(res));
    }
    http::response<http::span_body<const char>> res{http::status::ok, Version()};
    res.body() = http::span_body<const char>::value_type(release->bytes->data(), release->bytes->size());
    res.set(http::field::content_type, "application/octet-stream");
    res.set(http::field::last_modified, modified);
    res.set(http::field::etag, release->etag);
    res.set(http::field::cache_control, "max-age=" + std::to_string(kUpdateMaxAge));
    res.content_length(release->bytes->size());
    release_ = std::move(release);  // held until written
    Send(std::move(res));
  }

  void Refuse(unsigned status, const char* text, const char* reason, bool keepAlive) {
    shared_.services.metrics.Refusal(reason);
    if (!keepAlive) keepAlive_ = false;
    SendText(static_cast<http::status>(status), text);
  }

  void SendText(http::status status, std::string text, const char* type = "text/plain; charset=utf-8") {
    http::response<http::string_body> res{status, Version()};
    res.set(http::field::content_type, type);
    res.set(http::field::cache_control, "no-store");
    if (status == http::status::method_not_allowed) res.set(http::field::allow, "GET, HEAD");
    res.body() = std::move(text);
    Send(std::move(res));
  }

  unsigned Version() const { return request_.version() == 10 ? 10 : 11; }

  void Count(unsigned status) {
    shared_.services.metrics.Request(
        label_, status, std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count());
  }

  template <class Body>
  void Send(http::response<Body>&& res) {
    res.set(http::field::server, "corvella-gateway");
    res.set(http::field::date, HttpDate(std::time(nullptr)));
    if constexpr (std::is_same_v<Body, http::string_body>) res.prepare_payload();
    keepAlive_ = keepAlive_ && request_.keep_alive();
    res.keep_alive(keepAlive_);
    Count(res.result_int());
    auto out = std::make_shared<http::response<Body>>(std::move(res));
    // A HEAD answer has the GET answer's head, its Content-Length included, and no body.
    if (request_.method() == http::verb::head || out->result() == http::status::not_modified) {
      auto sr = std::make_shared<http::response_serializer<Body>>(*out);
      sr->split(true);
      held_ = out;
      return WriteHead(sr);
    }
    auto sr = std::make_shared<http::response_serializer<Body>>(*out);
    held_ = out;
    WriteSome(sr);
  }

  template <class Serializer>
  void WriteHead(std::shared_ptr<Serializer> sr) {
    stream_.expires_after(std::chrono::seconds(shared_.options.idleSeconds));
    http::async_write_header(stream_, *sr,
                             [self = shared_from_this(), sr](beast::error_code ec, std::size_t) {
                               self->held_.reset();
                               self->AfterWrite(ec);
                             });
  }

  // Writes piece by piece, each piece with a fresh deadline: a slow reader of a large file is
  // fine, one that stops reading is not.
  template <class Serializer>
  void WriteSome(std::shared_ptr<Serializer> sr) {
    stream_.expires_after(std::chrono::seconds(shared_.options.idleSeconds));
    http::async_write_some(stream_, *sr, [self = shared_from_this(), sr](beast::error_code ec, std::size_t) {
      if (!ec && !sr->is_done()) return self->WriteSome(sr);
      self->held_.reset();
      self->AfterWrite(ec);
    });
  }

  void AfterWrite(beast::error_code ec) {
    Answering(false);
    if (ec || !keepAlive_ || shared_.stopping) return Close();
    Read();
  }

  void Close() {
    beast::error_code ec;
    deadline_.cancel();
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
  }

  beast::tcp_stream stream_;
  net::steady_timer deadline_;
  Shared& shared_;
  std::string peer_;
  bool proxy_;
  ClientAddress client_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
  http::request<http::empty_body> request_;
  std::shared_ptr<void> held_;
  std::shared_ptr<const std::string> body_;
  std::shared_ptr<const Release> release_;
  ReadyHead ready_;
  std::string_view label_ = "other";
  bool keepAlive_ = true;
  bool waiting_ = false;
  bool left_ = false;  // the connection counter was told this connection ended
  bool answering_ = false;
  std::uint64_t asks_ = 0;
  std::chrono::steady_clock::time_point started_;
};

class Listener : public std::enable_shared_from_this<Listener> {
 public:
  // Accepts on the first context and hands each connection to the next context in turn.
  Listener(std::vector<std::unique_ptr<net::io_context>>& contexts, tcp::endpoint at, Shared& shared)
      : contexts_(contexts), acceptor_(*contexts[0]), pause_(*contexts[0]), shared_(shared) {
    acceptor_.open(at.protocol());
    acceptor_.set_option(net::socket_base::reuse_address(true));
    acceptor_.bind(at);
    acceptor_.listen(net::socket_base::max_listen_connections);
  }
  void Accept() {
    net::io_context& next = *contexts_[next_++ % contexts_.size()];
    acceptor_.async_accept(next, [self = shared_from_this()](beast::error_code ec, tcp::socket s) {
      if (ec == net::error::operation_aborted) return;
      if (ec) {
        // Out of descriptors (EMFILE) or the like: try again when connections may have closed,
        // rather than spinning on an error that is still there.
        self->shared_.services.metrics.Error("accept_failed");
        self->pause_.expires_after(std::chrono::milliseconds(100));
        return self->pause_.async_wait([self](beast::error_code e) {
          if (!e) self->Accept();
        });
      }
      beast::error_code e2;
      tcp::endpoint peer = s.remote_endpoint(e2);
      std::string client = e2 ? std::string() : peer.address().to_string();
      const bool proxy = IsTrusted(client, self->shared_.options.trustedProxies);
      if (self->shared_.counter.Enter(client, proxy)) {
        std::make_shared<Session>(std::move(s), self->shared_, client, proxy)->Start();
      } else {
        self->shared_.services.metrics.Refusal("connections");
        s.close(e2);
      }
      self->Accept();
    });
  }
  void Stop() {
    beast::error_code ec;
    acceptor_.close(ec);
    pause_.cancel();
  }

 private:
  std::vector<std::unique_ptr<net::io_context>>& contexts_;
  std::size_t next_ = 0;
  tcp::acceptor acceptor_;
  net::steady_timer pause_;
  Shared& shared_;
};

// As many connections as the descriptor limit leaves room for, after raising it to the hard limit.
std::size_t ConnectionCap(std::size_t wanted) {
  rlimit rl{};
  if (getrlimit(RLIMIT_NOFILE, &rl) != 0) return wanted;
  if (rl.rlim_cur < rl.rlim_max) {
    rlimit raised = rl;
    raised.rlim_cur = rl.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) rl = raised;
  }
  if (rl.rlim_cur == RLIM_INFINITY) return wanted;
  const std::size_t room =
      rl.rlim_cur > 2 * kReservedDescriptors ? rl.rlim_cur - kReservedDescriptors : rl.rlim_cur / 2;
  return std::min(wanted, room);
}

}  // namespace

void RunFront(const FrontOptions& options, FrontServices services) {
  const std::size_t cap = ConnectionCap(options.maxConnections);
  Shared shared{options, services, ConnectionCounter(cap, options.maxConnectionsPerClient),
                MissAllowance({options.newPlacesPerClient, options.newPlacesPerClient}),
                ReleaseFolder(options.releaseDir, LogLine)};
  // One event loop per thread, as one process per core: a connection stays on its thread, so
  // no answer waits for a lock or wakes another thread.
  std::vector<std::unique_ptr<net::io_context>> contexts;
  std::vector<net::executor_work_guard<net::io_context::executor_type>> busy;
  for (int i = 0; i < std::max(options.threads, 1); ++i) {
    contexts.push_back(std::make_unique<net::io_context>(1));
    busy.push_back(net::make_work_guard(*contexts.back()));
  }
  beast::error_code ec;
  auto address = net::ip::make_address(options.address, ec);
  if (ec) throw std::runtime_error("bad listen address " + options.address);
  std::shared_ptr<Listener> listener;
  try {
    listener = std::make_shared<Listener>(contexts, tcp::endpoint(address, options.port), shared);
  } catch (const boost::system::system_error& e) {
    throw std::runtime_error("cannot listen on " + options.address + ":" + std::to_string(options.port) +
                             ": " + e.code().message());
  }
  listener->Accept();
  // SIGTERM: no new connections, the requests under way answered (within the answer deadline
  // and a second more), then out.
  net::signal_set signals(*contexts[0], SIGTERM, SIGINT);
  net::steady_timer drain(*contexts[0]);
  const auto drainUntil = [&] {
    return std::chrono::steady_clock::now() + std::chrono::seconds(options.answerSeconds + 1);
  };
  std::chrono::steady_clock::time_point giveUpAt;
  std::function<void()> waitForAnswers = [&] {
    if (shared.answering == 0 || std::chrono::steady_clock::now() >= giveUpAt) {
      if (shared.answering > 0) LogLine("stopping with " + std::to_string(shared.answering) + " requests unanswered");
      for (auto& c : contexts) c->stop();
      return;
    }
    drain.expires_after(std::chrono::milliseconds(20));
    drain.async_wait([&](beast::error_code) { waitForAnswers(); });
  };
  // SIGHUP: there is nothing to reload (options and the catalogue are read at start, the release
  // folder at every request), so it is logged and otherwise ignored.
  net::signal_set hangup(*contexts[0], SIGHUP);
  std::function<void()> onHangup = [&] {
    hangup.async_wait([&](beast::error_code e, int) {
      if (e) return;
      LogLine("SIGHUP ignored: nothing to reload; restart to change options");
      onHangup();
    });
  };
  onHangup();
  signals.async_wait([&](beast::error_code e, int) {
    if (e) return;
    LogLine("stopping: answering the " + std::to_string(shared.answering) + " requests under way");
    listener->Stop();
    hangup.cancel();
    shared.stopping = true;
    giveUpAt = drainUntil();
    waitForAnswers();
  });
  LogLine("corvella-gateway listening on " + options.address + ":" + std::to_string(options.port) +
          " (at most " + std::to_string(cap) + " connections)");
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < contexts.size(); ++i) threads.emplace_back([&c = *contexts[i]] { c.run(); });
  contexts[0]->run();
  for (std::thread& t : threads) t.join();
  // The workers stop while the connections they owe answers to can still be closed.
  services.upstream.Abort();
  services.forecasts.Stop();
  services.rates.Stop();
}

}  // namespace corvella::gateway

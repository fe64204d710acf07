#include "retrieval/http_client.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "common/deadline.h"
#include "common/scope_exit.h"
#include "retrieval/cookie_jar.h"
#include "retrieval/http_connection.h"
#include "retrieval/http_date.h"
#include "retrieval/http_messages.h"
#include "retrieval/http_request.h"
#include "retrieval/http_response.h"
#include "retrieval/http_text.h"
#include "retrieval/socket.h"
#include "retrieval/url.h"

namespace corvella {

// One thread for the client's lookups and connects, living as long as the client and waiting for
// work between them. A thread per connect would end after each, and under Wine an ended thread's
// stacks stay in the process until another thread ends: more than a waiting thread keeps.
class HelperThread {
 public:
  ~HelperThread() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // Hands `job` to the thread, which must be idle; the job must not throw.
  void Run(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    job_ = std::move(job);
    wake_.notify_all();
  }

  // Blocks until the job handed over last has returned.
  void WaitUntilIdle() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !job_; });
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || job_; });
      if (!job_) return;
      std::function<void()> job = job_;
      lock.unlock();
      job();
      job = nullptr;
      lock.lock();
      job_ = nullptr;
      wake_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> job_;  // set from Run until the job has returned
  bool stopping_ = false;
  std::thread thread_;
};

namespace {

using namespace http_text;

namespace msg = http_messages;

[[noreturn]] void Fail(std::string_view message) { throw HttpError(std::string(message)); }

// Runs `work` on the helper thread while this thread waits on `done` in slices, running `idle`
// after each slice and whenever the wait ends early (a window message on Windows); the work has
// ended when this returns, in every case. Past `deadline` the work is told to give up and the
// wait fails with `lateMessage`.
template <class T, class Work>
T WaitOnThread(HelperThread& helper, Work work, WaitSignal& done, SteadyClock::time_point deadline,
               std::string_view lateMessage, int sliceMs, const std::function<void()>& idle) {
  std::atomic<bool> cancel{false};
  std::promise<T> promise;
  std::future<T> result = promise.get_future();
  helper.Run([&] {
    try {
      promise.set_value(work(cancel));
    } catch (...) {
      promise.set_exception(std::current_exception());
    }
    done.Set();
  });
  ScopeExit joiner([&] {
    cancel = true;
    helper.WaitUntilIdle();
  });

  const int fullSlice = std::max(1, sliceMs);
  bool late = false;
  for (;;) {
    const auto now = SteadyClock::now();
    if (now >= deadline && !late) {
      // Told to give up; a name lookup cannot be cut short, so the pump goes on until
      // the work has finished.
      late = true;
      cancel = true;
    }
    const int slice = late ? fullSlice : std::min(fullSlice, MillisecondsUntil(deadline, now));
    if (done.Wait(slice)) break;
    if (idle) idle();
  }
  if (late) Fail(lateMessage);
  try {
    return result.get();
  } catch (const SocketError& e) {
    throw HttpError(e.what());
  }
}

}  // namespace

std::string HttpResponse::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsNoCase(key, name)) return value;
  }
  return {};
}

HttpError::HttpError(std::string message, int statusCode, std::string body)
    : Error(message), statusCode_(statusCode), body_(std::move(body)) {}

HttpClient::HttpClient(SocketLayer& sockets, const Clock& clock)
    : sockets_(sockets),
      clock_(clock),
      cookies_(std::make_unique<CookieJar>()),
      currentUrl_(std::make_unique<Url>()) {}

HttpClient::~HttpClient() = default;

HelperThread& HttpClient::Helper() {
  if (!helper_) helper_ = std::make_unique<HelperThread>();
  return *helper_;
}

void HttpClient::AttachLog(HttpTrafficLog* log) {
  log_ = log;
  if (connection_) connection_->SetLog(log);
}

std::string HttpClient::Get(const std::string& url) { return Request(Method::Get, url); }

void HttpClient::Head(const std::string& url) { Request(Method::Head, url); }

void HttpClient::Disconnect() { CloseConnection(); }

void HttpClient::Status(HttpStatus status, const std::string& text) {
  if (onStatus) onStatus(*this, status, text);
}

void HttpClient::CloseConnection() {
  if (!connection_) return;
  // Taken first, so that it is closed even when a status handler throws.
  std::unique_ptr<HttpConnection> closing = std::move(connection_);
  Status(HttpStatus::Disconnecting, std::string(msg::kDisconnecting));
  closing.reset();
  Status(HttpStatus::Disconnected, std::string(msg::kDisconnected));
}

void HttpClient::Open(const std::string& host, int port) {
  // The connect limit, unless the request's overall limit comes first.
  auto deadline = SteadyClock::now() + std::chrono::milliseconds(std::max(0, timings.connectLimitMs));
  std::string_view late = msg::kConnectTimedOut;
  if (requestDeadline_ < deadline) {
    deadline = requestDeadline_;
    late = msg::kReadTimeout;
  }
  std::vector<Endpoint> endpoints;
  if (IsNumericHost(host)) {
    try {
      endpoints = sockets_.Resolve(host, port);
    } catch (const SocketError& e) {
      throw HttpError(e.what());
    }
  } else {
    // The lookup runs off this thread, so that a slow resolver does not stop the pump.
    Status(HttpStatus::Resolving, FillMessage(msg::kResolving, host));
    endpoints = WaitOnThread<std::vector<Endpoint>>(
        Helper(), [&](const std::atomic<bool>&) { return sockets_.Resolve(host, port); }, *sockets_.MakeWaitSignal(),
        deadline, late, timings.connectSliceMs, pump);
  }
  Status(HttpStatus::Connecting, FillMessage(msg::kConnecting, endpoints.front().address));
  std::unique_ptr<StreamSocket> socket = WaitOnThread<std::unique_ptr<StreamSocket>>(
      Helper(), [&](const std::atomic<bool>& cancel) {
        for (std::size_t i = 0;; ++i) {
          try {
            return sockets_.Connect(endpoints[i], cancel);
          } catch (const SocketError&) {
            if (i + 1 == endpoints.size() || cancel) throw;
          }
        }
      },
      *sockets_.MakeWaitSignal(), deadline, late, timings.connectSliceMs, pump);
  connection_ = std::make_unique<HttpConnection>(std::move(socket), host, port);
  connection_->SetLog(log_);
  Status(HttpStatus::Connected, std::string(msg::kConnected));
}

void HttpClient::ReadBodyWithin(int limitMs, std::string* out) {
  connection_->SetWaits(timings.idleSliceMs, limitMs, &pump, requestDeadline_);
  ReadBody(connection_->reader(), response_, out, http_limits::kMaxBodyBytes,
           [this] { Status(HttpStatus::Text, std::string(msg::kChunkStarted)); });
}

void HttpClient::EndExchange(bool complete) {
  // The connection serves the next exchange only when this one left it in step: the
  // response fully read, nothing surplus received, and no close asked or met.
  keepAlive_ = complete && connection_ && !connection_->reader().closed() &&
               connection_->reader().buffered() == 0 && StartsWithNoCase(response_.statusLine, "HTTP/") &&
               !EqualsNoCase(Trim(response_.connection), "close") &&
               !EqualsNoCase(Trim(response_.proxyConnection), "close");
}

// What one exchange of a request sends and where: worked out from the URL before anything goes
// on the wire, and kept while the answer is read and judged.
struct HttpClient::Exchange {
  Method method;
  const Url& url;
  std::string port;  // the URL's port as text
  bool viaProxy;
  std::string peerHost;  // where the connection goes: the proxy or the server
  int peerPort;
  std::string requestPath;  // the path the cookies are matched against
  DateTime nowUtc;          // the time the cookies are judged by
  std::string head;         // the request's head, ready to send
};

// What the request does after an exchange.
enum class HttpClient::NextStep { Done, Follow };

std::string HttpClient::Request(Method method, const std::string& urlText) {
  if (busy_) Fail(msg::kRequestInProgress);
  busy_ = true;
  ScopeExit idle([this] { busy_ = false; });

  requestDeadline_ = SteadyClock::now() + std::chrono::milliseconds(std::max(0, timings.requestLimitMs));
  RequestState state;
  state.next = urlText;
  try {
    for (int exchange = 1;; ++exchange) {
      // A redirect drain may have used up the rest of the request's time.
      if (SteadyClock::now() >= requestDeadline_) Fail(msg::kReadTimeout);
      state.result.clear();
      const Exchange ex = Prepare(method, state);
      if (connection_ && (!connection_->GoesTo(ex.peerHost, ex.peerPort) || !keepAlive_)) CloseConnection();
      keepAlive_ = false;
      SendRequest(ex.head, ex.peerHost, ex.peerPort);
      ReadHead(ex);
      if (Decide(ex, exchange, state) == NextStep::Done) break;
    }
  } catch (const HttpError& e) {
    if (e.statusCode() < 0) keepAlive_ = false;
    if (!keepAlive_) CloseConnection();
    throw;
  } catch (...) {
    keepAlive_ = false;
    CloseConnection();
    throw;
  }
  if (!keepAlive_) CloseConnection();
  return std::move(state.result);
}

HttpClient::Exchange HttpClient::Prepare(Method method, const RequestState& state) {
  *currentUrl_ = ParseUrl(state.next, *currentUrl_);
  const Url& url = *currentUrl_;
  if (!EqualsNoCase(url.protocol, "http")) Fail(msg::kNoIoHandler);
  if (url.port < 0) Fail(msg::kInvalidPort);

  const bool viaProxy = !proxyServer.empty();
  std::string port = std::to_string(url.port);
  const std::string target = viaProxy ? "http://" + url.host + ":" + port + url.Target() : url.Target();
  const std::string host = url.port == 80 ? url.host : url.host + ":" + port;
  std::string requestPath = url.path + url.document;

  const DateTime nowUtc = EncodeDateTime(clock_.LocalNow()) - clock_.UtcOffsetDays();
  cookies_->DropExpired(nowUtc);
  const std::string cookie = cookies_->HeaderFor(url.host, requestPath);
  const std::string credentials =
      state.proxyAuthorization ? BasicCredentials(proxyUsername, proxyPassword) : std::string();
  std::string head = BuildRequestHead({method == Method::Get ? "GET" : "HEAD", target, protocolVersion, host,
                                       contentType, accept, userAgent, credentials, cookie});
  return Exchange{method,
                  url,
                  std::move(port),
                  viaProxy,
                  viaProxy ? proxyServer : url.host,
                  viaProxy ? proxyPort : url.port,
                  std::move(requestPath),
                  nowUtc,
                  std::move(head)};
}

// Reads the head of the answer, past any interim 100 answers, keeping the cookies each sets.
void HttpClient::ReadHead(const Exchange& ex) {
  HttpReader& reader = connection_->reader();
  std::size_t headBudget = http_limits::kMaxHeadBytes;
  do {
    ReadResponseHead(reader, response_, headBudget);
    for (const auto& [name, value] : response_.headers) {
      if (EqualsNoCase(name, "Set-Cookie") || EqualsNoCase(name, "Set-Cookie2")) {
        if (auto c = ParseSetCookie(value, ex.url.host, ex.requestPath, ex.nowUtc)) {
          cookies_->Store(std::move(*c), ex.nowUtc);
        }
      }
    }
  } while (response_.statusCode == 100);
  const DateTime offset = clock_.UtcOffsetDays();
  response_.lastModified = ParseHttpDate(response_.Header("Last-Modified")).value_or(0) + offset;
}

// Judges the answer whose head has been read: follows a redirect, answers the proxy's challenge
// once, reads a success's body into the result, or fails with the status.
HttpClient::NextStep HttpClient::Decide(const Exchange& ex, int exchange, RequestState& state) {
  const int code = response_.statusCode;
  const bool open = !connection_->reader().closed();
  const bool redirect = (code >= 300 && code <= 399 && code != 304) || !response_.location.empty();
  if (redirect && handleRedirects) {
    bool drained = true;
    if (open) {
      try {
        ReadBodyWithin(timings.redirectDrainMs, nullptr);
      } catch (const HttpError&) {
        drained = false;  // ignored, but the connection is out of step now
      }
    }
    EndExchange(drained);
    if (exchange >= redirectMaximum) return NextStep::Done;
    state.next = response_.location;
    return NextStep::Follow;
  }
  if (code >= 200 && code <= 299) {
    if (!open) Fail(msg::kUndefinedSituation);
    if (ex.method == Method::Get && code != 204) ReadBodyWithin(timings.readTimeoutMs, &state.result);
    EndExchange(true);
    return NextStep::Done;
  }
  const bool answerProxy = code == 407 && ex.viaProxy && !state.proxyAuthorization &&
                           !proxyUsername.empty() && OffersBasicProxyAuth();
  std::string body;
  // A challenge to a HEAD has no body, whatever length it names (squid names one).
  if (!(answerProxy && ex.method == Method::Head)) ReadBodyWithin(timings.errorBodyWaitMs, &body);
  EndExchange(true);
  if (answerProxy) {
    // Asked for credentials by the proxy itself: repeat once with them.
    state.proxyAuthorization = true;
    state.next = ex.url.protocol + "://" + ex.url.host + ":" + ex.port + ex.url.Target();
    return NextStep::Follow;
  }
  throw HttpError(response_.statusLine, code, std::move(body));
}

// A peer may close a kept connection at any time without a word (proxies do so after every
// response). Met before the first byte of the answer, that close says nothing about this
// request: it goes once more, at once, on a new connection. Failures there are the request's.
void HttpClient::SendRequest(const std::string& head, const std::string& peerHost, int peerPort) {
  if (connection_) {
    try {
      connection_->SetWaits(timings.idleSliceMs, timings.readTimeoutMs, &pump, requestDeadline_);
      connection_->Send(head);
      if (connection_->reader().Await()) return;
    } catch (const HttpError&) {
      if (!connection_->lost()) throw;  // a wait past its limit is no close
    }
    CloseConnection();
  }
  Open(peerHost, peerPort);
  connection_->SetWaits(timings.idleSliceMs, timings.readTimeoutMs, &pump, requestDeadline_);
  connection_->Send(head);
}

bool HttpClient::OffersBasicProxyAuth() const {
  for (const auto& [name, value] : response_.headers) {
    if (EqualsNoCase(name, "Proxy-Authenticate") && StartsWithNoCase(Trim(value), "basic")) return true;
  }
  return false;
}

}  // namespace corvella

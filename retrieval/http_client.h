// The program's own HTTP/1.1 client: GET and HEAD over plain TCP, redirects, an in-memory
// cookie jar, keep-alive, an optional forward proxy. It runs on the GUI thread and runs the
// message pump (`pump`) wherever it waits.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/clock.h"
#include "common/date_time.h"
#include "common/deadline.h"
#include "common/error.h"
#include "retrieval/http_limits.h"

namespace corvella {

struct HttpResponse {
  std::string statusLine;  // first line without line end
  int statusCode = -1;
  std::vector<std::pair<std::string, std::string>> headers;  // in order, continuation joined
  long long contentLength = -1;
  bool hasContentLength = false;
  std::string transferEncoding, location, connection, proxyConnection;
  DateTime lastModified = 0;  // local time; day zero + the UTC offset when absent or unreadable
  // Case-insensitive; "" when absent.
  std::string Header(std::string_view name) const;
};

// A failed request. The message is the status line (or the transport message); the code
// is -1 for transport errors.
class HttpError : public Error {
 public:
  HttpError(std::string message, int statusCode = -1, std::string body = {});
  int statusCode() const { return statusCode_; }
  const std::string& body() const { return body_; }

 private:
  int statusCode_;
  std::string body_;
};

enum class HttpStatus { Resolving, Connecting, Connected, Disconnecting, Disconnected, Text };

// The waits of the client; the defaults are the program's. Tests shorten them.
struct HttpTimings {
  int idleSliceMs = http_limits::kIdleSliceMs;
  int connectSliceMs = http_limits::kConnectSliceMs;
  int connectLimitMs = http_limits::kConnectLimitMs;
  int readTimeoutMs = http_limits::kReadTimeoutMs;
  int redirectDrainMs = http_limits::kRedirectDrainMs;
  int errorBodyWaitMs = http_limits::kErrorBodyWaitMs;
  int requestLimitMs = http_limits::kRequestLimitMs;
};

// A debugging aid that can be attached to the client. While `active` is false (as the
// program always leaves it) it records nothing and changes nothing on the wire.
struct HttpTrafficLog {
  bool active = false;
  // Called with "send" or "recv" and the bytes, only while active.
  std::function<void(std::string_view direction, std::string_view bytes)> record;
};

class SocketLayer;
class CookieJar;
class HelperThread;
class HttpConnection;
struct Url;
std::unique_ptr<SocketLayer> MakeSystemSocketLayer();

class HttpClient {
 public:
  explicit HttpClient(SocketLayer& sockets, const Clock& clock = SystemClock());
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Settings, with the program's values as defaults.
  std::string protocolVersion = "1.1";
  bool handleRedirects = true;
  int redirectMaximum = http_limits::kRedirectMaximum;
  std::string userAgent = "Mozilla/5.0 (compatible;)";
  std::string accept = "text/html, */*";
  std::string contentType = "text/html";
  bool forceEncodeParams = true;  // concerns form posts only: no effect on GET or HEAD
  std::string proxyServer;        // a proxy is used when this is not empty
  int proxyPort = 0;
  std::string proxyUsername, proxyPassword;
  HttpTimings timings;

  // The message pump, run in every idle slice of a wait. It and the status handler may throw to
  // abandon the request: the connection is then closed and the exception leaves the request.
  std::function<void()> pump;
  std::function<void(HttpClient&, HttpStatus, const std::string&)> onStatus;

  // Attaches (or with nullptr detaches) the traffic log; the client does not own it.
  void AttachLog(HttpTrafficLog* log);

  // The body of the final response, undecoded. Throws HttpError.
  std::string Get(const std::string& url);
  // Sends HEAD; afterwards Response() holds the head. Throws HttpError.
  void Head(const std::string& url);
  // Closes the connection; the next request connects anew.
  void Disconnect();
  const HttpResponse& Response() const { return response_; }
  // The cookies kept so far.
  const CookieJar& Cookies() const { return *cookies_; }

 private:
  enum class Method { Get, Head };
  struct Exchange;
  enum class NextStep;
  // What carries from one exchange of a request to the next.
  struct RequestState {
    std::string next;                 // the URL the next exchange asks for
    bool proxyAuthorization = false;  // the proxy asked for credentials during this request
    std::string result;               // the body of the final response
  };
  std::string Request(Method method, const std::string& url);
  Exchange Prepare(Method method, const RequestState& state);
  void ReadHead(const Exchange& ex);
  NextStep Decide(const Exchange& ex, int exchange, RequestState& state);
  void Open(const std::string& host, int port);
  void SendRequest(const std::string& head, const std::string& peerHost, int peerPort);
  void CloseConnection();
  void Status(HttpStatus status, const std::string& text);
  void ReadBodyWithin(int limitMs, std::string* out);
  void EndExchange(bool complete);
  bool OffersBasicProxyAuth() const;
  HelperThread& Helper();

  SocketLayer& sockets_;
  const Clock& clock_;
  // Runs the name lookups and connects off the calling thread; started with the first of them.
  std::unique_ptr<HelperThread> helper_;
  HttpResponse response_;
  std::unique_ptr<CookieJar> cookies_;
  std::unique_ptr<HttpConnection> connection_;
  std::unique_ptr<Url> currentUrl_;
  HttpTrafficLog* log_ = nullptr;
  bool keepAlive_ = false;  // the last response left the connection fit for another request
  SteadyClock::time_point requestDeadline_;  // the end of the running request's overall limit
  bool busy_ = false;
};

}  // namespace corvella

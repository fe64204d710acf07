// feedsim: a local stand-in for the weather feed, the bank's rates page and the maker's
// site, on 127.0.0.1, both as their origin server and as a forward proxy to them.
// One thread per connection, keep-alive, fault modes for tests, a log of request heads.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "retrieval/servers.h"
#include "retrieval/weather_feed.h"
#include "tools/feedsim/sim_model.h"

namespace corvella::feedsim {
namespace {

constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr std::size_t kMaxRequestBody = 1024 * 1024;
constexpr int kMaxConnections = 64;
constexpr std::string_view kHopPrefix = "/_hop/";

constexpr const char* kHelp = R"(usage: feedsim [options]

Stands in for the weather feed, the rates page and the maker's site on 127.0.0.1, as their
origin server and as a forward proxy (absolute-form targets "http://HOST[:PORT]/path" for the
three hosts below). The first line on stdout is "listening 127.0.0.1:PORT".

Routes:
  GET  /index.php?api_lang=ru&localidad=ID&affiliate_id=qk3d8w2mzx7e&v=2&h=1
       forecast document (UTF-8 XML), deterministic per ID and date: hour blocks for
       every hour of today and tomorrow, day blocks for today and the next four days
  GET  /currency_base/daily/     the bank's daily rates table (UTF-8 HTML)
  GET, HEAD /soft/corv.exe       the update file, with the Last-Modified of --last-modified
Any route answers HEAD as well; a wrong query gets 400, an unknown path 404.

Options:
  --port N                 port to listen on; 0 (the default) picks a free one
  --log FILE               append every raw request head, exactly as received
  --date YYYY-MM-DD        "today" of the forecast and the rates (default: the local date)
  --utc-offset N|none      the place's offset from UTC in seconds, stated on the place's
                           element as utc_offset="N" (default: this machine's offset, the
                           zone of the default date); "none" states none, as an older server
  --cold                   a frosty forecast: every temperature below zero
  --vary                   a different forecast for every request (temperatures, skies),
                           as if the weather changed between passes
  --last-modified TEXT     Last-Modified of /soft/corv.exe, sent verbatim
                           (default "Sat, 01 Jun 2024 10:00:00 GMT"; "" sends none)
  --feed-host H, --rates-host H, --site-host H
                           host names served through the proxy (default: the program's)
  --close                  answer every request with "Connection: close" and close
Fault modes (for every route, or only for paths starting with --fault-path):
  --fault-path PREFIX      limit the fault modes to these paths (e.g. /soft/)
  --status N               answer with status N and a short HTML body
  --redirects N            answer with a chain of N redirects (302, relative Location)
                           before the real answer
  --chunked                send bodies with chunked transfer coding
  --close-early            announce the whole body, send half of it, then close
  --stall                  read the request and never answer
  --require-proxy-auth USER:PASS
                           proxy requests without these Basic credentials get 407
  --help                   this text
)";

struct Options {
  int port = 0;
  std::string logPath;
  CivilDate today{};
  bool haveDate = false;
  std::optional<int> utcOffset;
  bool haveUtcOffset = false;
  bool cold = false;
  bool vary = false;
  std::string lastModified = "Sat, 01 Jun 2024 10:00:00 GMT";
  std::string feedHost{kFeedHost}, ratesHost{kRatesHost}, siteHost{kSiteHost};
  bool alwaysClose = false;
  std::string faultPath;
  int status = 0;
  int redirects = 0;
  bool chunked = false;
  bool closeEarly = false;
  bool stall = false;
  std::string proxyAuth;  // "Basic <base64>" expected, empty: none
};

Options g_options;
std::mutex g_logMutex;
FILE* g_log = nullptr;
std::atomic<int> g_connections{0};
std::atomic<long> g_forecastsServed{0};

std::string Base64(std::string_view in) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                 static_cast<unsigned char>(in[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
  }
  if (i < in.size()) {
    unsigned v = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < in.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

struct Request {
  std::string method, target, version;
  std::vector<std::pair<std::string, std::string>> headers;
  bool absolute = false;  // proxy form
  std::string host;       // of an absolute-form target
  std::string path;       // path and query
  std::string Header(std::string_view name) const {
    std::string want = Lower(name);
    for (const auto& [n, v] : headers) {
      if (Lower(n) == want) return v;
    }
    return {};
  }
};

std::optional<Request> ParseHead(std::string_view head) {
  Request r;
  std::size_t eol = head.find('\n');
  std::string_view line = Trim(head.substr(0, eol));
  std::size_t s1 = line.find(' ');
  std::size_t s2 = line.rfind(' ');
  if (s1 == std::string_view::npos || s2 == s1) return std::nullopt;
  r.method = std::string(line.substr(0, s1));
  r.target = std::string(line.substr(s1 + 1, s2 - s1 - 1));
  r.version = std::string(line.substr(s2 + 1));
  if (r.version.rfind("HTTP/", 0) != 0 || r.target.empty()) return std::nullopt;
  while (eol != std::string_view::npos && eol + 1 < head.size()) {
    std::size_t start = eol + 1;
    eol = head.find('\n', start);
    std::string_view h = Trim(head.substr(start, eol == std::string_view::npos ? eol : eol - start));
    if (h.empty()) break;
    std::size_t colon = h.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    r.headers.emplace_back(std::string(Trim(h.substr(0, colon))), std::string(Trim(h.substr(colon + 1))));
  }
  std::string lowerTarget = Lower(r.target);
  if (lowerTarget.rfind("http://", 0) == 0) {
    r.absolute = true;
    std::size_t slash = r.target.find('/', 7);
    std::string authority = r.target.substr(7, slash == std::string::npos ? std::string::npos : slash - 7);
    r.path = slash == std::string::npos ? "/" : r.target.substr(slash);
    std::size_t colon = authority.rfind(':');
    r.host = Lower(colon == std::string::npos ? authority : authority.substr(0, colon));
  } else if (r.target.front() == '/') {
    r.path = r.target;
  } else {
    return std::nullopt;
  }
  return r;
}

std::string HttpDateNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return buf;
}

std::string_view Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 407:
      return "Proxy Authentication Required";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

struct Response {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  bool noBody = false;  // 204, 304
};

Response Simple(int status, std::string_view text = {}) {
  Response r;
  r.status = status;
  if (status == 204 || status == 304) {
    r.noBody = true;
    return r;
  }
  r.headers.emplace_back("Content-Type", "text/html; charset=utf-8");
  r.body = "<html><body><h1>" + std::to_string(status) + " " + std::string(Reason(status)) + "</h1>" +
           (text.empty() ? "" : "<p>" + std::string(text) + "</p>") + "</body></html>\n";
  return r;
}

std::string QueryValue(std::string_view query, std::string_view key, bool* found) {
  *found = false;
  while (!query.empty()) {
    std::size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    std::size_t eq = pair.find('=');
    if (pair.substr(0, eq) == key) {
      *found = true;
      return std::string(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return {};
}

Response Forecast(std::string_view query) {
  struct Expected {
    std::string_view key, value;
  };
  const Expected fixed[] = {{"api_lang", "ru"}, {"affiliate_id", kFeedAffiliateId}, {"v", "2"}, {"h", "1"}};
  for (const Expected& e : fixed) {
    bool found = false;
    if (QueryValue(query, e.key, &found) != e.value || !found) {
      return Simple(400, "query key " + std::string(e.key) + " must be " + std::string(e.value));
    }
  }
  bool found = false;
  std::string id = QueryValue(query, "localidad", &found);
  bool digits = !id.empty() && id.size() <= 12;
  for (char c : id) digits = digits && c >= '0' && c <= '9';
  if (!digits) return Simple(400, "localidad must be a location id");
  Response r;
  r.headers.emplace_back("Content-Type", "text/xml; charset=UTF-8");
  // --vary: each request another forecast for the same place (a seed of its own).
  SimForecast forecast =
      MakeForecast(g_options.vary ? id + "#" + std::to_string(g_forecastsServed++) : id, g_options.today,
                   g_options.cold);
  forecast.locationId = id;
  forecast.utcOffsetSeconds = g_options.utcOffset;
  r.body = RenderForecast(forecast);
  return r;
}

Response RatesPage() {
  Response r;
  r.headers.emplace_back("Content-Type", "text/html; charset=utf-8");
  r.body = RenderRatesPage(MakeRates(g_options.today), g_options.today);
  return r;
}

Response UpdateFile() {
  Response r;
  r.headers.emplace_back("Content-Type", "application/octet-stream");
  if (!g_options.lastModified.empty()) r.headers.emplace_back("Last-Modified", g_options.lastModified);
  // Looks like the start of an executable; the program never reads it.
  r.body = "MZ";
  r.body.resize(4096, '\0');
  return r;
}

// Which host a path belongs to; the three hosts never share a path.
enum class Site { None, Feed, Rates, Update };
Site SiteOfPath(std::string_view pathOnly) {
  if (pathOnly == kFeedRequestPath) return Site::Feed;
  if (pathOnly == kRatesRequestPath) return Site::Rates;
  if (pathOnly == kUpdateRequestPath) return Site::Update;
  return Site::None;
}

bool SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Holds a connection without answering until the client gives up.
void Stall(int fd) {
  char buf[4096];
  while (recv(fd, buf, sizeof buf, 0) > 0) {
  }
}

// Handles one request; returns whether the connection stays open.
bool Serve(int fd, const Request& req) {
  const Options& o = g_options;
  bool head = req.method == "HEAD";
  std::string connection = Lower(req.Header("Connection"));
  bool keepAlive =
      !o.alwaysClose && connection != "close" && (req.version == "HTTP/1.1" || connection == "keep-alive");

  // The hop prefix of a redirect chain comes off before routing.
  std::string path = req.path;
  int hop = 0;
  if (path.rfind(kHopPrefix, 0) == 0) {
    std::size_t slash = path.find('/', kHopPrefix.size());
    hop = std::atoi(path.substr(kHopPrefix.size(), slash - kHopPrefix.size()).c_str());
    path = slash == std::string::npos ? "/" : path.substr(slash);
  }
  std::size_t q = path.find('?');
  std::string pathOnly = path.substr(0, q);
  std::string query = q == std::string::npos ? "" : path.substr(q + 1);
  bool faulty = pathOnly.rfind(o.faultPath, 0) == 0;

  Response resp;
  bool known = true;
  if (req.absolute) {
    Site site = SiteOfPath(pathOnly);
    known = (req.host == Lower(o.feedHost) && (site == Site::Feed || site == Site::None)) ||
            (req.host == Lower(o.ratesHost) && (site == Site::Rates || site == Site::None)) ||
            (req.host == Lower(o.siteHost) && (site == Site::Update || site == Site::None));
  }
  if (req.absolute && !o.proxyAuth.empty() && req.Header("Proxy-Authorization") != o.proxyAuth) {
    resp = Simple(407, "proxy credentials needed");
    resp.headers.emplace_back("Proxy-Authenticate", "Basic realm=\"feedsim\"");
  } else if (req.absolute && !known) {
    resp = Simple(502, "this proxy reaches only the feed, the rates page and the site");
  } else if (req.method != "GET" && req.method != "HEAD") {
    resp = Simple(405, "only GET and HEAD");
  } else if (faulty && o.stall) {
    Stall(fd);
    return false;
  } else if (faulty && hop < o.redirects) {
    resp = Simple(302);
    resp.headers.emplace_back("Location", std::string(kHopPrefix) + std::to_string(hop + 1) + path);
  } else if (faulty && o.status != 0) {
    resp = Simple(o.status);
  } else {
    switch (SiteOfPath(pathOnly)) {
      case Site::Feed:
        resp = Forecast(query);
        break;
      case Site::Rates:
        resp = RatesPage();
        break;
      case Site::Update:
        resp = UpdateFile();
        break;
      case Site::None:
        resp = Simple(404, "no such page");
        break;
    }
  }

  bool chunked = faulty && o.chunked && !resp.noBody;
  bool closeEarly = faulty && o.closeEarly && !resp.noBody && !head;
  if (closeEarly) keepAlive = false;
  std::string out =
      "HTTP/1.1 " + std::to_string(resp.status) + " " + std::string(Reason(resp.status)) + "\r\n";
  out += "Date: " + HttpDateNow() + "\r\nServer: feedsim\r\n";
  for (const auto& [n, v] : resp.headers) out += n + ": " + v + "\r\n";
  if (chunked) {
    out += "Transfer-Encoding: chunked\r\n";
  } else if (!resp.noBody) {
    out += "Content-Length: " + std::to_string(resp.body.size()) + "\r\n";
  }
  if (!keepAlive) out += "Connection: close\r\n";
  out += "\r\n";
  if (!head && !resp.noBody) {
    if (closeEarly) {
      out += resp.body.substr(0, resp.body.size() / 2);
    } else if (chunked) {
      // Uneven chunks, the first with an extension, sizes in both letter cases.
      std::size_t at = 0;
      std::size_t size = 1000;
      bool first = true;
      while (at < resp.body.size()) {
        std::size_t n = std::min(size, resp.body.size() - at);
        char line[32];
        std::snprintf(line, sizeof line, first ? "%zx;name=value\r\n" : (size % 2 ? "%zX\r\n" : "%zx\r\n"),
                      n);
        out += line;
        out.append(resp.body, at, n);
        out += "\r\n";
        at += n;
        size = size * 3 / 2 + 1;
        first = false;
      }
      out += "0\r\n\r\n";
    } else {
      out += resp.body;
    }
  }
  if (!SendAll(fd, out)) return false;
  return keepAlive;
}

void Log(std::string_view head) {
  if (g_log == nullptr) return;
  std::lock_guard<std::mutex> lock(g_logMutex);
  std::fwrite(head.data(), 1, head.size(), g_log);
  std::fflush(g_log);
}

void HandleConnection(int fd) {
  std::string buffer;
  char chunk[16 * 1024];
  for (;;) {
    std::size_t end = std::string::npos;
    std::size_t headLength = 0;
    while (true) {
      std::size_t crlf = buffer.find("\r\n\r\n");
      std::size_t lf = buffer.find("\n\n");
      if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf)) {
        end = crlf;
        headLength = crlf + 4;
      } else if (lf != std::string::npos) {
        end = lf;
        headLength = lf + 2;
      }
      if (end != std::string::npos) break;
      if (buffer.size() > kMaxHeadBytes) {
        Log(buffer.substr(0, kMaxHeadBytes));
        Response r = Simple(431);
        SendAll(fd, "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Length: " +
                        std::to_string(r.body.size()) + "\r\nConnection: close\r\n\r\n" + r.body);
        close(fd);
        return;
      }
      ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) {
        close(fd);
        return;
      }
      buffer.append(chunk, static_cast<std::size_t>(n));
    }
    std::string head = buffer.substr(0, headLength);
    buffer.erase(0, headLength);
    Log(head);
    std::optional<Request> req = ParseHead(head);
    if (!req) {
      Response r = Simple(400, "malformed request");
      SendAll(fd, "HTTP/1.1 400 Bad Request\r\nContent-Length: " + std::to_string(r.body.size()) +
                      "\r\nConnection: close\r\n\r\n" + r.body);
      break;
    }
    // A request body (never sent by the program) is read and dropped.
    long long length = std::atoll(req->Header("Content-Length").c_str());
    if (length < 0 || length > static_cast<long long>(kMaxRequestBody)) break;
    while (static_cast<long long>(buffer.size()) < length) {
      ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      buffer.append(chunk, static_cast<std::size_t>(n));
    }
    buffer.erase(0, std::min(buffer.size(), static_cast<std::size_t>(length)));
    if (!Serve(fd, *req)) break;
  }
  close(fd);
}

bool ParseDate(const char* text, CivilDate* out) {
  int y = 0, m = 0, d = 0;
  char tail = 0;
  if (std::sscanf(text, "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || m < 1 || m > 12 || d < 1 || d > 31)
    return false;
  *out = CivilDate{y, m, d};
  return true;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "feedsim: %s\n(see feedsim --help)\n", problem);
  return 2;
}

}  // namespace

int Main(int argc, char** argv) {
  Options& o = g_options;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "feedsim: %s needs a value\n", name);
        std::exit(2);
      }
      return argv[++i];
    };
    auto number = [&](const char* name, int lo, int hi) {
      const char* v = value(name);
      char* end = nullptr;
      long n = std::strtol(v, &end, 10);
      if (*v == '\0' || *end != '\0' || n < lo || n > hi) {
        std::fprintf(stderr, "feedsim: %s must be a number from %d to %d\n", name, lo, hi);
        std::exit(2);
      }
      return static_cast<int>(n);
    };
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (a == "--port") {
      o.port = number("--port", 0, 65535);
    } else if (a == "--log") {
      o.logPath = value("--log");
    } else if (a == "--date") {
      if (!ParseDate(value("--date"), &o.today)) return Usage("--date must be YYYY-MM-DD");
      o.haveDate = true;
    } else if (a == "--utc-offset") {
      const std::string_view v = value("--utc-offset");
      o.haveUtcOffset = true;
      if (v != "none") {
        --i;  // the same argument again, read as a number
        o.utcOffset = number("--utc-offset", -18 * 3600, 18 * 3600);
      }
    } else if (a == "--cold") {
      o.cold = true;
    } else if (a == "--vary") {
      o.vary = true;
    } else if (a == "--last-modified") {
      o.lastModified = value("--last-modified");
    } else if (a == "--feed-host") {
      o.feedHost = value("--feed-host");
    } else if (a == "--rates-host") {
      o.ratesHost = value("--rates-host");
    } else if (a == "--site-host") {
      o.siteHost = value("--site-host");
    } else if (a == "--close") {
      o.alwaysClose = true;
    } else if (a == "--fault-path") {
      o.faultPath = value("--fault-path");
    } else if (a == "--status") {
      o.status = number("--status", 100, 999);
    } else if (a == "--redirects") {
      o.redirects = number("--redirects", 0, 1000);
    } else if (a == "--chunked") {
      o.chunked = true;
    } else if (a == "--close-early") {
      o.closeEarly = true;
    } else if (a == "--stall") {
      o.stall = true;
    } else if (a == "--require-proxy-auth") {
      std::string cred = value("--require-proxy-auth");
      if (cred.find(':') == std::string::npos) return Usage("--require-proxy-auth needs USER:PASS");
      o.proxyAuth = "Basic " + Base64(cred);
    } else {
      return Usage(("unknown option " + std::string(a)).c_str());
    }
  }
  if (!o.haveDate || !o.haveUtcOffset) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    if (!o.haveDate) o.today = CivilDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
    if (!o.haveUtcOffset) o.utcOffset = static_cast<int>(tm.tm_gmtoff);
  }
  if (!o.logPath.empty()) {
    g_log = std::fopen(o.logPath.c_str(), "ab");
    if (g_log == nullptr) return Usage(("cannot open log " + o.logPath).c_str());
  }
  signal(SIGPIPE, SIG_IGN);

  int listener = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(o.port));
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener, 64) != 0) {
    std::fprintf(stderr, "feedsim: cannot listen on 127.0.0.1:%d: %s\n", o.port, std::strerror(errno));
    return 1;
  }
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::printf("listening 127.0.0.1:%d\n", ntohs(addr.sin_port));
  std::fflush(stdout);

  for (;;) {
    int fd = accept(listener, nullptr, nullptr);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      std::fprintf(stderr, "feedsim: accept: %s\n", std::strerror(errno));
      return 1;
    }
    if (g_connections.load() >= kMaxConnections) {
      close(fd);
      continue;
    }
    ++g_connections;
    std::thread([fd] {
      HandleConnection(fd);
      --g_connections;
    }).detach();
  }
}

}  // namespace corvella::feedsim

int main(int argc, char** argv) { return corvella::feedsim::Main(argc, argv); }

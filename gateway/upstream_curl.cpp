#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "gateway/upstream.h"

namespace corvella::gateway {

namespace {

// Some sources answer only what looks like a browser.
constexpr const char* kUserAgent = "Mozilla/5.0 (compatible; corvella-gateway)";
constexpr long kMaxRedirects = 3;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
  std::string* body;
  std::size_t max;
  bool overflow = false;
};

std::size_t Write(char* data, std::size_t size, std::size_t count, void* user) {
  Sink& sink = *static_cast<Sink*>(user);
  std::size_t n = size * count;
  if (n > sink.max - sink.body->size()) {
    sink.overflow = true;
    return 0;
  }
  sink.body->append(data, n);
  return n;
}

class CurlUpstream : public Upstream {
 public:
  explicit CurlUpstream(UpstreamOptions options) : options_(std::move(options)) { GlobalInit(); }
  UpstreamReply Get(const std::string& url, CallLimits limits) override { return Perform(url, nullptr, limits); }
  UpstreamReply Post(const std::string& url, const std::string& form, CallLimits limits) override {
    return Perform(url, &form, limits);
  }
  void Abort() override { aborted_ = true; }

 private:
  UpstreamReply Perform(const std::string& url, const std::string* form, CallLimits limits) {
    UpstreamReply reply;
    std::unique_ptr<CURL, void (*)(CURL*)> h(curl_easy_init(), curl_easy_cleanup);
    if (!h) {
      reply.error = "curl_easy_init failed";
      return reply;
    }
    CURL* c = h.get();
    Sink sink{&reply.body, limits.maxBody};
    char errors[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errors);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Write);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    if (limits.followRedirects) {
      curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
      curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
      curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    }
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, options_.connectTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, options_.timeoutSeconds);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    if (!options_.caFile.empty()) {
      // With OpenSSL both are used: the system's hashed folder and the extra file.
      curl_easy_setopt(c, CURLOPT_CAINFO, options_.caFile.c_str());
      curl_easy_setopt(c, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
    if (form) {
      curl_easy_setopt(c, CURLOPT_POSTFIELDS, form->c_str());
      curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(form->size()));
    }
    auto start = std::chrono::steady_clock::now();
    CURLcode rc = curl_easy_perform(c);
    reply.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_off_t retry = -1;
    if (curl_easy_getinfo(c, CURLINFO_RETRY_AFTER, &retry) == CURLE_OK && retry > 0) reply.retryAfter = retry;
    if (sink.overflow) {
      reply.error = "reply larger than " + std::to_string(limits.maxBody) + " bytes";
    } else if (rc != CURLE_OK) {
      reply.error = errors[0] ? errors : curl_easy_strerror(rc);
    }
    return reply;
  }

  static int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CurlUpstream*>(user)->aborted_ ? 1 : 0;
  }

  UpstreamOptions options_;
  std::atomic<bool> aborted_{false};
};

}  // namespace

std::unique_ptr<Upstream> MakeCurlUpstream(const UpstreamOptions& options) {
  return std::make_unique<CurlUpstream>(options);
}

std::string EscapeQueryValue(const std::string& value) {
  GlobalInit();
  char* e = curl_easy_escape(nullptr, value.c_str(), static_cast<int>(value.size()));
  std::string out = e ? e : "";
  curl_free(e);
  return out;
}

}  // namespace corvella::gateway

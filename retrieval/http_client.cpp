#include "retrieval/http_client.h"

#include "retrieval/cookie_jar.h"
#include "retrieval/url.h"

namespace corvella {

std::string HttpResponse::Header(std::string_view) const { return {}; }

HttpError::HttpError(std::string message, int statusCode, std::string body)
    : Error(message), statusCode_(statusCode), body_(std::move(body)) {}

class HttpConnection {};

HttpClient::HttpClient(SocketLayer& sockets, const Clock& clock)
    : sockets_(sockets), clock_(clock), cookies_(std::make_unique<CookieJar>()) {}
HttpClient::~HttpClient() = default;

void HttpClient::AttachLog(HttpTrafficLog* log) { log_ = log; }
std::string HttpClient::Get(const std::string& url) { return Request(Method::Get, url); }
void HttpClient::Head(const std::string& url) { Request(Method::Head, url); }
void HttpClient::Disconnect() {}
std::string HttpClient::Request(Method, const std::string&) { throw HttpError("Not built yet."); }

}  // namespace corvella

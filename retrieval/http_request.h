// The request head as the client writes it.
#pragma once

#include <string>
#include <string_view>

namespace corvella {

struct RequestHead {
  std::string_view method;   // "GET" or "HEAD"
  std::string_view target;   // origin form, or absolute form through a proxy
  std::string_view version;  // "1.1"
  std::string_view host;
  std::string_view contentType, accept, userAgent;
  std::string_view proxyAuthorization;  // only after a proxy asked for credentials
  std::string_view cookie;              // only when cookies are due
};

// The request line, the header lines in their fixed order and the empty line, each
// ended by CR LF. Empty optional values are left out. Throws HttpError when the target,
// host or version holds a control character or a blank, or a value holds CR, LF or NUL:
// such text would change the request's meaning on the wire.
std::string BuildRequestHead(const RequestHead& request);

// "Basic " + base64("user:password").
std::string BasicCredentials(std::string_view user, std::string_view password);

}  // namespace corvella

// URLs as the client reads them: protocol, user name, password, host, port, path
// (up to and including the last "/"), document and params ("?" and what follows).
#pragma once

#include <string>
#include <string_view>

namespace corvella {

struct Url {
  std::string protocol = "http";
  std::string username, password;
  std::string host;
  int port = 80;  // -1 when the URL's port is not a valid number
  std::string path = "/";
  std::string document;
  std::string params;

  // path + document + params: what goes on the request line.
  std::string Target() const { return path + document + params; }
};

// Reads `text`. A URL is absolute when it begins with a protocol of letters, digits, "+", "-"
// and "." followed by "://". Any other keeps the protocol, host and port of `current`, and
// its path is joined to the current path. "." and ".." segments are resolved; a "#" and
// what follows are dropped.
Url ParseUrl(std::string_view text, const Url& current = Url());

// Removes "." and ".." segments from a path that begins with "/".
std::string RemoveDotSegments(std::string_view path);

}  // namespace corvella

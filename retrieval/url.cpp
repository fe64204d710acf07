#include "retrieval/url.h"

#include <vector>

namespace corvella {
namespace {

// A port of 1..65535 in decimal; -1 otherwise.
int ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 65535 ? value : -1;
}

// Splits "path document params" text: the path runs up to and including the last "/"
// before the first "?" (or, without one, the first "="; without either, the last "/").
void SplitPath(std::string_view text, std::string& path, std::string& document, std::string& params) {
  std::size_t query = text.find('?');
  std::size_t cut = query != std::string_view::npos ? query : text.find('=');
  std::size_t slash = text.substr(0, cut == std::string_view::npos ? text.size() : cut).rfind('/');
  std::size_t docStart = slash == std::string_view::npos ? 0 : slash + 1;
  path.assign(text.substr(0, docStart));
  if (query == std::string_view::npos) {
    document.assign(text.substr(docStart));
    params.clear();
  } else {
    document.assign(text.substr(docStart, query - docStart));
    params.assign(text.substr(query));
  }
}

// The protocol of an absolute URL: the text before its first "://" when that text is made of
// letters, digits, "+", "-" and "." only. Anything else ("/go.php?to=http://x/y") is relative.
std::string_view::size_type SchemeEnd(std::string_view text) {
  const std::size_t end = text.find("://");
  if (end == std::string_view::npos) return end;
  for (char c : text.substr(0, end)) {
    const bool schemeChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                            c == '+' || c == '-' || c == '.';
    if (!schemeChar) return std::string_view::npos;
  }
  return end;
}

}  // namespace

std::string RemoveDotSegments(std::string_view path) {
  if (!path.empty() && path[0] == '/') path.remove_prefix(1);
  std::vector<std::string_view> kept;
  std::size_t i = 0;
  for (;;) {
    std::size_t end = path.find('/', i);
    bool last = end == std::string_view::npos;
    std::string_view segment = path.substr(i, last ? std::string_view::npos : end - i);
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      if (last) kept.push_back({});
    } else if (segment == ".") {
      if (last) kept.push_back({});
    } else {
      kept.push_back(segment);
    }
    if (last) break;
    i = end + 1;
  }
  std::string out;
  for (std::string_view segment : kept) {
    out += '/';
    out += segment;
  }
  return out.empty() ? "/" : out;
}

Url ParseUrl(std::string_view text, const Url& current) {
  std::size_t hash = text.find('#');
  if (hash != std::string_view::npos) text = text.substr(0, hash);

  Url url;
  std::string_view rest;
  bool relative = false;
  const std::size_t scheme = SchemeEnd(text);
  if (scheme != std::string_view::npos) {
    url.protocol.assign(text.substr(0, scheme));
    std::string_view afterScheme = text.substr(scheme + 3);
    std::size_t authorityEnd = afterScheme.find_first_of("/?");
    if (authorityEnd == std::string_view::npos) authorityEnd = afterScheme.size();
    std::string_view authority = afterScheme.substr(0, authorityEnd);
    rest = afterScheme.substr(authorityEnd);
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
      std::string_view user = authority.substr(0, at);
      std::size_t colon = user.find(':');
      url.username.assign(user.substr(0, colon));
      if (colon != std::string_view::npos) url.password.assign(user.substr(colon + 1));
      authority = authority.substr(at + 1);
    }
    std::size_t colon = authority.find(':');
    url.host.assign(authority.substr(0, colon));
    url.port = colon == std::string_view::npos ? 80 : ParsePort(authority.substr(colon + 1));
    if (url.protocol.empty()) url.protocol = "http";
  } else {
    url.protocol = current.protocol;
    url.username = current.username;
    url.password = current.password;
    url.host = current.host;
    url.port = current.port;
    rest = text;
    relative = true;
  }

  std::string path;
  SplitPath(rest, path, url.document, url.params);
  if (relative && (path.empty() || path[0] != '/')) path = current.path + path;
  if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
  // A document that is itself a dot segment belongs to the path.
  if (url.document == "." || url.document == "..") {
    path += url.document;
    path += '/';
    url.document.clear();
  }
  url.path = RemoveDotSegments(path);
  return url;
}

}  // namespace corvella

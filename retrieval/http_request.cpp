#include "retrieval/http_request.h"

#include <algorithm>

#include "retrieval/http_client.h"
#include "retrieval/http_messages.h"

namespace corvella {
namespace {

bool IsToken(std::string_view s) {
  return !s.empty() && std::none_of(s.begin(), s.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7f;
  });
}

bool IsValue(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos; }

void AddHeader(std::string& out, std::string_view name, std::string_view value) {
  if (value.empty()) return;
  out += name;
  out += ": ";
  out += value;
  out += "\r\n";
}

}  // namespace

std::string BuildRequestHead(const RequestHead& r) {
  if (!IsToken(r.method) || !IsToken(r.target) || !IsToken(r.version) || !IsToken(r.host) ||
      !IsValue(r.contentType) || !IsValue(r.accept) || !IsValue(r.userAgent) || !IsValue(r.proxyAuthorization) ||
      !IsValue(r.cookie))
    throw HttpError(std::string(http_messages::kInvalidRequestText));
  std::string out;
  out.reserve(256 + r.target.size() + r.cookie.size());
  out += r.method;
  out += ' ';
  out += r.target;
  out += " HTTP/";
  out += r.version;
  out += "\r\n";
  AddHeader(out, "Content-Type", r.contentType);
  AddHeader(out, "Host", r.host);
  AddHeader(out, "Accept", r.accept);
  AddHeader(out, "User-Agent", r.userAgent);
  AddHeader(out, "Proxy-Authorization", r.proxyAuthorization);
  AddHeader(out, "Cookie", r.cookie);
  out += "\r\n";
  return out;
}

std::string BasicCredentials(std::string_view user, std::string_view password) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string plain(user);
  plain += ':';
  plain += password;
  std::string out = "Basic ";
  std::size_t i = 0;
  auto byte = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(plain[k])); };
  for (; i + 2 < plain.size(); i += 3) {
    unsigned v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += kAlphabet[v >> 6 & 63];
    out += kAlphabet[v & 63];
  }
  if (std::size_t left = plain.size() - i; left > 0) {
    unsigned v = byte(i) << 16;
    if (left == 2) v |= byte(i + 1) << 8;
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += left == 2 ? kAlphabet[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace corvella

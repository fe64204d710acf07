// Socket error texts (Winsock's codes on every platform) and numeric host detection.
#include <cstdlib>
#include <string>

#include "retrieval/socket.h"

namespace corvella {
namespace {

struct ErrorText {
  int code;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10013, "Permission denied."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {11001, "Host not found."},
    {11002, "Non-authoritative answer: host not found, or server failure."},
    {11003, "Non-recoverable name lookup error."},
    {11004, "Valid name, no data record of requested type."},
};

}  // namespace

std::string SocketErrorText(int code) {
  for (const auto& entry : kErrorTexts) {
    if (entry.code == code) return entry.text;
  }
  return "Unknown socket error.";
}

SocketError::SocketError(int code)
    : Error(FillMessage("Socket Error # %d", code) + "\r\n" + SocketErrorText(code)), code_(code) {}

bool IsNumericHost(std::string_view host) {
  if (host.find(':') != std::string_view::npos) return true;  // only IPv6 literals hold a colon
  int parts = 0;
  std::size_t i = 0;
  while (i <= host.size()) {
    std::size_t digits = 0;
    int value = 0;
    while (i < host.size() && host[i] >= '0' && host[i] <= '9' && digits < 4) {
      value = value * 10 + (host[i] - '0');
      ++digits;
      ++i;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    ++parts;
    if (i == host.size()) break;
    if (host[i] != '.') return false;
    ++i;
  }
  return parts == 4;
}

}  // namespace corvella

// The client's error messages and status texts, exactly as reported.
#pragma once

#include <string_view>

namespace corvella::http_messages {

inline constexpr std::string_view kConnectionClosedGracefully = "Connection Closed Gracefully.";
inline constexpr std::string_view kMaxLineLengthExceeded = "Max line length exceeded.";
inline constexpr std::string_view kReadTimeout = "Read Timeout";
inline constexpr std::string_view kUndefinedSituation = "Undefined situation";
inline constexpr std::string_view kConnectTimedOut = "Connect timed out.";
inline constexpr std::string_view kNoIoHandler = "IOHandler value is not valid";
inline constexpr std::string_view kBodyTooLarge = "Response body exceeds the 16 MiB limit.";
inline constexpr std::string_view kHeadTooLarge = "Response header exceeds the 256 KiB limit.";
inline constexpr std::string_view kInvalidRequestText = "Invalid character in request URL or header.";
inline constexpr std::string_view kInvalidPort = "Invalid port number in URL.";
inline constexpr std::string_view kRequestInProgress = "An HTTP request is already in progress.";

inline constexpr std::string_view kResolving = "Resolving hostname %s.";
inline constexpr std::string_view kConnecting = "Connecting to %s.";
inline constexpr std::string_view kConnected = "Connected.";
inline constexpr std::string_view kDisconnecting = "Disconnecting.";
inline constexpr std::string_view kDisconnected = "Disconnected.";
inline constexpr std::string_view kChunkStarted = "Chunk Started";

}  // namespace corvella::http_messages

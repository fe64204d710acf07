// Whether the machine is online, from the connectivity flags of Windows' network list. The
// flags' values are Windows' own (NLM_CONNECTIVITY), kept here so the rule stays portable.
#pragma once

#include <cstdint>

namespace corvella {

namespace connectivity {
inline constexpr std::uint32_t kDisconnected = 0x0;
inline constexpr std::uint32_t kIpv4NoTraffic = 0x1;
inline constexpr std::uint32_t kIpv6NoTraffic = 0x2;
inline constexpr std::uint32_t kIpv4Subnet = 0x10;
inline constexpr std::uint32_t kIpv4LocalNetwork = 0x20;
inline constexpr std::uint32_t kIpv4Internet = 0x40;
inline constexpr std::uint32_t kIpv6Subnet = 0x100;
inline constexpr std::uint32_t kIpv6LocalNetwork = 0x200;
inline constexpr std::uint32_t kIpv6Internet = 0x400;
}  // namespace connectivity

// Online when some network carries traffic, over either protocol, whether Windows has proved
// the Internet beyond it or not: behind a proxy its Internet probe often fails, and the proxy
// itself is on the local network. Offline with no network at all, or with links that carry no
// traffic (no address from the network yet).
bool ConnectivityMeansOnline(std::uint32_t flags);

}  // namespace corvella

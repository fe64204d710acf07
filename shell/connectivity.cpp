#include "shell/connectivity.h"

namespace corvella {

bool ConnectivityMeansOnline(std::uint32_t flags) {
  using namespace connectivity;
  constexpr std::uint32_t kCarriesTraffic =
      kIpv4Subnet | kIpv4LocalNetwork | kIpv4Internet | kIpv6Subnet | kIpv6LocalNetwork | kIpv6Internet;
  return (flags & kCarriesTraffic) != 0;
}

}  // namespace corvella

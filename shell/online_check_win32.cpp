#include "shell/online_check_win32.h"

#include <netlistmgr.h>
#include <objbase.h>

#include <cstdint>

#include "common/com_win32.h"
#include "common/system_function_win32.h"
#include "shell/connectivity.h"

namespace corvella {
namespace {

// The portable rule names Windows' flags by value; a different value here would silently
// misread the network's state.
static_assert(connectivity::kIpv4NoTraffic == NLM_CONNECTIVITY_IPV4_NOTRAFFIC);
static_assert(connectivity::kIpv6NoTraffic == NLM_CONNECTIVITY_IPV6_NOTRAFFIC);
static_assert(connectivity::kIpv4Subnet == NLM_CONNECTIVITY_IPV4_SUBNET);
static_assert(connectivity::kIpv4LocalNetwork == NLM_CONNECTIVITY_IPV4_LOCALNETWORK);
static_assert(connectivity::kIpv4Internet == NLM_CONNECTIVITY_IPV4_INTERNET);
static_assert(connectivity::kIpv6Subnet == NLM_CONNECTIVITY_IPV6_SUBNET);
static_assert(connectivity::kIpv6LocalNetwork == NLM_CONNECTIVITY_IPV6_LOCALNETWORK);
static_assert(connectivity::kIpv6Internet == NLM_CONNECTIVITY_IPV6_INTERNET);

// WinINet (and what it brings: mpr, its cache) is loaded only when the network list can't answer,
// which on most systems is never; then it stays. Without it the machine counts as online, so that
// a pass is tried and its own errors tell the user what is wrong.
bool WinInetSaysOnline() {
  using GetConnectedStateFn = BOOL(WINAPI*)(DWORD*, DWORD);
  static const auto getConnectedState =
      SystemFunction<GetConnectedStateFn>(LoadSystemLibrary(L"wininet.dll"), "InternetGetConnectedState");
  if (getConnectedState == nullptr) return true;
  DWORD flags = 0;
  return getConnectedState(&flags, 0) != FALSE;
}

}  // namespace

OnlineCheck::~OnlineCheck() {
  if (list_ != nullptr) list_->Release();
}

bool OnlineCheck::IsOnline() {
  if (!created_) {
    created_ = true;
    void* list = nullptr;
    creationFailure_ =
        com::CreateInstance(CLSID_NetworkListManager, CLSCTX_ALL, IID_INetworkListManager, &list);
    if (SUCCEEDED(creationFailure_)) list_ = static_cast<INetworkListManager*>(list);
  }
  NLM_CONNECTIVITY flags = NLM_CONNECTIVITY_DISCONNECTED;
  if (list_ == nullptr || FAILED(list_->GetConnectivity(&flags))) return WinInetSaysOnline();
  return ConnectivityMeansOnline(static_cast<std::uint32_t>(flags));
}

}  // namespace corvella

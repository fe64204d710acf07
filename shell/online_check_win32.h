// Whether the machine is online, as Windows' network list sees it (INetworkListManager).
// Where that COM object can't be had (the Network List Service disabled, a stripped-down
// system), WinINet's older answer stands in.
#pragma once

#include <windows.h>

struct INetworkListManager;

namespace corvella {

class OnlineCheck {
 public:
  OnlineCheck() = default;
  ~OnlineCheck();
  OnlineCheck(const OnlineCheck&) = delete;
  OnlineCheck& operator=(const OnlineCheck&) = delete;

  // Asks the network list; the first call creates it, on the calling thread, whose COM must be
  // initialised. When it can't be created, or can't answer this time, asks WinINet.
  bool IsOnline();
  // The HRESULT of the creation that failed (S_OK while none has): the check then asks WinINet.
  HRESULT creationFailure() const { return creationFailure_; }

 private:
  INetworkListManager* list_ = nullptr;
  bool created_ = false;
  HRESULT creationFailure_ = S_OK;
};

}  // namespace corvella

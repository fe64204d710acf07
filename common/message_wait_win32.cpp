#include "common/message_wait_win32.h"

namespace corvella {

WaitEnd WaitForObjectOrMessage(HANDLE object, int timeoutMs) {
  const DWORD count = object != nullptr ? 1 : 0;
  const DWORD rc = MsgWaitForMultipleObjectsEx(count, count ? &object : nullptr,
                                               static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs), QS_ALLINPUT, 0);
  if (count == 1 && rc == WAIT_OBJECT_0) return WaitEnd::Signalled;
  if (rc == WAIT_OBJECT_0 + count) return WaitEnd::Message;
  if (rc == WAIT_FAILED) {
    // Never busy-wait on a failed wait: sleep the time out instead.
    ::Sleep(static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs));
  }
  return WaitEnd::Elapsed;
}

}  // namespace corvella

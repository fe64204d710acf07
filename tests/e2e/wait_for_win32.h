// The test helpers' one way of waiting for a state of another process's windows.
#pragma once

#include <windows.h>

// Asks `check` every 100 ms for up to `seconds`; whether it ever said yes.
template <class Check>
bool WaitFor(double seconds, Check check) {
  for (DWORD waited = 0; waited <= static_cast<DWORD>(seconds * 1000); waited += 100) {
    if (check()) return true;
    Sleep(100);
  }
  return false;
}

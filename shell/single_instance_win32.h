#pragma once

#include <windows.h>

#include "common/handles_win32.h"

namespace corvella {

// The class of the hidden application window: with its title, what marks a running Corvella.
inline constexpr wchar_t kApplicationWindowClass[] = L"CorvellaApplication";
// Taken by the first instance of a logon session and held until it ends.
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\Velmar.Corvella.Instance";

// The session's instance name, taken at start-up before any window exists: of two starts at the
// same moment exactly one creates the name, so exactly one goes on.
class InstanceMutex {
 public:
  explicit InstanceMutex(const wchar_t* name = kInstanceMutexName);
  // Another instance holds the name. False when the name could not be taken at all (another
  // kind of object under it, say): the window test below still decides then.
  bool TakenByAnother() const { return takenByAnother_; }
  // GetLastError of a CreateMutexW that failed, else 0.
  DWORD failure() const { return failure_; }

 private:
  UniqueKernelHandle handle_;
  bool takenByAnother_ = false;
  DWORD failure_ = 0;
};

// True when another unowned top-level window is a Corvella application window: exactly the
// application title and the application window's class. `ownAppWindow` is skipped; owned
// windows (such as an instance's dialog) never count, nor does a folder window that happens to
// be named after the program's folder.
bool AnotherInstanceRunning(HWND ownAppWindow);

}  // namespace corvella

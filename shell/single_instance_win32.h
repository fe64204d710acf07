#pragma once

#include <windows.h>

namespace corvella {

// True when another unowned top-level window carries exactly the application title.
// `ownAppWindow` is skipped; owned windows (such as an instance's dialog) never count.
bool AnotherInstanceRunning(HWND ownAppWindow);

}  // namespace corvella

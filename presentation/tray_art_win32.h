#pragma once

#include <windows.h>

#include "common/handles_win32.h"
#include "presentation/tray_art.h"

namespace corvella {

// A 32-bit icon with per-pixel alpha and a mask that matches it.
UniqueIcon MakeIcon(const TrayPicture& picture);

}  // namespace corvella

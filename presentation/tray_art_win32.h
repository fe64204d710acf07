// The tray and menu artwork from the executable's resources, and the Windows objects made
// of it: the icon of an image list entry (also the menu glyph's).
#pragma once

#include <windows.h>

#include <optional>

#include "common/handles_win32.h"
#include "presentation/tray_bitmap.h"
#include "presentation/tray_image_list.h"

namespace corvella {

struct TrayArt {
  TrayBitmap waiting;  // entry 0
  TrayBitmap weather;  // entry 1, also the program's own icon
  TrayBitmap glyph;    // "Обновить программу"
};

// The artwork at `size` pixels from `module`'s resources; nothing when a picture of that
// size is missing there.
std::optional<TrayArt> LoadTrayArt(HMODULE module, int size);
// The same, for a size the artwork was not drawn at the nearest larger one (else the
// largest): the picture is then a little too large, never stretched from a small one.
std::optional<TrayArt> LoadTrayArtNearest(HMODULE module, int size);

// The notification area's icon size now: the small-icon size at the taskbar's dpi
// (16 at 96 dpi, then 4 more for every further 25 %: 20 at 125 %, 28 at 175 %, 48 at 300 %).
int TrayIconPixelSize();
// The small icon's size on the monitor that shows the point `at` (a menu's glyph there).
int SmallIconSizeAt(POINT at);

// A square 32-bit bitmap of `size` pixels, rows from the top, as pictures are stored.
BITMAPINFO TopDownDibInfo(int size);

// The icon of an entry: its picture and its mask, as the image list gives it.
UniqueIcon MakeIcon(const TrayEntry& entry);

}  // namespace corvella

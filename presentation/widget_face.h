// What the desktop widget decides before anything is drawn: which of its four backgrounds
// goes with the hour and the sky, where it stands on a first start, where a stored position
// goes when the screens have changed, and how its figures grow with the monitor's DPI.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace corvella {

// Background index; the resource of background n is named "PNG<n>".
enum WidgetBackground : std::uint8_t {
  kBackgroundNight = 0,  // crescent moon behind clouds, 156 x 156
  kBackgroundDay = 1,    // sun with a small cloud, 156 x 156
  kBackgroundRain = 2,   // cloud with rain, 170 x 156
  kBackgroundSnow = 3,   // cloud with snowflakes, 170 x 156
};
inline constexpr int kWidgetBackgrounds = 4;

// The window's size before its first picture; the default position keeps this much room.
inline constexpr int kWidgetInitialWidth = 192;
inline constexpr int kWidgetInitialHeight = 116;

// The temperature: bold "Tahoma" of 26 pixels from (50, 50), at 96 DPI.
inline constexpr std::wstring_view kWidgetFontFamily = L"Tahoma";
inline constexpr int kWidgetTextEm = 26;
inline constexpr int kWidgetTextX = 50;
inline constexpr int kWidgetTextY = 50;

// Night from 21:00 to 04:59 by the local hour (0..23); "Дождь" and "Снег" (whole word,
// Windows-1251) win over both. Every other word, "Гроза" included, leaves day or night.
WidgetBackground ChooseBackground(int localHour, std::string_view skyCondition);

struct WidgetPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const WidgetPoint&, const WidgetPoint&) = default;
};

struct WidgetRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// One monitor: its whole area and the part of it not taken by task bars.
struct WidgetMonitor {
  WidgetRect bounds;
  WidgetRect workArea;
};

// Top left of the widget on a first start: 192 pixels at 96 DPI left of the primary screen's
// right edge, as many more as the screen's scale asks, so the widest picture fits at any scale.
WidgetPoint DefaultWidgetPosition(int screenWidth, int dpi);

// A widget of this size at `position` that shows at least one pixel on some monitor stays where
// the user put it. One that shows none (the screens changed since it was stored) moves into the
// work area of the nearest monitor, as far as it fits there. No monitors: unchanged.
WidgetPoint KeepOnScreen(WidgetPoint position, int width, int height,
                         const std::vector<WidgetMonitor>& monitors);

// The pictures are rendered for these DPIs; 96 is the size the widget has by design.
inline constexpr int kWidgetArtDpis[] = {96, 120, 144, 192};
// The rendering to draw from at `dpi`: the smallest one at least as large, or the largest.
int WidgetArtDpi(int dpi);
// A 96-DPI figure at `dpi`, rounded to the nearest pixel.
int ScaleForDpi(int value, int dpi);

}  // namespace corvella

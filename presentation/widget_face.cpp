#include "presentation/widget_face.h"

#include <algorithm>
#include <limits>

#include "common/text_literal.h"

namespace corvella {
namespace {

constexpr int kNightFrom = 21;  // 21:00
constexpr int kNightUntil = 4;  // to 04:59

// How far apart two ranges are along one axis; 0 when they overlap or touch.
long long Gap(int aFrom, int aTo, int bFrom, int bTo) {
  if (aTo <= bFrom) return static_cast<long long>(bFrom) - aTo;
  if (bTo <= aFrom) return static_cast<long long>(aFrom) - bTo;
  return 0;
}

bool Overlaps(const WidgetRect& a, const WidgetRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Moves [from, from + size) into [lo, hi) where it fits; else its start goes to lo.
int Fit(int from, int size, int lo, int hi) {
  if (from + size > hi) from = hi - size;
  return std::max(from, lo);
}

}  // namespace

WidgetBackground ChooseBackground(int localHour, std::string_view skyCondition) {
  WidgetBackground index =
      (localHour >= kNightFrom || localHour <= kNightUntil) ? kBackgroundNight : kBackgroundDay;
  if (skyCondition == "Дождь"_cp) index = kBackgroundRain;
  if (skyCondition == "Снег"_cp) index = kBackgroundSnow;
  return index;
}

WidgetPoint DefaultWidgetPosition(int screenWidth, int dpi) {
  return {screenWidth - ScaleForDpi(kWidgetInitialWidth, dpi), 0};
}

WidgetPoint KeepOnScreen(WidgetPoint position, int width, int height,
                         const std::vector<WidgetMonitor>& monitors) {
  const WidgetRect widget{position.x, position.y, position.x + std::max(width, 1),
                          position.y + std::max(height, 1)};
  const WidgetMonitor* nearest = nullptr;
  long long best = std::numeric_limits<long long>::max();
  for (const WidgetMonitor& m : monitors) {
    if (Overlaps(widget, m.bounds)) return position;
    const long long dx = Gap(widget.left, widget.right, m.bounds.left, m.bounds.right);
    const long long dy = Gap(widget.top, widget.bottom, m.bounds.top, m.bounds.bottom);
    if (dx * dx + dy * dy < best) {
      best = dx * dx + dy * dy;
      nearest = &m;
    }
  }
  if (nearest == nullptr) return position;
  const WidgetRect& area = nearest->workArea;
  return {Fit(position.x, width, area.left, area.right), Fit(position.y, height, area.top, area.bottom)};
}

int WidgetArtDpi(int dpi) {
  for (int art : kWidgetArtDpis) {
    if (art >= dpi) return art;
  }
  return kWidgetArtDpis[std::size(kWidgetArtDpis) - 1];
}

int ScaleForDpi(int value, int dpi) {
  const long long scaled = static_cast<long long>(value) * dpi;
  return static_cast<int>((scaled >= 0 ? scaled + 48 : scaled - 48) / 96);
}

}  // namespace corvella

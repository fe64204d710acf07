// The widget's two menu switches, "Поверх всех окон" and "Индикатор погоды", and what
// they store. The check of "Поверх всех окон" is AppSettings' widgetOnTop itself, so the
// dialog's Saves writes "topwin" exactly as the menu shows it.
#pragma once

#include "presentation/widget_control.h"
#include "presentation/widget_place.h"
#include "shell/app_settings.h"

namespace corvella {

class WidgetSwitches {
 public:
  // Everything is borrowed and must outlive the switches.
  WidgetSwitches(AppSettings& settings, SettingsStore& store, WidgetControl& widget)
      : settings_(settings), store_(store), widget_(widget) {}

  // Once shortly after start: the check of "Поверх всех окон" := stored "topwin" (default
  // on), applied to the widget.
  void ApplyOnTopAtStart();
  // "Поверх всех окон": inverts its check, writes "topwin" at once and applies it. When the
  // write or the widget fails, the check, the stored value and the widget stay as they were.
  void ToggleOnTop();
  // "Индикатор погоды": writes "Индикатор", then hides a shown widget or shows a hidden one.
  // When either fails, the check, the stored value and the widget stay as they were.
  void ToggleWidget();
  // The refresh pass's show step: shows the widget, then checks "Индикатор погоды".
  void ShowWidget();

  bool onTopChecked() const { return settings_.widgetOnTop; }
  bool widgetChecked() const { return widgetChecked_; }

 private:
  AppSettings& settings_;
  SettingsStore& store_;
  WidgetControl& widget_;
  bool widgetChecked_ = false;
};

// The widget's place as "top" and "left" of the settings section.
class StoredWidgetPlace : public WidgetPlace {
 public:
  explicit StoredWidgetPlace(SettingsStore& store) : store_(store) {}
  WidgetPoint Read(WidgetPoint fallback) override;
  void Write(WidgetPoint place) override;

 private:
  SettingsStore& store_;
};

}  // namespace corvella

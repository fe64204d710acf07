// The widget's two menu switches, "Поверх всех окон" and "Индикатор погоды", and what
// they store. The check of "Поверх всех окон" is AppSettings' widgetOnTop itself, so the
// dialog's Saves writes "topwin" exactly as the menu shows it.
#pragma once

#include "presentation/widget_control.h"
#include "shell/app_settings.h"

namespace corvella {

class WidgetSwitches {
 public:
  // Everything is borrowed and must outlive the switches.
  WidgetSwitches(AppSettings& settings, SettingsStore& store, WidgetControl& widget)
      : settings_(settings), store_(store), widget_(widget) {}

  // Once shortly after start: the check of "Поверх всех окон" := stored "topwin" (default
  // on), applied to the widget.
  void Timer4Timer();
  // "Поверх всех окон": inverts its check, writes "topwin" at once and applies it.
  void N8Click();
  // "Индикатор погоды": hides a shown widget or shows a hidden one, then writes "Индикатор".
  void N7Click();
  // The refresh pass's show step: checks "Индикатор погоды" and shows the widget.
  void ShowWidget();

  bool onTopChecked() const { return settings_.widgetOnTop; }
  bool widgetChecked() const { return widgetChecked_; }

 private:
  AppSettings& settings_;
  SettingsStore& store_;
  WidgetControl& widget_;
  bool widgetChecked_ = false;
};

}  // namespace corvella

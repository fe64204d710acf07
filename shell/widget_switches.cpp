#include "shell/widget_switches.h"

namespace corvella {

void WidgetSwitches::Timer4Timer() {
  LoadSetting(settings_, store_, kValueWidgetOnTop);
  widget_.SetWidgetOnTop(settings_.widgetOnTop);
}

void WidgetSwitches::N8Click() {
  settings_.widgetOnTop = !settings_.widgetOnTop;
  SaveSetting(settings_, store_, kValueWidgetOnTop);
  widget_.SetWidgetOnTop(settings_.widgetOnTop);
}

void WidgetSwitches::N7Click() {
  // A showing that fails leaves the check and the stored value as they were.
  const bool show = !widgetChecked_;
  widget_.SetWidgetVisible(show);
  widgetChecked_ = show;
  settings_.widgetShown = show;
  SaveSetting(settings_, store_, kValueWidgetShown);
}

void WidgetSwitches::ShowWidget() {
  widget_.SetWidgetVisible(true);
  widgetChecked_ = true;
}

}  // namespace corvella

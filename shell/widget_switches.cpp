#include "shell/widget_switches.h"

namespace corvella {
namespace {

// Runs `step`; when it throws, `undo` puts back what came before (as far as it can) and the
// step's own error goes on.
template <typename Step, typename Undo>
void OrUndo(Step step, Undo undo) {
  try {
    step();
  } catch (...) {
    try {
      undo();
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
}

}  // namespace

void WidgetSwitches::ApplyOnTopAtStart() {
  LoadSetting(settings_, store_, kValueWidgetOnTop);
  widget_.SetWidgetOnTop(settings_.widgetOnTop);
}

void WidgetSwitches::ToggleOnTop() {
  const bool was = settings_.widgetOnTop;
  settings_.widgetOnTop = !was;
  // Nothing is applied before "topwin" is written.
  OrUndo([&] { SaveSetting(settings_, store_, kValueWidgetOnTop); }, [&] { settings_.widgetOnTop = was; });
  OrUndo([&] { widget_.SetWidgetOnTop(!was); },
         [&] {
           settings_.widgetOnTop = was;
           SaveSetting(settings_, store_, kValueWidgetOnTop);
         });
}

void WidgetSwitches::ToggleWidget() {
  const bool show = !widgetChecked_;
  const bool wasShown = settings_.widgetShown;
  settings_.widgetShown = show;
  OrUndo([&] { SaveSetting(settings_, store_, kValueWidgetShown); },
         [&] { settings_.widgetShown = wasShown; });
  // A showing whose picture fails, or a hiding whose place cannot be stored, leaves the widget
  // as it was; the stored value goes back to match.
  OrUndo([&] { widget_.SetWidgetVisible(show); },
         [&] {
           settings_.widgetShown = wasShown;
           SaveSetting(settings_, store_, kValueWidgetShown);
         });
  widgetChecked_ = show;
}

void WidgetSwitches::ShowWidget() {
  widget_.SetWidgetVisible(true);
  widgetChecked_ = true;
}

WidgetPoint StoredWidgetPlace::Read(WidgetPoint fallback) {
  const int top = store_.ReadInteger(kSettingsSection, kValueWidgetTop, fallback.y);
  const int left = store_.ReadInteger(kSettingsSection, kValueWidgetLeft, fallback.x);
  return {left, top};
}

void StoredWidgetPlace::Write(WidgetPoint place) {
  store_.WriteInteger(kSettingsSection, kValueWidgetTop, place.y);
  store_.WriteInteger(kSettingsSection, kValueWidgetLeft, place.x);
}

}  // namespace corvella

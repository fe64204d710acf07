// What the menu and the refresh pass ask of the desktop widget.
#pragma once

namespace corvella {

class WidgetControl {
 public:
  virtual ~WidgetControl() = default;
  // Shows the widget (which recomposes it) or hides it (which stores its position).
  virtual void SetWidgetVisible(bool visible) = 0;
  // Above all other windows, or back among them.
  virtual void SetWidgetOnTop(bool on) = 0;
};

}  // namespace corvella

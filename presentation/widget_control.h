// What the tray menu asks of the desktop widget: its two check items act through this.
#pragma once

namespace corvella {

class WidgetControl {
 public:
  virtual ~WidgetControl() = default;
  // Shows the widget, or closes it (which stores its position).
  virtual void SetVisible(bool visible) = 0;
  // Keeps the widget above all other windows, or lets them cover it.
  virtual void SetOnTop(bool onTop) = 0;
};

}  // namespace corvella

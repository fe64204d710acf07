// Where the desktop widget keeps its place between runs. The widget asks only this of the
// program's settings; the shell answers it from the settings store.
#pragma once

#include "presentation/widget_face.h"

namespace corvella {

class WidgetPlace {
 public:
  virtual ~WidgetPlace() = default;
  // The stored place, each edge `fallback`'s when none is stored. A stored edge that cannot be
  // read throws Error with the store's text.
  virtual WidgetPoint Read(WidgetPoint fallback) = 0;
  // Stores the top edge, then the left one; a failed write throws Error.
  virtual void Write(WidgetPoint place) = 0;
};

}  // namespace corvella

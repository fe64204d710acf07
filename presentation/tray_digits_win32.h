// The tray digits' text output through GDI: the text drawn on a small bitmap with a
// transparent background, and the pixels it painted read back.
#pragma once

#include "presentation/tray_image_list.h"

namespace corvella {

class GdiGlyphSource : public GlyphSource {
 public:
  std::vector<bool> Coverage(int size, std::string_view text, DigitPlacement at,
                             const DigitFace& face) override;
};

}  // namespace corvella

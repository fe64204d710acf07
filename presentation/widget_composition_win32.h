// The widget's picture: the background for the hour and the sky, decoded for the window's
// scale, with the temperature drawn over it in large outlined letters.
#pragma once

#include <windows.h>

#include <string_view>

#include "common/handles_win32.h"
#include "presentation/widget_face.h"

namespace corvella {

// The composed picture: one premultiplied 32-bit bitmap selected into one memory DC. Only
// one is alive at a time; replacing it releases the previous pair.
class ComposedPicture {
 public:
  ComposedPicture(HDC screen, HBITMAP bitmap);
  ~ComposedPicture();
  ComposedPicture(const ComposedPicture&) = delete;
  ComposedPicture& operator=(const ComposedPicture&) = delete;
  HDC dc() const { return dc_.get(); }
  HBITMAP bitmap() const { return static_cast<HBITMAP>(bitmap_.get()); }

 private:
  UniqueGdiObject bitmap_;
  UniqueMemoryDc dc_;
  HGDIOBJ previous_ = nullptr;
};

// Background `index` from `resources` (its rendering for `artDpi`), scaled to `dpi`, with the
// temperature `text` (Windows-1251) over it; `size` is the picture's. The caller owns the
// bitmap. A missing background is raised.
HBITMAP ComposeWidgetPicture(HMODULE resources, WidgetBackground index, std::string_view text, int dpi, int artDpi,
                             SIZE& size);

}  // namespace corvella

// GDI+ for one stretch of drawing: loaded and started when this object is made, shut down and
// unloaded when it goes. The widget composes once a pass, hours apart, and keeps nothing of
// GDI+ in between.
#pragma once

#include <windows.h>

namespace corvella {

class GdiplusLibrary {
 public:
  // Loads gdiplus.dll and starts GDI+ (version 1); throws Error, with the system's code, when
  // either fails. Only one may exist at a time.
  GdiplusLibrary();
  // Every GDI+ object must be gone by now.
  ~GdiplusLibrary();
  GdiplusLibrary(const GdiplusLibrary&) = delete;
  GdiplusLibrary& operator=(const GdiplusLibrary&) = delete;

 private:
  HMODULE module_ = nullptr;
  ULONG_PTR token_ = 0;
};

}  // namespace corvella

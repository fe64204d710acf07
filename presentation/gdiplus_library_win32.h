// GDI+ for one stretch of drawing: loaded and started when this object is made, shut down and
// unloaded when it goes. The widget composes once a pass, hours apart, and keeps nothing of
// GDI+ in between.
#pragma once

#include <windows.h>

#include <string>

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

// Decodes a picture held in memory (PNG), with colour management, into a premultiplied 32-bit
// bitmap on a fully transparent ground, drawn smoothly at numerator/denominator of its size
// when that differs; `size` is the result's. Needs a live GdiplusLibrary. Throws Error
// "Cannot read picture <name>".
HBITMAP DecodePicture(const void* bytes, DWORD byteCount, const std::string& name, int numerator, int denominator,
                      SIZE& size);

}  // namespace corvella

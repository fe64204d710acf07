#include "presentation/gdiplus_library_win32.h"

// GDI+'s headers use min and max unqualified.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <string>

#include "common/error.h"
#include "common/system_function_win32.h"

// The flat functions that GDI+'s C++ classes call, as the program uses them. Instead of an
// import, which would keep gdiplus.dll for the life of the process (and the toolchain's
// delay-loaded imports cannot be unloaded), each is defined here as a jump through a pointer
// that GdiplusLibrary fills from the DLL it loads and clears when it unloads it. A function
// missing from the list fails the link.
// clang-format off
#define CORVELLA_GDIPLUS_FUNCTIONS(X) \
  X(GdiplusStartup) \
  X(GdiplusShutdown) \
  X(GdipAlloc) \
  X(GdipFree) \
  X(GdipCreateBitmapFromStreamICM) \
  X(GdipCreateBitmapFromScan0) \
  X(GdipCreateHBITMAPFromBitmap) \
  X(GdipCloneImage) \
  X(GdipDisposeImage) \
  X(GdipGetImageWidth) \
  X(GdipGetImageHeight) \
  X(GdipGetImageGraphicsContext) \
  X(GdipDeleteGraphics) \
  X(GdipSetInterpolationMode) \
  X(GdipSetPixelOffsetMode) \
  X(GdipSetSmoothingMode) \
  X(GdipDrawImageRectRectI) \
  X(GdipCreatePath2) \
  X(GdipDeletePath) \
  X(GdipFillPath) \
  X(GdipDrawPath) \
  X(GdipCreateSolidFill) \
  X(GdipCloneBrush) \
  X(GdipDeleteBrush) \
  X(GdipCreatePen1) \
  X(GdipDeletePen)
// clang-format on

// The pointer of each function, and the function itself: a jump through it, which leaves the
// arguments and the return address as the caller set them.
#define CORVELLA_GDIPLUS_THUNK(name)                                              \
  extern "C" {                                                                    \
  FARPROC corvella_gdiplus_##name = nullptr;                                      \
  }                                                                               \
  asm(".text\n.globl " #name "\n.def " #name "; .scl 2; .type 32; .endef\n" #name \
      ":\n"                                                                       \
      "  jmp *corvella_gdiplus_" #name "(%rip)\n");
CORVELLA_GDIPLUS_FUNCTIONS(CORVELLA_GDIPLUS_THUNK)

namespace corvella {
namespace {

struct Entry {
  const char* name;
  FARPROC* pointer;
};

#define CORVELLA_GDIPLUS_ENTRY(name) Entry{#name, &corvella_gdiplus_##name},
constexpr Entry kEntries[] = {CORVELLA_GDIPLUS_FUNCTIONS(CORVELLA_GDIPLUS_ENTRY)};

void ClearEntries() {
  for (const Entry& entry : kEntries) *entry.pointer = nullptr;
}

bool loaded = false;

}  // namespace

GdiplusLibrary::GdiplusLibrary() {
  if (loaded) throw Error("GDI+ is loaded already");
  module_ = LoadSystemLibrary(L"gdiplus.dll");
  if (module_ == nullptr) throw ErrorWithCode("Cannot load gdiplus.dll", GetLastError());
  for (const Entry& entry : kEntries) {
    *entry.pointer = GetProcAddress(module_, entry.name);
    if (*entry.pointer == nullptr) {
      const DWORD code = GetLastError();
      ClearEntries();
      FreeLibrary(module_);
      throw ErrorWithCode(FillMessage("Cannot find %s in gdiplus.dll", entry.name), code);
    }
  }
  Gdiplus::GdiplusStartupInput input;  // version 1
  const Gdiplus::Status status = Gdiplus::GdiplusStartup(&token_, &input, nullptr);
  if (status != Gdiplus::Ok) {
    ClearEntries();
    FreeLibrary(module_);
    throw ErrorWithCode("Cannot start GDI+", status);
  }
  loaded = true;
}

GdiplusLibrary::~GdiplusLibrary() {
  Gdiplus::GdiplusShutdown(token_);
  ClearEntries();
  FreeLibrary(module_);
  loaded = false;
}

}  // namespace corvella

#include "presentation/gdiplus_library_win32.h"

// GDI+'s headers use min and max unqualified.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <memory>
#include <string>

#include "common/com_win32.h"
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

namespace {

struct StreamRelease {
  void operator()(IStream* stream) const { stream->Release(); }
};
using UniqueStream = std::unique_ptr<IStream, StreamRelease>;

// A stream over a copy of the picture's bytes, for GDI+ to decode from memory: no file is
// written, so none can be left behind.
UniqueStream MemoryStream(const void* bytes, DWORD byteCount, const std::string& name) {
  IStream* raw = nullptr;
  const HRESULT created = com::CreateStreamOnHGlobal(nullptr, TRUE, &raw);
  if (FAILED(created) || raw == nullptr) {
    throw ErrorWithCode(FillMessage("Cannot read picture %s", name), created);
  }
  UniqueStream stream(raw);
  ULONG written = 0;
  const HRESULT wrote = stream->Write(bytes, byteCount, &written);
  if (FAILED(wrote) || written != byteCount) {
    throw ErrorWithCode(FillMessage("Cannot read picture %s", name), wrote);
  }
  stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  return stream;
}

}  // namespace

HBITMAP DecodePicture(const void* bytes, DWORD byteCount, const std::string& name, int numerator, int denominator,
                      SIZE& size) {
  // The stream outlives the picture decoded from it, as GDI+ asks.
  const UniqueStream stream = MemoryStream(bytes, byteCount, name);
  Gdiplus::Bitmap decoded(stream.get(), TRUE);
  if (decoded.GetLastStatus() != Gdiplus::Ok) {
    throw Error(FillMessage("Cannot read picture %s", name));
  }
  const auto w = static_cast<int>(decoded.GetWidth());
  const auto h = static_cast<int>(decoded.GetHeight());
  size = {MulDiv(w, numerator, denominator), MulDiv(h, numerator, denominator)};
  HBITMAP bitmap = nullptr;
  Gdiplus::Status status = Gdiplus::GenericError;
  if (size.cx == w && size.cy == h) {
    status = decoded.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap);
  } else {
    Gdiplus::Bitmap scaled(size.cx, size.cy, PixelFormat32bppPARGB);
    {
      Gdiplus::Graphics g(&scaled);
      g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
      g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
      g.DrawImage(&decoded, Gdiplus::Rect(0, 0, size.cx, size.cy), 0, 0, w, h, Gdiplus::UnitPixel);
    }
    status = scaled.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap);
  }
  if (status != Gdiplus::Ok || bitmap == nullptr) {
    throw Error(FillMessage("Cannot read picture %s", name));
  }
  return bitmap;
}

}  // namespace corvella

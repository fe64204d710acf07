#include "presentation/gdiplus_library_win32.h"

// GDI+'s headers use min and max unqualified.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/com_win32.h"
#include "common/error.h"
#include "common/handles_win32.h"
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

// A PNG's pixels as the window manager decodes them: since Windows Vista an icon image may be
// a whole PNG file, which CreateIconFromResourceEx reads at its own size. Straight-alpha BGRA,
// top row first; empty when the system would not read it. This reads the picture without
// GDI+'s decoders, which go through the imaging component and COM: Wine keeps that component
// (1.3 MiB) loaded for good once COM has loaded it, where user32 reads PNG by itself.
std::vector<std::uint32_t> PixelsThroughIcon(const void* bytes, DWORD byteCount, int& width, int& height) {
  std::vector<std::uint32_t> pixels;
  const UniqueIcon icon(CreateIconFromResourceEx(static_cast<PBYTE>(const_cast<void*>(bytes)), byteCount, TRUE,
                                                 0x00030000, 0, 0, LR_DEFAULTCOLOR));
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon.get(), &info)) return pixels;
  const UniqueGdiObject colour(info.hbmColor);
  const UniqueGdiObject mask(info.hbmMask);
  BITMAP shape{};
  if (!colour || GetObjectW(colour.get(), sizeof shape, &shape) != sizeof shape || shape.bmBitsPixel != 32 ||
      shape.bmWidth <= 0 || shape.bmHeight <= 0 || shape.bmWidth > 4096 || shape.bmHeight > 4096) {
    return pixels;
  }
  BITMAPINFO layout{};
  layout.bmiHeader.biSize = sizeof layout.bmiHeader;
  layout.bmiHeader.biWidth = shape.bmWidth;
  layout.bmiHeader.biHeight = -shape.bmHeight;  // top row first
  layout.bmiHeader.biPlanes = 1;
  layout.bmiHeader.biBitCount = 32;
  layout.bmiHeader.biCompression = BI_RGB;
  pixels.resize(static_cast<std::size_t>(shape.bmWidth) * static_cast<std::size_t>(shape.bmHeight));
  HDC screen = GetDC(nullptr);
  const int rows = screen ? GetDIBits(screen, static_cast<HBITMAP>(colour.get()), 0,
                                      static_cast<UINT>(shape.bmHeight), pixels.data(), &layout, DIB_RGB_COLORS)
                          : 0;
  if (screen) ReleaseDC(nullptr, screen);
  if (rows != shape.bmHeight) {
    pixels.clear();
    return pixels;
  }
  width = shape.bmWidth;
  height = shape.bmHeight;
  return pixels;
}

}  // namespace

HBITMAP DecodePicture(const void* bytes, DWORD byteCount, const std::string& name, int numerator, int denominator,
                      SIZE& size) {
  int w = 0;
  int h = 0;
  // Each outlives the picture made from it, as GDI+ asks.
  const std::vector<std::uint32_t> pixels = PixelsThroughIcon(bytes, byteCount, w, h);
  UniqueStream stream;
  std::unique_ptr<Gdiplus::Bitmap> decoded;
  if (!pixels.empty()) {
    decoded = std::make_unique<Gdiplus::Bitmap>(w, h, w * 4, PixelFormat32bppARGB,
                                                reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(pixels.data())));
  } else {
    // GDI+'s own decoding, for a system whose window manager did not read the picture. It
    // goes through the system's imaging component, which needs COM.
    com::Start();
    stream = MemoryStream(bytes, byteCount, name);
    decoded = std::make_unique<Gdiplus::Bitmap>(stream.get(), TRUE);
    w = static_cast<int>(decoded->GetWidth());
    h = static_cast<int>(decoded->GetHeight());
  }
  if (decoded->GetLastStatus() != Gdiplus::Ok) {
    throw Error(FillMessage("Cannot read picture %s", name));
  }
  size = {MulDiv(w, numerator, denominator), MulDiv(h, numerator, denominator)};
  HBITMAP bitmap = nullptr;
  Gdiplus::Status status = Gdiplus::GenericError;
  if (size.cx == w && size.cy == h) {
    status = decoded->GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap);
  } else {
    Gdiplus::Bitmap scaled(size.cx, size.cy, PixelFormat32bppPARGB);
    {
      Gdiplus::Graphics g(&scaled);
      g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
      g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
      g.DrawImage(decoded.get(), Gdiplus::Rect(0, 0, size.cx, size.cy), 0, 0, w, h, Gdiplus::UnitPixel);
    }
    status = scaled.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap);
  }
  if (status != Gdiplus::Ok || bitmap == nullptr) {
    throw Error(FillMessage("Cannot read picture %s", name));
  }
  return bitmap;
}

}  // namespace corvella

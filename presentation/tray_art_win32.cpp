#include "presentation/tray_art_win32.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "common/monitor_dpi_win32.h"
#include "common/system_function_win32.h"
#include "presentation/icon_file.h"

namespace corvella {
namespace {

constexpr const wchar_t* kWaitingName = L"TRAY_WAITING";
constexpr const wchar_t* kWeatherName = L"TRAY_WEATHER";
constexpr const wchar_t* kGlyphName = L"MENU_GLYPH";

std::string_view ResourceBytes(HMODULE module, const wchar_t* name) {
  HRSRC info = FindResourceW(module, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!info) return {};
  // Resources stay mapped as long as the module; nothing to free.
  HGLOBAL loaded = LoadResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const char*>(data), SizeofResource(module, info)};
}

// A 32-bit DIB section holding `pixels` (0xAARRGGBB, top row first).
UniqueGdiObject MakeDib(int size, const std::vector<std::uint32_t>& pixels) {
  BITMAPINFO info = TopDownDibInfo(size);
  void* bits = nullptr;
  UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return UniqueGdiObject();
  std::memcpy(bits, pixels.data(), pixels.size() * sizeof pixels[0]);
  return bitmap;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

}  // namespace

BITMAPINFO TopDownDibInfo(int size) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

std::optional<TrayArt> LoadTrayArt(HMODULE module, int size) {
  auto waiting = IconFileImage(ResourceBytes(module, kWaitingName), size);
  auto weather = IconFileImage(ResourceBytes(module, kWeatherName), size);
  auto glyph = IconFileImage(ResourceBytes(module, kGlyphName), size);
  if (!waiting || !weather || !glyph) return std::nullopt;
  return TrayArt{std::move(*waiting), std::move(*weather), std::move(*glyph)};
}

std::optional<TrayArt> LoadTrayArtNearest(HMODULE module, int size) {
  const int drawn =
      NearestCommonIconSize({ResourceBytes(module, kWaitingName), ResourceBytes(module, kWeatherName),
                             ResourceBytes(module, kGlyphName)},
                            size);
  return drawn > 0 ? LoadTrayArt(module, drawn) : std::nullopt;
}

int TrayIconPixelSize() {
  // Both calls are newer than the oldest Windows we run on; looked up when needed.
  HMODULE user = GetModuleHandleW(L"user32.dll");
  auto dpiForWindow = SystemFunction<GetDpiForWindowFn>(user, "GetDpiForWindow");
  auto metricsForDpi = SystemFunction<GetSystemMetricsForDpiFn>(user, "GetSystemMetricsForDpi");
  HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
  int size = 0;
  if (dpiForWindow != nullptr && metricsForDpi != nullptr && taskbar != nullptr) {
    const UINT dpi = dpiForWindow(taskbar);
    if (dpi != 0) size = metricsForDpi(SM_CXSMICON, dpi);
  }
  if (size <= 0) size = GetSystemMetrics(SM_CXSMICON);
  return size > 0 ? size : kTrayIconSize;
}

int SmallIconSizeAt(POINT at) {
  const UINT dpi = MonitorDpi(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST));
  auto metricsForDpi =
      SystemFunction<GetSystemMetricsForDpiFn>(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi");
  int size = dpi != 0 && metricsForDpi != nullptr ? metricsForDpi(SM_CXSMICON, dpi) : 0;
  if (size <= 0) size = GetSystemMetrics(SM_CXSMICON);
  return size > 0 ? size : kTrayIconSize;
}

UniqueIcon MakeIcon(const TrayEntry& entry) {
  const int size = entry.picture.size;
  // Where the mask is white nothing of the picture shows, whatever its alpha says.
  std::vector<std::uint32_t> colour = entry.picture.pixels;
  for (std::size_t i = 0; i < colour.size(); ++i) {
    if (entry.mask.pixels[i] == kMaskTransparent) colour[i] = 0;
  }
  UniqueGdiObject colourBitmap = MakeDib(size, colour);

  // Monochrome mask: set bits are transparent; rows padded to 16 bits.
  const std::size_t row = static_cast<std::size_t>((size + 15) / 16 * 2);
  std::vector<unsigned char> mask(row * static_cast<std::size_t>(size), 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      if (entry.mask.at(x, y) == kMaskTransparent) {
        mask[static_cast<std::size_t>(y) * row + static_cast<std::size_t>(x / 8)] |=
            static_cast<unsigned char>(0x80 >> (x % 8));
      }
    }
  }
  UniqueGdiObject maskBitmap(CreateBitmap(size, size, 1, 1, mask.data()));
  if (!colourBitmap || !maskBitmap) return UniqueIcon();

  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = static_cast<HBITMAP>(colourBitmap.get());
  info.hbmMask = static_cast<HBITMAP>(maskBitmap.get());
  return UniqueIcon(CreateIconIndirect(&info));
}

}  // namespace corvella

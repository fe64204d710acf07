#include "presentation/widget_composition_win32.h"

// GDI+'s headers use min and max unqualified.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/error.h"
#include "presentation/gdiplus_library_win32.h"
#include "presentation/glyph_outline.h"

namespace corvella {
namespace {

// The picture's bytes as the module carries them: "PNG<n>", or "PNG<n>_<dpi>" for larger DPIs.
struct BackgroundResource {
  std::string name;
  const void* bytes = nullptr;
  DWORD size = 0;
};

BackgroundResource FindBackground(HMODULE module, WidgetBackground index, int artDpi) {
  std::wstring name = L"PNG" + std::to_wstring(static_cast<int>(index));
  if (artDpi != kWidgetArtDpis[0]) name += L"_" + std::to_wstring(artDpi);
  HRSRC found = FindResourceW(module, name.c_str(), L"PNG");
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) throw Error(FillMessage("Resource %s not found", FromWide(name)));
  return {FromWide(name), bytes, SizeofResource(module, found)};
}

// Decodes the background, with colour management, into a premultiplied 32-bit bitmap on a fully
// transparent ground, scaled from its rendering's DPI to `dpi`.
HBITMAP DecodeBackground(const BackgroundResource& picture, int dpi, int artDpi, SIZE& size) {
  return DecodePicture(picture.bytes, picture.size, picture.name, dpi, artDpi, size);
}

// The temperature's outline in bold "Tahoma", laid out as one line from its origin at the
// top left, the way GDI+ lays out a path's text: the baseline one ascent below the origin, each
// letter one advance after the one before. The letters come from GDI at 2048 pixels to the em,
// where no hinting moves them, and are scaled down to the em size. (GDI+'s own text would do the
// same, but its first font family enumerates every installed font, and under Wine that leaves
// each font file mapped.) Empty when no outline font can be had.
std::vector<PathPoint> TemperatureOutline(const std::wstring& text, int dpi) {
  constexpr int kOutlineEm = 2048;
  const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return {};
  LOGFONTW logFont{};
  logFont.lfHeight = -kOutlineEm;
  logFont.lfWeight = FW_BOLD;
  logFont.lfCharSet = DEFAULT_CHARSET;
  // Where no Tahoma is installed the font mapper gives another outline face.
  logFont.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  kWidgetFontFamily.copy(logFont.lfFaceName, LF_FACESIZE - 1);
  const UniqueGdiObject font(CreateFontIndirectW(&logFont));
  if (!font) return {};
  const SelectGuard selected(dc.get(), font.get());
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(dc.get(), &metrics)) return {};
  const float scale = static_cast<float>(ScaleForDpi(kWidgetTextEm, dpi)) / kOutlineEm;
  float x = static_cast<float>(ScaleForDpi(kWidgetTextX, dpi));
  const float baseline =
      static_cast<float>(ScaleForDpi(kWidgetTextY, dpi)) + static_cast<float>(metrics.tmAscent) * scale;
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  std::vector<PathPoint> path;
  std::vector<std::uint8_t> outline;
  for (const wchar_t letter : text) {
    GLYPHMETRICS glyph{};
    const DWORD size = GetGlyphOutlineW(dc.get(), letter, GGO_BEZIER, &glyph, 0, nullptr, &identity);
    if (size == GDI_ERROR) return {};
    outline.resize(size);
    if (size != 0 && (GetGlyphOutlineW(dc.get(), letter, GGO_BEZIER, &glyph, size, outline.data(),
                                       &identity) == GDI_ERROR ||
                      !AppendGlyphOutline(outline, x, baseline, scale, path)))
      return {};
    x += static_cast<float>(glyph.gmCellIncX) * scale;
  }
  return path;
}

// The temperature as one path: white fill, then a black outline over it, no smoothing.
void DrawTemperature(HBITMAP bitmap, std::string_view text, int dpi) {
  DIBSECTION dib{};
  if (text.empty() || GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBits == nullptr)
    return;
  const std::vector<PathPoint> outline = TemperatureOutline(ToWide(text), dpi);
  if (outline.empty()) return;
  std::vector<Gdiplus::PointF> points;
  std::vector<BYTE> types;
  for (const PathPoint& point : outline) {
    points.emplace_back(point.x, point.y);
    types.push_back(point.type);
  }
  GdiFlush();
  const int width = dib.dsBm.bmWidth, height = dib.dsBm.bmHeight, stride = dib.dsBm.bmWidthBytes;
  auto* bits = static_cast<BYTE*>(dib.dsBm.bmBits);
  // A bottom-up bitmap is read from its last row with a negative stride.
  const bool bottomUp = dib.dsBmih.biHeight > 0;
  Gdiplus::Bitmap canvas(width, height, bottomUp ? -stride : stride, PixelFormat32bppPARGB,
                         bottomUp ? bits + static_cast<std::ptrdiff_t>(height - 1) * stride : bits);
  Gdiplus::Graphics g(&canvas);
  g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
  Gdiplus::GraphicsPath path(points.data(), types.data(), static_cast<INT>(points.size()),
                             Gdiplus::FillModeAlternate);
  Gdiplus::SolidBrush white(Gdiplus::Color(0xFF, 0xFF, 0xFF, 0xFF));
  g.FillPath(&white, &path);
  Gdiplus::Pen black(Gdiplus::Color(0xFF, 0, 0, 0), static_cast<Gdiplus::REAL>(dpi) / 96.0f);
  g.DrawPath(&black, &path);
}

}  // namespace

ComposedPicture::ComposedPicture(HDC screen, HBITMAP bitmap)
    : bitmap_(bitmap), dc_(CreateCompatibleDC(screen)) {
  if (!dc_) throw Error("Cannot create a drawing context");
  previous_ = SelectObject(dc_.get(), bitmap);
}

ComposedPicture::~ComposedPicture() {
  // The bitmap leaves the DC before either is deleted.
  if (dc_ && previous_ != nullptr) SelectObject(dc_.get(), previous_);
}

HBITMAP ComposeWidgetPicture(HMODULE resources, WidgetBackground index, std::string_view text, int dpi, int artDpi,
                             SIZE& size) {
  const BackgroundResource background = FindBackground(resources, index, artDpi);
  // GDI+ only while composing: between compositions, hours apart, it holds nothing.
  const GdiplusLibrary gdiplus;
  UniqueGdiObject bitmap(DecodeBackground(background, dpi, artDpi, size));
  DrawTemperature(static_cast<HBITMAP>(bitmap.get()), text, dpi);
  return static_cast<HBITMAP>(bitmap.release());
}

}  // namespace corvella

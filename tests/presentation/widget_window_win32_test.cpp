// The widget's composed picture and its place, with the real GDI+ and the pictures linked
// into corvella.exe.
#include "presentation/widget_window_win32.h"

#include <gtest/gtest.h>
#include <psapi.h>  // windows.h comes first, with the header above
#include <windows.h>

#include <cstring>
#include <set>
#include <vector>

#include "common/error.h"
#include "common/text_literal.h"
#include "shell/app_settings.h"
#include "shell/memory_settings_store.h"
#include "shell/widget_switches.h"

namespace corvella {
namespace {

struct Pixels {
  int width = 0, height = 0;
  std::vector<std::uint32_t> argb;  // top row first
  std::uint32_t At(int x, int y) const { return argb[static_cast<std::size_t>(y * width + x)]; }
};

Pixels Read(const ComposedPicture& picture) {
  DIBSECTION dib{};
  EXPECT_EQ(GetObjectW(picture.bitmap(), sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
  Pixels p;
  p.width = dib.dsBm.bmWidth;
  p.height = dib.dsBm.bmHeight;
  p.argb.resize(static_cast<std::size_t>(p.width * p.height));
  GdiFlush();
  const auto* bits = static_cast<const BYTE*>(dib.dsBm.bmBits);
  for (int y = 0; y < p.height; ++y) {
    const int row = dib.dsBmih.biHeight > 0 ? p.height - 1 - y : y;
    std::memcpy(&p.argb[static_cast<std::size_t>(y * p.width)], bits + row * dib.dsBm.bmWidthBytes,
                static_cast<std::size_t>(p.width) * 4);
  }
  return p;
}

class WidgetWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = LoadLibraryExW(CORVELLA_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe_, nullptr);
  }
  void TearDown() override { FreeLibrary(exe_); }
  std::unique_ptr<WidgetWindow> MakeWidget() {
    return std::make_unique<WidgetWindow>(GetModuleHandleW(nullptr), &place_, exe_);
  }
  SIZE WindowSize(const WidgetWindow& w) {
    RECT r{};
    GetWindowRect(w.window(), &r);
    return {r.right - r.left, r.bottom - r.top};
  }

  HMODULE exe_ = nullptr;
  MemorySettingsStore store_;
  StoredWidgetPlace place_{store_};
};

TEST_F(WidgetWindowTest, TheTemperatureIsWhiteWithABlackOutlineOverATranslucentPicture) {
  auto widget = MakeWidget();
  widget->Fons(kBackgroundDay, "+5\xB0");
  ASSERT_NE(widget->picture(), nullptr);
  const Pixels p = Read(*widget->picture());
  ASSERT_EQ(p.width, 156);
  ASSERT_EQ(p.height, 156);
  // The letters start at (50, 50): "+5°" in 26-pixel bold fits well inside this box.
  auto inText = [](int x, int y) { return x >= 50 && x < 120 && y >= 50 && y < 90; };
  int white = 0, black = 0, picture = 0;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const std::uint32_t c = p.At(x, y);
      const std::uint32_t a = c >> 24, r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
      ASSERT_TRUE(r <= a && g <= a && b <= a) << "premultiplied at " << x << "," << y;
      if (!inText(x, y)) {
        ASSERT_LE(a, 230u) << "the picture lets the desktop through at " << x << "," << y;
        picture += a > 64 && r + g + b > 3 * 64;
        continue;
      }
      white += c == 0xFFFFFFFF;
      black += c == 0xFF000000;
    }
  }
  EXPECT_GT(white, 60) << "white letters";
  EXPECT_GT(black, 60) << "their black outline";
  // Without anti-aliasing, the letters' pixels are only white, black or the picture's own.
  EXPECT_EQ(p.At(0, 0) >> 24, 0u) << "the corner is transparent";
  EXPECT_GT(picture, 2000) << "the sun is drawn, not only the letters";
  // Read by user32's own PNG reader, not GDI+'s decoders: under Wine those load the imaging
  // component through COM, which then stays loaded for the life of the process (1.3 MiB).
  EXPECT_EQ(GetModuleHandleW(L"windowscodecs.dll"), nullptr);

  // No text: the background alone, nowhere opaque.
  widget->Fons(kBackgroundNight, "");
  const Pixels bare = Read(*widget->picture());
  for (std::uint32_t c : bare.argb) ASSERT_LE(c >> 24, 230u);
}

TEST_F(WidgetWindowTest, TheWindowTakesThePicturesSize) {
  auto widget = MakeWidget();
  EXPECT_EQ(WindowSize(*widget).cx, kWidgetInitialWidth);
  EXPECT_EQ(WindowSize(*widget).cy, kWidgetInitialHeight);
  widget->RefreshFace("-12\xB0", "Дождь"_cp);
  EXPECT_EQ(WindowSize(*widget).cx, 170);
  EXPECT_EQ(WindowSize(*widget).cy, 156);
  widget->RefreshFace("-12\xB0", "Гроза"_cp);
  EXPECT_EQ(WindowSize(*widget).cx, 156);
  widget->RefreshFace("", "Снег"_cp);
  EXPECT_EQ(WindowSize(*widget).cx, 170);
}

TEST_F(WidgetWindowTest, ItStartsAtItsStoredPlaceAndStoresItWhenClosed) {
  {
    auto first = MakeWidget();
    RECT r{};
    GetWindowRect(first->window(), &r);
    EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) - 192);
    EXPECT_EQ(r.top, 0);
    EXPECT_FALSE(first->Visible()) << "created hidden";
    SetWindowPos(first->window(), nullptr, 44, 33, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    first->Close();
  }
  EXPECT_EQ(store_.Stored(kSettingsSection, "top"), "33");
  EXPECT_EQ(store_.Stored(kSettingsSection, "left"), "44");
  auto second = MakeWidget();
  RECT r{};
  GetWindowRect(second->window(), &r);
  EXPECT_EQ(r.left, 44);
  EXPECT_EQ(r.top, 33);
  second.reset();

  // A place that no screen shows any more comes back onto the screen when it is shown.
  store_.WriteInteger(kSettingsSection, "left", -5000);
  store_.WriteInteger(kSettingsSection, "top", 40);
  auto lost = MakeWidget();
  lost->Show();
  GetWindowRect(lost->window(), &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 40);
  EXPECT_TRUE(lost->Visible());
}

// A stored place of the wrong type gives the default place and an error to show; a picture that
// fails leaves the widget hidden, and a place that cannot be stored leaves it shown.
TEST_F(WidgetWindowTest, FailuresLeaveTheWidgetAsItsMenuCheckSays) {
  store_.SetRaw(kSettingsSection, "top", MemorySettingsStore::ValueType::kDword, "5");
  store_.WriteInteger(kSettingsSection, "left", 44);
  auto widget = MakeWidget();
  RECT r{};
  GetWindowRect(widget->window(), &r);
  EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) - 192);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(widget->createError(), "Invalid data type for 'top'");

  WidgetWindow pictureless(GetModuleHandleW(nullptr), &place_, GetModuleHandleW(nullptr));
  EXPECT_THROW(pictureless.Show(), Error);
  EXPECT_FALSE(pictureless.Visible());

  widget->Show();
  store_.FailWritesOf("left");
  EXPECT_THROW(widget->Close(), Error);
  EXPECT_TRUE(widget->Visible());
}

// The widget's own handling, and a second DPI change sent while the first one resizes it (as
// when its new size puts most of it back on the old monitor).
WNDPROC widgetProc = nullptr;
int nestedChanges = 0;
LRESULT CALLBACK ResizeSendsAnotherChange(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_WINDOWPOSCHANGED && nestedChanges == 0) {
    ++nestedChanges;
    RECT back{600, 500, 600 + 312, 500 + 312};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&back));
  }
  return CallWindowProcW(widgetProc, hwnd, msg, wp, lp);
}

// On a move to a monitor of another scale the widget takes the suggested place, a change that
// comes while it is redrawn for the first is not followed, and a drag in progress keeps the
// grabbed spot of the picture under the mouse.
TEST_F(WidgetWindowTest, ADpiChangeTakesTheSuggestedPlaceAndScalesTheGrab) {
  auto widget = MakeWidget();
  widget->Fons(kBackgroundDay, "+1\xB0");
  const HWND w = widget->window();
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
  RECT suggested{300, 200, 300 + 234, 200 + 234};
  widgetProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ResizeSendsAnotherChange)));
  SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(widgetProc));
  EXPECT_EQ(nestedChanges, 1);
  RECT r{};
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 200);
  POINT cursor{};
  ASSERT_TRUE(SetCursorPos(400, 400));
  GetCursorPos(&cursor);
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, 0);
  SendMessageW(w, WM_LBUTTONUP, 0, 0);
  GetWindowRect(w, &r);
  // Grabbed at (10, 20) at 96 DPI; the same spot at 192 DPI.
  EXPECT_EQ(r.left, cursor.x - 20);
  EXPECT_EQ(r.top, cursor.y - 40);
}

TEST_F(WidgetWindowTest, FiveHundredCompositionsKeepOneBitmapAndOneContext) {
  auto widget = MakeWidget();
  auto workingSet = [] {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
  };
  for (int i = 0; i < 20; ++i) widget->Fons(static_cast<WidgetBackground>(i % 4), "-3\xB0");
  const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const SIZE_T before = workingSet();
  std::set<HGDIOBJ> bitmaps;
  std::set<HDC> contexts;
  for (int i = 0; i < 500; ++i) {
    widget->Fons(static_cast<WidgetBackground>(i % 4), "-3\xB0");
    bitmaps.insert(widget->picture()->bitmap());
    contexts.insert(widget->picture()->dc());
  }
  // Wine counts no GDI objects for a process; the handles of every composition say what lives
  // (a handle value the system gave out again counts once).
  int liveBitmaps = 0, liveContexts = 0;
  for (HGDIOBJ b : bitmaps) liveBitmaps += GetObjectType(b) == OBJ_BITMAP;
  for (HDC dc : contexts) liveContexts += GetObjectType(dc) == OBJ_MEMDC;
  EXPECT_EQ(liveBitmaps, 1);
  EXPECT_EQ(liveContexts, 1);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
  // A leaked 156 x 156 picture per composition would grow it by about 47 MB.
  const SIZE_T after = workingSet();
  EXPECT_LT(after, before + 8 * 1024 * 1024) << "working set grew from " << before << " to " << after;
  EXPECT_EQ(GetModuleHandleW(L"gdiplus.dll"), nullptr) << "GDI+ is unloaded between compositions";
  const HGDIOBJ last = widget->picture()->bitmap();
  widget.reset();
  EXPECT_EQ(GetObjectType(last), 0u) << "destroying the widget releases the last picture";
}

}  // namespace
}  // namespace corvella

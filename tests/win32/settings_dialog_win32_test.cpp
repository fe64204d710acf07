// The settings dialog's real controls: settings shown and read back unchanged, edits live at
// once, Cancel restoring what was shown, the port field's typing filter.
#include "shell/settings_dialog_win32.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "common/text_literal.h"
#include "shell/location_catalogue.h"

namespace corvella {
namespace {

SettingsDialog* g_dialog = nullptr;
int g_hostScaleChanges = 0;  // WM_DPICHANGED that reached the host's own handling

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (LRESULT result = 0; g_dialog != nullptr && g_dialog->Handle(msg, wp, lp, result)) return result;
  if (msg == WM_DPICHANGED) ++g_hostScaleChanges;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SettingsDialogTestHost";
    RegisterClassW(&wc);
    host = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, wc.lpszClassName, L"Corvella Forecast",
                           WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
    dialog = std::make_unique<SettingsDialog>(wc.hInstance, host, host, live);
    g_dialog = dialog.get();
    catalogue = LocationCatalogue::FromBytes("Адыгея, Абадзехская;230569\nМосква, Москва;13564\nТыва, Кызыл;13544\n");
    dialog->FillLocations(catalogue);
  }
  void TearDown() override {
    g_dialog = nullptr;
    dialog.reset();
    DestroyWindow(host);
  }
  void Click(int id) { SendMessageW(dialog->Control(id), BM_CLICK, 0, 0); }

  AppSettings live;
  HWND host = nullptr;
  std::unique_ptr<SettingsDialog> dialog;
  LocationCatalogue catalogue;
};

// The settings go through the dialog from start-up, but its windows are made when it is first
// shown: before and after, they come back the same, also what a control can't hold.
TEST_F(SettingsDialogTest, SettingsComeBackTheSameBeforeAndAfterTheControlsAreBuilt) {
  AppSettings s;
  s.locationIndex = 2;
  s.temperatureColor = 0x00336699;
  s.showCurrentTemperature = true;
  s.temperatureOnIcon = false;
  s.digitsOnly = true;
  s.rateUsd = false;
  s.rateJpy = s.rateCny = true;
  s.refreshPeriodIndex = 3;
  s.proxyUser = "Пользователь"_cp;
  s.proxyPassword = "секрет1"_cp;
  s.proxyHost = "proxy.example.";
  s.proxyPort = "3128";
  s.autostart = true;
  live = s;
  dialog->Fill();
  EXPECT_FALSE(dialog->Built());
  EXPECT_EQ(dialog->Control(kIdComboBox1), nullptr);
  EXPECT_EQ(live, s);
  dialog->Show();
  ASSERT_TRUE(dialog->Built());
  AppSettings back;
  ReadControls(*dialog, back);
  EXPECT_EQ(back, s);
  EXPECT_EQ(live, s);
  HWND list = dialog->Control(kIdComboBox1);
  ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 2);
  wchar_t text[64] = {};
  SendMessageW(list, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"Тыва, Кызыл");
  // The icon temperature is off, so digits only is greyed but keeps its mark.
  EXPECT_TRUE(IsWindowEnabled(dialog->Control(kIdCheckBox8)));
  EXPECT_FALSE(IsWindowEnabled(dialog->Control(kIdCheckBox9)));
  EXPECT_TRUE(dialog->Checked(kIdCheckBox9));
  dialog->Hide();

  // A row past the list, a period past the four, a text with a NUL or a line break in it.
  s.locationIndex = 3;
  s.refreshPeriodIndex = 4;
  s.proxyUser = std::string("anna\0petrova", 12);
  s.proxyHost = "proxy\r\nexample";
  SettingsDialog unbuilt(GetModuleHandleW(nullptr), host, host, live);
  unbuilt.FillLocations(catalogue);
  live = s;
  unbuilt.Fill();
  const AppSettings held = live;
  EXPECT_EQ(held.locationIndex, -1);
  EXPECT_EQ(held.refreshPeriodIndex, -1);
  EXPECT_EQ(held.proxyUser, "anna");
  live = s;
  dialog->Fill();
  EXPECT_EQ(live, held) << "the built controls hold these the same way";
}

TEST_F(SettingsDialogTest, EditsAreLiveAndCancelPutsBackWhatWasShown) {
  live = AppSettings{};
  dialog->Fill();
  dialog->Show();
  const AppSettings shown = live;
  Click(kIdCheckBox5);
  Click(kIdCheckBox7);
  SetWindowTextW(dialog->Control(kIdEdit3), L"10.0.0.1");
  EXPECT_TRUE(live.rateChf);
  EXPECT_FALSE(live.showCurrentTemperature);
  EXPECT_FALSE(IsWindowEnabled(dialog->Control(kIdCheckBox8)));
  EXPECT_EQ(live.proxyHost, "10.0.0.1");

  SendMessageW(host, WM_COMMAND, IDCANCEL, 0);  // what Esc sends
  EXPECT_FALSE(IsWindowVisible(host));
  EXPECT_EQ(live, shown);
  EXPECT_FALSE(dialog->Checked(kIdCheckBox5));
  EXPECT_TRUE(IsWindowEnabled(dialog->Control(kIdCheckBox8)));

  // Alt+F4 leaves the dialog the same way and never reaches the window's close.
  dialog->Show();
  Click(kIdCheckBox5);
  LRESULT result = 0;
  EXPECT_TRUE(dialog->Handle(WM_SYSCOMMAND, SC_CLOSE, 0, result));
  EXPECT_FALSE(IsWindowVisible(host));
  EXPECT_EQ(live, shown);
}

TEST_F(SettingsDialogTest, EnterMeansOkAndThePortFieldTakesTypedDigitsOnly) {
  dialog->Show();
  int oks = 0;
  dialog->onOk = [&] { ++oks; };
  EXPECT_EQ(SendMessageW(host, DM_GETDEFID, 0, 0), MAKELONG(kIdOk, DC_HASDEFID));
  SendMessageW(host, WM_COMMAND, MAKEWPARAM(kIdOk, BN_CLICKED), 0);
  EXPECT_EQ(oks, 1);

  HWND port = dialog->Control(kIdEdit4);
  for (wchar_t typed : {L'8', L'a', L'0', L'\x16', L'-', L'9'}) SendMessageW(port, WM_CHAR, typed, 0);
  EXPECT_EQ(dialog->Text(kIdEdit4), "809");
  SendMessageW(port, WM_CHAR, L'\b', 0);
  EXPECT_EQ(dialog->Text(kIdEdit4), "80");
  for (int i = 0; i < 10; ++i) SendMessageW(port, WM_CHAR, L'1', 0);
  EXPECT_EQ(dialog->Text(kIdEdit4), "80111111");  // at most 8 characters
  // Text that arrives other than by typing (a paste) is not filtered.
  SendMessageW(port, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"12ab"));
  EXPECT_EQ(live.proxyPort, "12ab");
}

// Moved to a 150 % monitor, the dialog lays itself out again: every place, size and font
// half as large again, in the window the system suggests.
TEST_F(SettingsDialogTest, AMoveToAnotherScaleLaysTheDialogOutAgain) {
  dialog->Show();
  auto placeOf = [&](int id) {
    RECT r{};
    GetWindowRect(dialog->Control(id), &r);
    MapWindowPoints(HWND_DESKTOP, host, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  auto fontHeight = [&](int id) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog->Control(id), WM_GETFONT, 0, 0)), sizeof font, &font);
    return std::abs(font.lfHeight);
  };
  const RECT ok96 = placeOf(kIdOk);
  const int font96 = fontHeight(kIdOk);
  ASSERT_GT(ok96.right - ok96.left, 0);

  RECT suggested{100, 80, 100 + 700, 80 + 600};
  g_hostScaleChanges = 0;
  SendMessageW(host, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(g_hostScaleChanges, 1) << "the host's own refit (the tray's pictures) must run too";
  const RECT ok144 = placeOf(kIdOk);
  EXPECT_NEAR(ok144.left, ok96.left * 3 / 2, 1);
  EXPECT_NEAR(ok144.top, ok96.top * 3 / 2, 1);
  EXPECT_NEAR(ok144.right - ok144.left, (ok96.right - ok96.left) * 3 / 2, 1);
  EXPECT_NEAR(ok144.bottom - ok144.top, (ok96.bottom - ok96.top) * 3 / 2, 1);
  EXPECT_NEAR(fontHeight(kIdOk), font96 * 3 / 2, 1);
  RECT window{};
  GetWindowRect(host, &window);
  EXPECT_EQ(window.left, 100);
  EXPECT_EQ(window.top, 80);
  EXPECT_EQ(window.right - window.left, 700);
}

// Shown, every control has a place of its own (the journey checks the frame at 96 and 144 DPI),
// the password shows "*", and the pages take the tab body's look.
TEST_F(SettingsDialogTest, ShownDialogPlacesEveryControlAndThemesItsPages) {
  dialog->Show();
  for (const ControlSpec& row : DialogControlTable()) {
    RECT r{};
    GetWindowRect(dialog->Control(row.id), &r);
    EXPECT_TRUE(r.right > r.left && r.bottom > r.top) << "control " << row.id << " has no size";
  }

  EXPECT_EQ(SendMessageW(dialog->Control(kIdEdit2), EM_GETPASSWORDCHAR, 0, 0), L'*');

  // Under a visual style (Wine's own has one) a page, its labels and its check boxes share the tab
  // body's brush, not the grey of the window around the tab control.
  using ThemeActiveFn = BOOL(WINAPI*)();
  const auto themeActive = reinterpret_cast<ThemeActiveFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"uxtheme.dll"), "IsThemeActive")));
  ASSERT_NE(themeActive, nullptr) << "showing the dialog loads uxtheme.dll";
  if (!themeActive()) return;
  HWND weather = GetParent(dialog->Control(kIdCheckBox7));
  HDC dc = GetDC(weather);
  auto brush = [&](UINT msg, HWND of) {
    return SendMessageW(weather, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(of));
  };
  const LRESULT body = brush(WM_CTLCOLORDLG, weather);
  EXPECT_NE(body, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)));
  EXPECT_EQ(brush(WM_CTLCOLORSTATIC, dialog->Control(kIdLocationLabel)), body);
  EXPECT_EQ(brush(WM_CTLCOLORSTATIC, dialog->Control(kIdCheckBox7)), body);
  EXPECT_EQ(brush(WM_CTLCOLORBTN, dialog->Control(kIdCheckBox7)), body);
  ReleaseDC(weather, dc);
}

}  // namespace
}  // namespace corvella

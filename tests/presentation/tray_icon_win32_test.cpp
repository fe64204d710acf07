// The tray icon against a shell that refuses, as a busy Explorer does at logon.
#include "presentation/tray_icon_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/text_literal.h"
#include "presentation/popup_menu_win32.h"

namespace corvella {
namespace {

struct FakeShell {
  int refuseAdds = 0;        // adds still to refuse
  bool addsTimeOut = false;  // a refused add takes the icon all the same
  bool hasIcon = false;
  std::vector<NOTIFYICONDATAW> adds, changes;

  ShellNotify Notify() {
    return [this](DWORD action, NOTIFYICONDATAW& data) {
      if (action == NIM_ADD) {
        adds.push_back(data);
        if (refuseAdds > 0) {
          --refuseAdds;
          hasIcon |= addsTimeOut;
          return false;
        }
        return !hasIcon && (hasIcon = true);
      }
      if (action == NIM_MODIFY && hasIcon) changes.push_back(data);
      if (action == NIM_DELETE) return std::exchange(hasIcon, false);
      return hasIcon;
    };
  }
  int Balloons() const {
    int n = 0;
    for (const NOTIFYICONDATAW& c : changes) n += (c.uFlags & NIF_INFO) != 0 && c.szInfo[0] != 0;
    return n;
  }
};

// Handles this thread's messages (the retry timer's) until `done` or `ms` milliseconds.
template <class Done>
void PumpUntil(Done done, DWORD ms = 3000) {
  for (DWORD start = GetTickCount(); !done() && GetTickCount() - start < ms; Sleep(5)) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

TEST(TrayIconShell, RefusedAddIsRetriedAndCarriesWhatCameMeanwhile) {
  FakeShell shell;
  shell.refuseAdds = 3;
  TrayIcon icon(GetModuleHandleW(nullptr), shell.Notify(), {10, 30});
  icon.Show();
  EXPECT_FALSE(icon.shown());
  icon.SetHint("Corvella\rloading");
  icon.ShowBalloon("Corvella", "Now 5", BalloonKind::Info, 10);
  EXPECT_EQ(shell.Balloons(), 0);
  PumpUntil([&] { return icon.shown(); });
  ASSERT_TRUE(icon.shown());
  EXPECT_EQ(shell.adds.size(), 4u);
  EXPECT_EQ(std::wstring(shell.adds.back().szTip), L"Corvella\rloading");
  EXPECT_EQ(shell.Balloons(), 1) << "the balloon waits for the add";
  EXPECT_EQ(std::wstring(shell.changes.back().szInfo), L"Now 5");
  // Once taken, the icon is not added again.
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(shell.adds.size(), 4u);
}

TEST(TrayIconShell, ARestartedTaskbarTakesTheIconAndEndsTheRetries) {
  FakeShell shell;
  shell.refuseAdds = 1000;
  TrayIcon icon(GetModuleHandleW(nullptr), shell.Notify(), {10, 100});
  icon.Show();
  PumpUntil([&] { return shell.adds.size() > 2; });
  shell.refuseAdds = 0;
  SendMessageW(icon.window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_TRUE(icon.shown());
  const std::size_t adds = shell.adds.size();
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(shell.adds.size(), adds) << "no retry repeats the add";
}

TEST(TrayIconShell, GivesUpAfterAMinuteAndTriesAgainOnTheNextChange) {
  FakeShell shell;
  shell.refuseAdds = 1000;
  TrayIcon icon(GetModuleHandleW(nullptr), shell.Notify(), {5, 4});
  icon.Show();
  PumpUntil([&] { return shell.adds.size() > 5; }, 300);
  EXPECT_EQ(shell.adds.size(), 5u) << "the first add and four attempts";
  EXPECT_FALSE(icon.shown());
  shell.refuseAdds = 0;
  icon.SetHint("Corvella");
  EXPECT_TRUE(icon.shown());
}

TEST(TrayIconShell, AnAddThatTimedOutButWentThroughCountsAndIsTakenDown) {
  FakeShell shell;
  shell.refuseAdds = 1;
  shell.addsTimeOut = true;
  {
    TrayIcon icon(GetModuleHandleW(nullptr), shell.Notify(), {5, 4});
    icon.Show();
    EXPECT_TRUE(icon.shown()) << "the change after the refused add was taken";
    // The icon vanished (the shell lost it): the next change adds it again at once.
    shell.hasIcon = false;
    icon.SetPicture(nullptr);
    EXPECT_TRUE(icon.shown());
    EXPECT_EQ(shell.adds.size(), 2u);
  }
  EXPECT_FALSE(shell.hasIcon) << "removed at exit";
}

// A screen reader names a menu item from its text: every item but the separators keeps its caption
// as a string, the one with a picture too (a bitmap or owner-drawn item would have none).
TEST(PopupMenuNames, EveryItemKeepsItsCaptionAsText) {
  const MenuItemSpec items[] = {{MenuItemKind::Default, 10, "Свойства..."_cp},
                                {MenuItemKind::Separator, 0, {}},
                                {MenuItemKind::Plain, 11, "Обновить программу"_cp}};
  PopupMenu menu(items);
  ICONINFO picture{TRUE, 0, 0, CreateBitmap(16, 16, 1, 1, nullptr), CreateBitmap(16, 16, 1, 32, nullptr)};
  menu.SetGlyph(11, UniqueIcon(CreateIconIndirect(&picture)), 16);
  DeleteObject(picture.hbmMask);
  DeleteObject(picture.hbmColor);
  const wchar_t* const captions[] = {L"Свойства...", nullptr, L"Обновить программу"};
  ASSERT_EQ(GetMenuItemCount(menu.handle()), 3);
  for (UINT i = 0; i < 3; ++i) {
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 64;
    ASSERT_TRUE(GetMenuItemInfoW(menu.handle(), i, TRUE, &info));
    if (captions[i] == nullptr) {
      EXPECT_NE(info.fType & MFT_SEPARATOR, 0u);
      continue;
    }
    EXPECT_EQ(info.fType & (MFT_OWNERDRAW | MFT_BITMAP), 0u) << i;
    EXPECT_EQ(std::wstring(text), captions[i]) << i;
  }
}

}  // namespace
}  // namespace corvella

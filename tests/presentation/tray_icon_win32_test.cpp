// The tray icon against a shell that refuses, as a busy Explorer does at logon.
#include "presentation/tray_icon_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

}  // namespace
}  // namespace corvella

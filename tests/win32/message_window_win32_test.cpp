// Windows made by MessageWindow: the owner hears them from their creation on, and nothing once
// it has let them go, however the window ends.
#include "common/message_window_win32.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvella {
namespace {

constexpr wchar_t kClass[] = L"CorvellaTestMessageWindow";

class Recorder : public MessageHandler {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    heard.push_back(msg);
    if (msg == WM_APP) window.Destroy();
    return msg == WM_APP + 1 ? 42 : DefWindowProcW(window.get(), msg, wp, lp);
  }
  bool Heard(UINT msg) const {
    for (UINT m : heard)
      if (m == msg) return true;
    return false;
  }
  MessageWindow window;
  std::vector<UINT> heard;
};

TEST(MessageWindow, RoutesFromCreationToDestructionAndNotAfterwards) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  Recorder first;
  ASSERT_TRUE(first.window.Create(&first, instance, {.name = kClass}, {}));
  EXPECT_TRUE(first.Heard(WM_NCCREATE));
  EXPECT_TRUE(first.Heard(WM_CREATE));
  EXPECT_EQ(SendMessageW(first.window.get(), WM_APP + 1, 0, 0), 42);

  // A second window of the class finds it registered; each owner hears its own window.
  Recorder second;
  ASSERT_TRUE(second.window.Create(&second, instance, {.name = kClass}, {}));
  first.heard.clear();
  SendMessageW(second.window.get(), WM_APP + 1, 0, 0);
  EXPECT_TRUE(first.heard.empty());

  // Destroyed by its owner: the pointer goes first, so WM_DESTROY reaches nobody.
  const HWND gone = first.window.get();
  first.heard.clear();
  first.window.Destroy();
  EXPECT_FALSE(IsWindow(gone));
  EXPECT_EQ(first.window.get(), nullptr);
  EXPECT_FALSE(first.Heard(WM_DESTROY));

  // Destroyed from outside (as a parent takes its children): the owner hears WM_DESTROY, then
  // lets the handle go.
  const HWND other = second.window.get();
  DestroyWindow(other);
  EXPECT_TRUE(second.Heard(WM_DESTROY));
  EXPECT_TRUE(second.Heard(WM_NCDESTROY));
  EXPECT_EQ(second.window.get(), nullptr);

  // A window that answers nothing of its own (the application window) lets its handle go too.
  MessageWindow silent;
  ASSERT_TRUE(silent.Create(nullptr, instance, {.name = kClass}, {}));
  SendMessageW(silent.get(), WM_CLOSE, 0, 0);  // the default destroys it
  EXPECT_EQ(silent.get(), nullptr);
}

TEST(MessageWindow, AnOwnerMayDestroyItsWindowFromItsOwnHandler) {
  Recorder owner;
  ASSERT_TRUE(owner.window.Create(&owner, GetModuleHandleW(nullptr), {.name = kClass}, {}));
  const HWND window = owner.window.get();
  SendMessageW(window, WM_APP, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(owner.window.get(), nullptr);
}

TEST(MessageWindow, RefusesAClassNameThatAnotherProcedureHolds) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW foreign{};
  foreign.lpfnWndProc = DefWindowProcW;
  foreign.hInstance = instance;
  foreign.lpszClassName = L"CorvellaTestForeignClass";
  ASSERT_NE(RegisterClassW(&foreign), 0);
  Recorder owner;
  EXPECT_FALSE(owner.window.Create(&owner, instance, {.name = L"CorvellaTestForeignClass"}, {}));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  EXPECT_EQ(owner.window.get(), nullptr);
  EXPECT_TRUE(owner.heard.empty());
}

}  // namespace
}  // namespace corvella

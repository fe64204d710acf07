#include "shell/single_instance_win32.h"

#include <gtest/gtest.h>

namespace corvella {
namespace {

// A folder window of File Explorer is titled with the bare folder name.
constexpr wchar_t kFolderClass[] = L"CabinetWClass";

HWND MakeWindow(const wchar_t* className, const wchar_t* title, HWND owner) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  RegisterClassW(&wc);  // fails harmlessly once registered
  return CreateWindowExW(0, className, title, WS_POPUP, 0, 0, 10, 10, owner, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

struct Window {
  explicit Window(const wchar_t* title, HWND owner = nullptr,
                  const wchar_t* className = kApplicationWindowClass)
      : hwnd(MakeWindow(className, title, owner)) {}
  ~Window() { DestroyWindow(hwnd); }
  HWND hwnd;
};

TEST(SingleInstance, OnlyAnotherUnownedApplicationWindowWithTheExactTitleCounts) {
  Window own(L"Corvella");
  ASSERT_NE(own.hwnd, nullptr);
  EXPECT_FALSE(AnotherInstanceRunning(own.hwnd)) << "our own application window is skipped";

  {
    Window dialog(L"Corvella Forecast");
    Window lower(L"corvella");
    Window padded(L"Corvella ");
    // The program's folder open in Explorer, and any other window of that title.
    Window folder(L"Corvella", nullptr, kFolderClass);
    ASSERT_NE(folder.hwnd, nullptr);
    EXPECT_FALSE(AnotherInstanceRunning(own.hwnd));
  }
  {
    // An owned window titled "Corvella" (another instance's dialog, say) is not an instance.
    Window owner(L"someone");
    Window owned(L"Corvella", owner.hwnd);
    EXPECT_FALSE(AnotherInstanceRunning(own.hwnd));
  }
  {
    Window other(L"Corvella");
    EXPECT_TRUE(AnotherInstanceRunning(own.hwnd));
  }
  EXPECT_FALSE(AnotherInstanceRunning(own.hwnd));
}

TEST(SingleInstance, OnlyTheFirstTakerOfTheNameGoesOn) {
  constexpr wchar_t kName[] = L"Local\\Velmar.Corvella.InstanceTest";
  {
    InstanceMutex first(kName);
    EXPECT_FALSE(first.TakenByAnother());
    EXPECT_TRUE(InstanceMutex(kName).TakenByAnother());
    EXPECT_TRUE(InstanceMutex(kName).TakenByAnother()) << "a start that ended leaves the name to the first";
  }
  EXPECT_FALSE(InstanceMutex(kName).TakenByAnother()) << "the name goes with the instance";

  // Another kind of object under the name: no instance, and the failure is kept.
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, kName);
  ASSERT_NE(event, nullptr);
  InstanceMutex squatted(kName);
  EXPECT_FALSE(squatted.TakenByAnother());
  EXPECT_EQ(squatted.failure(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CloseHandle(event);
}

}  // namespace
}  // namespace corvella

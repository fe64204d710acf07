// The main window and controller: a hidden window that owns, for the life of the process,
// the settings, the catalogue, the HTTP client, the refresh pass with its timers, and the
// tray icon with its menu. It is the pass's window: hints, menu item, pictures, balloons
// and the message pump all come back here.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "common/handles_win32.h"
#include "common/message_window_win32.h"
#include "presentation/forecast_window_win32.h"
#include "presentation/popup_menu_win32.h"
#include "presentation/tray_art_win32.h"
#include "presentation/tray_digits_win32.h"
#include "presentation/tray_icon_win32.h"
#include "presentation/tray_image_list.h"
#include "presentation/widget_control.h"
#include "presentation/widget_window_win32.h"
#include "retrieval/http_client.h"
#include "retrieval/socket.h"
#include "shell/app_settings.h"
#include "shell/location_catalogue.h"
#include "shell/online_check_win32.h"
#include "shell/power_notify_win32.h"
#include "shell/refresh_pass.h"
#include "shell/refresh_timers.h"
#include "shell/settings_dialog_win32.h"
#include "shell/wake_refresh.h"
#include "shell/widget_switches.h"

namespace corvella {

enum MenuCommand : UINT {
  kCommandProperties = 100,  // "Свойства..."
  kCommandOnTop,             // "Поверх всех окон"
  kCommandWidget,            // "Индикатор погоды"
  kCommandRefresh,           // "Получить сведения"
  kCommandUpdate,            // "Обновить программу"
  kCommandClose,             // "Закрыть"
};

// A timer of the main window, switched on and off by id.
class WindowTimer : public Timer {
 public:
  WindowTimer(const HWND& window, UINT_PTR id, UINT intervalMs)
      : window_(window), id_(id), interval_(intervalMs) {}
  void SetEnabled(bool enabled) override;
  UINT_PTR id() const { return id_; }

 private:
  const HWND& window_;
  UINT_PTR id_;
  UINT interval_;
};

class MainForm : public RefreshHost, private MessageHandler {
 public:
  static constexpr wchar_t kWindowClass[] = L"CorvellaMainForm";

  // Creates the hidden window and runs FormCreate. A second instance never gets past
  // FormCreate: the process ends there with exit code 0.
  MainForm(HINSTANCE instance, HWND applicationWindow);
  ~MainForm() override;
  MainForm(const MainForm&) = delete;
  MainForm& operator=(const MainForm&) = delete;

  HWND window() const { return window_.get(); }

  // "Свойства...": the settings are loaded afresh, then the dialog is shown. A failing load
  // is raised, and the dialog stays hidden.
  void ShowSettingsDialog();
  // The dialog's keyboard, for every loop that takes messages from the queue.
  bool PreTranslate(MSG& msg) { return dialog_ && dialog_->PreTranslate(msg); }

  // RefreshHost
  bool IsOnline() override;
  void SetHint(const std::string& text) override;
  void SetRefreshItemEnabled(bool enabled) override;
  void PumpMessages() override;
  void PaintTrayDigits(const ForecastSnapshot& snapshot) override;
  void RefreshFace(const ForecastSnapshot& snapshot) override;
  void ShowWidget() override;
  void SetIconIndex(int index) override;
  void Sleep(int milliseconds) override;
  void ShowNotice(const std::string& title, const std::string& text, NoticeKind kind, int seconds) override;

  // The tray menu, shared with the widget.
  PopupMenu& menu() { return *menu_; }
  // The widget's menu items: "Индикатор погоды" and "Поверх всех окон", and their checks.
  void ToggleWidget();
  void ToggleOnTop();
  bool WidgetChecked() const { return widgetSwitches_ && widgetSwitches_->widgetChecked(); }
  bool OnTopChecked() const { return widgetSwitches_ ? widgetSwitches_->onTopChecked() : settings_.widgetOnTop; }
  // "Получить сведения": one refresh pass now.
  void RefreshClick();
  // "Обновить программу": the product's page on the maker's site, in the browser.
  void ProductPageClick();
  // Hides the application window's taskbar button, if it shows.
  void HideAppButton();

 private:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;
  void FormCreate();
  void LoadsIntoDialog();
  void FormShow();
  void FormClose();
  // At the pointer, or from the keyboard beside the icon.
  void ShowPopupMenu(bool fromKeyboard = false);
  void OnCommand(UINT id);
  void OnTimer(UINT_PTR id);
  void OnLeftDoubleClick();
  // Opens the forecast window beside `anchor` (screen coordinates), or closes it.
  void ToggleForecast(const RECT& anchor, FlyoutOpener opener);
  void OnPowerBroadcast(WPARAM event);
  // Draws the image list again when the notification area's icon size has changed.
  void FitTrayArt();
  // Redraws the digits when the taskbar's theme or a high-contrast scheme changed their colour.
  void FollowTaskbarLook();
  // The "update" item's picture at `glyphSize` pixels.
  void FitMenuGlyph(int glyphSize, const std::optional<TrayArt>& art);
  bool IsConnected();
  // On a first run, once: whether the first balloon should say how to keep the icon on the
  // taskbar (Windows 11 keeps it in the overflow).
  bool PinHintWanted();
  void CreateWidget();
  void ApplyOnTopAtStart();
  void ShowWidgetChecks();

  HINSTANCE instance_;
  HWND applicationWindow_;
  MessageWindow window_;
  bool closing_ = false;

  std::unique_ptr<SettingsStore> store_;
  std::unique_ptr<AutostartEntry> autostart_;
  AppSettings settings_;
  LocationCatalogue catalogue_;
  std::unique_ptr<SocketLayer> sockets_;
  std::unique_ptr<HttpClient> http_;
  std::unique_ptr<OwnFileDate> ownFileDate_;
  WindowTimer timer1_;
  WindowTimer timer3_;
  WindowTimer wakeDelay_;
  WindowTimer connectionWatch_;
  WindowTimer timer4_;
  std::unique_ptr<RefreshPass> pass_;
  std::unique_ptr<RefreshTimers> timers_;
  std::unique_ptr<WakeRefresh> wake_;
  // Wakes from Modern Standby come as WM_POWERBROADCAST only with this.
  std::unique_ptr<SuspendResumeNotification> suspendResume_;
  OnlineCheck online_;

  std::unique_ptr<SettingsDialog> dialog_;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<PopupMenu> menu_;
  // The icon list: 0 waiting, 1 weather, and once drawn 2 (with digits) and 3 (digits only).
  TrayImageList icons_;
  GdiGlyphSource glyphs_;
  int iconIndex_ = 0;
  bool pinHintAsked_ = false;
  int glyphSize_ = 0;
  // The tray menu is being opened or is open (nested when a press comes meanwhile); the
  // timers that fell due meanwhile, to run once it has closed.
  int menuDepth_ = 0;
  std::vector<UINT_PTR> heldTimers_;

  std::unique_ptr<StoredWidgetPlace> widgetPlace_;
  std::unique_ptr<WidgetWindow> widget_;
  // Made on its first opening.
  std::unique_ptr<ForecastWindow> forecast_;
  std::unique_ptr<WidgetSwitches> widgetSwitches_;
};

}  // namespace corvella

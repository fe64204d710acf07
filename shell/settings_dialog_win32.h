// The settings dialog's controls, built from the control table inside the main window (which
// stays the window the refresh pass talks to). The controls are the live settings: every
// change the user makes is read back into AppSettings at once; only OK stores it. The windows,
// and the common controls library they need, are made when the dialog is first shown; until
// then the values they would hold are kept in a ControlValues.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "common/handles_win32.h"
#include "common/message_window_win32.h"
#include "shell/app_settings.h"
#include "shell/settings_dialog_layout.h"

namespace corvella {

class LocationCatalogue;

// The dialog's controls as its windows: what the settings are bound to once it is built.
class WindowControls final : public DialogControls {
 public:
  explicit WindowControls(const std::map<int, HWND>& windows) : windows_(windows) {}
  // The control's window (nullptr for an id the dialog has no window for).
  HWND Control(int id) const;

  bool Checked(int id) const override;
  void SetChecked(int id, bool checked) override;
  int Selected(int id) const override;
  void SetSelected(int id, int index) override;
  std::string Text(int id) const override;
  void SetText(int id, std::string_view text) override;
  std::uint32_t Colour(int id) const override;
  void SetColour(int id, std::uint32_t colour) override;
  void SetEnabled(int id, bool enabled) override;

 private:
  const std::map<int, HWND>& windows_;
  std::uint32_t colour_ = 0;  // the colour sample's: painted, not held by a control
};

class SettingsDialog : public DialogControls, private MessageHandler {
 public:
  // Reads the controls' first state into `live`; no window is made yet.
  SettingsDialog(HINSTANCE instance, HWND host, HWND applicationWindow, AppSettings& live);
  ~SettingsDialog() override;
  SettingsDialog(const SettingsDialog&) = delete;
  SettingsDialog& operator=(const SettingsDialog&) = delete;

  // The location list's rows, once at start-up. The catalogue stays for the whole run: its
  // rows go into the list when the dialog is first built.
  void FillLocations(const LocationCatalogue& catalogue);
  void SetVersionLine(std::string_view line);
  // Shows the live settings (just loaded) in the controls.
  void Fill();
  // Centred on the screen, with the clock of the colour sample set anew; built first if it has
  // never been shown. A failure to build it is raised, and the dialog stays hidden and unbuilt.
  void Show();
  // OK: hides; the caller has stored the settings.
  void Hide();
  // Cancel and Esc: the live settings go back to what they were when the dialog was shown.
  void Cancel();
  bool Visible() const { return IsWindowVisible(host_) != FALSE; }

  // Keyboard of a dialog (Tab, Enter, Esc, Ctrl+Tab) for a message taken from the queue;
  // true when the message has been handled.
  bool PreTranslate(MSG& msg);
  // The host's messages that belong to the dialog; true when handled, with `result`. A change
  // of scale (WM_DPICHANGED) lays the dialog out anew and is still left to the host.
  bool Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

  // OK was pressed (button or Enter).
  std::function<void()> onOk;

  // DialogControls: the values until the dialog is first built, its windows after.
  bool Checked(int id) const override { return bound_->Checked(id); }
  void SetChecked(int id, bool checked) override { bound_->SetChecked(id, checked); }
  int Selected(int id) const override { return bound_->Selected(id); }
  void SetSelected(int id, int index) override { bound_->SetSelected(id, index); }
  std::string Text(int id) const override { return bound_->Text(id); }
  void SetText(int id, std::string_view text) override { bound_->SetText(id, text); }
  std::uint32_t Colour(int id) const override { return bound_->Colour(id); }
  void SetColour(int id, std::uint32_t colour) override { bound_->SetColour(id, colour); }
  void SetEnabled(int id, bool enabled) override { bound_->SetEnabled(id, enabled); }

  // The control's window, once built (nullptr before).
  HWND Control(int id) const { return windows_.Control(id); }
  bool Built() const { return built_; }
  int ActivePage() const { return page_; }
  UINT dpi() const { return dpi_; }

 private:
  static LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  // The colour sample's messages.
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;
  static LRESULT CALLBACK PortFieldProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR);

  void Build();
  void CreateControls();
  void DestroyControls();
  void AddHint(HWND control, std::string_view text);
  void FillLocationList();
  void MakeFonts();
  void Rescale();
  void Layout();
  // The client area at the window's DPI, the frame around it, centred on the monitor's work area.
  void CentreWindow(HMONITOR monitor);
  void SelectPage(int index);
  void OnCommand(int id, int code);
  void ChooseColour();
  // The digits' colour as the icon shows it: the chosen one, else the taskbar's.
  std::uint32_t ColourInForce() const;
  void Changed();
  void PaintHeader(HDC dc) const;
  void DrawLogo(const DRAWITEMSTRUCT& item) const;
  void DrawHeaderText(const DRAWITEMSTRUCT& item) const;
  void PaintSample(HWND sample, HDC dc) const;
  int Scale(int v) const { return MulDiv(v, static_cast<int>(dpi_), 96); }

  HINSTANCE instance_;
  HWND host_;
  HWND applicationWindow_;
  AppSettings& live_;
  AppSettings shown_;
  UINT dpi_ = 96;
  std::map<int, HWND> controls_;
  std::array<HWND, kPageCount> pages_{};
  MessageWindow sample_;
  UniqueWindow tooltip_;
  std::array<UniqueGdiObject, 4> fonts_;  // by FontRole
  UniqueGdiObject sampleFont_;
  UniqueIcon samplePicture_;
  UniqueGdiObject logo_;
  std::wstring clock_;
  HWND lastFocus_ = nullptr;  // the control that had the keyboard when the dialog was deactivated
  int page_ = 0;
  bool filling_ = false;
  bool pagesThemed_ = false;
  const LocationCatalogue* catalogue_ = nullptr;
  bool built_ = false;
  ControlValues values_;  // the controls' values until they are built
  WindowControls windows_{controls_};
  DialogControls* bound_ = &values_;
};

}  // namespace corvella

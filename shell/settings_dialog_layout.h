// The settings dialog as data: every control with its place, caption and hint in one table,
// the controls that hold AppSettings fields in a second, and the small rules the dialog
// applies (which check boxes are enabled, what the port field accepts, the colour choice,
// the version line of the header). The window itself is settings_dialog_win32.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"
#include "common/text_literal.h"

namespace corvella {

struct AppSettings;

// Control ids. IDOK and IDCANCEL are the two buttons, so that Enter and Esc reach them. Each id
// is spelt out: a control added later takes a new number and leaves the others where they are.
enum ControlId : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdLogo = 1001,
  kIdTitle = 1002,
  kIdVersionLine = 1003,
  kIdSubtitle = 1004,
  kIdTabs = 1005,
  kIdWeatherGroup = 1006,
  kIdLocationLabel = 1007,
  kIdComboBox1 = 1008,
  kIdCheckBox7 = 1009,
  kIdCheckBox8 = 1010,
  kIdCheckBox9 = 1011,
  kIdCheckBox11 = 1012,
  kIdCheckBox14 = 1013,
  kIdColourLabel = 1014,
  kIdColourSample = 1015,
  kIdRatesGroup = 1016,
  kIdCheckBox3 = 1017,
  kIdCheckBox4 = 1018,
  kIdCheckBox5 = 1019,
  kIdCheckBox6 = 1020,
  kIdCheckBox17 = 1021,
  kIdCheckBox12 = 1022,
  kIdCheckBox15 = 1023,
  kIdCheckBox18 = 1024,
  kIdCheckBox16 = 1025,
  kIdCheckBox13 = 1026,
  kIdProxyGroup = 1027,
  kIdUserLabel = 1028,
  kIdEdit1 = 1029,
  kIdPasswordLabel = 1030,
  kIdEdit2 = 1031,
  kIdHostLabel = 1032,
  kIdEdit3 = 1033,
  kIdPortLabel = 1034,
  kIdEdit4 = 1035,
  kIdOptionsGroup = 1036,
  kIdCheckBox1 = 1037,
  kIdCheckBox2 = 1038,
  kIdCheckBox10 = 1039,
  kIdPeriodLabel = 1040,
  kIdComboBox2 = 1041,
};

enum class ControlKind {
  kLabel,
  kRightLabel,  // right-aligned to the right edge of its rectangle
  kGroupBox,
  kCheckBox,
  kDropList,  // a combo box that only picks one of its entries
  kEdit,
  kPassword,
  kButton,
  kDefaultButton,
  kLogo,
  kColourSample,
  kTabs,
};

// Where a control lives: on the dialog itself or on one of the three tab pages.
enum class Page { kDialog = -1, kWeather = 0, kRates = 1, kSystem = 2 };
inline constexpr int kPageCount = 3;

enum class FontRole { kDialog, kTitle, kVersion, kSubtitle };

struct Rect96 {
  int x = 0, y = 0, w = 0, h = 0;
  friend bool operator==(const Rect96&, const Rect96&) = default;
};

struct ControlSpec {
  int id;
  ControlKind kind;
  Page page;
  int group;    // id of the enclosing group box (whose origin `rect` counts from), or 0
  Rect96 rect;  // 96-DPI pixels from the page's, the group box's or the client area's origin
  std::string_view caption;
  std::string_view hint;
  FontRole font = FontRole::kDialog;
};

inline constexpr int kDialogClientWidth = 446;
inline constexpr int kDialogClientHeight = 376;
inline constexpr Rect96 kHeaderBand = {0, 0, 446, 83};  // white, with a line under it at 83
inline constexpr int kDropListHeight = 300;             // of the open list, at 96 DPI
inline constexpr int kPortMaxLength = 8;
// Room right of a right-aligned header text for its last glyph's overhang.
inline constexpr int kOverhang = 6;

inline constexpr std::string_view kTabCaptions[kPageCount] = {"Погода"_cp, "Курс валют"_cp, "Системные"_cp};
inline constexpr std::string_view kPeriodEntries[] = {"через три часа"_cp, "через четыре часа"_cp,
                                                      "через пять часов"_cp, "через шесть часов"_cp};
inline constexpr std::string_view kSubtitleText = "информер прогноза погоды и курса валют, в режиме on-Line"_cp;
// The colour sample's parts, and the cover over the whole sample that the mouse meets first.
inline constexpr std::string_view kColourPartsHint = "Нажмите для выбора цвета шрифта"_cp;
inline constexpr std::string_view kColourCoverHint =
    "Нажмите для выбора цвета. Пока он не выбран, цвет следует за панелью задач"_cp;
inline constexpr std::string_view kSampleTemperature = "36°"_cp;

// The maker's web site, the logo's hint and what a click on it opens.
std::string MakerSiteAddress();

// Every control of the dialog, parents (group boxes, the tab control) before their contents.
std::span<const ControlSpec> DialogControlTable();
const ControlSpec* FindControl(int id);
// A control's rectangle on its page (page controls) or in the client area (the rest).
Rect96 PlacedRect(const ControlSpec& row);

// One window moved by the layout, in device pixels of its parent. Windows are named by whatever
// handle the window system gives them.
struct ChildPlacement {
  std::uintptr_t window;
  std::uintptr_t parent;
  int x, y, w, h;
};
// The window system moves the children of one parent in one batch and refuses a batch that
// mixes parents: one batch per parent, in the order the parents first come, each keeping the
// order of its children.
std::vector<std::vector<ChildPlacement>> BatchesByParent(std::span<const ChildPlacement> placements);

// What the dialog's controls look like to the binding: by id, whatever the window system.
class DialogControls {
 public:
  virtual ~DialogControls() = default;
  virtual bool Checked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual int Selected(int id) const = 0;  // -1 when nothing is selected
  virtual void SetSelected(int id, int index) = 0;
  virtual std::string Text(int id) const = 0;
  virtual void SetText(int id, std::string_view text) = 0;
  virtual std::uint32_t Colour(int id) const = 0;
  virtual void SetColour(int id, std::uint32_t colour) = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;
};

// The controls before their windows are made: what each would hold, kept as it would keep it
// (a text ends at its first NUL, a row beyond a list's rows selects nothing, a greyed check box
// keeps its mark, a caption is the table's until it is set). The settings go through the dialog
// from start-up without building it; its first showing builds it and copies these in.
class ControlValues : public DialogControls {
 public:
  // A list's rows, by whether it has row `index`; a list not named here has none.
  void SetRows(int id, std::function<bool(int index)> hasRow);
  // Gives every value set here to the controls that replace these.
  void CopyTo(DialogControls& controls) const;

  bool Checked(int id) const override;
  void SetChecked(int id, bool checked) override;
  int Selected(int id) const override;
  void SetSelected(int id, int index) override;
  std::string Text(int id) const override;
  void SetText(int id, std::string_view text) override;
  std::uint32_t Colour(int id) const override;
  void SetColour(int id, std::uint32_t colour) override;
  void SetEnabled(int id, bool enabled) override;
  bool Enabled(int id) const;

 private:
  std::map<int, bool> checked_, enabled_;
  std::map<int, int> selected_;
  std::map<int, std::string> texts_;
  std::map<int, std::uint32_t> colours_;
  std::map<int, std::function<bool(int)>> rows_;
};

// The controls as the user finds them before the first Loads: only "Отображать температуру на
// иконке" checked, nothing selected, empty fields, no colour chosen.
void ResetControls(DialogControls& controls);
// Shows every edited field in its control, then applies the enabling rule.
void FillControls(const AppSettings& settings, DialogControls& controls);
// Reads every edited field back. The menu's fields ("topwin", "Индикатор") are left alone.
void ReadControls(const DialogControls& controls, AppSettings& settings);

// Enabling rule: the icon temperature needs the current temperature, digits only needs both.
struct TemperatureBoxes {
  bool onIconEnabled;
  bool digitsOnlyEnabled;
};
TemperatureBoxes TemperatureBoxesEnabled(bool showCurrent, bool onIcon);
void ApplyEnablingRule(DialogControls& controls);

// The port field takes digits and Backspace as typed characters; everything else typed is
// dropped (pasting through the context menu is not typing).
bool PortFieldAccepts(unsigned character);

// The temperature colour after the colour chooser closed (`chosen` when the user confirmed):
// pure white would vanish on a light notification area, so it becomes 0xF8F8F8.
std::uint32_t ColourAfterChoice(std::uint32_t current, std::optional<std::uint32_t> chosen);

// Fields 1, 2 and 4 of a version text, joined by "."; runs of "." separate once, and a text
// with fewer fields repeats its last one.
std::string VersionPart(std::string_view versionText);
// "версия 5.9.335 от 07.12.2026 г."
std::string VersionLine(std::string_view versionText, const CivilDate& fileDate);

}  // namespace corvella

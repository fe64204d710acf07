// The dialog's tables and rules: what is stored comes back unchanged through the controls,
// the check boxes enable as the user expects, the port field and the colour rule, the
// version line, and a layout in which nothing overlaps.
#include "shell/settings_dialog_layout.h"

#include <gtest/gtest.h>

#include <map>

#include "shell/app_settings.h"
#include "shell/memory_settings_store.h"

namespace corvella {
namespace {

using Type = MemorySettingsStore::ValueType;

// Controls as plain values by id.
class FakeControls : public DialogControls {
 public:
  bool Checked(int id) const override { return Get(checked, id); }
  void SetChecked(int id, bool c) override { checked[id] = c; }
  int Selected(int id) const override { return Get(selected, id); }
  void SetSelected(int id, int i) override { selected[id] = i; }
  std::string Text(int id) const override { return Get(text, id); }
  void SetText(int id, std::string_view t) override { text[id] = std::string(t); }
  std::uint32_t Colour(int id) const override { return Get(colour, id); }
  void SetColour(int id, std::uint32_t c) override { colour[id] = c; }
  void SetEnabled(int id, bool e) override { enabled[id] = e; }

  template <class T>
  static T Get(const std::map<int, T>& m, int id) {
    auto it = m.find(id);
    EXPECT_NE(it, m.end()) << "control " << id << " was never set";
    return it == m.end() ? T{} : it->second;
  }
  std::map<int, bool> checked, enabled;
  std::map<int, int> selected;
  std::map<int, std::string> text;
  std::map<int, std::uint32_t> colour;
};

constexpr std::string_view kExe = "C:\\Velmar\\corv.exe";

TEST(DialogBinding, StoredSettingsComeBackUnchangedThroughTheControls) {
  // Every stored value away from its default.
  MemorySettingsStore stored;
  auto put = [&](std::string_view name, std::string_view value) {
    stored.SetRaw(kSettingsSection, name, Type::kText, std::string(value));
  };
  put(kValueLocationIndex, "6333");
  put(kValueTemperatureColor, "16744448");
  put(kValueWidgetOnTop, "0");
  for (std::string_view flag : {kValueShowCurrentTemperature, kValueTemperatureOnIcon, kValueRateUsd,
                                kValueRateEur, kValueCheckForUpdates, kValueForecastTomorrow, kValueForecastDayAfter}) {
    put(flag, "0");
  }
  for (std::string_view flag : {kValueDigitsOnly, kValueNotifyOnConnect, kValueRateChf, kValueRateGbp, kValueRateUah,
                                kValueRateJpy, kValueRateDkk, kValueRateKzt, kValueRateTry, kValueRateCny}) {
    put(flag, "1");
  }
  put(kValueRefreshPeriodIndex, "3");
  put(kValueProxyUser, "пользователь"_cp);
  put(kValueProxyPassword, "p@ss");
  put(kValueProxyHost, "proxy.local");
  put(kValueProxyPort, "3128");
  put(kValueFirstRunMarker, "freeware");
  MemoryAutostartEntry entry;
  entry.Write(kExe);

  AppSettings loaded;
  loaded.widgetOnTop = false;  // as Timer4 read it
  Loads(loaded, stored, entry, kExe);
  FakeControls controls;
  FillControls(loaded, controls);
  AppSettings back;
  back.widgetOnTop = false;
  back.widgetShown = false;  // the menu's fields are not the dialog's
  ReadControls(controls, back);
  EXPECT_FALSE(back.widgetShown);
  back.widgetShown = loaded.widgetShown;
  EXPECT_EQ(back, loaded);

  MemorySettingsStore saved;
  saved.SetRaw(kSettingsSection, kValueFirstRunMarker, Type::kText, "freeware");
  MemoryAutostartEntry savedEntry;
  Saves(back, saved, savedEntry, kExe);
  for (const std::string& name : saved.writes()) {
    EXPECT_EQ(saved.Stored(kSettingsSection, name), stored.Stored(kSettingsSection, name)) << name;
  }
  EXPECT_EQ(saved.writes().size(), 25u);
  EXPECT_EQ(savedEntry.Read(), AutostartCommand(kExe));
}

TEST(DialogBinding, BeforeTheFirstLoadsOnlyTheIconTemperatureIsChecked) {
  FakeControls controls;
  ResetControls(controls);
  AppSettings s;
  ReadControls(controls, s);
  EXPECT_TRUE(s.temperatureOnIcon);
  EXPECT_FALSE(s.showCurrentTemperature || s.digitsOnly || s.rateUsd || s.rateEur || s.checkForUpdates ||
               s.forecastTomorrow || s.autostart);
  EXPECT_EQ(s.locationIndex, -1);
  EXPECT_EQ(s.refreshPeriodIndex, -1);
  EXPECT_EQ(s.proxyPort, "");
  EXPECT_EQ(s.temperatureColor, kColourNotChosen);  // "ОК" now would store no colour
  EXPECT_FALSE(controls.enabled[kIdCheckBox8]);  // the current temperature is off
}

// Before the dialog is first shown its values stand in for the controls, and then go into them.
TEST(DialogBinding, ValuesHoldWhatTheControlsWouldAndHandItOver) {
  ControlValues values;
  values.SetRows(kIdComboBox1, [](int index) { return index < 25311; });
  values.SetRows(kIdComboBox2, [](int index) { return index < 4; });
  AppSettings s;
  s.showCurrentTemperature = false;
  s.digitsOnly = true;
  s.refreshPeriodIndex = 3;
  s.proxyHost = "proxy.local";
  FillControls(s, values);
  AppSettings back;
  ReadControls(values, back);
  back.widgetShown = s.widgetShown;
  EXPECT_EQ(back, s);
  EXPECT_FALSE(values.Enabled(kIdCheckBox8));
  EXPECT_TRUE(values.Checked(kIdCheckBox9));  // greyed, with its mark
  EXPECT_EQ(values.Text(kIdTitle), FindControl(kIdTitle)->caption);

  // What a control can't hold: a row past the list, a text past its end.
  s.locationIndex = 25311;
  s.refreshPeriodIndex = 4;
  s.proxyUser = std::string("anna\0petrova", 12);
  FillControls(s, values);
  ReadControls(values, back);
  EXPECT_EQ(back.locationIndex, -1);
  EXPECT_EQ(back.refreshPeriodIndex, -1);
  EXPECT_EQ(back.proxyUser, "anna");

  FakeControls controls;
  ResetControls(controls);
  values.CopyTo(controls);
  AppSettings copied;
  ReadControls(controls, copied);
  copied.widgetShown = back.widgetShown;
  EXPECT_EQ(copied, back);
  EXPECT_FALSE(controls.enabled[kIdCheckBox8]);
  EXPECT_FALSE(controls.enabled[kIdCheckBox9]);
}

TEST(DialogRules, TemperatureBoxesEnableInStepsAndKeepTheirMarks) {
  FakeControls controls;
  AppSettings s;
  s.showCurrentTemperature = true;
  s.temperatureOnIcon = true;
  s.digitsOnly = true;
  FillControls(s, controls);
  EXPECT_TRUE(controls.enabled[kIdCheckBox8]);
  EXPECT_TRUE(controls.enabled[kIdCheckBox9]);

  controls.SetChecked(kIdCheckBox7, false);  // the user unchecks the current temperature
  ApplyEnablingRule(controls);
  EXPECT_FALSE(controls.enabled[kIdCheckBox8]);
  EXPECT_FALSE(controls.enabled[kIdCheckBox9]);
  EXPECT_TRUE(controls.checked[kIdCheckBox8]);
  EXPECT_TRUE(controls.checked[kIdCheckBox9]);

  controls.SetChecked(kIdCheckBox8, false);
  controls.SetChecked(kIdCheckBox7, true);
  ApplyEnablingRule(controls);
  EXPECT_TRUE(controls.enabled[kIdCheckBox8]);
  EXPECT_FALSE(controls.enabled[kIdCheckBox9]);  // only once the icon temperature is on again

  // A disabled box keeps its mark but the pass does not count it.
  ReadControls(controls, s);
  s.showCurrentTemperature = false;
  EXPECT_TRUE(s.digitsOnly);
  EXPECT_FALSE(DigitsOnlyEffective(s));
}

TEST(DialogRules, PortFieldKeepsOnlyTypedDigitsAndBackspace) {
  std::string field;
  for (unsigned typed : {unsigned{'8'}, unsigned{'a'}, unsigned{'0'}, 0x16u /* Ctrl+V */, unsigned{' '},
                         unsigned{'-'}, 0xB0u, unsigned{'\r'}}) {
    if (PortFieldAccepts(typed)) field += static_cast<char>(typed);
  }
  EXPECT_EQ(field, "80");
  EXPECT_TRUE(PortFieldAccepts('\b'));
  EXPECT_TRUE(PortFieldAccepts('9'));
  EXPECT_FALSE(PortFieldAccepts('0' + 0x10000u));
}

TEST(DialogRules, PureWhiteBecomesNearWhiteWhetherOrNotConfirmed) {
  EXPECT_EQ(ColourAfterChoice(0x000000, 0xFFFFFF), 0xF8F8F8u);
  EXPECT_EQ(ColourAfterChoice(0xFFFFFF, std::nullopt), 0xF8F8F8u);
  EXPECT_EQ(ColourAfterChoice(0x000000, 0xFEFEFE), 0xFEFEFEu);
  EXPECT_EQ(ColourAfterChoice(0x0000FF, std::nullopt), 0x0000FFu);
  EXPECT_EQ(ColourAfterChoice(0x0000FF, 0x000000), 0x000000u);
  // A colour nobody chose stays so when the chooser is cancelled, and becomes the one chosen.
  EXPECT_EQ(ColourAfterChoice(kColourNotChosen, std::nullopt), kColourNotChosen);
  EXPECT_EQ(ColourAfterChoice(kColourNotChosen, 0x000000), 0x000000u);
}

TEST(DialogRules, VersionLineTakesFieldsOneTwoAndFour) {
  EXPECT_EQ(VersionPart("5.9.0.335"), "5.9.335");
  EXPECT_EQ(VersionPart("1..2...3.4.5"), "1.2.4");
  EXPECT_EQ(VersionPart("5.9"), "5.9.9");
  EXPECT_EQ(VersionPart("7"), "7.7.7");
  EXPECT_EQ(VersionPart("0.0.0.0"), "0.0.0");
  EXPECT_EQ(VersionPart(".3.1."), "3.1.1");
  EXPECT_EQ(VersionLine("5.9.0.335", CivilDate{2026, 3, 7}), "версия 5.9.335 от 07.03.2026 г."_cp);
}

TEST(DialogLayout, ControlsSitInsideTheirBoxesAndDoNotOverlap) {
  auto inside = [](const Rect96& in, const Rect96& out) {
    return in.x >= out.x && in.y >= out.y && in.x + in.w <= out.x + out.w && in.y + in.h <= out.y + out.h;
  };
  auto overlap = [](const Rect96& a, const Rect96& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
  };
  const Rect96 tabs = FindControl(kIdTabs)->rect;
  // The page is the tab control less its tab row and borders.
  const Rect96 page{0, 0, tabs.w - 8, tabs.h - 28};
  const Rect96 client{0, -3, kDialogClientWidth, kDialogClientHeight + 3};
  std::vector<const ControlSpec*> leaves;
  for (const ControlSpec& row : DialogControlTable()) {
    const Rect96 placed = PlacedRect(row);
    if (row.group != 0) {
      Rect96 box = FindControl(row.group)->rect;
      box = {box.x + 2, box.y + 8, box.w - 4, box.h - 10};
      EXPECT_TRUE(inside(placed, box)) << row.id;
    }
    EXPECT_TRUE(inside(placed, row.page == Page::kDialog ? client : page)) << row.id;
    if (row.kind == ControlKind::kGroupBox || row.kind == ControlKind::kTabs) continue;
    for (const ControlSpec* other : leaves) {
      if (other->page == row.page) {
        EXPECT_FALSE(overlap(PlacedRect(*other), placed)) << other->id << " " << row.id;
      }
    }
    leaves.push_back(&row);
  }
  EXPECT_EQ(PlacedRect(*FindControl(kIdEdit4)), (Rect96{297, 61, 91, 21}));
}

// The dialog's own controls and those of the pages come interleaved, as the table lists them:
// every batch moves the children of one parent only, each once, in the table's order.
TEST(DialogLayout, EachBatchMovesTheChildrenOfOneParent) {
  const std::vector<ChildPlacement> placements = {{11, 1, 0, 0, 9, 9}, {21, 2, 5, 5, 9, 9},
                                                  {12, 1, 9, 0, 9, 9}, {22, 2, 5, 20, 9, 9},
                                                  {31, 3, 0, 0, 9, 9}, {13, 1, 18, 0, 9, 9}};
  const auto batches = BatchesByParent(placements);
  ASSERT_EQ(batches.size(), 3u);
  std::vector<std::uintptr_t> order;
  for (const auto& batch : batches) {
    for (const ChildPlacement& p : batch) {
      EXPECT_EQ(p.parent, batch.front().parent) << p.window;
      order.push_back(p.window);
    }
  }
  EXPECT_EQ(order, (std::vector<std::uintptr_t>{11, 12, 13, 21, 22, 31}));
  EXPECT_EQ(batches[1][1].y, 20);  // each place travels with its window
  EXPECT_TRUE(BatchesByParent({}).empty());
}

}  // namespace
}  // namespace corvella

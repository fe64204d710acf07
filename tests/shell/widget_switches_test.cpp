#include "shell/widget_switches.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/error.h"
#include "shell/memory_settings_store.h"

namespace corvella {
namespace {

struct FakeWidget : WidgetControl {
  void SetWidgetVisible(bool visible) override {
    if (fail) throw Error("Cannot read picture PNG1");
    shown.push_back(visible);
  }
  void SetWidgetOnTop(bool on) override {
    if (fail) throw Error("Cannot change the widget's band");
    onTop.push_back(on);
  }
  std::vector<bool> shown, onTop;
  bool fail = false;
};

class WidgetSwitchesTest : public ::testing::Test {
 protected:
  std::optional<std::string> Stored(std::string_view name) { return store.Stored(kSettingsSection, name); }
  AppSettings settings;
  MemorySettingsStore store;
  MemoryAutostartEntry autostart;
  FakeWidget widget;
  WidgetSwitches switches{settings, store, widget};
};

TEST_F(WidgetSwitchesTest, TheDialogSavesTopwinAsTheMenuShowsIt) {
  store.WriteString(kSettingsSection, "topwin", "0");
  switches.ApplyOnTopAtStart();
  EXPECT_FALSE(switches.onTopChecked());
  EXPECT_EQ(widget.onTop, std::vector<bool>{false});
  Saves(settings, store, autostart, "c:\\corv.exe");
  EXPECT_EQ(Stored("topwin"), "0") << "OK in the dialog must not turn a stored 0 into 1";

  switches.ToggleOnTop();
  EXPECT_EQ(Stored("topwin"), "1");
  switches.ToggleOnTop();
  EXPECT_EQ(Stored("topwin"), "0") << "toggled twice, it ends where it began";
  EXPECT_EQ(widget.onTop, (std::vector<bool>{false, true, false}));
  Saves(settings, store, autostart, "c:\\corv.exe");
  EXPECT_EQ(Stored("topwin"), "0");
}

TEST_F(WidgetSwitchesTest, IndicatorShowsThenHidesAndStoresItsState) {
  switches.ToggleWidget();
  EXPECT_TRUE(switches.widgetChecked());
  EXPECT_EQ(Stored("Индикатор"_cp), "1");
  switches.ToggleWidget();
  EXPECT_FALSE(switches.widgetChecked());
  EXPECT_EQ(Stored("Индикатор"_cp), "0");
  EXPECT_EQ(widget.shown, (std::vector<bool>{true, false}));
  // The pass shows it and sets the check; the next click then hides it.
  switches.ShowWidget();
  switches.ToggleWidget();
  EXPECT_EQ(widget.shown, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(Stored("Индикатор"_cp), "0");
}

// A failed registry write or a failed picture leaves the menu check, the stored value and the
// widget in step: all as before.
TEST_F(WidgetSwitchesTest, AFailedWriteOrWidgetChangesNothing) {
  switches.ApplyOnTopAtStart();
  store.FailWritesOf("topwin");
  EXPECT_THROW(switches.ToggleOnTop(), Error);
  EXPECT_TRUE(switches.onTopChecked());
  EXPECT_EQ(widget.onTop, std::vector<bool>{true}) << "not applied before it is stored";
  EXPECT_EQ(Stored("topwin"), std::nullopt);

  store.FailWritesOf("Индикатор"_cp);
  EXPECT_THROW(switches.ToggleWidget(), Error);
  EXPECT_FALSE(switches.widgetChecked());
  EXPECT_TRUE(widget.shown.empty()) << "not shown before it is stored";

  MemorySettingsStore working;
  FakeWidget broken;
  broken.fail = true;
  WidgetSwitches other{settings, working, broken};
  working.WriteString(kSettingsSection, "topwin", "1");
  working.WriteString(kSettingsSection, "Индикатор"_cp, "0");
  LoadSetting(settings, working, kValueWidgetShown);  // as Loads reads it at start
  EXPECT_THROW(other.ToggleOnTop(), Error);
  EXPECT_TRUE(other.onTopChecked());
  EXPECT_EQ(working.Stored(kSettingsSection, "topwin"), "1");
  EXPECT_THROW(other.ToggleWidget(), Error);
  EXPECT_FALSE(other.widgetChecked());
  EXPECT_EQ(working.Stored(kSettingsSection, "Индикатор"_cp), "0");
  EXPECT_THROW(other.ShowWidget(), Error);
  EXPECT_FALSE(other.widgetChecked());
}

TEST_F(WidgetSwitchesTest, ThePlaceIsTopAndLeftOfTheSection) {
  StoredWidgetPlace place{store};
  EXPECT_EQ(place.Read({832, 0}), (WidgetPoint{832, 0}));
  place.Write({44, 33});
  EXPECT_EQ(store.writes(), (std::vector<std::string>{"top", "left"}));
  EXPECT_EQ(place.Read({832, 0}), (WidgetPoint{44, 33}));
  store.SetRaw(kSettingsSection, "top", MemorySettingsStore::ValueType::kDword, "5");
  EXPECT_THROW(
      {
        try {
          place.Read({832, 0});
        } catch (const Error& e) {
          EXPECT_STREQ(e.what(), "Invalid data type for 'top'");
          throw;
        }
      },
      Error);
}

}  // namespace
}  // namespace corvella

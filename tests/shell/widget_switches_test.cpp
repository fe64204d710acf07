#include "shell/widget_switches.h"

#include <gtest/gtest.h>

#include <vector>

#include "shell/memory_settings_store.h"

namespace corvella {
namespace {

struct FakeWidget : WidgetControl {
  void SetWidgetVisible(bool visible) override { shown.push_back(visible); }
  void SetWidgetOnTop(bool on) override { onTop.push_back(on); }
  std::vector<bool> shown, onTop;
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
  switches.Timer4Timer();
  EXPECT_FALSE(switches.onTopChecked());
  EXPECT_EQ(widget.onTop, std::vector<bool>{false});
  Saves(settings, store, autostart, "c:\\corv.exe");
  EXPECT_EQ(Stored("topwin"), "0") << "OK in the dialog must not turn a stored 0 into 1";

  switches.N8Click();
  EXPECT_EQ(Stored("topwin"), "1");
  switches.N8Click();
  EXPECT_EQ(Stored("topwin"), "0") << "toggled twice, it ends where it began";
  EXPECT_EQ(widget.onTop, (std::vector<bool>{false, true, false}));
  Saves(settings, store, autostart, "c:\\corv.exe");
  EXPECT_EQ(Stored("topwin"), "0");
}

TEST_F(WidgetSwitchesTest, IndicatorShowsThenHidesAndStoresItsState) {
  switches.N7Click();
  EXPECT_TRUE(switches.widgetChecked());
  EXPECT_EQ(Stored("Индикатор"_cp), "1");
  switches.N7Click();
  EXPECT_FALSE(switches.widgetChecked());
  EXPECT_EQ(Stored("Индикатор"_cp), "0");
  EXPECT_EQ(widget.shown, (std::vector<bool>{true, false}));
  // The pass shows it and sets the check; the next click then hides it.
  switches.ShowWidget();
  switches.N7Click();
  EXPECT_EQ(widget.shown, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(Stored("Индикатор"_cp), "0");
}

}  // namespace
}  // namespace corvella

// Loads and Saves against the in-memory store and autostart entry.
#include "shell/app_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/error.h"
#include "common/text_literal.h"
#include "shell/memory_settings_store.h"

namespace corvella {
namespace {

using Type = MemorySettingsStore::ValueType;

constexpr std::string_view kExe = "C:\\Program Files\\Velmar\\corv.exe";
// The Run entry is a command line: the path with a space is quoted.
constexpr std::string_view kEntry = "\"C:\\Program Files\\Velmar\\corv.exe\"";

// Every field away from its default, so a field that Loads or Saves misses shows.
AppSettings Unusual() {
  AppSettings s;
  s.locationIndex = 6333;
  s.temperatureColor = 0x00FF8000;
  s.widgetOnTop = false;
  s.showCurrentTemperature = false;
  s.temperatureOnIcon = false;
  s.digitsOnly = true;
  s.notifyOnConnect = true;
  s.rateUsd = s.rateEur = false;
  s.rateChf = s.rateGbp = s.rateUah = s.rateJpy = s.rateDkk = s.rateKzt = s.rateTry = s.rateCny = true;
  s.checkForUpdates = false;
  s.refreshPeriodIndex = 3;
  s.forecastTomorrow = s.forecastDayAfter = false;
  s.proxyUser = "пользователь"_cp;
  s.proxyPassword = "p@ss";
  s.proxyHost = "proxy.local";
  s.proxyPort = "3128";
  s.widgetShown = false;
  s.autostart = false;
  return s;
}

std::vector<std::string> Names(std::initializer_list<std::string_view> names) {
  return std::vector<std::string>(names.begin(), names.end());
}

class AppSettingsTest : public ::testing::Test {
 protected:
  void MarkNotFirstRun() { store.SetRaw(kSettingsSection, "version", Type::kText, "freeware"); }
  std::optional<std::string> Stored(std::string_view name) { return store.Stored(kSettingsSection, name); }
  MemorySettingsStore store;
  MemoryAutostartEntry autostart;
};

TEST_F(AppSettingsTest, AnEmptyRegistryLoadsTheDefaultsAndSwitchesAutostartOn) {
  AppSettings s = Unusual();
  Loads(s, store, autostart, kExe);
  EXPECT_EQ(s.locationIndex, 12297);
  EXPECT_EQ(s.temperatureColor, kColourNotChosen);
  EXPECT_TRUE(s.showCurrentTemperature && s.temperatureOnIcon);
  EXPECT_FALSE(s.digitsOnly || s.notifyOnConnect);
  EXPECT_TRUE(s.rateUsd && s.rateEur);
  EXPECT_FALSE(s.rateChf || s.rateGbp || s.rateUah || s.rateJpy || s.rateDkk || s.rateKzt || s.rateTry ||
               s.rateCny);
  EXPECT_TRUE(s.checkForUpdates);
  EXPECT_EQ(s.refreshPeriodIndex, 1);
  EXPECT_TRUE(s.forecastTomorrow && s.forecastDayAfter);
  EXPECT_EQ(s.proxyUser + s.proxyPassword + s.proxyHost + s.proxyPort, "");
  EXPECT_EQ(autostart.data, kEntry);
  EXPECT_TRUE(s.autostart);
  // Read elsewhere: at start-up and by each refresh pass.
  EXPECT_FALSE(s.widgetOnTop);
  EXPECT_FALSE(s.widgetShown);
  EXPECT_FALSE(store.HasSection(kSettingsSection));  // reading created nothing
  // Saved unchanged, the colour stays unstored and goes on following the taskbar.
  Saves(s, store, autostart, kExe);
  EXPECT_EQ(Stored("Цвет"_cp), std::nullopt);
  EXPECT_EQ(Stored("geo"), "12297");
}

TEST_F(AppSettingsTest, LoadsReadsInItsOrderAndStopsAtAWronglyTypedValue) {
  const auto order = Names({"geo",
                            "Цвет"_cp,
                            "температура"_cp,
                            "наИконке"_cp,
                            "большиеЦифры"_cp,
                            "сообщать"_cp,
                            "доллар"_cp,
                            "евро"_cp,
                            "гривен"_cp,
                            "золото"_cp,
                            "Датских крон"_cp,
                            "Казахских тенге"_cp,
                            "Турецкая лира"_cp,
                            "Китайских юаней"_cp,
                            "v12",
                            "v13",
                            "Update",
                            "Speed",
                            "завтра"_cp,
                            "послезавтра"_cp,
                            "loginPrx",
                            "paswPrx",
                            "portPrx",
                            "Prx",
                            "version"});
  AppSettings s;
  Loads(s, store, autostart, kExe);
  EXPECT_EQ(store.reads(), order);

  // A DWORD under "евро": what was read before it is taken, the rest keeps its value.
  store.ClearLogs();
  autostart = MemoryAutostartEntry();
  store.SetRaw(kSettingsSection, "geo", Type::kText, "100");
  store.SetRaw(kSettingsSection, "доллар"_cp, Type::kText, "0");
  store.SetRaw(kSettingsSection, "евро"_cp, Type::kDword, std::string("\1\0\0\0", 4));
  store.SetRaw(kSettingsSection, "Speed", Type::kText, "0");
  s = Unusual();
  try {
    Loads(s, store, autostart, kExe);
    ADD_FAILURE() << "Loads went past a DWORD value";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), std::string("Invalid data type for 'евро'"_cp));
  }
  EXPECT_EQ(s.locationIndex, 100);
  EXPECT_FALSE(s.rateUsd);
  EXPECT_FALSE(s.rateEur);             // unchanged
  EXPECT_EQ(s.refreshPeriodIndex, 3);  // unchanged, not yet read
  EXPECT_EQ(s.proxyHost, "proxy.local");
  EXPECT_EQ(autostart.writeCount, 0);
  EXPECT_EQ(store.reads().back(), "евро"_cp);
}

TEST_F(AppSettingsTest, SavesWritesInItsOrderThenTheAutostartEntry) {
  AppSettings s = Unusual();
  Saves(s, store, autostart, kExe);
  EXPECT_EQ(store.writes(), Names({"geo",
                                   "Цвет"_cp,
                                   "topwin",
                                   "температура"_cp,
                                   "наИконке"_cp,
                                   "большиеЦифры"_cp,
                                   "сообщать"_cp,
                                   "доллар"_cp,
                                   "евро"_cp,
                                   "гривен"_cp,
                                   "золото"_cp,
                                   "v12",
                                   "v13",
                                   "Update",
                                   "Speed",
                                   "завтра"_cp,
                                   "послезавтра"_cp,
                                   "Датских крон"_cp,
                                   "Казахских тенге"_cp,
                                   "Турецкая лира"_cp,
                                   "Китайских юаней"_cp,
                                   "loginPrx",
                                   "paswPrx",
                                   "Prx",
                                   "portPrx"}));
  EXPECT_EQ(autostart.data, "");  // off: emptied, not deleted
  EXPECT_EQ(Stored("Цвет"_cp), "16744448");
  EXPECT_EQ(Stored("topwin"), "0");
  EXPECT_EQ(Stored("portPrx"), "3128");

  s.autostart = true;
  Saves(s, store, autostart, kExe);
  EXPECT_EQ(autostart.data, kEntry);
}

TEST_F(AppSettingsTest, EveryFieldSurvivesSavesAndLoads) {
  MarkNotFirstRun();
  AppSettings saved = Unusual();
  saved.autostart = true;
  Saves(saved, store, autostart, kExe);
  AppSettings loaded;  // defaults everywhere, but for the two values Loads leaves alone
  loaded.widgetOnTop = saved.widgetOnTop;
  loaded.widgetShown = saved.widgetShown;
  Loads(loaded, store, autostart, kExe);
  EXPECT_TRUE(loaded == saved);

  // The stored names are the historical ones, not the captions; a round trip would not show
  // two names swapped, so each flag is looked up under its own name.
  saved.rateGbp = saved.rateJpy = saved.rateKzt = false;
  Saves(saved, store, autostart, kExe);
  EXPECT_EQ(Stored("гривен"_cp), "1");  // Swiss franc
  EXPECT_EQ(Stored("золото"_cp), "0");  // pound sterling
  EXPECT_EQ(Stored("v12"), "1");        // hryvnia
  EXPECT_EQ(Stored("v13"), "0");        // yen
  EXPECT_EQ(Stored("Датских крон"_cp), "1");
  EXPECT_EQ(Stored("Казахских тенге"_cp), "0");
}

TEST_F(AppSettingsTest, ASavesFailureStopsTheLaterWrites) {
  store.FailWritesOf("Update");
  try {
    Saves(Unusual(), store, autostart, kExe);
    ADD_FAILURE() << "Saves went past a failing write";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'Update'");
  }
  EXPECT_TRUE(Stored("v13").has_value());
  EXPECT_FALSE(Stored("Speed").has_value());
  EXPECT_FALSE(autostart.data.has_value());
}

TEST_F(AppSettingsTest, OddStoredValuesAreNormalisedByTheNextSaves) {
  MarkNotFirstRun();
  store.SetRaw(kSettingsSection, "сообщать"_cp, Type::kText, "2");
  store.SetRaw(kSettingsSection, "Speed", Type::kText, "fast");
  store.SetRaw(kSettingsSection, "geo", Type::kText, "");
  AppSettings s;
  Loads(s, store, autostart, kExe);
  EXPECT_TRUE(s.notifyOnConnect);
  EXPECT_EQ(s.refreshPeriodIndex, 1);
  EXPECT_EQ(s.locationIndex, 12297);
  Saves(s, store, autostart, kExe);
  EXPECT_EQ(Stored("сообщать"_cp), "1");
  EXPECT_EQ(Stored("Speed"), "1");
  EXPECT_EQ(Stored("geo"), "12297");
}

TEST_F(AppSettingsTest, AutostartIsOnlyEverTurnedOnByLoads) {
  MarkNotFirstRun();
  // Switched off and saved: it stays off.
  AppSettings s;
  Saves(s, store, autostart, kExe);
  Loads(s, store, autostart, kExe);
  EXPECT_FALSE(s.autostart);
  EXPECT_EQ(autostart.data, "");

  // Another program's path under our value does not count.
  autostart.data = "C:\\Tools\\weather.exe";
  Loads(s, store, autostart, kExe);
  EXPECT_FALSE(s.autostart);
  autostart.data = "C:\\Tools\\CORV.EXE";  // the test is case-sensitive
  Loads(s, store, autostart, kExe);
  EXPECT_FALSE(s.autostart);
  // An entry an earlier version wrote without quotes still counts.
  autostart.data = std::string(kExe);
  Loads(s, store, autostart, kExe);
  EXPECT_TRUE(s.autostart);

  // A checked box is never cleared by a load, whatever the entry holds.
  s.autostart = true;
  autostart.data = "";
  Loads(s, store, autostart, kExe);
  EXPECT_TRUE(s.autostart);
  EXPECT_EQ(autostart.writeCount, 1);  // only the Saves above wrote it
}

TEST_F(AppSettingsTest, TheFirstRunRewritesAutostartUntilTheMarkerIsSet) {
  AppSettings s;
  s.autostart = false;
  Saves(s, store, autostart, kExe);  // switched off during the first run
  Loads(s, store, autostart, kExe);
  EXPECT_TRUE(s.autostart);
  EXPECT_EQ(autostart.data, kEntry);

  MarkFirstRunOver(store);
  EXPECT_EQ(Stored("version"), "freeware");
  s.autostart = false;
  Saves(s, store, autostart, kExe);
  Loads(s, store, autostart, kExe);
  EXPECT_FALSE(s.autostart);

  store.SetRaw(kSettingsSection, "version", Type::kText, "5.9");
  MarkFirstRunOver(store);
  EXPECT_EQ(Stored("version"), "5.9");  // an existing marker is kept
  store.SetRaw(kSettingsSection, "version", Type::kText, "");
  MarkFirstRunOver(store);
  EXPECT_EQ(Stored("version"), "freeware");
}

TEST_F(AppSettingsTest, WithoutARunKeyTheFirstRunLoadFailsButLaterOnesDoNot) {
  autostart.runKeyPresent = false;
  AppSettings s;
  s.autostart = true;
  try {
    Loads(s, store, autostart, kExe);
    ADD_FAILURE() << "the autostart write did not fail";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'corv'");
  }
  MarkNotFirstRun();
  Loads(s, store, autostart, kExe);
  EXPECT_TRUE(s.autostart);  // unchanged
  s.autostart = false;
  EXPECT_THROW(Saves(s, store, autostart, kExe), Error);
}

TEST_F(AppSettingsTest, SingleValuesUseTheSameNamesAndDefaults) {
  AppSettings s;
  s.widgetShown = false;
  LoadSetting(s, store, "Индикатор"_cp);
  EXPECT_TRUE(s.widgetShown);  // default
  store.SetRaw(kSettingsSection, "topwin", Type::kText, "0");
  LoadSetting(s, store, kValueWidgetOnTop);
  EXPECT_FALSE(s.widgetOnTop);
  s.widgetShown = false;
  SaveSetting(s, store, kValueWidgetShown);
  EXPECT_EQ(Stored("Индикатор"_cp), "0");
  EXPECT_THROW(LoadSetting(s, store, "top"), Error);
}

TEST(EffectiveOptions, IconTemperatureNeedsCurrentAndDigitsNeedBoth) {
  for (int bits = 0; bits < 8; ++bits) {
    AppSettings s;
    s.showCurrentTemperature = bits & 1;
    s.temperatureOnIcon = bits & 2;
    s.digitsOnly = bits & 4;
    EXPECT_EQ(TemperatureOnIconEffective(s), bits == 3 || bits == 7) << bits;
    EXPECT_EQ(DigitsOnlyEffective(s), bits == 7) << bits;
  }
}

}  // namespace
}  // namespace corvella

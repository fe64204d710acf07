#include "shell/app_settings.h"

#include <algorithm>
#include <array>
#include <variant>

#include "common/error.h"
#include "common/joined_array.h"
#include "common/overloaded.h"

namespace corvella {
namespace {

using FieldRef = std::variant<int AppSettings::*, std::uint32_t AppSettings::*, bool AppSettings::*,
                              std::string AppSettings::*>;

struct StoredSetting {
  std::string_view name;
  FieldRef field;
};

// Every AppSettings field kept in section "corv" (the currencies' flags from their rows); its
// default is the field's initial value.
constexpr std::array kSettingsBesidesRates = {
    StoredSetting{kValueLocationIndex, &AppSettings::locationIndex},
    StoredSetting{kValueTemperatureColor, &AppSettings::temperatureColor},
    StoredSetting{kValueWidgetOnTop, &AppSettings::widgetOnTop},
    StoredSetting{kValueShowCurrentTemperature, &AppSettings::showCurrentTemperature},
    StoredSetting{kValueTemperatureOnIcon, &AppSettings::temperatureOnIcon},
    StoredSetting{kValueDigitsOnly, &AppSettings::digitsOnly},
    StoredSetting{kValueNotifyOnConnect, &AppSettings::notifyOnConnect},
    StoredSetting{kValueCheckForUpdates, &AppSettings::checkForUpdates},
    StoredSetting{kValueRefreshPeriodIndex, &AppSettings::refreshPeriodIndex},
    StoredSetting{kValueForecastTomorrow, &AppSettings::forecastTomorrow},
    StoredSetting{kValueForecastDayAfter, &AppSettings::forecastDayAfter},
    StoredSetting{kValueProxyUser, &AppSettings::proxyUser},
    StoredSetting{kValueProxyPassword, &AppSettings::proxyPassword},
    StoredSetting{kValueProxyHost, &AppSettings::proxyHost},
    StoredSetting{kValueProxyPort, &AppSettings::proxyPort},
    StoredSetting{kValueWidgetShown, &AppSettings::widgetShown},
};

constexpr std::array<StoredSetting, kCurrencyCount> RateSettings() {
  std::array<StoredSetting, kCurrencyCount> settings{};
  for (std::size_t i = 0; i < kCurrencyCount; ++i) settings[i] = {kCurrencies[i].valueName, kRateFlags[i]};
  return settings;
}

constexpr auto kStoredSettings = Joined(kSettingsBesidesRates, RateSettings());

// The value names of currency rows, in the order given.
template <std::size_t N>
constexpr std::array<std::string_view, N> RateNames(const std::array<CurrencyRowIndex, N>& rows) {
  std::array<std::string_view, N> names{};
  for (std::size_t i = 0; i < N; ++i) names[i] = kCurrencies[rows[i]].valueName;
  return names;
}

// Earlier versions knew the first ten currencies; one added since is read and written after them.
constexpr std::size_t kEarlierCurrencyCount = 10;
static_assert(kCurrencyCount >= kEarlierCurrencyCount);
constexpr std::array<std::string_view, kCurrencyCount - kEarlierCurrencyCount> LaterRateNames() {
  std::array<std::string_view, kCurrencyCount - kEarlierCurrencyCount> names{};
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = kCurrencies[kEarlierCurrencyCount + i].valueName;
  return names;
}

// The two operations keep the orders of earlier versions, which differ from each other.
constexpr auto kLoadsOrder = Joined(
    std::array{kValueLocationIndex, kValueTemperatureColor, kValueShowCurrentTemperature,
               kValueTemperatureOnIcon, kValueDigitsOnly, kValueNotifyOnConnect},
    RateNames(std::array{kUsd, kEur, kChf, kGbp, kDkk, kKzt, kTry, kCny, kUah, kJpy}), LaterRateNames(),
    std::array{kValueCheckForUpdates, kValueRefreshPeriodIndex, kValueForecastTomorrow,
               kValueForecastDayAfter, kValueProxyUser, kValueProxyPassword, kValueProxyPort,
               kValueProxyHost});

constexpr auto kSavesOrder = Joined(
    std::array{kValueLocationIndex, kValueTemperatureColor, kValueWidgetOnTop, kValueShowCurrentTemperature,
               kValueTemperatureOnIcon, kValueDigitsOnly, kValueNotifyOnConnect},
    RateNames(std::array{kUsd, kEur, kChf, kGbp, kUah, kJpy}),
    std::array{kValueCheckForUpdates, kValueRefreshPeriodIndex, kValueForecastTomorrow,
               kValueForecastDayAfter},
    RateNames(std::array{kDkk, kKzt, kTry, kCny}), LaterRateNames(),
    std::array{kValueProxyUser, kValueProxyPassword, kValueProxyHost, kValueProxyPort});

constexpr const StoredSetting* Find(std::string_view name) {
  for (const StoredSetting& setting : kStoredSettings) {
    if (setting.name == name) return &setting;
  }
  return nullptr;
}

template <std::size_t N>
constexpr bool AllKnown(const std::array<std::string_view, N>& order) {
  return std::all_of(order.begin(), order.end(), [](std::string_view name) { return Find(name) != nullptr; });
}
// Each order takes every currency once.
template <std::size_t N>
constexpr bool EachRateOnce(const std::array<std::string_view, N>& order) {
  return std::all_of(kCurrencies.begin(), kCurrencies.end(), [&](const CurrencyRow& row) {
    return std::count(order.begin(), order.end(), row.valueName) == 1;
  });
}
static_assert(AllKnown(kLoadsOrder) && AllKnown(kSavesOrder));
static_assert(EachRateOnce(kLoadsOrder) && EachRateOnce(kSavesOrder));

void Load(const StoredSetting& setting, AppSettings& s, SettingsStore& store) {
  static const AppSettings kDefaults{};
  std::string_view name = setting.name;
  std::visit(
      Overloaded{
          [&](int AppSettings::*f) { s.*f = store.ReadInteger(kSettingsSection, name, kDefaults.*f); },
          [&](std::uint32_t AppSettings::*f) {
            // Colours 0x00BBGGRR fit an int; they are stored as its decimal text.
            s.*f = static_cast<std::uint32_t>(
                store.ReadInteger(kSettingsSection, name, static_cast<int>(kDefaults.*f)));
          },
          [&](bool AppSettings::*f) { s.*f = store.ReadBool(kSettingsSection, name, kDefaults.*f); },
          [&](std::string AppSettings::*f) { s.*f = store.ReadString(kSettingsSection, name, kDefaults.*f); },
      },
      setting.field);
}

void Save(const StoredSetting& setting, const AppSettings& s, SettingsStore& store) {
  std::string_view name = setting.name;
  std::visit(Overloaded{
                 [&](int AppSettings::*f) { store.WriteInteger(kSettingsSection, name, s.*f); },
                 [&](std::uint32_t AppSettings::*f) {
                   // A colour nobody chose stays unwritten, so that it keeps following the taskbar.
                   if (s.*f == kColourNotChosen) return;
                   store.WriteInteger(kSettingsSection, name, static_cast<int>(s.*f));
                 },
                 [&](bool AppSettings::*f) { store.WriteBool(kSettingsSection, name, s.*f); },
                 [&](std::string AppSettings::*f) { store.WriteString(kSettingsSection, name, s.*f); },
             },
             setting.field);
}

const StoredSetting& Known(std::string_view name) {
  const StoredSetting* setting = Find(name);
  if (!setting) throw Error(FillMessage("Unknown setting '%s'", name));
  return *setting;
}

}  // namespace

std::string AutostartCommand(std::string_view exePath) {
  std::string command = "\"";
  command += exePath;
  command += '"';
  return command;
}

void Loads(AppSettings& s, SettingsStore& store, AutostartEntry& autostart, std::string_view exePath) {
  for (std::string_view name : kLoadsOrder) Load(*Find(name), s, store);
  // Until the first exit through the menu, autostart is switched on at every load.
  if (IsFirstRun(store)) {
    autostart.Write(AutostartCommand(exePath));
  }
  if (autostart.Read().find(kAutostartPathMarker) != std::string::npos) s.autostart = true;
}

void Saves(const AppSettings& s, SettingsStore& store, AutostartEntry& autostart, std::string_view exePath) {
  for (std::string_view name : kSavesOrder) Save(*Find(name), s, store);
  // Switching autostart off empties the entry; the value itself stays.
  autostart.Write(s.autostart ? AutostartCommand(exePath) : std::string());
}

void LoadSetting(AppSettings& s, SettingsStore& store, std::string_view valueName) {
  Load(Known(valueName), s, store);
}

void SaveSetting(const AppSettings& s, SettingsStore& store, std::string_view valueName) {
  Save(Known(valueName), s, store);
}

bool IsFirstRun(SettingsStore& store) { return store.ReadString(kSettingsSection, kValueFirstRunMarker, "").empty(); }

void MarkFirstRunOver(SettingsStore& store) {
  if (IsFirstRun(store)) {
    store.WriteString(kSettingsSection, kValueFirstRunMarker, kFirstRunMarkerText);
  }
}

std::optional<std::uint32_t> ChosenColour(std::uint32_t temperatureColor) {
  if (temperatureColor == kColourNotChosen) return std::nullopt;
  return temperatureColor;
}

bool TemperatureOnIconEffective(const AppSettings& s) {
  return s.showCurrentTemperature && s.temperatureOnIcon;
}

bool DigitsOnlyEffective(const AppSettings& s) { return TemperatureOnIconEffective(s) && s.digitsOnly; }

}  // namespace corvella

#include "shell/app_settings.h"

#include <algorithm>
#include <array>
#include <variant>

#include "common/error.h"
#include "common/overloaded.h"

namespace corvella {
namespace {

using FieldRef = std::variant<int AppSettings::*, std::uint32_t AppSettings::*, bool AppSettings::*,
                              std::string AppSettings::*>;

struct StoredSetting {
  std::string_view name;
  FieldRef field;
};

// Every AppSettings field kept in section "corv"; its default is the field's initial value.
constexpr std::array kStoredSettings = {
    StoredSetting{kValueLocationIndex, &AppSettings::locationIndex},
    StoredSetting{kValueTemperatureColor, &AppSettings::temperatureColor},
    StoredSetting{kValueWidgetOnTop, &AppSettings::widgetOnTop},
    StoredSetting{kValueShowCurrentTemperature, &AppSettings::showCurrentTemperature},
    StoredSetting{kValueTemperatureOnIcon, &AppSettings::temperatureOnIcon},
    StoredSetting{kValueDigitsOnly, &AppSettings::digitsOnly},
    StoredSetting{kValueNotifyOnConnect, &AppSettings::notifyOnConnect},
    StoredSetting{kValueRateUsd, &AppSettings::rateUsd},
    StoredSetting{kValueRateEur, &AppSettings::rateEur},
    StoredSetting{kValueRateChf, &AppSettings::rateChf},
    StoredSetting{kValueRateGbp, &AppSettings::rateGbp},
    StoredSetting{kValueRateUah, &AppSettings::rateUah},
    StoredSetting{kValueRateJpy, &AppSettings::rateJpy},
    StoredSetting{kValueRateDkk, &AppSettings::rateDkk},
    StoredSetting{kValueRateKzt, &AppSettings::rateKzt},
    StoredSetting{kValueRateTry, &AppSettings::rateTry},
    StoredSetting{kValueRateCny, &AppSettings::rateCny},
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

// The two operations keep the orders of earlier versions, which differ from each other.
constexpr std::array kLoadsOrder = {
    kValueLocationIndex,     kValueTemperatureColor, kValueShowCurrentTemperature,
    kValueTemperatureOnIcon, kValueDigitsOnly,       kValueNotifyOnConnect,
    kValueRateUsd,           kValueRateEur,          kValueRateChf,
    kValueRateGbp,           kValueRateDkk,          kValueRateKzt,
    kValueRateTry,           kValueRateCny,          kValueRateUah,
    kValueRateJpy,           kValueCheckForUpdates,  kValueRefreshPeriodIndex,
    kValueForecastTomorrow,  kValueForecastDayAfter, kValueProxyUser,
    kValueProxyPassword,     kValueProxyPort,        kValueProxyHost,
};

constexpr std::array kSavesOrder = {
    kValueLocationIndex,
    kValueTemperatureColor,
    kValueWidgetOnTop,
    kValueShowCurrentTemperature,
    kValueTemperatureOnIcon,
    kValueDigitsOnly,
    kValueNotifyOnConnect,
    kValueRateUsd,
    kValueRateEur,
    kValueRateChf,
    kValueRateGbp,
    kValueRateUah,
    kValueRateJpy,
    kValueCheckForUpdates,
    kValueRefreshPeriodIndex,
    kValueForecastTomorrow,
    kValueForecastDayAfter,
    kValueRateDkk,
    kValueRateKzt,
    kValueRateTry,
    kValueRateCny,
    kValueProxyUser,
    kValueProxyPassword,
    kValueProxyHost,
    kValueProxyPort,
};

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
static_assert(AllKnown(kLoadsOrder) && AllKnown(kSavesOrder));

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
  if (store.ReadString(kSettingsSection, kValueFirstRunMarker, "").empty()) {
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

void MarkFirstRunOver(SettingsStore& store) {
  if (store.ReadString(kSettingsSection, kValueFirstRunMarker, "").empty()) {
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

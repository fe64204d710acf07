// AppSettings: every persisted setting of the program, and how it moves between the registry
// (section "corv" of the settings store, plus the autostart entry) and memory.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/text_literal.h"
#include "retrieval/currencies.h"
#include "shell/autostart.h"
#include "shell/settings_store.h"

namespace corvella {

// "Цвет" while it has never been stored: the digits follow the taskbar. No colour the chooser
// gives has its top byte set, so none is mistaken for it; it is never written.
inline constexpr std::uint32_t kColourNotChosen = 0xFF000000;

// Defaults are those of a machine that has never run the program.
struct AppSettings {
  int locationIndex = 12297;                          // catalogue row "Москва, Москва"
  std::uint32_t temperatureColor = kColourNotChosen;  // 0x00BBGGRR once chosen
  bool widgetOnTop = true;
  bool showCurrentTemperature = true, temperatureOnIcon = true, digitsOnly = false, notifyOnConnect = false;
  // A flag per currency: rateUsd, rateEur, ...
#define CORVELLA_RATE_FLAG(id, code, units, search, label, value, shown) bool rate##id = shown;
  CORVELLA_CURRENCIES(CORVELLA_RATE_FLAG)
#undef CORVELLA_RATE_FLAG
  bool checkForUpdates = true;
  int refreshPeriodIndex = 1;
  bool forecastTomorrow = true, forecastDayAfter = true;
  std::string proxyUser, proxyPassword, proxyHost, proxyPort;
  bool widgetShown = true;
  bool autostart = false;

  friend bool operator==(const AppSettings&, const AppSettings&) = default;
};

// Each currency's flag, in the order of kCurrencies.
inline constexpr std::array<bool AppSettings::*, kCurrencyCount> kRateFlags = {
#define CORVELLA_RATE_FLAG_FIELD(id, ...) &AppSettings::rate##id,
    CORVELLA_CURRENCIES(CORVELLA_RATE_FLAG_FIELD)
#undef CORVELLA_RATE_FLAG_FIELD
};

// Value names in section "corv"; the currencies' come from their rows (kValueRateUsd, ...).
inline constexpr std::string_view kValueLocationIndex = "geo";
inline constexpr std::string_view kValueTemperatureColor = "Цвет"_cp;
inline constexpr std::string_view kValueWidgetOnTop = "topwin";
inline constexpr std::string_view kValueShowCurrentTemperature = "температура"_cp;
inline constexpr std::string_view kValueTemperatureOnIcon = "наИконке"_cp;
inline constexpr std::string_view kValueDigitsOnly = "большиеЦифры"_cp;
inline constexpr std::string_view kValueNotifyOnConnect = "сообщать"_cp;
#define CORVELLA_RATE_VALUE_NAME(id, ...) \
  inline constexpr std::string_view kValueRate##id = kCurrencies[k##id].valueName;
CORVELLA_CURRENCIES(CORVELLA_RATE_VALUE_NAME)
#undef CORVELLA_RATE_VALUE_NAME
inline constexpr std::string_view kValueCheckForUpdates = "Update";
inline constexpr std::string_view kValueRefreshPeriodIndex = "Speed";
inline constexpr std::string_view kValueForecastTomorrow = "завтра"_cp;
inline constexpr std::string_view kValueForecastDayAfter = "послезавтра"_cp;
inline constexpr std::string_view kValueProxyUser = "loginPrx";
inline constexpr std::string_view kValueProxyPassword = "paswPrx";
inline constexpr std::string_view kValueProxyHost = "Prx";
inline constexpr std::string_view kValueProxyPort = "portPrx";
inline constexpr std::string_view kValueWidgetShown = "Индикатор"_cp;
// Values of the section that are not AppSettings fields.
inline constexpr std::string_view kValueWidgetTop = "top";
inline constexpr std::string_view kValueWidgetLeft = "left";
inline constexpr std::string_view kValueFirstRunMarker = "version";
// What the first-run marker holds once the program has been closed from its menu.
inline constexpr std::string_view kFirstRunMarkerText = "freeware";
// Autostart counts as on when the entry's data contains this (our executable's name).
inline constexpr std::string_view kAutostartPathMarker = "corv";
// The autostart entry's data for `exePath`: the path in quotes, since the entry is a command line
// and a path with a space ("C:\Users\Anna Petrova\...") would otherwise read ambiguously. An
// entry written without them by an earlier version still counts, as the marker test shows.
std::string AutostartCommand(std::string_view exePath);

// Reads every field that the dialog edits, in a fixed order, stopping at the first failing read
// (later fields keep their values). Until the first-run marker is set it writes the autostart
// entry with AutostartCommand(`exePath`) (UTF-8, as the entry takes it); it never turns
// `autostart` off. Does not read "topwin" or "Индикатор".
void Loads(AppSettings& s, SettingsStore& store, AutostartEntry& autostart, std::string_view exePath);
// Writes every field that the dialog edits and "topwin", then the autostart entry
// (AutostartCommand(`exePath`) or ""), stopping at the first failing write.
void Saves(const AppSettings& s, SettingsStore& store, AutostartEntry& autostart, std::string_view exePath);

// One field by its value name, with its default: for the values read or written on their own
// ("topwin" at start-up and on toggling, "Индикатор" by each refresh pass and on toggling).
// An unknown name throws Error.
void LoadSetting(AppSettings& s, SettingsStore& store, std::string_view valueName);
void SaveSetting(const AppSettings& s, SettingsStore& store, std::string_view valueName);

// At the exit through "Закрыть": an empty or missing first-run marker becomes "freeware".
void MarkFirstRunOver(SettingsStore& store);
// Until that exit, the program runs for the first time.
bool IsFirstRun(SettingsStore& store);

// The user's digit colour, none while it has never been chosen.
std::optional<std::uint32_t> ChosenColour(std::uint32_t temperatureColor);

// The effective display options: the icon temperature needs the current temperature, and
// digits only needs both.
bool TemperatureOnIconEffective(const AppSettings& s);
bool DigitsOnlyEffective(const AppSettings& s);

}  // namespace corvella

#include "shell/settings_dialog_layout.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <variant>
#include <vector>

#include "common/joined_array.h"
#include "common/overloaded.h"
#include "common/product_name.h"
#include "retrieval/currencies.h"
#include "retrieval/servers.h"
#include "shell/app_settings.h"

namespace corvella {
namespace {

using K = ControlKind;
using P = Page;
constexpr int kCheckHeight = 17;
constexpr int kLabelHeight = 13;
constexpr int kFieldHeight = 21;

// The version line's words, "версия 5.9.335 от 07.12.2026 г.".
constexpr std::string_view kVersionWord = "версия "_cp;
constexpr std::string_view kVersionDateWord = " от "_cp;
constexpr std::string_view kYearMark = " г."_cp;

// Positions as the dialog has always had them; sizes the captions need at 96 DPI.
constexpr std::array kControlsBeforeRates = {
    // Header band.
    ControlSpec{kIdLogo, K::kLogo, P::kDialog, 0, {7, -3, 98, 84}, "", ""},
    ControlSpec{kIdTitle, K::kRightLabel, P::kDialog, 0, {134, 11, 300, 23}, kProductName, "", FontRole::kTitle},
    ControlSpec{kIdVersionLine, K::kRightLabel, P::kDialog, 0, {134, 39, 300, 15}, "", "", FontRole::kVersion},
    ControlSpec{kIdSubtitle, K::kRightLabel, P::kDialog, 0, {106, 56, 326, 14}, kSubtitleText, "",
                FontRole::kSubtitle},

    // "Погода".
    ControlSpec{kIdWeatherGroup, K::kGroupBox, P::kWeather, 0, {9, 5, 400, 192}, "Прогноз погоды"_cp, ""},
    ControlSpec{kIdLocationLabel, K::kLabel, P::kWeather, kIdWeatherGroup, {16, 28, 360, kLabelHeight},
                "Выберите город или населённый пункт:"_cp, ""},
    ControlSpec{kIdComboBox1, K::kDropList, P::kWeather, kIdWeatherGroup, {17, 46, 368, kFieldHeight}, "", ""},
    ControlSpec{kIdCheckBox7, K::kCheckBox, P::kWeather, kIdWeatherGroup, {16, 82, 212, kCheckHeight},
                "Показывать текущую температуру"_cp, ""},
    ControlSpec{kIdCheckBox8, K::kCheckBox, P::kWeather, kIdWeatherGroup, {16, 106, 212, kCheckHeight},
                "Отображать температуру на иконке"_cp, ""},
    ControlSpec{kIdCheckBox9, K::kCheckBox, P::kWeather, kIdWeatherGroup, {16, 127, 240, kCheckHeight},
                "Показывать только цифры без картинки"_cp, ""},
    ControlSpec{kIdCheckBox11, K::kCheckBox, P::kWeather, kIdWeatherGroup, {233, 82, 160, kCheckHeight},
                "Прогноз на завтра"_cp, ""},
    ControlSpec{kIdCheckBox14, K::kCheckBox, P::kWeather, kIdWeatherGroup, {233, 106, 160, kCheckHeight},
                "Прогноз на послезавтра"_cp, ""},
    ControlSpec{kIdColourLabel, K::kLabel, P::kWeather, kIdWeatherGroup, {17, 158, 189, kLabelHeight},
                "Выбор цвета шрифта температуры:"_cp, ""},
    ControlSpec{kIdColourSample, K::kColourSample, P::kWeather, kIdWeatherGroup, {207, 152, 91, 25}, "",
                kColourCoverHint},

    // "Курс валют".
    ControlSpec{kIdRatesGroup, K::kGroupBox, P::kRates, 0, {9, 6, 402, 191}, "Курсы валют к рублю "_cp, ""},
};

// Each currency's check box, in the order of kCurrencies (down one column, then the next); its
// caption is the currency's search name.
struct RateBox {
  int id;
  Rect96 rect;
};
constexpr std::array<RateBox, kCurrencyCount> kRateBoxes = {{
    {kIdCheckBox3, {16, 26, 176, kCheckHeight}},
    {kIdCheckBox4, {16, 56, 176, kCheckHeight}},
    {kIdCheckBox5, {16, 86, 176, kCheckHeight}},
    {kIdCheckBox6, {16, 118, 176, kCheckHeight}},
    {kIdCheckBox17, {16, 151, 176, kCheckHeight}},
    {kIdCheckBox12, {200, 26, 190, kCheckHeight}},
    {kIdCheckBox15, {200, 56, 190, kCheckHeight}},
    {kIdCheckBox18, {200, 86, 190, kCheckHeight}},
    {kIdCheckBox16, {200, 118, 190, kCheckHeight}},
    {kIdCheckBox13, {200, 151, 190, kCheckHeight}},
}};

constexpr std::array<ControlSpec, kCurrencyCount> RateControls() {
  std::array<ControlSpec, kCurrencyCount> controls{};
  for (std::size_t i = 0; i < kCurrencyCount; ++i) {
    controls[i] = {kRateBoxes[i].id, K::kCheckBox, P::kRates, kIdRatesGroup, kRateBoxes[i].rect,
                   kCurrencies[i].searchName, ""};
  }
  return controls;
}

constexpr std::array kControlsAfterRates = {
    // "Системные".
    ControlSpec{kIdProxyGroup, K::kGroupBox, P::kSystem, 0, {11, 6, 397, 90}, "Прокси-сервер"_cp, ""},
    ControlSpec{kIdUserLabel, K::kLabel, P::kSystem, kIdProxyGroup, {12, 27, 40, kLabelHeight}, "Логин:"_cp, ""},
    ControlSpec{kIdEdit1, K::kEdit, P::kSystem, kIdProxyGroup, {55, 23, 136, kFieldHeight}, "", ""},
    ControlSpec{kIdPasswordLabel, K::kLabel, P::kSystem, kIdProxyGroup, {204, 27, 45, kLabelHeight}, "Пароль:"_cp,
                ""},
    ControlSpec{kIdEdit2, K::kPassword, P::kSystem, kIdProxyGroup, {252, 23, 125, kFieldHeight}, "", ""},
    ControlSpec{kIdHostLabel, K::kLabel, P::kSystem, kIdProxyGroup, {12, 59, 40, kLabelHeight}, "Адрес:"_cp, ""},
    ControlSpec{kIdEdit3, K::kEdit, P::kSystem, kIdProxyGroup, {55, 55, 184, kFieldHeight}, "", ""},
    ControlSpec{kIdPortLabel, K::kLabel, P::kSystem, kIdProxyGroup, {250, 59, 33, kLabelHeight}, "Порт:"_cp, ""},
    ControlSpec{kIdEdit4, K::kEdit, P::kSystem, kIdProxyGroup, {286, 55, 91, kFieldHeight}, "", ""},
    ControlSpec{kIdOptionsGroup, K::kGroupBox, P::kSystem, 0, {11, 102, 397, 95}, "", ""},
    ControlSpec{kIdCheckBox1, K::kCheckBox, P::kSystem, kIdOptionsGroup, {12, 15, 370, kCheckHeight},
                "При подключении выводить информацию"_cp, ""},
    ControlSpec{kIdCheckBox2, K::kCheckBox, P::kSystem, kIdOptionsGroup, {12, 40, 176, kCheckHeight},
                "Автозагрузка программы"_cp, ""},
    ControlSpec{kIdCheckBox10, K::kCheckBox, P::kSystem, kIdOptionsGroup, {192, 40, 200, kCheckHeight},
                "Сообщать о выходе новой версии"_cp, ""},
    ControlSpec{kIdPeriodLabel, K::kLabel, P::kSystem, kIdOptionsGroup, {12, 68, 186, kLabelHeight},
                "Частота обновления информации:"_cp, ""},
    // 7 pixels right of where it was: the label's Tahoma is wider than the old bitmap face.
    ControlSpec{kIdComboBox2, K::kDropList, P::kSystem, kIdOptionsGroup, {200, 65, 145, kFieldHeight}, "", ""},

    // The buttons, then the tab control last, so that it stays under its pages.
    ControlSpec{kIdOk, K::kDefaultButton, P::kDialog, 0, {268, 337, 78, 28}, "ОК"_cp, ""},
    ControlSpec{kIdCancel, K::kButton, P::kDialog, 0, {358, 337, 78, 28}, "Отмена"_cp, ""},
    ControlSpec{kIdTabs, K::kTabs, P::kDialog, 0, {10, 93, 426, 233}, "", ""},
};

constexpr auto kControls = Joined(kControlsBeforeRates, RateControls(), kControlsAfterRates);

using FieldRef = std::variant<bool AppSettings::*, int AppSettings::*, std::string AppSettings::*,
                              std::uint32_t AppSettings::*>;

// The control that holds each edited field: check boxes hold flags, lists their index,
// fields their text, the sample its colour.
struct Binding {
  int id;
  FieldRef field;
};

constexpr std::array kBindingsBeforeRates = {
    Binding{kIdComboBox1, &AppSettings::locationIndex},
    Binding{kIdColourSample, &AppSettings::temperatureColor},
    Binding{kIdCheckBox7, &AppSettings::showCurrentTemperature},
    Binding{kIdCheckBox8, &AppSettings::temperatureOnIcon},
    Binding{kIdCheckBox9, &AppSettings::digitsOnly},
    Binding{kIdCheckBox1, &AppSettings::notifyOnConnect},
};

constexpr std::array kBindingsAfterRates = {
    Binding{kIdCheckBox10, &AppSettings::checkForUpdates},
    Binding{kIdComboBox2, &AppSettings::refreshPeriodIndex},
    Binding{kIdCheckBox11, &AppSettings::forecastTomorrow},
    Binding{kIdCheckBox14, &AppSettings::forecastDayAfter},
    Binding{kIdEdit1, &AppSettings::proxyUser},
    Binding{kIdEdit2, &AppSettings::proxyPassword},
    Binding{kIdEdit3, &AppSettings::proxyHost},
    Binding{kIdEdit4, &AppSettings::proxyPort},
    Binding{kIdCheckBox2, &AppSettings::autostart},
};

// The currencies' flags are held by their check boxes.
constexpr std::array<Binding, kCurrencyCount> RateBindings() {
  std::array<Binding, kCurrencyCount> bindings{};
  for (std::size_t i = 0; i < kCurrencyCount; ++i) bindings[i] = {kRateBoxes[i].id, kRateFlags[i]};
  return bindings;
}

constexpr auto kBindings = Joined(kBindingsBeforeRates, RateBindings(), kBindingsAfterRates);

std::vector<std::string_view> SplitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) dot = text.size();
    if (dot > start) fields.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
  return fields;
}

}  // namespace

std::string MakerSiteAddress() {
  std::string address = "http://";
  address += kSiteHost;
  address += '/';
  return address;
}

std::span<const ControlSpec> DialogControlTable() { return kControls; }

const ControlSpec* FindControl(int id) {
  for (const ControlSpec& row : kControls) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

Rect96 PlacedRect(const ControlSpec& row) {
  Rect96 r = row.rect;
  if (row.group != 0) {
    const Rect96 group = FindControl(row.group)->rect;
    r.x += group.x;
    r.y += group.y;
  }
  return r;
}

std::vector<std::vector<ChildPlacement>> BatchesByParent(std::span<const ChildPlacement> placements) {
  std::vector<std::vector<ChildPlacement>> batches;
  for (const ChildPlacement& placement : placements) {
    auto same = std::find_if(batches.begin(), batches.end(),
                             [&](const auto& batch) { return batch.front().parent == placement.parent; });
    if (same == batches.end()) same = batches.emplace(batches.end());
    same->push_back(placement);
  }
  return batches;
}

void ControlValues::SetRows(int id, std::function<bool(int)> hasRow) { rows_[id] = std::move(hasRow); }

void ControlValues::CopyTo(DialogControls& controls) const {
  for (const auto& [id, text] : texts_) controls.SetText(id, text);
  for (const auto& [id, checked] : checked_) controls.SetChecked(id, checked);
  for (const auto& [id, index] : selected_) controls.SetSelected(id, index);
  for (const auto& [id, colour] : colours_) controls.SetColour(id, colour);
  for (const auto& [id, enabled] : enabled_) controls.SetEnabled(id, enabled);
}

bool ControlValues::Checked(int id) const {
  auto it = checked_.find(id);
  return it != checked_.end() && it->second;
}

void ControlValues::SetChecked(int id, bool checked) { checked_[id] = checked; }

int ControlValues::Selected(int id) const {
  auto it = selected_.find(id);
  return it == selected_.end() ? -1 : it->second;
}

void ControlValues::SetSelected(int id, int index) {
  auto rows = rows_.find(id);
  selected_[id] = index >= 0 && rows != rows_.end() && rows->second(index) ? index : -1;
}

std::string ControlValues::Text(int id) const {
  if (auto it = texts_.find(id); it != texts_.end()) return it->second;
  const ControlSpec* row = FindControl(id);
  return row == nullptr ? std::string() : std::string(row->caption);
}

// A window's text is a C string: it ends at the first NUL.
void ControlValues::SetText(int id, std::string_view text) {
  texts_[id] = std::string(text.substr(0, text.find('\0')));
}

std::uint32_t ControlValues::Colour(int id) const {
  auto it = colours_.find(id);
  return it == colours_.end() ? 0 : it->second;
}

void ControlValues::SetColour(int id, std::uint32_t colour) { colours_[id] = colour; }

void ControlValues::SetEnabled(int id, bool enabled) { enabled_[id] = enabled; }

bool ControlValues::Enabled(int id) const {
  auto it = enabled_.find(id);
  return it == enabled_.end() || it->second;
}

void ResetControls(DialogControls& controls) {
  for (const Binding& b : kBindings) {
    std::visit(Overloaded{
                   [&](bool AppSettings::*) { controls.SetChecked(b.id, b.id == kIdCheckBox8); },
                   [&](int AppSettings::*) { controls.SetSelected(b.id, -1); },
                   [&](std::string AppSettings::*) { controls.SetText(b.id, ""); },
                   [&](std::uint32_t AppSettings::*) { controls.SetColour(b.id, kColourNotChosen); },
               },
               b.field);
  }
  ApplyEnablingRule(controls);
}

void FillControls(const AppSettings& s, DialogControls& controls) {
  for (const Binding& b : kBindings) {
    std::visit(Overloaded{
                   [&](bool AppSettings::*f) { controls.SetChecked(b.id, s.*f); },
                   [&](int AppSettings::*f) { controls.SetSelected(b.id, s.*f); },
                   [&](std::string AppSettings::*f) { controls.SetText(b.id, s.*f); },
                   [&](std::uint32_t AppSettings::*f) { controls.SetColour(b.id, s.*f); },
               },
               b.field);
  }
  ApplyEnablingRule(controls);
}

void ReadControls(const DialogControls& controls, AppSettings& s) {
  for (const Binding& b : kBindings) {
    std::visit(Overloaded{
                   [&](bool AppSettings::*f) { s.*f = controls.Checked(b.id); },
                   [&](int AppSettings::*f) { s.*f = controls.Selected(b.id); },
                   [&](std::string AppSettings::*f) { s.*f = controls.Text(b.id); },
                   [&](std::uint32_t AppSettings::*f) { s.*f = controls.Colour(b.id); },
               },
               b.field);
  }
}

TemperatureBoxes TemperatureBoxesEnabled(bool showCurrent, bool onIcon) {
  return {showCurrent, showCurrent && onIcon};
}

void ApplyEnablingRule(DialogControls& controls) {
  const TemperatureBoxes boxes =
      TemperatureBoxesEnabled(controls.Checked(kIdCheckBox7), controls.Checked(kIdCheckBox8));
  controls.SetEnabled(kIdCheckBox8, boxes.onIconEnabled);
  controls.SetEnabled(kIdCheckBox9, boxes.digitsOnlyEnabled);
}

bool PortFieldAccepts(unsigned character) { return (character >= '0' && character <= '9') || character == '\b'; }

std::uint32_t ColourAfterChoice(std::uint32_t current, std::optional<std::uint32_t> chosen) {
  constexpr std::uint32_t kWhite = 0xFFFFFF;
  constexpr std::uint32_t kNearWhite = 0xF8F8F8;
  std::uint32_t colour = chosen.value_or(current);
  return colour == kWhite ? kNearWhite : colour;
}

std::string VersionPart(std::string_view versionText) {
  const std::vector<std::string_view> fields = SplitFields(versionText);
  std::string part;
  for (std::size_t wanted : {0u, 1u, 3u}) {
    if (wanted != 0) part += '.';
    if (!fields.empty()) part += fields[std::min(wanted, fields.size() - 1)];
  }
  return part;
}

std::string VersionLine(std::string_view versionText, const CivilDate& fileDate) {
  char date[32];
  std::snprintf(date, sizeof date, "%02d.%02d.%04d", fileDate.day, fileDate.month, fileDate.year);
  std::string line(kVersionWord);
  line += VersionPart(versionText);
  line += kVersionDateWord;
  line += date;
  line += kYearMark;
  return line;
}

}  // namespace corvella

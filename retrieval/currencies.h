// The currencies the program can show, one row each; everything else about them (the rates
// extraction, the settings' flags and value names, the dialog's check boxes, the gateway's rates
// page) is derived from these rows.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "common/text_literal.h"

// One row per currency, in the order of the hint lines, which is also the order of the check
// boxes (down the first column, then the second):
//   X(Id, letter code, units, search name, label, value name, shown on a new installation)
// - Id names its settings flag (AppSettings::rateUsd), its value name (kValueRateUsd) and its
//   row (kUsd);
// - the letter code is the bank's, and units is how many of the currency a rate is quoted for
//   (the label says so when more than one);
// - the search name is how the rates page's table writes it, and the check box's caption;
// - the label begins the currency's hint line;
// - the value name keeps its flag in the registry. Several do not follow the captions (the Swiss
//   franc flag is "гривен", the pound "золото"): they are the names earlier versions stored.
// Texts are UTF-8 here; the program's own copies are Windows-1251 (kCurrencies).
#define CORVELLA_CURRENCIES(X)                                                  \
  X(Usd, "USD", 1, "Доллар США", "Доллар ", "доллар", true)                     \
  X(Eur, "EUR", 1, "Евро", "Евро ", "евро", true)                               \
  X(Chf, "CHF", 1, "Швейцарский франк", "Франк ", "гривен", false)              \
  X(Gbp, "GBP", 1, "Фунт стерлингов", "Фунт ", "золото", false)                 \
  X(Try, "TRY", 1, "Турецкая лира", "Лира ", "Турецкая лира", false)            \
  X(Uah, "UAH", 10, "Украинских гривен", "10 Гривен ", "v12", false)            \
  X(Dkk, "DKK", 10, "Датских крон", "10 Крон ", "Датских крон", false)          \
  X(Cny, "CNY", 10, "Китайских юаней", "10 Юаней ", "Китайских юаней", false)   \
  X(Kzt, "KZT", 100, "Казахских тенге", "100 Тенге ", "Казахских тенге", false) \
  X(Jpy, "JPY", 100, "Японских иен", "100 Иен ", "v13", false)

namespace corvella {

// A currency's row in kCurrencies: kUsd, kEur, ...
enum CurrencyRowIndex : std::size_t {
#define CORVELLA_CURRENCY_INDEX(id, ...) k##id,
  CORVELLA_CURRENCIES(CORVELLA_CURRENCY_INDEX)
#undef CORVELLA_CURRENCY_INDEX
};

struct CurrencyRow {
  std::string_view charCode;
  int units;
  std::string_view searchName;  // Windows-1251, as are the next two
  std::string_view label;
  std::string_view valueName;
};

#define CORVELLA_CURRENCY_CP1251(text) text##_cp
#define CORVELLA_CURRENCY_ROW(id, code, units, search, label, value, shown)                   \
  CurrencyRow{code, units, CORVELLA_CURRENCY_CP1251(search), CORVELLA_CURRENCY_CP1251(label), \
              CORVELLA_CURRENCY_CP1251(value)},
inline constexpr std::array kCurrencies = {CORVELLA_CURRENCIES(CORVELLA_CURRENCY_ROW)};
#undef CORVELLA_CURRENCY_ROW
#undef CORVELLA_CURRENCY_CP1251

inline constexpr std::size_t kCurrencyCount = kCurrencies.size();

// Selection flags in the order of kCurrencies.
using CurrencyFlags = std::array<bool, kCurrencyCount>;

namespace currency_detail {
// A label names its units when there is more than one: "10 Гривен ", "Доллар ".
constexpr bool LabelStatesUnits(const CurrencyRow& row) {
  int stated = 0;
  std::size_t digits = 0;
  while (digits < row.label.size() && row.label[digits] >= '0' && row.label[digits] <= '9') {
    stated = stated * 10 + (row.label[digits++] - '0');
  }
  if (digits == 0) return row.units == 1;
  return stated == row.units && digits < row.label.size() && row.label[digits] == ' ';
}
constexpr bool AllLabelsStateUnits() {
  for (const CurrencyRow& row : kCurrencies) {
    if (!LabelStatesUnits(row)) return false;
  }
  return true;
}
}  // namespace currency_detail
static_assert(currency_detail::AllLabelsStateUnits(), "a currency's label and units disagree");

}  // namespace corvella

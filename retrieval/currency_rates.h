// The currency rates: the national bank's daily rates page, decoded with the lenient
// byte-wise decoder, and each selected currency's rate cut out of it by its name.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_literal.h"

namespace corvella {

inline constexpr std::size_t kCurrencyCount = 10;

// Selection flags in the order of kCurrencies:
// 0 Usd, 1 Eur, 2 Chf, 3 Gbp, 4 Try, 5 Uah, 6 Dkk, 7 Cny, 8 Kzt, 9 Jpy.
using CurrencyFlags = std::array<bool, kCurrencyCount>;

// One currency: its name as the page's table writes it, and the label of its hint line.
struct CurrencyRow {
  std::string_view searchName;
  std::string_view label;
};

// The fixed table, in the order of the hint lines. A search name is also the caption of
// the currency's check box; the unit counts of the last five labels are fixed text.
inline constexpr std::array<CurrencyRow, kCurrencyCount> kCurrencies = {{
    {"Доллар США"_cp, "Доллар "_cp},
    {"Евро"_cp, "Евро "_cp},
    {"Швейцарский франк"_cp, "Франк "_cp},
    {"Фунт стерлингов"_cp, "Фунт "_cp},
    {"Турецкая лира"_cp, "Лира "_cp},
    {"Украинских гривен"_cp, "10 Гривен "_cp},
    {"Датских крон"_cp, "10 Крон "_cp},
    {"Китайских юаней"_cp, "10 Юаней "_cp},
    {"Казахских тенге"_cp, "100 Тенге "_cp},
    {"Японских иен"_cp, "100 Иен "_cp},
}};

// "http://<rates host>/currency_base/daily/".
std::string RatesPageUrl();

// Byte-wise UTF-8 reading that never rejects: bytes outside a sequence pass through, a
// lead byte takes the next bytes whatever they are, a complete sequence that is not valid
// UTF-8 gives nothing, a character the code page lacks gives "?", and a sequence cut by
// the end of the body is dropped.
std::string DecodeRatesPage(std::string_view body);

// The text of the first table cell after `searchName` in the decoded page, up to the next "<".
std::string ExtractRate(std::string_view text, std::string_view searchName);

struct RateLine {
  std::string label, value;
};

struct RatesSnapshot {
  bool pageReceived = false;
  std::vector<RateLine> rateLines;  // one per selected currency, in table order
};

// Decodes the body once and takes the rate of every selected currency.
RatesSnapshot ExtractRates(std::string_view body, const CurrencyFlags& flags);

}  // namespace corvella

#include "retrieval/currency_rates.h"

#include "retrieval/servers.h"
#include "common/utf8_cp1251.h"
#include "common/text_search.h"

namespace corvella {

namespace {

constexpr std::string_view kCellStart = "<td>";
constexpr std::string_view kCellEnd = "<";

}  // namespace

std::string RatesPageUrl() {
  std::string url = "http://";
  url += kRatesHost;
  url += kRatesRequestPath;
  return url;
}

std::string DecodeRatesPage(std::string_view body) {
  return utf8_cp1251::Decode<utf8_cp1251::BadInput::ByteWise>(body);
}

std::string ExtractRate(std::string_view text, std::string_view searchName) {
  // The rest of the page from the second character of the name on (all of it when absent).
  std::size_t at = searchName.empty() ? std::string_view::npos : text.find(searchName);
  std::string_view rest = at == std::string_view::npos ? text : text.substr(at + 1);
  return TextBefore(TextAfter(rest, kCellStart), kCellEnd);
}

RatesSnapshot ExtractRates(std::string_view body, const CurrencyFlags& flags) {
  RatesSnapshot snapshot;
  if (body.empty()) return snapshot;
  std::string text = DecodeRatesPage(body);
  snapshot.pageReceived = !text.empty();
  // A body that decodes to nothing was not a page: no lines of empty values.
  if (!snapshot.pageReceived) return snapshot;
  for (std::size_t i = 0; i < kCurrencyCount; ++i) {
    if (!flags[i]) continue;
    snapshot.rateLines.push_back(
        RateLine{std::string(kCurrencies[i].label), ExtractRate(text, kCurrencies[i].searchName)});
  }
  return snapshot;
}

}  // namespace corvella

#include "retrieval/rate_details.h"

#include "common/text_search.h"
#include "retrieval/currency_rates.h"

namespace corvella {

namespace {

constexpr std::string_view kRowEnd = "</tr>";
constexpr std::string_view kChange = "<td class=\"change\">";
constexpr std::string_view kTomorrow = "<td class=\"tomorrow\" data-date=\"";
constexpr std::string_view kHistory = "<td class=\"history\">";
constexpr std::string_view kCellEnd = "<";
constexpr std::string_view kAttributeEnd = "\">";
constexpr std::size_t kLongestCell = 512;  // thirty rates and their blanks fit many times over

// The text after `marker` (from the start when it is empty) up to `end`; empty when the row
// has no such cell.
std::string Cell(std::string_view row, std::string_view marker, std::string_view end = kCellEnd) {
  if (row.find(marker) == std::string_view::npos) return {};
  std::string cell = TextBefore(marker.empty() ? std::string(row) : TextAfter(row, marker), end);
  // A cell runs into no tag (a date attribute cut where the page breaks off might).
  return cell.size() <= kLongestCell && cell.find('<') == std::string::npos ? cell : std::string();
}

}  // namespace

std::vector<RateDetail> ExtractRateDetails(std::string_view body, const CurrencyFlags& flags) {
  std::vector<RateDetail> details;
  if (body.empty()) return details;
  const std::string text = DecodeRatesPage(body);
  for (std::size_t i = 0; i < kCurrencyCount; ++i) {
    if (!flags[i]) continue;
    const CurrencyRow& c = kCurrencies[i];
    RateDetail d{std::string(c.label), ExtractRate(text, c.searchName), {}, {}, {}, {}};
    // The row from the currency's name to its end; a name not on the page has no row.
    const std::size_t at = text.find(c.searchName);
    const std::string row = at == std::string::npos ? std::string() : TextBefore(text.substr(at), kRowEnd);
    d.change = Cell(row, kChange);
    // <td class="tomorrow" data-date="09.12.2026">92,8000</td>
    const std::string tomorrow =
        row.find(kTomorrow) == std::string::npos ? std::string() : TextAfter(row, kTomorrow);
    d.tomorrowDate = Cell(tomorrow, {}, kAttributeEnd);
    if (!d.tomorrowDate.empty()) d.tomorrow = Cell(TextAfter(tomorrow, kAttributeEnd), {});
    d.history = Cell(row, kHistory);
    details.push_back(std::move(d));
  }
  return details;
}

}  // namespace corvella

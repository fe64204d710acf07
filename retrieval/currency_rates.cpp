#include "retrieval/currency_rates.h"

#include "retrieval/servers.h"
#include "common/utf8_cp1251.h"
#include "retrieval/weather_feed.h"

namespace corvella {

namespace {

constexpr std::string_view kCellStart = "<td>";
constexpr std::string_view kCellEnd = "<";

// Bytes a lead byte takes after itself.
constexpr std::size_t FollowersOf(unsigned char lead) {
  return lead >= 0xFC ? 5 : lead >= 0xF8 ? 4 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
}

}  // namespace

std::string RatesPageUrl() {
  std::string url = "http://";
  url += kRatesHost;
  url += kRatesRequestPath;
  return url;
}

std::string DecodeRatesPage(std::string_view body) {
  using namespace utf8_cp1251;
  std::string out(body.size(), '\0');
  const auto* p = reinterpret_cast<const unsigned char*>(body.data());
  const auto* const end = p + body.size();
  char* o = out.data();
  while (p < end) {
    std::size_t ascii = CopyAscii(p, end, o);
    p += ascii;
    o += ascii;
    if (p == end) break;
    unsigned char lead = *p;
    if (lead < 0xC0) {  // a follower outside a sequence is a character of its own
      *o++ = static_cast<char>(lead);
      ++p;
      continue;
    }
    std::size_t length = 1 + FollowersOf(lead);
    if (static_cast<std::size_t>(end - p) < length) break;  // cut by the end: dropped
    bool wellFormed = length <= 4;
    for (std::size_t k = 1; wellFormed && k < length; ++k) wellFormed = IsFollower(p[k]);
    long cp = wellFormed ? DecodeChecked(p, length) : -1;
    if (cp >= 0) *o++ = FromCodePoint(static_cast<char32_t>(cp));
    p += length;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
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

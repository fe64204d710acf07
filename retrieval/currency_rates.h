// The currency rates: the national bank's daily rates page, decoded with the lenient
// byte-wise decoder, and each selected currency's rate cut out of it by its name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/currencies.h"

namespace corvella {

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

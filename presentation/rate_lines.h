// The currencies as the forecast window and corvella-cli show them: each rate with its change
// ("▲ 0,35", "▼ 0,12", nothing when unchanged), tomorrow's rate with its own change once the
// bank has published it ("завтра 92,80 ▲"), and the last 30 rates as a small line with the
// lowest and the highest marked. Made from what the refresh pass read off the rates page;
// what a page did not carry (an older server) is simply left out.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/rate_details.h"

namespace corvella {

enum class RateMove { None, Up, Down };

struct RateRow {
  std::string label;  // "Доллар", "100 Иен" (Windows-1251, as are the texts below)
  std::string rate;   // "92,51"; the page's own text when it is not a number; empty when missing
  RateMove move = RateMove::None;
  std::string change;    // "0,35", empty when unchanged or not known
  std::string tomorrow;  // "завтра 92,80", empty before publication
  RateMove tomorrowMove = RateMove::None;
  std::vector<double> history;          // oldest first, the last being today's
  std::size_t lowest = 0, highest = 0;  // in `history`
};

std::vector<RateRow> RateRowsOf(const std::vector<RateDetail>& details);

// The lines corvella-cli prints, UTF-8, one per currency, in the window's words:
// "Доллар 92,51 ▲ 0,35 · завтра 92,80 ▲ · ▁▂▃▅▇█ от 91,20 до 92,80" (from a pass's snapshot:
// RateLinesUtf8(RateRowsOf(snapshot.rateDetails))).
std::vector<std::string> RateLinesUtf8(const std::vector<RateRow>& rows);

struct FlyoutLayout;
enum class FlyoutFont;

// Lays the rows out in the forecast window from `top` between `left` and `right` at `dpi`;
// returns the bottom of the last row.
int LayOutRateRows(const std::vector<RateRow>& rows, int left, int right, int top, int dpi,
                   const std::function<int(std::string_view, FlyoutFont)>& measure, FlyoutLayout& out);

}  // namespace corvella

#include "presentation/rate_lines.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "common/cp1251.h"
#include "common/text_literal.h"
#include "presentation/forecast_layout.h"
#include "presentation/widget_face.h"

namespace corvella {
namespace {

constexpr std::string_view kTomorrow = "завтра "_cp;
constexpr std::string_view kFrom = " от "_cp;
constexpr std::string_view kTo = " до "_cp;
constexpr std::string_view kUp = "▲", kDown = "▼";  // UTF-8, for the console only
constexpr std::string_view kLevels[] = {"▁", "▂", "▃", "▄", "▅", "▆", "▇", "█"};
constexpr std::string_view kBetween = " · ";

// The window's figures at 96 DPI.
constexpr int kRow = 18;
constexpr int kGap = 8;
constexpr int kArrowWidth = 8, kArrowHeight = 6;
constexpr int kArrowGap = 3;
constexpr int kShortestSparkline = 48;
constexpr int kSparklineInset = 3;  // above and below, and the marks' room at the ends
constexpr std::size_t kLongestNumber = 16;

// "84,1200", "+0,3511", "-0,1200": a decimal comma and an optional sign.
std::optional<double> PageNumber(std::string_view text) {
  if (text.empty() || text.size() > kLongestNumber) return std::nullopt;
  std::string plain(text.starts_with('+') ? text.substr(1) : text);
  std::replace(plain.begin(), plain.end(), ',', '.');
  if (plain.empty() || plain.front() == '+' || plain.find_first_of("eEinxp") != std::string::npos)
    return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::string Decimal(double value, int places) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", places, value);
  std::string s = text;
  std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

// Two places, or four when two would read as no change at all.
std::string Amount(double value) {
  const std::string two = Decimal(value, 2);
  return two == "0,00" ? Decimal(value, 4) : two;
}

RateMove MoveOf(double from, double to) {
  const long long a = std::llround(from * 10'000), b = std::llround(to * 10'000);
  return b > a ? RateMove::Up : b < a ? RateMove::Down : RateMove::None;
}

std::string_view Arrow(RateMove move) { return move == RateMove::Up ? kUp : kDown; }

FlyoutInk InkOf(RateMove move) { return move == RateMove::Up ? FlyoutInk::Warm : FlyoutInk::Cold; }

// The 30 days in eight steps of height, for the console.
std::string Sparkline(const RateRow& r) {
  const double lo = r.history[r.lowest], hi = r.history[r.highest];
  std::string line;
  for (double v : r.history) {
    const double share = hi > lo ? (v - lo) / (hi - lo) : 0.5;
    line += kLevels[std::clamp<std::size_t>(static_cast<std::size_t>(std::lround(share * 7)), 0, 7)];
  }
  return line;
}

}  // namespace

std::vector<RateRow> RateRowsOf(const std::vector<RateDetail>& details) {
  std::vector<RateRow> rows;
  for (const RateDetail& d : details) {
    RateRow r;
    r.label = d.label;
    while (!r.label.empty() && r.label.back() == ' ') r.label.pop_back();
    const std::optional<double> rate = PageNumber(d.rate);
    r.rate = rate ? Decimal(*rate, 2) : d.rate;
    if (const std::optional<double> change = PageNumber(d.change); change && rate) {
      r.move = MoveOf(0, *change);
      if (r.move != RateMove::None) r.change = Amount(std::fabs(*change));
    }
    if (const std::optional<double> tomorrow = PageNumber(d.tomorrow); tomorrow && rate) {
      r.tomorrow = std::string(kTomorrow) + Decimal(*tomorrow, 2);
      r.tomorrowMove = MoveOf(*rate, *tomorrow);
    }
    // The month's rates, all of them numbers, or none.
    std::string_view rest = d.history;
    bool whole = rate.has_value();
    while (!rest.empty() && whole) {
      const std::size_t blank = rest.find(' ');
      const std::optional<double> v = PageNumber(rest.substr(0, blank));
      whole = v && *v > 0;
      if (whole) r.history.push_back(*v);
      rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    }
    if (!whole || r.history.size() < 2) r.history.clear();
    for (std::size_t k = 0; k < r.history.size(); ++k) {
      if (r.history[k] < r.history[r.lowest]) r.lowest = k;
      if (r.history[k] > r.history[r.highest]) r.highest = k;
    }
    rows.push_back(std::move(r));
  }
  return rows;
}

std::vector<std::string> RateLinesUtf8(const std::vector<RateRow>& rows) {
  std::vector<std::string> lines;
  for (const RateRow& r : rows) {
    std::string line = Cp1251ToUtf8(r.label) + " " + Cp1251ToUtf8(r.rate.empty() ? FlyoutNoData() : r.rate);
    if (!r.change.empty()) {
      line += ' ';
      line += Arrow(r.move);
      line += ' ';
      line += r.change;
    }
    if (!r.tomorrow.empty()) {
      line += kBetween;
      line += Cp1251ToUtf8(r.tomorrow);
      if (r.tomorrowMove != RateMove::None) {
        line += ' ';
        line += Arrow(r.tomorrowMove);
      }
    }
    if (!r.history.empty()) {
      line += kBetween;
      line += Sparkline(r);
      line += Cp1251ToUtf8(std::string(kFrom) + Decimal(r.history[r.lowest], 2) + std::string(kTo) +
                           Decimal(r.history[r.highest], 2));
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

int LayOutRateRows(const std::vector<RateRow>& rows, int left, int right, int top, int dpi,
                   const std::function<int(std::string_view, FlyoutFont)>& measure, FlyoutLayout& out) {
  auto S = [dpi](int v) { return ScaleForDpi(v, dpi); };
  auto RateText = [](const RateRow& r) { return r.rate.empty() ? std::string(FlyoutNoData()) : r.rate; };
  // Columns as wide as their widest text: the label, the rate, the change, tomorrow.
  int labelWidth = 0, rateWidth = 0, changeWidth = 0, tomorrowWidth = 0;
  for (const RateRow& r : rows) {
    labelWidth = std::max(labelWidth, measure(r.label, FlyoutFont::Body));
    rateWidth = std::max(rateWidth, measure(RateText(r), FlyoutFont::Body));
    if (!r.change.empty()) {
      changeWidth = std::max(changeWidth, S(kArrowWidth + kArrowGap) + measure(r.change, FlyoutFont::Small));
    }
    if (!r.tomorrow.empty()) {
      tomorrowWidth =
          std::max(tomorrowWidth, measure(r.tomorrow, FlyoutFont::Small) + S(kArrowGap + kArrowWidth));
    }
  }
  const int rateLeft = left + labelWidth + S(kGap);
  const int changeLeft = rateLeft + rateWidth + S(kGap);
  int tomorrowLeft = changeLeft + (changeWidth > 0 ? changeWidth + S(kGap) : 0);
  int sparkLeft = tomorrowLeft + (tomorrowWidth > 0 ? tomorrowWidth + S(kGap) : 0);
  // Where the line would be too short (large fonts), tomorrow and the line take a row of their own.
  const bool anyMonth =
      std::any_of(rows.begin(), rows.end(), [](const RateRow& r) { return !r.history.empty(); });
  const bool ownRow = right - sparkLeft < (anyMonth ? S(kShortestSparkline) : -S(kGap));
  if (ownRow) {
    tomorrowLeft = rateLeft;
    sparkLeft = tomorrowLeft + (tomorrowWidth > 0 ? tomorrowWidth + S(kGap) : 0);
  }

  auto ArrowAt = [&](int x, const FlyoutBox& row, RateMove move) {
    const int middle = (row.top + row.bottom) / 2;
    out.arrows.push_back({{x, middle - S(kArrowHeight) / 2, x + S(kArrowWidth),
                           middle - S(kArrowHeight) / 2 + S(kArrowHeight)},
                          move == RateMove::Up,
                          InkOf(move)});
  };

  int y = top;
  for (const RateRow& r : rows) {
    const FlyoutBox first{left, y, right, y + S(kRow)};
    out.texts.push_back({{left, first.top, rateLeft - S(kGap), first.bottom}, r.label, FlyoutFont::Body});
    out.texts.push_back({{rateLeft, first.top, rateLeft + rateWidth, first.bottom},
                         RateText(r),
                         FlyoutFont::Body,
                         FlyoutAlign::Right,
                         r.rate.empty() ? FlyoutInk::Faint : FlyoutInk::Normal});
    if (!r.change.empty()) {
      ArrowAt(changeLeft, first, r.move);
      const int x = changeLeft + S(kArrowWidth + kArrowGap);
      out.texts.push_back({{x, first.top, changeLeft + changeWidth, first.bottom},
                           r.change,
                           FlyoutFont::Small,
                           FlyoutAlign::Left,
                           InkOf(r.move)});
    }
    const bool second = ownRow && (!r.tomorrow.empty() || !r.history.empty());
    const FlyoutBox rest = second ? FlyoutBox{left, first.bottom, right, first.bottom + S(kRow)} : first;
    if (!r.tomorrow.empty()) {
      const int w = measure(r.tomorrow, FlyoutFont::Small);
      out.texts.push_back({{tomorrowLeft, rest.top, tomorrowLeft + w, rest.bottom},
                           r.tomorrow,
                           FlyoutFont::Small,
                           FlyoutAlign::Left,
                           FlyoutInk::Faint});
      if (r.tomorrowMove != RateMove::None) ArrowAt(tomorrowLeft + w + S(kArrowGap), rest, r.tomorrowMove);
    }
    if (!r.history.empty() && right - sparkLeft >= S(kShortestSparkline)) {
      const FlyoutBox box{sparkLeft + S(kSparklineInset), rest.top + S(kSparklineInset),
                          right - S(kSparklineInset), rest.bottom - S(kSparklineInset)};
      const double lo = r.history[r.lowest], hi = r.history[r.highest];
      FlyoutSparkline line{{}, r.lowest, r.highest};
      const std::size_t last = r.history.size() - 1;
      for (std::size_t k = 0; k <= last; ++k) {
        const double share = hi > lo ? (r.history[k] - lo) / (hi - lo) : 0.5;
        line.points.push_back(
            {box.left + static_cast<int>(std::lround(static_cast<double>(box.width()) *
                                                     static_cast<double>(k) / static_cast<double>(last))),
             box.bottom - static_cast<int>(std::lround(share * box.height()))});
      }
      out.sparklines.push_back(std::move(line));
    }
    y = rest.bottom;
  }
  return y;
}

}  // namespace corvella

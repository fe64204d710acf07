#include "presentation/forecast_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

#include "common/date_time.h"
#include "common/text_literal.h"
#include "presentation/widget_face.h"
#include "retrieval/forecast_snapshot.h"
#include "retrieval/weather_feed.h"

namespace corvella {
namespace {

constexpr std::string_view kNoData = "нет данных"_cp;
constexpr std::string_view kNo = "нет"_cp;
constexpr std::string_view kData = "данных"_cp;
constexpr std::string_view kSources = "Погода: Open-Meteo.com · Курсы: Банк России"_cp;
constexpr std::string_view kUpdated = "обновлено "_cp;
constexpr std::string_view kTitle = "Прогноз погоды: "_cp;
constexpr std::string_view kNowAt = ", сейчас "_cp;
constexpr std::string_view kDegree = "°"_cp;
constexpr std::string_view kDash = "–"_cp;
constexpr std::string_view kWeekdays[] = {"Пн"_cp, "Вт"_cp, "Ср"_cp, "Чт"_cp, "Пт"_cp, "Сб"_cp, "Вс"_cp};

// The window's figures at 96 DPI.
constexpr int kWidth = 360;
constexpr int kPad = 12;
constexpr int kGap = 6;
constexpr int kTitleRow = 20;
constexpr int kLineRow = 16;
constexpr int kNowPicture = 48;
constexpr int kHourPicture = 16;
constexpr int kDayPicture = 24;
constexpr int kCurveHeight = 56;
constexpr int kCurveInset = 10;  // room for a label centred on the first or last hour
constexpr int kDays = 7;
constexpr int kHourLabelEvery = 3;
constexpr double kFlatSpan = 4.0;  // degrees: a flatter day is drawn as a line in the middle
constexpr double kColdest = -90.0, kWarmest = 60.0;
constexpr double kFullBarMm = 4.0;  // an hour's precipitation that fills a third of the curve's height

class Builder {
 public:
  Builder(const FlyoutContent& c, int dpi, const FlyoutMeasure& measure) : c_(c), dpi_(dpi), measure_(measure) {
    out_.width = S(kWidth);
  }

  FlyoutLayout Build() {
    y_ = S(kPad);
    Header();
    Rule();
    Now();
    NowDetails();
    Rule();
    Chart();
    Rule();
    Days();
    if (c_.ratesWanted) {
      Rule();
      Rates();
    }
    Rule();
    Text({S(kPad), y_, out_.width - S(kPad), y_ + S(kLineRow)}, std::string(kSources), FlyoutFont::Small,
         FlyoutAlign::Left, FlyoutInk::Faint);
    y_ += S(kLineRow) + S(kPad) / 2;
    out_.height = y_;
    return std::move(out_);
  }

 private:
  int S(int v) const { return ScaleForDpi(v, dpi_); }
  int Width(std::string_view text, FlyoutFont font) const { return measure_(text, font); }
  int Left() const { return S(kPad); }
  int Right() const { return out_.width - S(kPad); }

  void Text(FlyoutBox box, std::string text, FlyoutFont font, FlyoutAlign align,
            FlyoutInk ink = FlyoutInk::Normal) {
    out_.texts.push_back(FlyoutText{box, std::move(text), font, align, ink});
  }

  // "нет данных" centred in `box`, on two lines when one does not fit.
  void NoData(FlyoutBox box, FlyoutFont font) {
    if (Width(kNoData, font) <= box.width()) {
      Text(box, std::string(kNoData), font, FlyoutAlign::Centre, FlyoutInk::Faint);
      return;
    }
    const int middle = (box.top + box.bottom) / 2;
    Text({box.left, middle - S(kLineRow), box.right, middle}, std::string(kNo), font, FlyoutAlign::Centre,
         FlyoutInk::Faint);
    Text({box.left, middle, box.right, middle + S(kLineRow)}, std::string(kData), font, FlyoutAlign::Centre,
         FlyoutInk::Faint);
  }

  void Rule() {
    y_ += S(kGap) / 2;
    out_.separators.push_back({Left(), y_, Right(), y_ + std::max(1, S(1))});
    y_ += S(kGap);
  }

  void Header() {
    Text({Left(), y_, Right(), y_ + S(kTitleRow)}, c_.place.empty() ? std::string(kNoData) : c_.place,
         FlyoutFont::Title, FlyoutAlign::Left, c_.place.empty() ? FlyoutInk::Faint : FlyoutInk::Normal);
    y_ += S(kTitleRow);
    const int updatedWidth = std::min(Width(c_.updated, FlyoutFont::Small), (Right() - Left()) / 2);
    const FlyoutBox row{Left(), y_, Right(), y_ + S(kLineRow)};
    Text({row.left, row.top, row.right - updatedWidth - S(kGap), row.bottom}, c_.region, FlyoutFont::Small,
         FlyoutAlign::Left, FlyoutInk::Faint);
    Text({row.right - updatedWidth, row.top, row.right, row.bottom}, c_.updated, FlyoutFont::Small,
         FlyoutAlign::Right, FlyoutInk::Faint);
    y_ = row.bottom;
  }

  void Now() {
    const FlyoutBox picture{Left(), y_, Left() + S(kNowPicture), y_ + S(kNowPicture)};
    if (!c_.nowSky.empty()) out_.pictures.push_back({picture, c_.nowSky});
    int x = picture.right + S(kGap + 4);
    if (c_.nowTemperature.empty()) {
      const int w = Width(kNoData, FlyoutFont::Body);
      Text({x, picture.top, x + w, picture.bottom}, std::string(kNoData), FlyoutFont::Body, FlyoutAlign::Left,
           FlyoutInk::Faint);
      x += w;
    } else {
      const int w = std::min(Width(c_.nowTemperature, FlyoutFont::Large), Right() - x);
      Text({x, picture.top, x + w, picture.bottom}, c_.nowTemperature, FlyoutFont::Large, FlyoutAlign::Left);
      x += w;
    }
    x += S(kGap * 2);
    if (x < Right()) {
      Text({x, picture.top, Right(), picture.bottom}, c_.nowWords.empty() ? c_.nowSky : c_.nowWords,
           FlyoutFont::Body, FlyoutAlign::Left);
    }
    y_ = picture.bottom;
  }

  void Chart() {
    if (!c_.details.precipLine.empty()) {
      Text({Left(), y_, Right(), y_ + S(kLineRow)}, c_.details.precipLine, FlyoutFont::Body, FlyoutAlign::Left);
      y_ += S(kLineRow) + S(2);
    }
    const FlyoutBox pictures{Left(), y_, Right(), y_ + S(kHourPicture)};
    const FlyoutBox warmRow{Left(), pictures.bottom + S(2), Right(), pictures.bottom + S(2) + S(kLineRow)};
    const FlyoutBox curve{Left() + S(kCurveInset), warmRow.bottom, Right() - S(kCurveInset),
                          warmRow.bottom + S(kCurveHeight)};
    const FlyoutBox coldRow{Left(), curve.bottom, Right(), curve.bottom + S(kLineRow)};
    const FlyoutBox hourRow{Left(), coldRow.bottom + S(2), Right(), coldRow.bottom + S(2) + S(kLineRow)};
    out_.chart = curve;
    y_ = hourRow.bottom;

    std::vector<std::size_t> known;
    for (std::size_t k = 0; k < c_.hours.size(); ++k) {
      if (c_.hours[k].temperature) known.push_back(k);
    }
    if (known.size() < 2) {
      NoData({Left(), warmRow.top, Right(), hourRow.bottom}, FlyoutFont::Body);
      return;
    }

    double lo = *c_.hours[known[0]].temperature, hi = lo;
    std::size_t coldest = known[0], warmest = known[0];
    for (std::size_t k : known) {
      const double t = *c_.hours[k].temperature;
      if (t < lo) lo = t, coldest = k;
      if (t > hi) hi = t, warmest = k;
    }
    const double span = std::max(hi - lo, kFlatSpan);
    const double top = (hi + lo) / 2 + span / 2;
    const double step = static_cast<double>(curve.width()) / 23.0;
    auto xAt = [&](std::size_t k) { return curve.left + static_cast<int>(std::lround(step * static_cast<double>(k))); };
    auto yAt = [&](double t) {
      const int y = curve.top + static_cast<int>(std::lround((top - t) / span * curve.height()));
      return std::clamp(y, curve.top, curve.bottom);
    };
    for (std::size_t k : known) out_.curve.push_back({xAt(k), yAt(*c_.hours[k].temperature)});
    Bars(curve, step, xAt);
    if (lo < 0 && hi > 0) out_.zeroLine = yAt(0.0);

    // The warmest hour above the curve, the coldest below it; a flat day says it once.
    Label(warmRow, xAt(warmest), DegreesText(hi), FlyoutInk::Warm);
    if (DegreesText(lo) != DegreesText(hi)) Label(coldRow, xAt(coldest), DegreesText(lo), FlyoutInk::Cold);

    // The hour under every third point (every sixth when the labels would touch), the sky above.
    int widest = 0;
    for (const FlyoutHour& h : c_.hours) widest = std::max(widest, Width(h.hour, FlyoutFont::Small));
    std::size_t every = kHourLabelEvery;
    while (static_cast<double>(every) * step < widest + S(4) && every < 24) every *= 2;
    for (std::size_t k = 0; k < c_.hours.size(); k += every) {
      Label(hourRow, xAt(k), c_.hours[k].hour, FlyoutInk::Faint);
      const int half = S(kHourPicture) / 2;
      out_.pictures.push_back({{xAt(k) - half, pictures.top, xAt(k) - half + S(kHourPicture), pictures.bottom},
                               c_.hours[k].sky});
    }
    // The hours the feed did not bring.
    if (c_.hours.size() < 24) {
      const FlyoutBox rest{xAt(c_.hours.size() - 1) + S(kGap), curve.top, Right(), curve.bottom};
      if (Width(kNoData, FlyoutFont::Small) <= rest.width()) NoData(rest, FlyoutFont::Small);
    }
  }

  // Feels-like, wind, pressure and humidity under the temperature now: two to a line when
  // every one fits half the width, else one a line. The pressure's trend follows its arrow.
  void NowDetails() {
    const FlyoutDetails& d = c_.details;
    if (d.now.empty()) return;
    const int arrow = S(8);
    std::vector<int> widths;
    for (std::size_t k = 0; k < d.now.size(); ++k) {
      int w = Width(d.now[k], FlyoutFont::Body);
      if (d.trend && d.pressureAt == k) w += S(kGap) + arrow + S(4) + Width(d.trend->text, FlyoutFont::Body);
      widths.push_back(w);
    }
    const int half = (Right() - Left()) / 2;
    const bool pairs = std::all_of(widths.begin(), widths.end(), [&](int w) { return w <= half - S(kGap); });
    y_ += S(kGap) / 2;
    for (std::size_t k = 0; k < d.now.size(); ++k) {
      const int column = pairs ? static_cast<int>(k % 2) : 0;
      if (k > 0 && column == 0) y_ += S(kLineRow);
      int x = Left() + column * half;
      // A little more room than measured: a font's last letter may reach past its advance.
      const int end = pairs && column == 0 ? x + half - S(kGap) : Right();
      const int w = std::min(Width(d.now[k], FlyoutFont::Body) + S(kGap) / 2, end - x);
      Text({x, y_, d.trend && d.pressureAt == k ? x + w : end, y_ + S(kLineRow)}, d.now[k], FlyoutFont::Body,
           FlyoutAlign::Left);
      if (d.trend && d.pressureAt == k) {
        x += w + S(kGap) / 2;
        const int top = y_ + (S(kLineRow) - arrow) / 2;
        out_.arrows.push_back({{x, top, x + arrow, top + arrow}, !d.trend->falling, FlyoutInk::Normal});
        x += arrow + S(4);
        Text({x, y_, std::min(Right(), x + Width(d.trend->text, FlyoutFont::Body)), y_ + S(kLineRow)}, d.trend->text,
             FlyoutFont::Body, FlyoutAlign::Left);
      }
    }
    y_ += S(kLineRow);
  }

  // Each hour's precipitation as a bar rising from the curve's floor.
  template <typename XAt>
  void Bars(const FlyoutBox& curve, double step, const XAt& xAt) {
    const int half = std::max(1, static_cast<int>(step * 0.3));
    for (std::size_t k = 0; k < c_.details.hourPrecip.size() && k < c_.hours.size(); ++k) {
      const std::optional<FeedPrecip>& p = c_.details.hourPrecip[k];
      if (!p || p->amount < 0.05) continue;
      const double share = std::min(p->amount / kFullBarMm, 1.0);
      const int height = std::max(S(2), static_cast<int>(std::lround(share * curve.height() / 3)));
      out_.bars.push_back({{xAt(k) - half, curve.bottom - height, xAt(k) + half, curve.bottom}, PrecipLikely(*p)});
    }
  }

  // A small text centred on x, kept inside the window's margins.
  void Label(const FlyoutBox& row, int x, std::string text, FlyoutInk ink) {
    const int w = Width(text, FlyoutFont::Small);
    const int left = std::clamp(x - w / 2, row.left, std::max(row.left, row.right - w));
    Text({left, row.top, left + w, row.bottom}, std::move(text), FlyoutFont::Small, FlyoutAlign::Centre, ink);
  }

  void Days() {
    const int columnWidth = (Right() - Left()) / kDays;
    const int top = y_;
    const int height = S(kLineRow) * (4 + DetailRows()) + S(kDayPicture) + S(4);
    for (int d = 0; d < kDays; ++d) {
      const FlyoutBox column{Left() + d * columnWidth, top, Left() + (d + 1) * columnWidth, top + height};
      out_.dayColumns.push_back(column);
      if (static_cast<std::size_t>(d) >= c_.days.size()) continue;
      const FlyoutDay& day = c_.days[static_cast<std::size_t>(d)];
      int y = column.top;
      ColumnText(column, y, day.weekday, FlyoutFont::Body, FlyoutInk::Normal);
      ColumnText(column, y, day.date, FlyoutFont::Small, FlyoutInk::Faint);
      const int half = S(kDayPicture) / 2, middle = (column.left + column.right) / 2;
      if (!day.sky.empty())
        out_.pictures.push_back({{middle - half, y + S(2), middle - half + S(kDayPicture), y + S(2) + S(kDayPicture)},
                                 day.sky});
      y += S(kDayPicture) + S(4);
      ColumnText(column, y, day.max ? DegreesText(*day.max) : std::string(kDash), FlyoutFont::Body, FlyoutInk::Normal);
      ColumnText(column, y, day.min ? DegreesText(*day.min) : std::string(kDash), FlyoutFont::Small, FlyoutInk::Faint);
      if (static_cast<std::size_t>(d) < c_.details.days.size()) {
        const FlyoutDayDetails& extra = c_.details.days[static_cast<std::size_t>(d)];
        const std::string* rows[] = {&extra.amount, &extra.chance, &extra.wind};
        for (std::size_t r = 0; r < std::size(rows); ++r) {
          if (DetailRowUsed(r)) ColumnText(column, y, *rows[r], FlyoutFont::Small, FlyoutInk::Faint);
        }
      }
    }
    if (c_.days.size() < kDays) {
      const int first = static_cast<int>(c_.days.size());
      NoData({Left() + first * columnWidth, top, Left() + kDays * columnWidth, top + height}, FlyoutFont::Small);
    }
    y_ = top + height;
  }

  // Whether any day has its precipitation (row 0), its chance (1) or its wind (2).
  bool DetailRowUsed(std::size_t row) const {
    return std::any_of(c_.details.days.begin(), c_.details.days.end(), [row](const FlyoutDayDetails& d) {
      return !(row == 0 ? d.amount : row == 1 ? d.chance : d.wind).empty();
    });
  }
  int DetailRows() const { return DetailRowUsed(0) + DetailRowUsed(1) + DetailRowUsed(2); }

  // One line of a day's column; a text wider than the column takes the smaller font.
  void ColumnText(const FlyoutBox& column, int& y, const std::string& text, FlyoutFont font, FlyoutInk ink) {
    if (Width(text, font) > column.width()) font = FlyoutFont::Small;
    Text({column.left, y, column.right, y + S(kLineRow)}, text, font, FlyoutAlign::Centre, ink);
    y += S(kLineRow);
  }

  void Rates() {
    if (!c_.rateRows.empty()) {
      y_ = LayOutRateRows(c_.rateRows, Left(), Right(), y_, dpi_, measure_, out_);
      return;
    }
    if (c_.rates.empty()) {
      NoData({Left(), y_, Right(), y_ + S(kLineRow)}, FlyoutFont::Body);
      y_ += S(kLineRow);
      return;
    }
    // Up to three lines in one column, more in two.
    const std::size_t columns = c_.rates.size() > 3 ? 2 : 1;
    const std::size_t rows = (c_.rates.size() + columns - 1) / columns;
    const int columnWidth = (Right() - Left()) / static_cast<int>(columns);
    for (std::size_t k = 0; k < c_.rates.size(); ++k) {
      const int left = Left() + static_cast<int>(k / rows) * columnWidth;
      const int top = y_ + static_cast<int>(k % rows) * S(kLineRow);
      Text({left, top, left + columnWidth - S(kGap), top + S(kLineRow)}, c_.rates[k], FlyoutFont::Body,
           FlyoutAlign::Left);
    }
    y_ += static_cast<int>(rows) * S(kLineRow);
  }

  const FlyoutContent& c_;
  int dpi_;
  const FlyoutMeasure& measure_;
  FlyoutLayout out_;
  int y_ = 0;
};

std::string TwoDigits(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

std::optional<CivilDate> ParseYmd(std::string_view ymd) {
  int value = 0;
  if (ymd.size() != 8) return std::nullopt;
  auto [end, error] = std::from_chars(ymd.data(), ymd.data() + 8, value);
  if (error != std::errc() || end != ymd.data() + 8 || value < 0) return std::nullopt;
  CivilDate date{value / 10000, value / 100 % 100, value % 100};
  if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31) return std::nullopt;
  return date;
}

std::optional<int> WholeDegrees(std::string_view text) {
  const std::optional<double> t = ParseTemperature(text);
  if (!t) return std::nullopt;
  return static_cast<int>(std::lround(*t));
}

}  // namespace

std::string_view FlyoutNoData() { return kNoData; }
std::string_view FlyoutSources() { return kSources; }

int FlyoutSkyIndex(std::string_view sky) {
  constexpr std::string_view kSkies[] = {"Ясно"_cp, "Облачно"_cp, "Пасмурно"_cp, "Дождь"_cp, "Снег"_cp, "Гроза"_cp};
  for (std::size_t k = 0; k < std::size(kSkies); ++k) {
    if (kSkies[k] == sky) return static_cast<int>(k);
  }
  return -1;
}

int FlyoutArtSize(int size) {
  for (int rendered : kFlyoutArtSizes) {
    if (rendered >= size) return rendered;
  }
  return kFlyoutArtSizes[std::size(kFlyoutArtSizes) - 1];
}

int FlyoutFontPixels(FlyoutFont font, int dpi) {
  constexpr int kPixels[] = {30, 15, 12, 11};  // Large, Title, Body, Small at 96 DPI
  return ScaleForDpi(kPixels[static_cast<int>(font)], dpi);
}

std::optional<double> ParseTemperature(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty() || text.size() > 16 || text.front() == '+') return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!(value >= kColdest && value <= kWarmest)) return std::nullopt;
  return value;
}

std::string FlyoutName(const FlyoutContent& c) {
  std::string name(kTitle);
  if (c.place.empty() || c.nowTemperature.empty()) return name + std::string(kNoData);
  name += c.place;
  name += kNowAt;
  name += c.nowTemperature;
  name += ", ";
  name += c.nowWords.empty() ? c.nowSky : c.nowWords;
  return name;
}

std::string DegreesText(double value) {
  const long whole = std::lround(value);
  std::string text = whole > 0 ? "+" : "";
  text += std::to_string(whole);
  text += kDegree;
  return text;
}

FlyoutContent FlyoutContentOf(const ForecastSnapshot& s, bool ratesWanted) {
  FlyoutContent c;
  c.place = s.place;
  c.region = s.region;
  if (!s.updatedAt.empty()) c.updated = std::string(kUpdated) + s.updatedAt;
  for (const HourBlock& h : s.hours) c.hours.push_back({h.hour, ParseTemperature(h.temperature), h.sky});
  if (!s.hours.empty()) {
    const HourBlock& now = s.hours.front();
    if (ParseTemperature(now.temperature)) {
      // As the widget shows it: the fraction cut off, the sign written out.
      std::string text = now.temperature;
      text += kDegree;
      c.nowTemperature = DeriveSignedText(DeriveIconText(text));
      if (c.nowTemperature.find(kDegree) == std::string::npos) c.nowTemperature += kDegree;
    }
    c.nowSky = now.sky;
    c.nowWords = now.description;
  }
  for (const DayBlock& d : s.days) {
    FlyoutDay day;
    if (const std::optional<CivilDate> date = ParseYmd(d.date)) {
      const long long n = DaysFromCivil(date->year, date->month, date->day);
      day.weekday = std::string(kWeekdays[static_cast<std::size_t>(((n + 5) % 7 + 7) % 7)]);
      day.date = TwoDigits(date->day) + "." + TwoDigits(date->month);
    }
    day.sky = d.sky;
    day.min = WholeDegrees(d.min);
    day.max = WholeDegrees(d.max);
    c.days.push_back(std::move(day));
  }
  c.ratesWanted = ratesWanted;
  c.rates = s.rateLines;
  c.rateRows = RateRowsOf(s.rateDetails);
  c.details = FlyoutDetailsOf(s.hours, s.days);
  return c;
}

FlyoutLayout LayOutFlyout(const FlyoutContent& content, int dpi, const FlyoutMeasure& measure) {
  return Builder(content, dpi, measure).Build();
}

}  // namespace corvella

// The forecast window before anything is drawn: what it says (cut from the refresh pass's
// snapshot) and where every text, picture and point of the curve goes at a given DPI.
// Portable; the window only measures text for it and draws what it is given.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "presentation/rate_lines.h"
#include "presentation/forecast_details.h"

namespace corvella {

struct ForecastSnapshot;

// Everything the window writes, Windows-1251.
std::string_view FlyoutNoData();   // "нет данных"
std::string_view FlyoutSources();  // "Погода: Open-Meteo.com · Курсы: Банк России"

struct FlyoutHour {
  std::string hour;                   // "17"
  std::optional<double> temperature;  // absent when the feed's text is not a temperature
  std::string sky;                    // one of the six sky words
};

struct FlyoutDay {
  std::string weekday;  // "Пн"
  std::string date;     // "08.12"
  std::string sky;      // empty: no picture
  std::optional<int> min, max;
};

struct FlyoutContent {
  std::string place, region;
  std::string updated;  // "обновлено 14:05", or empty before the first forecast
  std::string nowTemperature;  // "+5°", as on the widget; empty when not known
  std::string nowSky, nowWords;
  std::vector<FlyoutHour> hours;  // from the current hour, at most 24
  std::vector<FlyoutDay> days;    // from today, at most 7
  bool ratesWanted = false;
  std::vector<std::string> rates;
  std::vector<RateRow> rateRows;  // the same currencies with their change, tomorrow and month
  FlyoutDetails details;  // feels-like, wind, pressure, humidity, precipitation
};

// The content of the snapshot: only what the last forecast of its place brought.
FlyoutContent FlyoutContentOf(const ForecastSnapshot& snapshot, bool ratesWanted);
// The window's name, which a screen reader announces as it opens: "Прогноз погоды: <place>,
// сейчас +5°, <sky words>", or "Прогноз погоды: нет данных".
std::string FlyoutName(const FlyoutContent& content);
// A temperature as the feed writes it ("-2.8", "+5", "12"), or nothing for anything else
// (and for a value no thermometer shows).
std::optional<double> ParseTemperature(std::string_view text);
// Whole degrees with their sign: "+5°", "-3°", "0°".
std::string DegreesText(double value);

enum class FlyoutFont { Large, Title, Body, Small };
enum class FlyoutAlign { Left, Centre, Right };
// Text colours: the window picks the actual colours for its mode.
enum class FlyoutInk { Normal, Faint, Warm, Cold };

struct FlyoutBox {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

struct FlyoutText {
  FlyoutBox box;
  std::string text;
  FlyoutFont font = FlyoutFont::Body;
  FlyoutAlign align = FlyoutAlign::Left;
  FlyoutInk ink = FlyoutInk::Normal;
};

struct FlyoutPicture {
  FlyoutBox box;
  std::string sky;
};

struct FlyoutPoint {
  int x = 0, y = 0;
};

// An hour's precipitation under the curve: solid when likely, hatched when merely possible.
struct FlyoutBar {
  FlyoutBox box;
  bool likely = false;
};

// A rate's rise or fall, or the pressure's trend: a small triangle pointing up or down.
struct FlyoutArrow {
  FlyoutBox box;
  bool up = true;
  FlyoutInk ink = FlyoutInk::Normal;
};

// A rate's last days as a thin line, its lowest and highest points marked.
struct FlyoutSparkline {
  std::vector<FlyoutPoint> points;
  std::size_t lowest = 0, highest = 0;
};

struct FlyoutLayout {
  int width = 0, height = 0;
  std::vector<FlyoutText> texts;
  std::vector<FlyoutPicture> pictures;
  FlyoutBox chart;                  // where the curve may go
  std::vector<FlyoutPoint> curve;   // one point an hour, left to right; may be empty
  std::optional<int> zeroLine;      // the 0° line's y, when the curve crosses it
  std::vector<FlyoutBox> dayColumns;
  std::vector<FlyoutBox> separators;  // thin rules between the parts
  std::vector<FlyoutArrow> arrows;  // the rates' rises and falls, the pressure's trend
  std::vector<FlyoutSparkline> sparklines;
  std::vector<FlyoutBar> bars;
};

// The sky pictures come in strips of six (data/flyout/sky-<size>.png), in this order.
inline constexpr int kFlyoutArtSizes[] = {16, 20, 24, 30, 32, 36, 48, 60, 72, 96};
// The place of a sky word (Windows-1251) in a strip, or -1.
int FlyoutSkyIndex(std::string_view sky);
// The rendered size to draw a picture of `size` from: the smallest at least as large, or the largest.
int FlyoutArtSize(int size);

// The width of a text in pixels, in the given font at the layout's DPI.
using FlyoutMeasure = std::function<int(std::string_view text, FlyoutFont font)>;
// Font heights in pixels at `dpi`.
int FlyoutFontPixels(FlyoutFont font, int dpi);

FlyoutLayout LayOutFlyout(const FlyoutContent& content, int dpi, const FlyoutMeasure& measure);

}  // namespace corvella

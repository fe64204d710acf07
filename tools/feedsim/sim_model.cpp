#include "tools/feedsim/sim_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace corvella::feedsim {
namespace {

struct Description {
  std::string_view text;
  Sky sky;
  bool liquid = false;  // plain rain: not told in a hard frost
};

// Descriptions the way the feed writes them, with the word each leads to: the program tests
// "снег", "Пасмурно", "дожд", "Облачно", "гроз" in that order, and the last match wins.
constexpr std::array<Description, 20> kDescriptions = {{
    {"Ясно", Sky::Clear},
    {"Малооблачно", Sky::Clear},
    {"Переменная облачность", Sky::Clear},
    {"Облачно", Sky::Cloudy},
    {"Облачно, небольшой дождь", Sky::Cloudy, true},
    {"Облачно, небольшой снег", Sky::Cloudy},
    {"Пасмурно", Sky::Overcast},
    {"Пасмурно, снег", Sky::Overcast},
    {"Пасмурно, небольшой снег", Sky::Overcast},
    {"Небольшой дождь", Sky::Rain, true},
    {"Пасмурно, небольшой дождь", Sky::Rain, true},
    {"Сильный дождь", Sky::Rain, true},
    {"дождь со снегом", Sky::Rain},
    {"небольшой снег", Sky::Snow},
    {"Сильный снег", Sky::Snow},
    {"Небольшой снег, метель", Sky::Snow},
    {"дождь, гроза", Sky::Thunder, true},
    {"Облачно, гроза", Sky::Thunder},
    {"Пасмурно, дождь, гроза", Sky::Thunder, true},
    {"Облачно, возможна гроза", Sky::Thunder},
}};

constexpr std::array<std::string_view, 7> kWeekdays = {"Суббота", "Воскресенье", "Понедельник", "Вторник",
                                                       "Среда",   "Четверг",     "Пятница"};
// Mean temperature of each month in central Russia.
constexpr std::array<int, 12> kMonthMean = {-7, -6, -1, 6, 13, 17, 19, 17, 11, 5, -1, -5};

// The descriptions of one sky take turns, so that a spell of a few hours shows them all.
const Description& PickDescription(int turn, Sky sky, bool frost) {
  std::array<const Description*, kDescriptions.size()> matching{};
  std::size_t count = 0;
  for (const Description& d : kDescriptions) {
    if (d.sky == sky && !(frost && d.liquid)) matching[count++] = &d;
  }
  return *matching[static_cast<std::size_t>(turn) % count];
}

// Tenths of a degree as the feed writes them: most values whole, some with one decimal.
std::string TemperatureText(int tenths, bool fraction) {
  if (fraction && tenths % 10 != 0) {
    int a = std::abs(tenths);
    // Built by appending: GCC 12 at -O3 reports a false -Wrestrict for a literal added to a
    // temporary string.
    std::string text = tenths < 0 ? "-" : "";
    text += std::to_string(a / 10);
    text += '.';
    text += std::to_string(a % 10);
    return text;
  }
  int whole = tenths >= 0 ? (tenths + 5) / 10 : -((-tenths + 5) / 10);
  return std::to_string(whole);
}

std::string Ymd(const CivilDate& d) { return FormatYmd(d); }

std::string OneDecimal(int tenths) {
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(std::abs(tenths) / 10);
  text += '.';
  text += std::to_string(std::abs(tenths) % 10);
  return text;
}

bool Falls(Sky sky) { return sky == Sky::Rain || sky == Sky::Snow || sky == Sky::Thunder; }

// What an hour's sky brings down and how likely, in tenths of a millimetre.
SimPrecip PrecipOf(Sky sky, SimRandom& random, int& tenths) {
  tenths = Falls(sky) ? random.Range(1, 30) : 0;
  const int chance = Falls(sky) ? random.Range(6, 19) * 5 : sky == Sky::Overcast ? random.Range(2, 8) * 5
                                                                                   : random.Range(0, 3) * 5;
  return SimPrecip{OneDecimal(tenths), chance};
}

// Wind, pressure, humidity, feels-like and precipitation of the hours, and the days' sums: from
// a generator of their own, so the temperatures and skies stay what they were before them.
void AddDetails(SimForecast& forecast, std::uint64_t seed) {
  SimRandom random(seed ^ 0xD37A115ull);
  int pressure = random.Range(7350, 7600);  // tenths of a mm Hg, drifting through the hours
  const int drift = random.Range(-6, 6);
  int from = random.Range(0, 35) * 10;
  for (SimDay& day : forecast.days) {
    int sum = 0, wettest = 0, strongest = 0, gustiest = 0;
    for (SimHour& hour : day.hours) {
      SimWind& wind = hour.wind;
      wind.speed = random.Range(0, 9);
      wind.gust = wind.speed + random.Range(2, 8);
      from = (from + random.Range(-2, 2) * 10 + 360) % 360;
      wind.from = from;
      pressure += drift + random.Range(-2, 2);
      hour.pressure = pressure / 10;
      hour.humidity = Falls(hour.sky) ? random.Range(85, 100) : random.Range(45, 90);
      const int degrees = static_cast<int>(std::lround(std::stod(hour.temperature) * 10.0));
      hour.feels = OneDecimal(degrees - wind.speed * 7 - random.Range(0, 9));
      int tenths = 0;
      hour.precip = PrecipOf(hour.sky, random, tenths);
      sum += tenths;
      wettest = std::max(wettest, hour.precip.chance);
      strongest = std::max(strongest, wind.speed);
      gustiest = std::max(gustiest, wind.gust);
    }
    if (day.hours.empty()) {
      int tenths = 0;
      day.precip = PrecipOf(day.sky, random, tenths);
      day.precip.amount = OneDecimal(tenths * random.Range(1, 8));
      day.wind = SimWind{random.Range(1, 10), 0, random.Range(0, 35) * 10};
      day.wind.gust = day.wind.speed + random.Range(3, 9);
    } else {
      day.precip = SimPrecip{OneDecimal(sum), wettest};
      day.wind = SimWind{strongest, gustiest, day.hours[12].wind.from};
    }
  }
}

std::string WindElement(const SimWind& w) {
  return "<wind speed=\"" + std::to_string(w.speed) + "\" gust=\"" + std::to_string(w.gust) + "\" dir=\"" +
         std::to_string(w.from) + "\"/>\n";
}

std::string PrecipElement(const SimPrecip& p) {
  return "<precip value=\"" + p.amount + "\" prob=\"" + std::to_string(p.chance) + "\"/>\n";
}

long long DayNumber(const CivilDate& d) { return DaysFromCivil(d.year, d.month, d.day); }

}  // namespace

std::string_view SkyWord(Sky sky) {
  switch (sky) {
    case Sky::Clear:
      return "Ясно";
    case Sky::Snow:
      return "Снег";
    case Sky::Overcast:
      return "Пасмурно";
    case Sky::Rain:
      return "Дождь";
    case Sky::Cloudy:
      return "Облачно";
    case Sky::Thunder:
      return "Гроза";
  }
  return "";
}

std::uint64_t SimRandom::Next() {  // splitmix64
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int SimRandom::Range(int lo, int hi) {
  auto span = static_cast<std::uint64_t>(hi - lo + 1);
  return lo + static_cast<int>(Next() % span);
}

std::uint64_t SimSeed(std::string_view text, const CivilDate& date) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return h ^ (static_cast<std::uint64_t>(DayNumber(date)) * 0x9E3779B97F4A7C15ull);
}

SimForecast MakeForecast(std::string_view locationId, const CivilDate& today, bool cold) {
  SimForecast forecast;
  forecast.locationId = std::string(locationId);
  SimRandom random(SimSeed(locationId, today) ^ (cold ? 0xC01Dull : 0));
  // A place keeps its climate from day to day: north or south of the mean.
  int placeShift = static_cast<int>(SimSeed(locationId, CivilDate{2000, 1, 1}) % 9) - 4;

  // Every sky occurs in the 48 hours: six spells of eight hours, in a shuffled order.
  std::array<Sky, 6> spells = {Sky::Clear, Sky::Snow, Sky::Overcast, Sky::Rain, Sky::Cloudy, Sky::Thunder};
  for (std::size_t i = spells.size() - 1; i > 0; --i) {
    std::swap(spells[i], spells[static_cast<std::size_t>(random.Range(0, static_cast<int>(i)))]);
  }

  int turn = random.Range(0, 3);
  for (int d = 0; d < 5; ++d) {
    SimDay day;
    day.date = AddDays(today, d);
    int mean =
        cold ? random.Range(-18, -6)
             : kMonthMean[static_cast<std::size_t>(day.date.month - 1)] + placeShift + random.Range(-3, 3);
    int spread = random.Range(3, 9);
    int min = mean - spread / 2;
    int max = min + spread;
    if (cold) max = std::min(max, -1);
    day.min = std::to_string(min);
    day.max = std::to_string(max);
    if (d < 2) {
      for (int h = 0; h < 24; ++h) {
        // Coldest at five in the morning, warmest at five in the afternoon.
        double phase = (1.0 - std::cos(2.0 * 3.141592653589793 * (h - 5) / 24.0)) / 2.0;
        int tenths = static_cast<int>(std::lround((min + (max - min) * phase) * 10.0)) + random.Range(-4, 4);
        tenths = std::clamp(tenths, min * 10, max * 10);
        const Description& desc =
            PickDescription(turn++, spells[static_cast<std::size_t>((d * 24 + h) / 8)], tenths < -20);
        day.hours.push_back(
            SimHour{h, TemperatureText(tenths, random.Range(0, 3) == 0), std::string(desc.text), desc.sky});
      }
      day.description = day.hours[12].description;
      day.sky = day.hours[12].sky;
    } else {
      const Description& desc =
          PickDescription(random.Range(0, 3), static_cast<Sky>(random.Range(0, 5)), max < -2);
      day.description = std::string(desc.text);
      day.sky = desc.sky;
    }
    forecast.days.push_back(std::move(day));
  }
  AddDetails(forecast, SimSeed(locationId, today) ^ (cold ? 0xC01Dull : 0));
  return forecast;
}

std::string RenderForecast(const SimForecast& forecast) {
  SimRandom random(SimSeed(forecast.locationId, forecast.days.empty() ? CivilDate{} : forecast.days[0].date) +
                   7);
  std::string out;
  out.reserve(24 * 1024);
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<report>\n";
  out += "<location city=\"Населённый пункт " + forecast.locationId + "\" country=\"Россия\"";
  if (forecast.utcOffsetSeconds) out += " utc_offset=\"" + std::to_string(*forecast.utcOffsetSeconds) + "\"";
  out += ">\n";
  out += "<interesting>\n<url description=\"Прогноз погоды на 14 дней\">/prognoz/" + forecast.locationId +
         "</url>\n</interesting>\n";
  for (const SimDay& day : forecast.days) {
    std::string_view weekday = kWeekdays[static_cast<std::size_t>(DayNumber(day.date) % 7)];
    out += "<day value=\"" + Ymd(day.date) + "\" name=\"" + std::string(weekday) + "\">\n";
    out += "<tempmin value=\"" + day.min + "\" unit=\"°C\"/>\n";
    out += "<tempmax value=\"" + day.max + "\" unit=\"°C\"/>\n";
    // The day's sky, after its range as the gateway writes it; the codes are the hours' codes.
    out += "<symbol value=\"" + std::to_string(static_cast<int>(day.sky) + 1) + "\" desc=\"" + day.description +
           "\"/>\n";
    out += PrecipElement(day.precip) + WindElement(day.wind);
    out += "<sun in=\"08:5" + std::to_string(random.Range(0, 9)) + "\" out=\"16:5" +
           std::to_string(random.Range(0, 9)) + "\"/>\n";
    for (const SimHour& hour : day.hours) {
      char hh[8];
      std::snprintf(hh, sizeof hh, "%02d", hour.hour);
      out += "<hour value=\"" + std::string(hh) + ":00\">\n";
      out += "<symbol value=\"" + std::to_string(static_cast<int>(hour.sky) + 1) + "\" desc=\"" +
             hour.description + "\"/>\n";
      out += "<temp value=\"" + hour.temperature + "\" unit=\"°C\"/>\n";
      out += "<feels value=\"" + hour.feels + "\"/>\n" + WindElement(hour.wind);
      out += "<pressure value=\"" + std::to_string(hour.pressure) + "\"/>\n<humidity value=\"" +
             std::to_string(hour.humidity) + "\"/>\n" + PrecipElement(hour.precip);
      out += "<clouds value=\"" + std::to_string(random.Range(0, 100)) + "%\"/>\n";
      out += "</hour>\n";
    }
    out += "</day>\n";
  }
  out += "</location>\n</report>\n";
  return out;
}

namespace {

struct CurrencyInfo {
  std::string_view digital, letter;
  int units;
  std::string_view name;
  double rate;  // roubles per `units`
};

// The bank's list, with the names the program looks for among the others.
constexpr std::array<CurrencyInfo, 34> kCurrencyInfo = {{
    {"036", "AUD", 1, "Австралийский доллар", 58.41},
    {"944", "AZN", 1, "Азербайджанский манат", 54.42},
    {"051", "AMD", 100, "Армянских драмов", 23.61},
    {"933", "BYN", 1, "Белорусский рубль", 28.28},
    {"975", "BGN", 1, "Болгарский лев", 50.98},
    {"986", "BRL", 1, "Бразильский реал", 18.71},
    {"348", "HUF", 100, "Венгерских форинтов", 25.64},
    {"344", "HKD", 10, "Гонконгских долларов", 118.42},
    {"208", "DKK", 10, "Датских крон", 133.71},
    {"840", "USD", 1, "Доллар США", 92.51},
    {"978", "EUR", 1, "Евро", 99.71},
    {"356", "INR", 10, "Индийских рупий", 11.09},
    {"398", "KZT", 100, "Казахских тенге", 19.45},
    {"124", "CAD", 1, "Канадский доллар", 67.92},
    {"417", "KGS", 10, "Киргизских сомов", 10.38},
    {"156", "CNY", 10, "Китайских юаней", 127.45},
    {"498", "MDL", 10, "Молдавских леев", 52.16},
    {"578", "NOK", 10, "Норвежских крон", 84.97},
    {"985", "PLN", 1, "Польский злотый", 23.02},
    {"946", "RON", 1, "Румынский лей", 20.07},
    {"960", "XDR", 1, "СДР (специальные права заимствования)", 122.94},
    {"702", "SGD", 1, "Сингапурский доллар", 68.77},
    {"972", "TJS", 10, "Таджикских сомони", 84.64},
    {"949", "TRY", 1, "Турецкая лира", 3.19},
    {"934", "TMT", 1, "Новый туркменский манат", 26.43},
    {"860", "UZS", 10000, "Узбекских сумов", 75.47},
    {"980", "UAH", 10, "Украинских гривен", 24.62},
    {"826", "GBP", 1, "Фунт стерлингов Соединенного королевства", 116.30},
    {"203", "CZK", 10, "Чешских крон", 40.19},
    {"752", "SEK", 10, "Шведских крон", 87.47},
    {"756", "CHF", 1, "Швейцарский франк", 104.89},
    {"710", "ZAR", 10, "Южноафриканских рэндов", 49.96},
    {"410", "KRW", 1000, "Вон Республики Корея", 70.43},
    {"392", "JPY", 100, "Японских иен", 61.78},
}};

std::string RubleText(long long tenThousandths) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld,%04lld", tenThousandths / 10000, tenThousandths % 10000);
  return buf;
}

std::string DottedDate(const CivilDate& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d.day % 100, d.month % 100, d.year % 10000);
  return buf;
}

// Each currency's rate on a day, in ten-thousandths of a rouble per its units: within two per
// cent of the usual rate.
std::vector<long long> DayValues(const CivilDate& day) {
  SimRandom random(SimSeed("rates", day));
  std::vector<long long> values;
  for (const CurrencyInfo& c : kCurrencyInfo) {
    double factor = 1.0 + random.Range(-2000, 2000) / 100000.0;
    values.push_back(static_cast<long long>(std::llround(c.rate * factor * 10000.0)));
  }
  return values;
}

}  // namespace

std::vector<SimRate> MakeRates(const CivilDate& today) {
  // Today's and the 29 published before it (none dated Sunday or Monday), oldest first.
  std::vector<std::vector<long long>> days{DayValues(today)};
  for (int back = 1; days.size() < 30; ++back) {
    const CivilDate day = AddDays(today, -back);
    const long long n = DaysFromCivil(day.year, day.month, day.day);
    const long long weekday = ((n + 4) % 7 + 7) % 7;  // 0 is Sunday
    if (weekday > 1) days.insert(days.begin(), DayValues(day));
  }
  const std::vector<long long> tomorrow = DayValues(AddDays(today, 1));
  std::vector<SimRate> rates;
  for (std::size_t i = 0; i < kCurrencyInfo.size(); ++i) {
    const CurrencyInfo& c = kCurrencyInfo[i];
    SimRate r{std::string(c.digital), std::string(c.letter),         c.units,
              std::string(c.name),    RubleText(days.back()[i]),     {},
              RubleText(tomorrow[i]), DottedDate(AddDays(today, 1)), {}};
    const long long change = days.back()[i] - days[days.size() - 2][i];
    if (change != 0) r.change.push_back(change > 0 ? '+' : '-');
    r.change += RubleText(change < 0 ? -change : change);
    for (const std::vector<long long>& day : days) {
      if (!r.history.empty()) r.history += ' ';
      r.history += RubleText(day[i]);
    }
    rates.push_back(std::move(r));
  }
  return rates;
}

std::string RenderRatesPage(const std::vector<SimRate>& rates, const CivilDate& today) {
  std::string out;
  out.reserve(16 * 1024);
  out +=
      "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Официальные курсы валют на заданную дату, устанавливаемые ежедневно | Банк</title>\n</head>\n"
      "<body>\n<header>\n<nav class=\"main-menu\">\n<ul>\n<li><a href=\"/about/\">О банке</a></li>\n"
      "<li><a href=\"/statistics/\">Статистика</a></li>\n<li><a href=\"/press/\">Пресс-центр</a></li>\n"
      "<li><a href=\"/currency_base/\">Базы данных по курсам</a></li>\n</ul>\n</nav>\n</header>\n"
      "<main>\n<h1>Официальные курсы валют на заданную дату, устанавливаемые ежедневно</h1>\n"
      "<form class=\"datepicker-filter\"><input type=\"text\" name=\"UniDbQuery.To\" value=\"" +
      DottedDate(today) +
      "\"><button type=\"submit\">Получить данные</button></form>\n"
      "<div class=\"table-wrapper\">\n<div class=\"table\">\n<table class=\"data\">\n<tbody>\n"
      "<tr>\n<th>Цифр. код</th>\n<th>Букв. "
      "код</th>\n<th>Единиц</th>\n<th>Валюта</th>\n<th>Курс</th>\n</tr>\n";
  for (const SimRate& r : rates) {
    out += "<tr>\n<td>" + r.digitalCode + "</td>\n<td>" + r.letterCode + "</td>\n<td>" +
           std::to_string(r.units) + "</td>\n<td>" + r.name + "</td>\n<td>" + r.rate +
           "</td>\n<td class=\"change\">" + r.change + "</td>\n<td class=\"tomorrow\" data-date=\"" +
           r.tomorrowDate + "\">" + r.tomorrow + "</td>\n<td class=\"history\">" + r.history +
           "</td>\n</tr>\n";
  }
  out +=
      "</tbody>\n</table>\n</div>\n</div>\n"
      "<p class=\"note\">Курсы установлены без обязательства покупать или продавать указанные валюты по "
      "данному курсу.</p>\n</main>\n<footer>\n<p>© Банк, 2000–" +
      std::to_string(today.year) + "</p>\n</footer>\n</body>\n</html>\n";
  return out;
}

}  // namespace corvella::feedsim

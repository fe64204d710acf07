// The bank's list to the rates page, read back with the client's own extraction; the lists
// placed by Moscow's date, the change, tomorrow and the history in the row's units; the rules
// for asking the bank again; the geocoder's answers matched to catalogue places.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "common/cp1251.h"
#include "common/date_time.h"
#include "gateway/bank_rates.h"
#include "gateway/place_matching.h"
#include "gateway/rate_history.h"
#include "retrieval/currency_rates.h"
#include "retrieval/rate_details.h"

namespace corvella::gateway {
namespace {

std::string Fixture(const char* name) {
  std::ifstream in(std::string(CORVELLA_SOURCE_DIR) + "/tests/gateway/fixtures/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> ClientLines(const std::string& page) {
  CurrencyFlags all;
  all.fill(true);
  std::vector<std::string> lines;
  for (const RateLine& line : ExtractRates(page, all).rateLines)
    lines.push_back(Cp1251ToUtf8(line.label + line.value));
  return lines;
}

TEST(RatesPage, TheClientReadsAllTenInItsUnitsFromTheBanksList) {
  std::string error;
  std::optional<RatesSet> set = ReadBankRates(Fixture("bank_daily.xml"), error);
  ASSERT_TRUE(set) << error;
  // The same lines from the page with every extra cell after each rate.
  const std::vector<RowDetails> extended(
      kCurrencyCount, RowDetails{-351'100'000, 20'000, 9'280'000'000, {9'120'000'000, 9'135'000'000}});
  for (const std::vector<RowDetails>* details :
       {static_cast<const std::vector<RowDetails>*>(nullptr), &extended}) {
    std::string page = RenderRatesPage(*set, details);
    EXPECT_EQ(ClientLines(page),
              (std::vector<std::string>{"Доллар 84,1200", "Евро 92,8800", "Франк 97,9000", "Фунт 108,2500",
                                        "Лира 2,2151",  // 22,1507 per 10
                                        "10 Гривен 20,3300", "10 Крон 124,1000",
                                        "10 Юаней 115,6333",  // quoted per 10 this time
                                        "100 Тенге 16,7300", "100 Иен 57,6400"}));
    // The bank's other currencies follow under its own names; the page names its source.
    std::size_t last = page.find("Японских иен");
    EXPECT_GT(page.find("Австралийский доллар</td><td>52,7049"), last);
    EXPECT_NE(page.find("Банка России"), std::string::npos);
    EXPECT_NE(page.find("05.04.2025"), std::string::npos);
  }
}

TEST(RatesPage, ACurrencyTheBankDropsShowsNoValueRatherThanAnotherCell) {
  std::string xml = Fixture("bank_daily.xml");
  xml.replace(xml.find("<CharCode>USD"), 13, "<CharCode>XDR");
  std::string error;
  std::string page = RenderRatesPage(*ReadBankRates(xml, error));
  EXPECT_EQ(ClientLines(page).front(), "Доллар ");
}

TEST(RatesPage, MalformedListsAreRejected) {
  const std::string good = Fixture("bank_daily.xml");
  const std::pair<std::string_view, std::string_view> breakages[] = {{"05.04.2025", "31.02.2025"},
                                                                     {"<Value>84,1200", "<Value>84;12"},
                                                                     {"<Nominal>100", "<Nominal>0"},
                                                                     {"ValCurs Date", "ValCurs Datum"},
                                                                     {"</ValCurs>", ""}};
  for (const auto& [from, to] : breakages) {
    std::string xml = good;
    xml.replace(xml.find(from), from.size(), to);
    std::string error;
    std::optional<RatesSet> set = ReadBankRates(xml, error);
    if (from.find('<') == 0 && from != "</ValCurs>") {
      // One malformed currency is left out; the others stay.
      ASSERT_TRUE(set) << from;
      EXPECT_EQ(set->skipped.size(), 1u) << from;
      EXPECT_EQ(set->rates.size() + 1, ReadBankRates(good, error)->rates.size()) << from;
      continue;
    }
    EXPECT_FALSE(set) << from;
    EXPECT_NE(error, "");
  }
  std::string error;
  EXPECT_FALSE(ReadBankRates(good.substr(0, good.size() / 2), error));
  EXPECT_FALSE(ReadBankRates("<html>Service unavailable</html>", error));
}

const std::int64_t kTuesday = DaysFromCivil(2026, 12, 8) - DaysFromCivil(1970, 1, 1);

// The fixture's list under another Date, the dollar at `usd`.
RatesSet ListOn(std::int64_t day, std::string_view usd = "84,1200") {
  std::string xml = Fixture("bank_daily.xml");
  xml.replace(xml.find("05.04.2025"), 10, BankDateText(day));
  xml.replace(xml.find("84,1200"), 7, usd);
  std::string error;
  return *ReadBankRates(xml, error);
}

// A series as the bank sends it: windows-1251, decimal commas, no record for Sundays, Mondays
// and two holidays; until `changedAgo` days back the currency was quoted per one unit, then per
// `nominal`. `published` gets each record's value per `nominal`, in ten-thousandths.
std::string SeriesXml(std::string_view id, std::int64_t today, std::int64_t tenthousandths,
                      std::int64_t nominal, std::int64_t changedAgo, std::vector<std::int64_t>& published) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<ValCurs ID=\"" + std::string(id) +
                    "\" DateRange1=\"" + BankDateText(today - 45) + "\" DateRange2=\"" + BankDateText(today) +
                    "\" name=\"Foreign Currency Market Dynamic\">\n";
  for (std::int64_t day = today - 45; day < today; ++day) {
    const std::int64_t weekday = (day + 4) % 7;
    if (weekday <= 1 || day == today - 20 || day == today - 19) continue;
    const std::int64_t value = tenthousandths + 100 * static_cast<std::int64_t>(published.size());
    published.push_back(value);
    const std::int64_t quoted = day < today - changedAgo ? 1 : nominal;
    char text[64];
    std::snprintf(text, sizeof text, "<Nominal>%lld</Nominal><Value>%lld,%04lld</Value>",
                  static_cast<long long>(quoted), static_cast<long long>(value * quoted / nominal / 10000),
                  static_cast<long long>(value * quoted / nominal % 10000));
    xml +=
        "<Record Date=\"" + BankDateText(day) + "\" Id=\"" + std::string(id) + "\">" + text + "</Record>\n";
  }
  return xml + "</ValCurs>\n";
}

std::string RatesText(const std::vector<std::int64_t>& values) {
  std::string text;
  for (std::int64_t v : values) {
    if (!text.empty()) text += ' ';
    text += FormatRate(v * 10'000);
  }
  return text;
}

TEST(RateHistory, ChangeTomorrowAndThirtyDaysInTheRowsUnitsReadByTheClient) {
  // The yuan's row is per ten; its series changed from one unit to ten three weeks ago.
  std::vector<std::int64_t> yuan, dollar;
  std::string error;
  std::map<std::string, std::vector<BankRecord>> series;
  series["R01375"] = *ReadBankSeries(SeriesXml("R01375", kTuesday, 1'140'000, 10, 21, yuan), error);
  series["R01235"] = *ReadBankSeries(SeriesXml("R01235", kTuesday, 830'000, 1, 0, dollar), error);
  ASSERT_EQ(yuan.size(), 29u);
  for (bool published : {false, true}) {
    HeldLists lists;
    lists.Take(ListOn(kTuesday), kTuesday);
    if (published) lists.Take(ListOn(kTuesday + 1, "84,5000"), kTuesday);
    const std::vector<RowDetails> details = DetailsOf(lists, series);
    CurrencyFlags flags{};
    flags[kUsd] = flags[kCny] = flags[kEur] = true;
    const std::string page = RenderRatesPage(*lists.Shown(), &details);
    const std::vector<RateDetail> read = ExtractRateDetails(page, flags);
    ASSERT_EQ(read.size(), 3u);
    const RateDetail &usd = read[0], &eur = read[1], &cny = read[2];
    EXPECT_EQ(usd.rate, "84,1200");
    EXPECT_EQ(usd.change, FormatChange((841'200 - dollar.back()) * 10'000));
    EXPECT_EQ(usd.change.front(), '+');
    dollar.push_back(841'200);
    EXPECT_EQ(usd.history, RatesText(std::vector(dollar.end() - 30, dollar.end())));
    dollar.pop_back();
    yuan.push_back(1'156'333);
    EXPECT_EQ(cny.history, RatesText(yuan)) << "every rate per ten yuan";
    yuan.pop_back();
    EXPECT_EQ(cny.change, FormatChange((1'156'333 - yuan.back()) * 10'000));
    // No series for the euro: its rate alone, and tomorrow's once published.
    EXPECT_EQ(eur.rate, "92,8800");
    EXPECT_EQ(eur.change + eur.history, "");
    EXPECT_EQ(usd.tomorrow, published ? "84,5000" : "");
    EXPECT_EQ(usd.tomorrowDate, published ? "09.12.2026" : "");
    EXPECT_EQ(eur.tomorrow, published ? "92,8800" : "");
  }
  EXPECT_EQ(FormatChange(0), "0,0000");
  EXPECT_EQ(FormatChange(-12'000'000), "-0,1200");
}

TEST(RateHistory, ListsArePlacedByTheirOwnDateAndMoveOverAtMidnight) {
  const std::int64_t t = kTuesday;
  struct Step {
    std::int64_t moscowDay, listDay;  // listDay 0: midnight passes, no list
    bool changed;
    std::optional<std::int64_t> today, next;
  };
  const Step steps[] = {
      {t, t + 1, true, std::nullopt, t + 1},  // a start after publication: tomorrow's list first
      {t, t + 1, true, std::nullopt, t + 1},  // today's asked by date, the bank gives its last list
      {t, t, true, t, t + 1},                 // today's list by date
      {t, t - 3, false, t, t + 1},            // an older list (a stale mirror) changes nothing
      {t + 1, 0, true, t + 1, std::nullopt},  // midnight: tomorrow's becomes today's
      {t + 1, 0, false, t + 1, std::nullopt},
      {t + 4, t + 4, true, t + 4, std::nullopt},  // Friday's list, for Saturday
      {t + 6, 0, false, t + 4, std::nullopt},     // Monday: still Saturday's
  };
  HeldLists lists;
  for (const Step& s : steps) {
    const bool changed = s.listDay ? lists.Take(ListOn(s.listDay), s.moscowDay) : lists.MoveOver(s.moscowDay);
    EXPECT_EQ(changed, s.changed) << s.moscowDay - t << " " << s.listDay - t;
    EXPECT_EQ(lists.today ? std::optional(lists.today->effectiveDay) : std::nullopt, s.today);
    EXPECT_EQ(lists.next ? std::optional(lists.next->effectiveDay) : std::nullopt, s.next);
  }
  const std::int64_t moscowMidnight = t * 86400 - 3 * 3600;
  EXPECT_EQ(MoscowDay(moscowMidnight - 60), t - 1);  // 20:59 UTC: 23:59 in Moscow
  EXPECT_EQ(MoscowDay(moscowMidnight), t);
  EXPECT_EQ(SeriesUrl("https://www.cbr.ru/scripts/XML_daily.asp", "R01235", t - 45, t),
            "https://www.cbr.ru/scripts/XML_dynamic.asp?date_req1=24/10/2026&date_req2=08/12/"
            "2026&VAL_NM_RQ=R01235");
  EXPECT_EQ(DatedListUrl("https://www.cbr.ru/scripts/XML_daily.asp", t),
            "https://www.cbr.ru/scripts/XML_daily.asp?date_req=08/12/2026");
  EXPECT_EQ(RetryDelay(1), 600);
  EXPECT_EQ(RetryDelay(3), 2400);
  EXPECT_EQ(RetryDelay(40), 6 * 3600);
}

TEST(RateHistory, SeriesAreReadOrRejectedWhole) {
  std::vector<std::int64_t> published;
  const std::string good = SeriesXml("R01235", kTuesday, 830'000, 1, 0, published);
  std::string error;
  EXPECT_EQ(ReadBankSeries(good, error)->size(), published.size());
  // A bank answering more than asked: the range's days once each, in order.
  const std::vector<BankRecord> kept =
      SeriesWithin({{9, 1, 3}, {5, 1, 1}, {7, 1, 2}, {5, 1, 9}, {4, 1, 0}}, 5, 8);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].day * 10 + kept[0].value, 51);
  EXPECT_EQ(kept[1].day * 10 + kept[1].value, 72);
  EXPECT_TRUE(
      ReadBankSeries("<ValCurs ID=\"R01235\" name=\"Foreign Currency Market Dynamic\"></ValCurs>", error)
          ->empty());
  {
    std::string xml = good;
    xml.replace(xml.find("<Nominal>1<"), 11, "<Nominal>0<");  // one bad record: none kept
    EXPECT_FALSE(ReadBankSeries(xml, error));
  }
  // A Valute ID that is not letters and digits is never put into a query.
  std::string xml = Fixture("bank_daily.xml");
  xml.replace(xml.find("R01235"), 6, "R0&amp;x=1");  // "R0&x=1"
  EXPECT_EQ(ReadBankRates(xml, error)->rates[3].id, "");
}

TEST(RatesSchedule, AsksAfterPublicationUntilTomorrowsSetArrives) {
  const std::int64_t mon = 1743984000;  // 2025-04-07 00:00 UTC, a Monday
  const std::int64_t monday = mon / 86400;
  const std::int64_t msk1530 = mon + 12 * 3600 + 30 * 60;
  EXPECT_TRUE(RatesDue(std::nullopt, msk1530 - 60, msk1530));
  EXPECT_FALSE(RatesDue(monday, msk1530 - 3600, msk1530 - 60));    // before publication
  EXPECT_TRUE(RatesDue(monday, msk1530 - 3600, msk1530 + 60));     // after it
  EXPECT_FALSE(RatesDue(monday, msk1530, msk1530 + 300));          // attempts spaced out
  EXPECT_FALSE(RatesDue(monday + 1, msk1530, msk1530 + 3600));     // tomorrow's set held
  EXPECT_TRUE(RatesDue(monday + 1, msk1530, msk1530 + 7 * 3600));  // checked now and then
  const std::int64_t saturday17 = mon - 2 * 86400 + 14 * 3600;
  EXPECT_FALSE(RatesDue(monday - 2, saturday17 - 3600, saturday17));  // no publication at weekends
}

TEST(PlaceMatching, RegionNamesMatchDespiteDivisionWordsAndEndings) {
  EXPECT_TRUE(SameRegion("Чувашия", "Чувашская Республика"));
  EXPECT_TRUE(SameRegion("Саха (Якутия)", "Республика Саха (Якутия)"));
  EXPECT_TRUE(SameRegion("Кемеровская область", "Кемеровская область — Кузбасс"));
  EXPECT_TRUE(SameRegion("Ханты-Мансийский автономный округ", "Ханты-Мансийский автономный округ — Югра"));
  EXPECT_TRUE(SameRegion("Кабардино-Балкария", "Кабардино-Балкарская Республика"));
  EXPECT_TRUE(SameRegion("Чеченская республика", "Чеченская Республика"));
  EXPECT_FALSE(SameRegion("Москва", "Московская область"));
  EXPECT_FALSE(SameRegion("Ненецкий автономный округ", "Ямало-Ненецкий автономный округ"));
  EXPECT_FALSE(SameRegion("Тверская область", ""));
}

TEST(PlaceMatching, RegionFirstThenMostPopulousInRussia) {
  std::string error;
  auto results = ReadGeocodeReply(R"({"results":[
    {"name":"Киров","latitude":58.6,"longitude":49.66,"country_code":"RU","admin1":"Кировская область","population":500000},
    {"name":"Киров","latitude":54.08,"longitude":34.3,"country_code":"RU","admin1":"Калужская область","population":30000},
    {"name":"Кировск","latitude":67.6,"longitude":33.6,"country_code":"RU","admin1":"Калужская область","population":9},
    {"name":"Киров","latitude":1,"longitude":1,"country_code":"KZ","admin1":"Калужская","population":900000},
    {"name":"Киров","country_code":"RU"}],"generationtime_ms":1})",
                                  error);
  ASSERT_TRUE(results) << error;
  EXPECT_EQ(results->size(), 4u);
  EXPECT_EQ(ChoosePlace(*results, "Киров", "Калужская область")->at.latitude, 54.08);
  EXPECT_EQ(ChoosePlace(*results, "Киров", "Тверская область")->at.latitude, 58.6);
  EXPECT_FALSE(ChoosePlace(*results, "Киров", "Тверская область")->inRegion);
  EXPECT_FALSE(ChoosePlace(*results, "Орёл", "Орловская область"));
  auto none = ReadGeocodeReply(R"({"generationtime_ms":0.4})", error);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
  EXPECT_FALSE(
      ReadGeocodeReply(R"({"error":true,"reason":"Parameter count must be between 1 and 100."})", error));
  EXPECT_FALSE(ReadGeocodeReply("<html>", error));
  EXPECT_EQ(RegionCentre("Тверская область"), "Тверь");
  EXPECT_FALSE(RegionCentre("Атлантида"));
}

}  // namespace
}  // namespace corvella::gateway

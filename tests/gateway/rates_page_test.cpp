// The bank's list to the rates page, read back with the client's own extraction; the rules
// for asking the bank again; the geocoder's answers matched to catalogue places.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/cp1251.h"
#include "gateway/bank_rates.h"
#include "gateway/place_matching.h"
#include "retrieval/currency_rates.h"

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
  std::string page = RenderRatesPage(*set);
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

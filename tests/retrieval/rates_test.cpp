// The rates page: the lenient decoder and the rates cut out by currency name.
#include <gtest/gtest.h>

#include <random>

#include "common/cp1251.h"
#include "common/text_literal.h"
#include "retrieval/currency_rates.h"
#include "retrieval/rate_details.h"
#include "retrieval/servers.h"
#include "retrieval/weather_feed.h"

namespace corvella {
namespace {

struct Line {
  std::string label, value;
  Line(std::string_view l, std::string_view v) : label(l), value(v) {}
  bool operator==(const Line&) const = default;
  friend void PrintTo(const Line& line, std::ostream* os) {
    *os << '"' << Cp1251ToUtf8(line.label) << "\" \"" << Cp1251ToUtf8(line.value) << '"';
  }
};
using Lines = std::vector<Line>;

Lines LinesOf(const RatesSnapshot& s) {
  Lines out;
  for (const RateLine& l : s.rateLines) out.emplace_back(l.label, l.value);
  return out;
}

CurrencyFlags Only(std::initializer_list<std::size_t> rows) {
  CurrencyFlags flags{};
  for (std::size_t r : rows) flags[r] = true;
  return flags;
}

// The cells a newer server writes after each rate (empty for the bank's own page).
std::string g_extraCells;

std::string Row(std::string_view num, std::string_view code, std::string_view units, std::string_view name,
                std::string_view rate) {
  return "<tr>\n<td>" + std::string(num) + "</td>\n<td>" + std::string(code) + "</td>\n<td>" +
         std::string(units) + "</td>\n<td>" + std::string(name) + "</td>\n<td>" + std::string(rate) +
         "</td>\n" + g_extraCells + "</tr>\n";
}

// The bank's table with all ten currencies among others, in UTF-8.
std::string BankPage() {
  return "<html><head><title>Курсы валют</title></head><body>\n<table class=\"data\"><tbody>\n"
         "<tr><th>Цифр. код</th><th>Букв. код</th><th>Единиц</th><th>Валюта</th><th>Курс</th></tr>\n" +
         Row("036", "AUD", "1", "Австралийский доллар", "58,1204") +
         Row("840", "USD", "1", "Доллар США", "92,5058") + Row("978", "EUR", "1", "Евро", "99,7130") +
         Row("756", "CHF", "1", "Швейцарский франк", "104,8877") +
         Row("826", "GBP", "1", "Фунт стерлингов Соединенного королевства", "116,3011") +
         Row("949", "TRY", "1", "Турецкая лира", "3,1850") +
         Row("980", "UAH", "10", "Украинских гривен", "24,6170") +
         Row("208", "DKK", "10", "Датских крон", "133,7068") +
         Row("156", "CNY", "10", "Китайских юаней", "127,4460") +
         Row("398", "KZT", "100", "Казахских тенге", "19,4516") +
         Row("392", "JPY", "100", "Японских иен", "61,7802") +
         Row("344", "HKD", "10", "Гонконгских долларов", "118,4102") + "</tbody></table></body></html>\n";
}

// The tests of the page's rates run over the bank's page and over a page with the extra cells.
class RatesPageCells : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { g_extraCells = GetParam(); }
  void TearDown() override { g_extraCells.clear(); }
};
INSTANTIATE_TEST_SUITE_P(BankAndExtended, RatesPageCells,
                         testing::Values("",
                                         "<td class=\"change\">-0,0100</td>\n<td class=\"tomorrow\" "
                                         "data-date=\"09.12.2026\">1,0000</td>\n<td class=\"history\">1,0000 "
                                         "2,0000</td>\n"));

TEST_P(RatesPageCells, AllTenCurrenciesInTableOrderWithTheirLabels) {
  CurrencyFlags all;
  all.fill(true);
  RatesSnapshot s = ExtractRates(BankPage(), all);
  EXPECT_TRUE(s.pageReceived);
  Lines expected = {{"Доллар "_cp, "92,5058"},   {"Евро "_cp, "99,7130"},      {"Франк "_cp, "104,8877"},
                    {"Фунт "_cp, "116,3011"},    {"Лира "_cp, "3,1850"},       {"10 Гривен "_cp, "24,6170"},
                    {"10 Крон "_cp, "133,7068"}, {"10 Юаней "_cp, "127,4460"}, {"100 Тенге "_cp, "19,4516"},
                    {"100 Иен "_cp, "61,7802"}};
  EXPECT_EQ(LinesOf(s), expected);
  EXPECT_EQ(RatesPageUrl(), "http://" + std::string(kRatesHost) + "/currency_base/daily/");
}

TEST_P(RatesPageCells, SelectionKeepsTableOrder) {
  RatesSnapshot s = ExtractRates(BankPage(), Only({9, 1}));
  EXPECT_EQ(LinesOf(s), (Lines{{"Евро "_cp, "99,7130"}, {"100 Иен "_cp, "61,7802"}}));
  RatesSnapshot none = ExtractRates(BankPage(), CurrencyFlags{});
  EXPECT_TRUE(none.pageReceived);
  EXPECT_TRUE(none.rateLines.empty());
}

TEST_P(RatesPageCells, ValueIsTheFirstCellAfterTheFirstMentionOfTheName) {
  std::string text = DecodeRatesPage("<td>Доллар США</td><td>92,5058</td>");
  EXPECT_EQ(ExtractRate(text, "Доллар США"_cp), "92,5058");
  // A menu entry before the table wins over the table's row.
  std::string menu = DecodeRatesPage("<ul><li>Евро</li></ul><p><td>новости</td></p>" + BankPage());
  EXPECT_EQ(ExtractRate(menu, "Евро"_cp), "новости"_cp);
  // A name not on the page: the first cell of the whole page.
  std::string partial = DecodeRatesPage("<td>первая</td><td>Евро</td><td>99,1</td>");
  EXPECT_EQ(ExtractRate(partial, "Японских иен"_cp), "первая"_cp);
  // No "<" after the cell: empty, and the line is the label alone.
  RatesSnapshot open = ExtractRates("<td>Евро</td><td>99,7130", Only({1}));
  EXPECT_EQ(LinesOf(open), (Lines{{"Евро "_cp, ""}}));
  // No cell after the name: the text from the name's fifth character on, up to "<".
  EXPECT_EQ(ExtractRate(DecodeRatesPage("Евро 12,5<br>"), "Евро"_cp), " 12,5");
  // Used as found: blanks and the comma stay.
  EXPECT_EQ(ExtractRate(DecodeRatesPage("Евро</td><td> 1 234,50 </td>"), "Евро"_cp), " 1 234,50 ");
}

TEST(RateDetails, CellsAfterTheRateOrNothingWhenThePageHasNone) {
  CurrencyFlags usd{};
  usd[kUsd] = true;
  struct Case {
    std::string cells;  // after the dollar's rate cell
    std::string change, tomorrow, date, history;
  };
  const Case cases[] = {
      {"<td class=\"change\">+0,3511</td><td class=\"tomorrow\" data-date=\"09.12.2026\">92,8000</td>"
       "<td class=\"history\">91,2000 92,5058</td>",
       "+0,3511", "92,8000", "09.12.2026", "91,2000 92,5058"},
      {"<td class=\"change\">0,0000</td><td class=\"history\">92,5058</td>", "0,0000", "", "", "92,5058"},
      {"", "", "", "", ""},                                               // an older server
      {"<td class=\"tomorrow\" data-date=\"09.12.2026", "", "", "", ""},  // cut short
      {"<td class=\"tomorrow\" data-date=\"<td class=\"change\">+1,0000</td>", "+1,0000", "", "", ""},
      {"<td class=\"history\">" + std::string(600, '1') + "</td>", "", "", "", ""},  // past any real cell
  };
  for (const Case& c : cases) {
    const std::string page = "<td>Доллар США</td><td>92,5058</td>" + c.cells +
                             "</tr><tr><td>Евро</td><td>99,7130</td>"
                             "<td class=\"change\">-0,1200</td></tr>";
    const std::vector<RateDetail> d = ExtractRateDetails(page, usd);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].label + d[0].rate, "Доллар 92,5058"_cp);
    EXPECT_EQ(std::vector<std::string>({d[0].change, d[0].tomorrow, d[0].tomorrowDate, d[0].history}),
              std::vector<std::string>({c.change, c.tomorrow, c.date, c.history}))
        << c.cells;
  }
  // A currency not on the page has no cells, even where another row has them.
  CurrencyFlags yen{};
  yen[kJpy] = true;
  EXPECT_EQ(
      ExtractRateDetails("<td>Евро</td><td>9</td><td class=\"change\">+1,0000</td></tr>", yen)[0].change, "");
  EXPECT_TRUE(ExtractRateDetails("", usd).empty());
}

TEST(RatesPage, NothingReceivedGivesNoLines) {
  CurrencyFlags all;
  all.fill(true);
  RatesSnapshot empty = ExtractRates("", all);
  EXPECT_FALSE(empty.pageReceived);
  EXPECT_TRUE(empty.rateLines.empty());
  // A body of a cut sequence alone decodes to nothing: not a page, and no lines of empty values.
  RatesSnapshot cut = ExtractRates("\xD0", all);
  EXPECT_FALSE(cut.pageReceived);
  EXPECT_TRUE(cut.rateLines.empty());
}

TEST(RatesDecoding, LenientByteWiseReading) {
  EXPECT_EQ(DecodeRatesPage("\xD0\x94"), "Д"_cp);
  EXPECT_EQ(DecodeRatesPage("a\xA9z"), "a\xA9z");                // a follower alone passes through
  EXPECT_EQ(DecodeRatesPage("\xE2<td>5"), "d>5");                // the lead byte swallows "<t"
  EXPECT_EQ(DecodeRatesPage("\xF8\x88\x80\x80\x80x"), "x");      // five-byte form: nothing
  EXPECT_EQ(DecodeRatesPage("\xFC\x84\x80\x80\x80\x80y"), "y");  // six-byte form: nothing
  EXPECT_EQ(DecodeRatesPage("\xFF"
                            "abcdefg"),
            "fg");                                                           // swallows five ASCII bytes
  EXPECT_EQ(DecodeRatesPage("\xC0\xBC|\xE0\x80\xBC|\xED\xA0\x80|"), "|||");  // overlong, surrogate
  EXPECT_EQ(DecodeRatesPage("\xD0\x90\xC1\xBC\xD0\x91\xC0\x80"), "АБ"_cp);   // overlong among letters
  EXPECT_EQ(DecodeRatesPage("\xF0\x9F\x98\x80!"), "?!");                     // valid, not in the code page
  EXPECT_EQ(DecodeRatesPage("\xE2\x82\xAC \xE2\x84\x96"), "€ №"_cp);
  EXPECT_EQ(DecodeRatesPage("ab\xD0"), "ab");  // cut at the end: dropped
  EXPECT_EQ(DecodeRatesPage("ab\xFC\x80\x80"), "ab");
  EXPECT_EQ(DecodeRatesPage(""), "");
}

TEST(RatesDecoding, LongPageIsDecodedToTheEnd) {
  std::string body;
  for (int i = 0; i < 35000; ++i) body += "Д";
  body += "<td>end</td>";
  ASSERT_GE(body.size(), 70000u);
  std::string text = DecodeRatesPage(body);
  ASSERT_EQ(text.size(), 35000u + 12u);
  EXPECT_EQ(text.substr(0, 3), "ДДД"_cp);
  EXPECT_EQ(text.substr(35000), "<td>end</td>");
}

// The page decoder read literally, one byte at a time with a pending sequence, each complete
// sequence judged by the strict decoder: the fast decoder must agree on any bytes.
std::string ReferenceRatesDecode(std::string_view body) {
  std::string out;
  std::string pending;
  int expected = 0;
  for (char ch : body) {
    auto b = static_cast<unsigned char>(ch);
    if (expected > 0) {
      pending += ch;
      if (--expected == 0) out += DecodeFeedBody(pending);
    } else if (b < 0x80 || b < 0xC0) {
      out += ch;
    } else {
      pending.assign(1, ch);
      expected = b >= 0xFC ? 5 : b >= 0xF8 ? 4 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    }
  }
  return out;
}

TEST(RatesDecoding, AgreesWithAByteByByteReading) {
  std::mt19937 rng(20261207);
  const unsigned char interesting[] = {'<',  't',  'd',  '>',  ' ',  0xD0, 0xD1, 0x94, 0x80, 0xBF, 0xC0,
                                       0xC2, 0xE2, 0x82, 0xAC, 0xED, 0xF0, 0x9F, 0xF4, 0xF8, 0xFC, 0xFF};
  for (int round = 0; round < 2000; ++round) {
    std::string body;
    std::size_t length = rng() % 64;
    for (std::size_t i = 0; i < length; ++i) {
      body += static_cast<char>(rng() % 3 == 0 ? rng() % 256 : interesting[rng() % sizeof interesting]);
    }
    ASSERT_EQ(DecodeRatesPage(body), ReferenceRatesDecode(body)) << testing::PrintToString(body);
  }
}

}  // namespace
}  // namespace corvella

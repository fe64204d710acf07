// Cutting the forecast values out of documents of our own, including the rules for absent
// markers, cut blocks and the order of the sky words.
#include <gtest/gtest.h>

#include "common/text_literal.h"
#include "retrieval/forecast_blocks.h"
#include "retrieval/servers.h"
#include "retrieval/weather_feed.h"

namespace corvella {
namespace {

// Built as feed_extended_tests, every test here reads documents whose hour and day symbols are
// followed by the newer elements, and must read exactly what it reads without them.
std::string WithNewerElements(std::string_view utf8) {
  std::string out(utf8);
#ifdef CORVELLA_FEED_EXTENDED
  constexpr std::string_view kNewer =
      "<feels value=\"-14.2\"/><wind speed=\"4\" gust=\"9\" dir=\"225\"/><pressure value=\"745\"/>"
      "<humidity value=\"81\"/><precip value=\"0.4\" prob=\"60\"/>";
  for (std::size_t at = out.find("<symbol "); at != std::string::npos; at = out.find("<symbol ", at + 1)) {
    const std::size_t end = out.find("/>", at);
    if (end == std::string::npos) break;
    out.insert(end + 2, kNewer);
  }
#endif
  return out;
}

// A forecast in the feed's shape (UTF-8, as it comes off the wire), decoded as the pass does.
std::string Doc(std::string_view utf8) {
  std::string text = DecodeFeedBody(WithNewerElements(utf8));
  EXPECT_FALSE(text.empty()) << "test document is not valid UTF-8";
  return text;
}

std::string Hour(std::string_view hh, std::string_view temp, std::string_view desc) {
  return "<hour value=\"" + std::string(hh) + ":00\"><symbol value=\"2\" desc=\"" + std::string(desc) +
         "\"/><temp value=\"" + std::string(temp) + "\" unit=\"°C\"/><wind value=\"3\"/></hour>\n";
}

TEST(SearchPrimitives, TextAfterAndTextBeforeWithTheirAbsentMarkerRules) {
  EXPECT_EQ(TextAfter("key=value;rest", "="), "value;rest");
  EXPECT_EQ(TextAfter("a=b=c", "="), "b=c");  // first occurrence
  EXPECT_EQ(TextAfter("abc=", "="), "");      // marker at the very end
  // Absent: the text without its first (length of marker - 1) characters.
  EXPECT_EQ(TextAfter("0123456789", "<x>"), "23456789");
  EXPECT_EQ(TextAfter("0123456789", "#"), "0123456789");
  EXPECT_EQ(TextAfter("ab", "<tail>"), "");     // count below zero
  EXPECT_EQ(TextAfter("abcde", "<tail>"), "");  // count exactly zero
  EXPECT_EQ(TextAfter("", "x"), "");
  EXPECT_EQ(TextAfter("abc", ""), "abc");

  EXPECT_EQ(TextBefore("12,5<br>3<", "<"), "12,5");
  EXPECT_EQ(TextBefore("<b>", "<"), "");  // at the very start
  EXPECT_EQ(TextBefore("no marker", "<"), "");
  EXPECT_EQ(TextBefore("abc", ""), "");
}

TEST(FeedUrl, CarriesTheIdUnchangedBetweenTheFixedParts) {
  EXPECT_EQ(BuildFeedUrl("13544"),
            "http://" + std::string(kFeedHost) +
                "/index.php?api_lang=ru&localidad=13544&affiliate_id=qk3d8w2mzx7e&v=2&h=1");
  EXPECT_EQ(BuildFeedUrl(""), "http://" + std::string(kFeedHost) +
                                  "/index.php?api_lang=ru&localidad=&affiliate_id=qk3d8w2mzx7e&v=2&h=1");
}

TEST(CurrentReading, TakesTheBlockOfTheGivenHourAndItsFirstOccurrence) {
  std::string text = Doc("<report><day value=\"20261207\"><tempmin value=\"-1\"/>" + Hour("00", "1", "Ясно") +
                         Hour("09", "-2.8", "небольшой снег") + Hour("19", "7", "дождь, гроза") +
                         "</day><day value=\"20261208\">" + Hour("09", "30", "Пасмурно") + "</day></report>");
  CurrentReading nine = ExtractCurrent(text, "09");
  EXPECT_EQ(nine.temperatureText, "-2.8°"_cp);
  EXPECT_EQ(nine.skyCondition, "Снег"_cp);
  CurrentReading midnight = ExtractCurrent(text, "00");
  EXPECT_EQ(midnight.temperatureText, "1°"_cp);
  EXPECT_EQ(midnight.skyCondition, "Ясно"_cp);
  EXPECT_EQ(ExtractCurrent(text, "19").skyCondition, "Гроза"_cp);
}

TEST(CurrentReading, SkyWordsAreTestedInOrderAndTheLastMatchWins) {
  struct Case {
    std::string_view desc;
    std::string_view condition;
  };
  const Case cases[] = {
      {"небольшой снег", "Снег"_cp},
      {"Снег", "Ясно"_cp},  // case-sensitive
      {"Облачно, небольшой дождь", "Облачно"_cp},
      {"Пасмурно, снег", "Пасмурно"_cp},
      {"Пасмурно, небольшой дождь", "Дождь"_cp},
      {"дождь, гроза", "Гроза"_cp},
      {"дождь со снегом", "Дождь"_cp},
      {"Малооблачно", "Ясно"_cp},
      {"", "Ясно"_cp},
  };
  for (const Case& c : cases) {
    std::string text = Doc("<day>" + Hour("12", "5", c.desc) + "</day>");
    EXPECT_EQ(ExtractCurrent(text, "12").skyCondition, c.condition) << c.desc;
  }
}

TEST(CurrentReading, DerivedTextsFollowTheTableOfFeedValues) {
  struct Case {
    std::string_view feed, temperature, icon, sign;
  };
  const Case cases[] = {
      {"12", "12°", "12°", "+12°"},  {"+5", "+5°", "5°", "+5°"},     {"-3", "-3°", "-3°", "-3°"},
      {"0", "0°", "0°", "+0°"},      {"12.7", "12.7°", "12", "+12"}, {"-2.8", "-2.8°", "-2", "-2"},
      {"-0.5", "-0.5°", "-0", "-0"},
  };
  for (const Case& c : cases) {
    std::string text = Doc(Hour("15", c.feed, "Ясно"));
    CurrentReading r = ExtractCurrent(text, "15");
    std::string expectTemp = Doc(c.temperature);
    ASSERT_EQ(r.temperatureText, expectTemp) << c.feed;
    std::string icon = DeriveIconText(r.temperatureText);
    EXPECT_EQ(icon, Doc(c.icon)) << c.feed;
    EXPECT_EQ(DeriveSignedText(icon), Doc(c.sign)) << c.feed;
  }
  EXPECT_EQ(DeriveIconText("+1+2°"_cp), "12°"_cp);  // every plus goes
  EXPECT_EQ(DeriveSignedText(""), "");
  EXPECT_EQ(DeriveSignedText("+"), "+");
}

TEST(CurrentReading, MissingPiecesFollowTheSearchRules) {
  // The temperature marker closed at once: no temperature at all.
  EXPECT_EQ(ExtractCurrent(Doc(Hour("10", "", "Пасмурно")), "10").temperatureText, "");
  // No hour end after the marker: an empty block, so no values and a clear sky.
  CurrentReading open =
      ExtractCurrent(Doc("<hour value=\"10:00\"><temp value=\"4\" desc=\"Пасмурно\">"), "10");
  EXPECT_EQ(open.temperatureText, "");
  EXPECT_EQ(open.skyCondition, "Ясно"_cp);
  // No closing quote after the value: empty.
  EXPECT_EQ(ExtractCurrent(Doc("<hour value=\"10:00\"><temp value=\"4</hour>"), "10").temperatureText, "");
  // Hour absent from the feed: the block runs from the 20th character of the document up
  // to the first hour end of the document.
  std::string text =
      Doc("0123456789012345678<temp value=\"8\" desc=\"Облачно\"></hour>" + Hour("11", "9", "снег"));
  CurrentReading absent = ExtractCurrent(text, "03");
  EXPECT_EQ(absent.temperatureText, "8°"_cp);
  EXPECT_EQ(absent.skyCondition, "Облачно"_cp);
  // A block without a temperature marker: the value starts at the block's 13th character.
  std::string noMarker = Doc("<hour value=\"06:00\">abcdefghijkl7\"</hour>");
  EXPECT_EQ(ExtractCurrent(noMarker, "06").temperatureText, "7°"_cp);
}

TEST(DayRange, TakesMinimumAndMaximumOfTheDayBlock) {
  std::string text =
      Doc("<day value=\"20261207\"><tempmin value=\"-5\"/><tempmax value=\"-1\"/></day>"
          "<day value=\"20261208\"><symbol desc=\"Облачно\"/><tempmin value=\"-7.5\"/><tempmax "
          "value=\"+2\"/></day>"
          "<day value=\"20261209\"><wind dir=\"СЗ\" speed=\"7\"/><tempmax value=\"4\"/></day>");
  DayRange tomorrow = ExtractDayRange(text, "20261208");
  EXPECT_EQ(tomorrow.min, "-7.5");
  EXPECT_EQ(tomorrow.max, "+2");
  // Only a maximum: it is found; the minimum comes from the absent-marker rule: the block
  // (which starts with the day marker's ">") from its 16th character up to the next quote.
  DayRange onlyMax = ExtractDayRange(text, "20261209");
  EXPECT_EQ(onlyMax.max, "4");
  EXPECT_EQ(onlyMax.min, " speed=");
  // Day end missing after the marker: nothing.
  DayRange open = ExtractDayRange(Doc("<day value=\"20261210\"><tempmin value=\"1\"/><tempmax value=\"2\"/>"),
                                  "20261210");
  EXPECT_EQ(open.min, "");
  EXPECT_EQ(open.max, "");
  // Day absent: the block runs from the 21st character of the document to the first day end.
  std::string absent = Doc("01234567890123456789<tempmin value=\"3\"/><tempmax value=\"9\"/></day>");
  DayRange fallback = ExtractDayRange(absent, "20300101");
  EXPECT_EQ(fallback.min, "3");
  EXPECT_EQ(fallback.max, "9");
}

TEST(UtcOffset, OnlyAPlainOffsetOnThePlacesOwnElementCounts) {
  const struct {
    std::string_view doc;
    std::optional<int> offset;
  } cases[] = {
      {"<report>\n<location id=\"13530\" utc_offset=\"36000\">\n<day value=\"20261207\">", 36000},
      {"<location city=\"Калининград\" country=\"Россия\" utc_offset=\"7200\">", 7200},
      {"<location id=\"1\" utc_offset=\"-18000\">", -18000},
      {"<location id=\"1\" utc_offset=\"+0\">", 0},
      {"<location id=\"1\">\n<day value=\"20261207\">", std::nullopt},  // an older server
      {"<location id=\"1\"><hour utc_offset=\"3600\">", std::nullopt},  // not the place's element
      {"<location id=\"1\" utc_offset=\"64801\">", std::nullopt},  // beyond 18 hours
      {"<location id=\"1\" utc_offset=\"99999999999999\">", std::nullopt},
      {"<location id=\"1\" utc_offset=\"3600x\">", std::nullopt},
      {"<location id=\"1\" utc_offset=\"\">", std::nullopt},
      {"<location id=\"1\" utc_offset=\"-\">", std::nullopt},
      {"<location id=\"1\" utc_offset=\"3600", std::nullopt},  // cut off
      {"utc_offset=\"3600\"<location>", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractUtcOffset(Doc(c.doc)), c.offset) << c.doc;
}

}  // namespace
}  // namespace corvella

namespace corvella {
namespace {

// The gateway's shape: days first with their symbol after the range, then the hours alone.
TEST(ForecastBlocks, GatewayShapeOddBlocksAndEndlessDocuments) {
  std::string doc = "<day value=\"20261207\"><tempmin value=\"-4\"/><tempmax value=\"1\"/>"
                    "<symbol value=\"71\" desc=\"небольшой снег\"/></day>\n"
                    "<day value=\"20261208\"><tempmin value=\"-6\"/><tempmax value=\"-2\"/></day>\n"
                    "<day value=\"20261209\"><tempmax value=\"3\"/></day>\n";
  doc += Hour("23", "-1.5", "Пасмурно") + Hour("00", "-2", "ясно") + Hour("01", "", "дождь") +
         "<hour value=\"02:00\"><temp value=\"-3\"/>";  // cut: no end
  const std::string text = Doc(doc);

  const auto days = ExtractDays(text, "20261207");
  ASSERT_EQ(days.size(), 3u);
  EXPECT_EQ(days[0].min + "/" + days[0].max + "/" + days[0].sky, "-4/1/" + std::string("Снег"_cp));
  EXPECT_EQ(days[1].sky, "");  // no symbol: no picture
  // A missing marker gives nothing, never the neighbouring text.
  EXPECT_EQ(days[2].min, "");
  EXPECT_EQ(days[2].max, "3");
  EXPECT_EQ(ExtractDays(text, "20261208").size(), 2u);
  EXPECT_TRUE(ExtractDays(text, "20261206").empty());

  const auto hours = ExtractHours(text, "23");
  ASSERT_EQ(hours.size(), 3u);  // the block without its end is left out
  EXPECT_EQ(hours[0].temperature, "-1.5");
  EXPECT_EQ(hours[0].sky, std::string("Пасмурно"_cp));
  EXPECT_EQ(hours[1].hour, "00");
  EXPECT_EQ(hours[2].temperature, "");
  EXPECT_EQ(hours[2].sky, std::string("Дождь"_cp));
  EXPECT_TRUE(ExtractHours(text, "05").empty());
  EXPECT_TRUE(ExtractHours(text, "2\">").empty());

  // A document that never stops repeating itself gives a day and a week.
  std::string endless;
  for (int k = 0; k < 500; ++k) {
    endless += Hour("07", "1", "") + "<day value=\"20261207\"><tempmin value=\"1\"/><tempmax value=\"2\"/></day>";
  }
  EXPECT_EQ(ExtractHours(Doc(endless), "07").size(), kMaxHourBlocks);
  EXPECT_EQ(ExtractDays(Doc(endless), "20261207").size(), kMaxDayBlocks);
}

}  // namespace
}  // namespace corvella

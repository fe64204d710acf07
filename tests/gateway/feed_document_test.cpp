// The forecast source's reply to the feed document, read back with the client's own extraction.
#include "gateway/feed_document.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/cp1251.h"
#include "gateway/weather_words.h"
#include "retrieval/weather_feed.h"

namespace corvella::gateway {
namespace {

using nlohmann::json;

// 2025-04-05 00:00 UTC.
constexpr std::int64_t kDay0 = 1743811200;

// A reply for a place `offset` seconds east of UTC: local days from 2025-04-05 for eight days,
// hourly values over them (temperature = hour index / 10 - 5, code 3), the current values at
// `currentUtc`.
json Reply(std::int64_t offset, std::int64_t currentUtc, double currentTemp, int currentCode,
           double lat = 55.75, double lon = 37.62) {
  json hourly = {{"time", json::array()}, {"temperature_2m", json::array()}, {"weather_code", json::array()}};
  json daily = {
      {"time", json::array()}, {"temperature_2m_min", json::array()}, {"temperature_2m_max", json::array()}};
  for (int h = 0; h < 8 * 24; ++h) {
    hourly["time"].push_back(kDay0 - offset + h * 3600);
    hourly["temperature_2m"].push_back(h / 10.0 - 5);
    hourly["weather_code"].push_back(3);
  }
  const double mins[8] = {-0.4, 1.5, -2.5, 0, 1, 2, 3, 4};
  for (int d = 0; d < 8; ++d) {
    daily["time"].push_back(kDay0 - offset + d * 86400);
    daily["temperature_2m_min"].push_back(mins[d]);
    daily["temperature_2m_max"].push_back(mins[d] + 7.6);
  }
  return {{"latitude", lat},
          {"longitude", lon},
          {"utc_offset_seconds", offset},
          {"current", {{"time", currentUtc}, {"temperature_2m", currentTemp}, {"weather_code", currentCode}}},
          {"hourly", hourly},
          {"daily", daily}};
}

PlaceForecast One(const json& reply) {
  BatchReply r = ReadForecastReply(reply.dump(), {{55.75, 37.62}});
  EXPECT_EQ(r.error, "");
  EXPECT_TRUE(r.places.at(0));
  return *r.places.at(0);
}

std::string Sky(std::string_view utf8Document, std::string_view hour) {
  return Cp1251ToUtf8(ExtractCurrent(DecodeFeedBody(utf8Document), hour).skyCondition);
}

// What each WMO code must look like to the client, through its own "last match wins" reading.
TEST(WeatherWords, EveryCodeGivesTheRightSkyThroughTheClientsReading) {
  const std::pair<int, std::string_view> expected[] = {
      {0, "Ясно"},   {1, "Ясно"},   {2, "Облачно"}, {3, "Пасмурно"}, {45, "Пасмурно"}, {48, "Пасмурно"},
      {51, "Дождь"}, {53, "Дождь"}, {55, "Дождь"},  {56, "Дождь"},   {57, "Дождь"},    {61, "Дождь"},
      {63, "Дождь"}, {65, "Дождь"}, {66, "Дождь"},  {67, "Дождь"},   {71, "Снег"},     {73, "Снег"},
      {75, "Снег"},  {77, "Снег"},  {80, "Дождь"},  {81, "Дождь"},   {82, "Дождь"},    {85, "Снег"},
      {86, "Снег"},  {95, "Гроза"}, {96, "Гроза"},  {99, "Гроза"}};
  int known = 0;
  for (int code = -1; code <= 100; ++code) {
    if (WeatherWords(code)) ++known;
  }
  EXPECT_EQ(known, static_cast<int>(std::size(expected)));
  for (const auto& [code, sky] : expected) {
    std::string doc =
        *RenderFeedDocument(One(Reply(10800, kDay0 + 11 * 3600, 1.0, code)), "1", kDay0 + 11 * 3600);
    EXPECT_EQ(Sky(doc, "14"), sky) << "code " << code << ": " << *WeatherWords(code);
  }
}

TEST(FeedDocument, CurrentHourObservedLaterHoursForecastDaysInLocalTime) {
  // 14:15 Moscow time (11:15 UTC) on 2025-04-05.
  const std::int64_t now = kDay0 + 11 * 3600 + 900;
  std::string doc = *RenderFeedDocument(One(Reply(10800, now, -0.04, 61)), "13544", now);
  std::string text = DecodeFeedBody(doc);
  ASSERT_FALSE(text.empty());
  CurrentReading current = ExtractCurrent(text, "14");
  EXPECT_EQ(Cp1251ToUtf8(current.temperatureText), "0.0°");  // never "-0.0"
  EXPECT_EQ(Cp1251ToUtf8(current.skyCondition), "Дождь");
  // 13:00 comes round again tomorrow: local hour index 37 of the reply.
  EXPECT_EQ(Cp1251ToUtf8(ExtractCurrent(text, "13").temperatureText), "-1.3°");
  EXPECT_EQ(Cp1251ToUtf8(ExtractCurrent(text, "15").temperatureText), "-3.5°");
  for (int h = 0; h < 24; ++h) {
    char marker[32];
    std::snprintf(marker, sizeof marker, "<hour value=\"%02d:00\">", h);
    std::size_t first = doc.find(marker);
    ASSERT_NE(first, std::string::npos) << marker;
    EXPECT_EQ(doc.find(marker, first + 1), std::string::npos) << marker;
  }
  // Whole degrees, rounded: -0.4 -> 0, 1.5 -> 2, -2.5 -> -3.
  EXPECT_EQ(ExtractDayRange(text, "20250405").min, "0");
  EXPECT_EQ(ExtractDayRange(text, "20250406").min, "2");
  EXPECT_EQ(ExtractDayRange(text, "20250406").max, "9");
  EXPECT_EQ(ExtractDayRange(text, "20250407").min, "-3");
  EXPECT_NE(doc.find("20250411"), std::string::npos);
  EXPECT_NE(doc.find("<!-- Weather data by Open-Meteo.com"), std::string::npos);
}

TEST(FeedDocument, LocalDateAndHourFollowTheOffsetAcrossMidnight) {
  // 23:30 UTC on 2025-04-05 is 09:30 on 2025-04-06 at UTC+10: today is the 6th.
  const std::int64_t now = kDay0 + 23 * 3600 + 1800;
  std::string doc = *RenderFeedDocument(One(Reply(36000, now - 1200, 7.25, 0)), "1", now);
  std::string text = DecodeFeedBody(doc);
  EXPECT_EQ(Cp1251ToUtf8(ExtractCurrent(text, "09").temperatureText), "7.2°");
  EXPECT_EQ(doc.find("20250405"), std::string::npos);
  EXPECT_NE(doc.find("<day value=\"20250406\""), std::string::npos);
  EXPECT_EQ(doc.find("<hour value="), doc.find("<hour value=\"09:00\">"));
  // An observation from an earlier hour is not the current hour's: the forecast is shown.
  std::string later = *RenderFeedDocument(One(Reply(36000, now - 7200, 7.25, 0)), "1", now);
  EXPECT_EQ(Cp1251ToUtf8(ExtractCurrent(DecodeFeedBody(later), "09").temperatureText), "-1.7°");
}

TEST(FeedDocument, WhereTheForecastRunsOutTheDocumentIsShorterUntilTheClientWouldMissSomething) {
  const std::int64_t now = kDay0 + 11 * 3600;
  PlaceForecast f = One(Reply(10800, now, 1, 0));
  PlaceForecast shortHours = f;
  shortHours.hours.resize(30);  // 14:00 to 05:00 tomorrow
  std::string doc = *RenderFeedDocument(shortHours, "1", now);
  EXPECT_NE(doc.find("<hour value=\"05:00\">"), std::string::npos);
  EXPECT_EQ(doc.find("<hour value=\"06:00\">"), std::string::npos);
  shortHours.hours.resize(11);  // ends before the current hour
  EXPECT_FALSE(RenderFeedDocument(shortHours, "1", now));
  std::string sixDays = *RenderFeedDocument(f, "1", kDay0 + 2 * 86400 - 10800);
  EXPECT_NE(sixDays.find("<day value=\"20250412\""), std::string::npos);
  EXPECT_EQ(sixDays.find("<day value=\"20250413\""), std::string::npos);
  EXPECT_TRUE(RenderFeedDocument(f, "1", kDay0 + 5 * 86400 - 10800));       // today and two more days
  EXPECT_FALSE(RenderFeedDocument(f, "1", kDay0 + 6 * 86400 - 10800));      // no day after tomorrow
  f.hours[20].code = 4;
  EXPECT_FALSE(RenderFeedDocument(f, "1", now));
}

// The source's nulls where its model's range ends, and a day's sky where it gave one: the client
// still reads the same hour and days, and the place's offset is on the location element.
TEST(FeedDocument, TrailingNullsAreLeftOutAndDaysCarryTheirSky) {
  const std::int64_t now = kDay0 + 11 * 3600;
  json reply = Reply(36000, now, 1, 0);
  reply["daily"]["weather_code"] = json::array();
  for (int d = 0; d < 7; ++d) reply["daily"]["weather_code"].push_back(d == 2 ? 71 : 3);
  reply["daily"]["weather_code"].push_back(nullptr);
  reply["daily"]["temperature_2m_min"][7] = nullptr;
  reply["daily"]["temperature_2m_max"][7] = nullptr;
  for (int h = 8 * 24 - 6; h < 8 * 24; ++h) reply["hourly"]["temperature_2m"][h] = nullptr;
  PlaceForecast f = One(reply);
  EXPECT_EQ(f.days.size(), 7u);
  EXPECT_EQ(f.hours.size(), 8u * 24 - 6);
  std::string doc = *RenderFeedDocument(f, "13530", now);
  EXPECT_NE(doc.find("<location id=\"13530\" utc_offset=\"36000\">\n"), std::string::npos);
  EXPECT_NE(doc.find("<day value=\"20250407\"><tempmin value=\"-3\"/><tempmax value=\"5\"/>"
                     "<symbol value=\"71\" desc=\"Небольшой снег\"/></day>"),
            std::string::npos);
  std::string text = DecodeFeedBody(doc);
  EXPECT_EQ(ExtractDayRange(text, "20250406").max, "9");
  EXPECT_EQ(Sky(doc, "21"), "Ясно");  // the hour's own sky, not a day's
  // A null in the middle is not where a range ends: the place is not used.
  reply["daily"]["temperature_2m_min"][3] = nullptr;
  EXPECT_FALSE(ReadForecastReply(reply.dump(), {{55.75, 37.62}}).places[0]);
}

// The values beyond the temperature and sky, converted and rounded as a Russian forecast gives
// them, each left out alone where the source has none; the client's own reading is unchanged.
TEST(FeedDocument, HoursAndDaysCarryFeelsWindPressureHumidityAndPrecipitation) {
  const std::int64_t now = kDay0 + 11 * 3600;  // 14:00 at UTC+3
  const json plain = Reply(10800, now, -3.4, 71);
  json reply = plain;
  const struct {
    const char* name;
    double value;
  } series[] = {{"apparent_temperature", -14.24}, {"wind_speed_10m", 4.4},     {"wind_gusts_10m", 9.2},
                {"wind_direction_10m", 225},      {"surface_pressure", 993.2}, {"relative_humidity_2m", 81},
                {"precipitation", 0.4},           {"precipitation_probability", 60}};
  for (const auto& s : series) reply["hourly"][s.name] = json::array();
  for (int h = 0; h < 8 * 24; ++h) {
    for (const auto& s : series) reply["hourly"][s.name].push_back(s.value);
  }
  reply["hourly"]["relative_humidity_2m"][14] = nullptr;  // 14:00 local: no humidity, all else there
  reply["hourly"]["wind_direction_10m"][15] = 359.6;       // rounds to 0, never 360
  reply["hourly"]["precipitation"][16] = 2.0;               // the 15:00 block's hour
  reply["hourly"]["precipitation_probability"][16] = -5;    // nonsense: left out
  reply["hourly"]["wind_gusts_10m"].erase(3);               // of another length: no gusts at all
  for (int h = 162; h < 8 * 24; ++h) reply["hourly"]["precipitation"][h] = nullptr;
  const std::string doc = *RenderFeedDocument(One(reply), "1", now);

  const struct {
    std::string_view hour, expected;
  } hours[] = {
      {"14", "<feels value=\"-14.2\"/><wind speed=\"4\" dir=\"225\"/><pressure value=\"745\"/>"
             "<precip value=\"0.4\" prob=\"60\"/></hour>"},
      {"15", "<feels value=\"-14.2\"/><wind speed=\"4\" dir=\"0\"/><pressure value=\"745\"/>"
             "<humidity value=\"81\"/><precip value=\"2.0\"/></hour>"},
  };
  for (const auto& h : hours) {
    const std::string open = "<hour value=\"" + std::string(h.hour) + ":00\">";
    const std::string block = doc.substr(doc.find(open), doc.find("</hour>", doc.find(open)) + 7 - doc.find(open));
    EXPECT_NE(block.find(std::string(h.expected)), std::string::npos) << block;
  }
  // Today: 24 blocks of 0.4 mm but one of 2.0, the chance missing for one hour; the wind's
  // direction is the mean of 23 hours from 225 and one from the north (227).
  EXPECT_NE(doc.find("<tempmax value=\"7\"/><precip value=\"11.2\"/>"
                     "<wind speed=\"4\" dir=\"227\"/></day>"),
            std::string::npos);
  EXPECT_NE(doc.find("<day value=\"20250406\"><tempmin value=\"2\"/><tempmax value=\"9\"/>"
                     "<precip value=\"9.6\" prob=\"60\"/>"
                     "<wind speed=\"4\" dir=\"225\"/></day>"),
            std::string::npos);
  // The last day's precipitation runs out in its evening: left out, its wind is not.
  EXPECT_NE(doc.find("<day value=\"20250411\"><tempmin value=\"3\"/><tempmax value=\"11\"/>"
                     "<wind speed=\"4\" dir=\"225\"/></day>"),
            std::string::npos);

  // What the tray, the widget and the hint read is what they read without these elements.
  const std::string text = DecodeFeedBody(doc);
  const std::string plainText = DecodeFeedBody(*RenderFeedDocument(One(plain), "1", now));
  ASSERT_NE(text, plainText);
  for (int h = 0; h < 24; ++h) {
    char hh[4];
    std::snprintf(hh, sizeof hh, "%02d", h);
    EXPECT_EQ(ExtractCurrent(text, hh).temperatureText, ExtractCurrent(plainText, hh).temperatureText);
    EXPECT_EQ(ExtractCurrent(text, hh).skyCondition, ExtractCurrent(plainText, hh).skyCondition);
  }
  for (const char* day : {"20250405", "20250406", "20250407"}) {
    EXPECT_EQ(ExtractDayRange(text, day).min, ExtractDayRange(plainText, day).min);
    EXPECT_EQ(ExtractDayRange(text, day).max, ExtractDayRange(plainText, day).max);
  }
}

TEST(ForecastReply, BatchesAreTakenInOrderAndRejectedWhole) {
  std::vector<Coordinates> two = {{55.75, 37.62}, {59.94, 30.31}};
  json a = Reply(10800, kDay0, 1, 0), b = Reply(10800, kDay0, 2, 0, 59.94, 30.31);
  BatchReply ok = ReadForecastReply(json::array({a, b}).dump(), two);
  ASSERT_TRUE(ok.places[0] && ok.places[1]);
  EXPECT_EQ(ok.places[1]->currentTemperature, 2);

  // Out of order: each grid cell is far from the place asked, so neither is used.
  BatchReply swapped = ReadForecastReply(json::array({b, a}).dump(), two);
  EXPECT_FALSE(swapped.places[0] || swapped.places[1]);
  EXPECT_NE(ReadForecastReply(json::array({a}).dump(), two).error, "");
  EXPECT_NE(ReadForecastReply(json::array({a, b, a}).dump(), two).error, "");
  EXPECT_NE(ReadForecastReply(a.dump().substr(0, 300), two).error, "");
  BatchReply refused =
      ReadForecastReply(R"({"error":true,"reason":"Cannot initialize WeatherVariable"})", two);
  EXPECT_EQ(refused.error, "forecast error: Cannot initialize WeatherVariable");
  EXPECT_FALSE(refused.places[0]);

  json gap = a;
  gap["hourly"]["temperature_2m"][5] = nullptr;
  json shortDays = a;
  shortDays["daily"]["temperature_2m_max"].erase(3);
  json noCurrent = a;
  noCurrent.erase("current");
  for (const json& bad : {gap, shortDays, noCurrent}) {
    BatchReply r = ReadForecastReply(json::array({bad, b}).dump(), two);
    EXPECT_FALSE(r.places[0]);
    EXPECT_TRUE(r.places[1]);
  }
}

}  // namespace
}  // namespace corvella::gateway

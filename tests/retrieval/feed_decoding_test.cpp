// The strict forecast decoder: all or nothing, against an encoder of the test's own.
#include <gtest/gtest.h>

#include <random>

#include "common/cp1251.h"
#include "common/text_literal.h"
#include "retrieval/weather_feed.h"

namespace corvella {
namespace {

std::string EncodeUtf8(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (cp >> 18));
    s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

TEST(FeedDecoding, RussianTextAndForeignCharacters) {
  EXPECT_EQ(DecodeFeedBody("Облачно, небольшой дождь"), "Облачно, небольшой дождь"_cp);
  EXPECT_EQ(DecodeFeedBody("Ёё №5 — «−3 °C» €"), "Ёё №5 — «?3 °C» €"_cp);  // U+2212 is not in the page
  EXPECT_EQ(DecodeFeedBody("a\u00DFb\u4E2Dc"), "a?b?c");
  EXPECT_EQ(DecodeFeedBody("sun \U0001F31E!"), "sun ?!");  // a four-byte character is one "?"
  EXPECT_EQ(DecodeFeedBody("\xEF\xBB\xBF<x/>"), "?<x/>");  // a byte order mark is just a character
  EXPECT_EQ(DecodeFeedBody(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(DecodeFeedBody(""), "");
}

TEST(FeedDecoding, AnyBadOrCutSequenceEmptiesTheWholeText) {
  const std::string_view bad[] = {
      "body ends inside \xD0",  // cut two-byte sequence
      "\xE2\x80",               // cut three-byte sequence
      "cut four \xF0\x9F\x98",  // cut four-byte sequence
      "\xD0<hour>",             // follower outside 0x80..0xBF
      "\xE2\x80<",              // the same in the third byte
      "stray \x80 follower",    // follower without a lead
      "\xC0\xBC",               // overlong "<"
      "\xC1\xBC\xD0\x90",       // overlong "<" before a letter
      "\xE0\x80\xBC",           // overlong "<" in three bytes
      "\xF0\x80\x80\xBC",       // overlong in four bytes
      "\xED\xA0\x80",           // a surrogate
      "\xF4\x90\x80\x80",       // beyond U+10FFFF
      "\xF8\x88\x80\x80\x80",   // a five-byte form
      "\xF8\x9F\xBF\xBF",       // a five-byte lead is no four-byte lead
      "\xFC\x9F\xBF\xBF",
      "\xFF",
  };
  for (std::string_view body : bad) {
    EXPECT_EQ(DecodeFeedBody(body), "") << testing::PrintToString(body);
    // The fault is found wherever it sits, also after long runs of plain and Cyrillic text.
    std::string padded = std::string(37, 'x') + std::string("Пасмурно") + std::string(body);
    EXPECT_EQ(DecodeFeedBody(padded), "") << testing::PrintToString(body);
    EXPECT_EQ(DecodeFeedBody(padded + std::string(50, 'y')), "") << testing::PrintToString(body);
  }
}

// Random valid text of every kind of character, at every alignment: each character gives
// exactly its Windows-1251 byte or "?".
TEST(FeedDecoding, RandomValidTextMapsCharacterByCharacter) {
  std::mt19937 rng(1251);
  const char32_t kinds[][2] = {{0x20, 0x7E},     {0x00, 0x1F},     {0x0400, 0x045F}, {0x0080, 0x07FF},
                               {0x2000, 0x213F}, {0x0800, 0xD7FF}, {0xE000, 0xFFFF}, {0x10000, 0x10FFFF}};
  for (int round = 0; round < 300; ++round) {
    std::string utf8;
    std::string expected;
    int length = static_cast<int>(rng() % 200);
    for (int i = 0; i < length; ++i) {
      const auto& k = kinds[rng() % 8 < 4 ? rng() % 3 : rng() % 8];
      char32_t cp = k[0] + static_cast<char32_t>(rng() % (k[1] - k[0] + 1));
      utf8 += EncodeUtf8(cp);
      int b = UnicodeToCp1251(cp);
      expected += b < 0 ? '?' : static_cast<char>(b);
    }
    ASSERT_EQ(DecodeFeedBody(utf8), expected) << round;
  }
}

}  // namespace
}  // namespace corvella

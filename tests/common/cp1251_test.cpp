#include "common/cp1251.h"

#include <gtest/gtest.h>

#include "common/text_literal.h"

namespace corvella {
namespace {

TEST(Cp1251, EveryByteRoundTripsThroughUtf16AndUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::wstring wide = ToWide(all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(FromWide(wide), all);
  EXPECT_EQ(Utf8ToCp1251Lenient(Cp1251ToUtf8(all)), all);
  // No two bytes share a character.
  for (int a = 0; a < 256; ++a) {
    for (int b = a + 1; b < 256; ++b) ASSERT_NE(wide[static_cast<size_t>(a)], wide[static_cast<size_t>(b)]);
  }
}

TEST(Cp1251, KnownLetters) {
  EXPECT_EQ(Cp1251ToUnicode(0xC0), u'А');
  EXPECT_EQ(Cp1251ToUnicode(0xFF), u'я');
  EXPECT_EQ(Cp1251ToUnicode(0xA8), u'Ё');
  EXPECT_EQ(Cp1251ToUnicode(0xB8), u'ё');
  EXPECT_EQ(Cp1251ToUnicode(0xB0), u'°');
  EXPECT_EQ(Cp1251ToUnicode(0xB9), u'№');
  EXPECT_EQ(UnicodeToCp1251(U'Д'), 0xC4);
  EXPECT_EQ(UnicodeToCp1251(U'€'), 0x88);
  EXPECT_EQ(UnicodeToCp1251(U'ß'), -1);
  EXPECT_EQ(UnicodeToCp1251(U'\U0001F600'), -1);
}

TEST(Cp1251, ForeignCharactersBecomeTheReplacement) {
  EXPECT_EQ(FromWide(L"a\u00DFb"), "a?b");
  EXPECT_EQ(FromWide(L"x\u00DFy", '#'), "x#y");
  // A surrogate pair is one character and one replacement.
  std::wstring pair = {L'a', static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), L'b'};
  EXPECT_EQ(FromWide(pair), "a?b");
  EXPECT_EQ(Utf8ToCp1251Lenient("\xF0\x9F\x98\x80!"), "?!");
  EXPECT_EQ(Utf8ToCp1251Lenient("\xD0"), "?");           // cut short
  EXPECT_EQ(Utf8ToCp1251Lenient("\xD0<"), "?<");         // bad follower kept as itself
  EXPECT_EQ(Utf8ToCp1251Lenient("\x80\xFF"), "??");
  // Overlong forms are bad sequences, never a hidden NUL, slash or letter.
  EXPECT_EQ(Utf8ToCp1251Lenient("\xC0\x80/\xC0\xAF\xE0\x90\x81"), "?/??");
}

TEST(TextLiteral, ConvertsCyrillicAtCompileTime) {
  constexpr std::string_view close = "Закрыть"_cp;
  static_assert(close.size() == 7);
  EXPECT_EQ(close, "\xC7\xE0\xEA\xF0\xFB\xF2\xFC");
  EXPECT_EQ("ёЁ°№ abc"_cp, "\xB8\xA8\xB0\xB9 abc");
  EXPECT_EQ(""_cp, "");
  EXPECT_EQ(Cp1251ToUtf8("населённых пунктов"_cp), "населённых пунктов");
}

}  // namespace
}  // namespace corvella

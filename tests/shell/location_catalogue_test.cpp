// The catalogue loader on small inputs, and the catalogue embedded in the program.
#include "shell/location_catalogue.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "common/text_literal.h"

namespace corvella {
namespace {

std::string ErrorOf(const LocationCatalogue& catalogue, int index) {
  try {
    catalogue.FeedIdAt(index);
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(LocationCatalogue, RowsSplitAtTheFirstSemicolonAndTheFirstCommaBlank) {
  LocationCatalogue c = LocationCatalogue::FromBytes(
      "Краснодарский край, аэропорт Витязево, Краснодар;13550\n"
      "Москва, Москва;13564;extra\r\n"
      "Крым\n"
      "no separator\n"
      ";\n"
      "Саха (Якутия), Якутск;13512");
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ(c[0].displayText, "Краснодарский край, аэропорт Витязево, Краснодар"_cp);
  EXPECT_EQ(c[0].region, "Краснодарский край"_cp);
  EXPECT_EQ(c[0].place, "аэропорт Витязево, Краснодар"_cp);
  EXPECT_EQ(c[0].feedId, "13550");
  EXPECT_EQ(c[1].feedId, "13564;extra");  // everything after the first ";", without the CR
  EXPECT_EQ(c[1].place, "Москва"_cp);
  EXPECT_EQ(c[2].displayText, "");  // a row without ";" gives an empty item
  EXPECT_EQ(c[2].feedId, "");
  EXPECT_EQ(c[3].displayText, "");
  EXPECT_EQ(c[4].displayText, "");
  EXPECT_EQ(c[5].feedId, "13512");  // last line without a line end
  EXPECT_EQ(c[5].region, "Саха (Якутия)"_cp);
}

TEST(LocationCatalogue, KeepsTheFileOrderAndBlankLines) {
  LocationCatalogue c = LocationCatalogue::FromBytes("\xEF\xBB\xBFЯ, б;2\n\nА, в;1\n");
  ASSERT_EQ(c.size(), 3u);                 // the final line end closes the last row; it starts none
  EXPECT_EQ(c[0].displayText, "Я, б"_cp);  // the byte-order mark is not part of the first row
  EXPECT_EQ(c[1].displayText, "");
  EXPECT_EQ(c[2].displayText, "А, в"_cp);
  EXPECT_EQ(LocationCatalogue::FromBytes("").size(), 0u);
  EXPECT_EQ(LocationCatalogue::FromBytes("\n").size(), 1u);
}

TEST(LocationCatalogue, ForeignAndMalformedCharactersBecomeQuestionMarks) {
  LocationCatalogue c = LocationCatalogue::FromBytes("A\xC3\xA9 \xD0\xB1\xFF\xD0, \xE2\x84\x96 5;1\n");
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].displayText, "A? б??, № 5"_cp);
  EXPECT_EQ(c[0].feedId, "1");
  // Overlong forms of ";", "," and a line end are bad sequences, never separators.
  c = LocationCatalogue::FromBytes("A\xC0\xBB B\xE0\x80\xAC C\xC0\x8A D;\xF0\x80\x80\xBB;2\n");
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].displayText, "A? B? C? D");
  EXPECT_EQ(c[0].region, "A? B? C? D");
  EXPECT_EQ(c[0].feedId, "?;2");
  c = LocationCatalogue::FromBytes("\xD0\x91\xC0\xBB\xD0\x91\xC1\x8A;3\n");  // the same among letters
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].displayText, "Б?Б?"_cp);
  EXPECT_EQ(c[0].feedId, "3");
  EXPECT_EQ(LocationCatalogue::FromBytes("\xED\xA0\x80, \xF4\x90\x80\x80;1")[0].displayText, "?, ?");
  // Bytes that never start a sequence stand alone and swallow nothing after them.
  EXPECT_EQ(LocationCatalogue::FromBytes("\xFF\xAC\xF8\x80\x80;1")[0].displayText, "?????");
}

TEST(LocationCatalogue, LongDataKeepsEveryRowWhole) {
  // Far more text than the loader decodes in one piece, and one row longer than a piece.
  std::string data;
  for (int i = 0; i < 5000; ++i) data += "Тыва, Кызыл " + std::to_string(i) + ";" + std::to_string(230000 + i) + "\r\n";
  const std::string longPlace(100000, 'x');
  data += "Тыва, " + longPlace + ";1\n";
  data += "Ярославская область, Ярославль;255625";
  LocationCatalogue c = LocationCatalogue::FromBytes(data);
  ASSERT_EQ(c.size(), 5002u);
  for (std::size_t i = 0; i < 5000; ++i) {
    ASSERT_EQ(c[i].place, std::string("Кызыл "_cp) + std::to_string(i)) << i;
    ASSERT_EQ(c[i].feedId, std::to_string(230000 + i)) << i;
  }
  EXPECT_EQ(c[5000].place, longPlace);
  EXPECT_EQ(c[5000].feedId, "1");
  EXPECT_EQ(c[5001].displayText, "Ярославская область, Ярославль"_cp);
  EXPECT_EQ(c.FeedIdAt(5001), "255625");
  // Rows asked for before the whole list was read are the same rows.
  const LocationCatalogue fresh = LocationCatalogue::FromBytes(data);
  EXPECT_EQ(fresh.FeedIdAt(4999), "234999");
  EXPECT_TRUE(fresh.Contains(5001));
  EXPECT_FALSE(fresh.Contains(5002));
  EXPECT_EQ(fresh[5000].place, longPlace);
  EXPECT_EQ(fresh.size(), 5002u);
}

// The table of row starts as the build writes it: 32-bit little-endian, one per row and the end.
std::string Table(std::initializer_list<std::uint32_t> offsets) {
  std::string table;
  for (std::uint32_t o : offsets)
    for (int shift = 0; shift < 32; shift += 8) table += static_cast<char>(o >> shift & 0xFF);
  return table;
}

// Row N straight from the table. A table whose ends do not fit the data is set aside at once, one
// with a start inside a row when that row is read: neither changes a row.
TEST(LocationCatalogue, RowStartsTableFindsRowsAndIsSetAsideWhenItDoesNotFit) {
  const std::string data = "\xEF\xBB\xBFТыва, Кызыл;13544\r\n\nМосква, Москва;13564";  // a BOM, a blank row
  const std::uint32_t second = static_cast<std::uint32_t>(std::string("Тыва, Кызыл;13544\r\n").size());
  const std::uint32_t end = static_cast<std::uint32_t>(data.size() - 3);
  const std::string table = Table({0, second, second + 1, end});  // the catalogue reads it where it is
  const LocationCatalogue good = LocationCatalogue::WithRowStarts(data, table);
  EXPECT_EQ(good.FeedIdAt(2), "13564");
  EXPECT_EQ(good[0].place, "Кызыл"_cp);
  EXPECT_EQ(good[1].displayText, "");
  EXPECT_EQ(good.size(), 3u);
  EXPECT_EQ(ErrorOf(good, 3), "List index out of bounds (-1)");
  for (const std::string& bad : {Table({0, 5, second + 1, end}), Table({0, second, 5 + second, end}),
                                 Table({0, second, second + 1, end + 1}), Table({0, second}),
                                 table.substr(0, 14), std::string()}) {
    const LocationCatalogue c = LocationCatalogue::WithRowStarts(data, bad);
    EXPECT_EQ(c.FeedIdAt(2), "13564");
    EXPECT_EQ(c[0].feedId, "13544");
    EXPECT_EQ(c.size(), 3u);
  }
}

TEST(LocationCatalogue, CopiesShareTheRowsText) {
  std::vector<LocationCatalogue> kept;
  {
    std::string bytes = "Адыгея, Майкоп;1\nТыва, Кызыл;2\n";
    LocationCatalogue c = LocationCatalogue::FromBytes(bytes);
    bytes.assign(bytes.size(), 'x');  // the catalogue read its own copy of the bytes
    kept.push_back(c);
    kept.push_back(std::move(c));
  }
  for (const LocationCatalogue& c : kept) {
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[1].place, "Кызыл"_cp);
    EXPECT_EQ(c.FeedIdAt(0), "1");
  }
}

TEST(LocationCatalogue, LookupsOutsideTheCatalogueFailAsTheEmptySelection) {
  LocationCatalogue c = LocationCatalogue::FromBytes("A, a;10\nB, b;20\n");
  EXPECT_EQ(c.FeedIdAt(0), "10");
  EXPECT_EQ(c.FeedIdAt(1), "20");
  EXPECT_EQ(ErrorOf(c, -1), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf(c, 2), "List index out of bounds (-1)");
  EXPECT_EQ(c[2].displayText, "");  // no row there: nothing read past the data
  EXPECT_EQ(ErrorOf(c, 2147483647), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf(LocationCatalogue::FromBytes(""), 0), "List index out of bounds (-1)");
  EXPECT_EQ(c.ListHint(), "2 населённых пунктов"_cp);
}

TEST(EmbeddedCatalogue, HoldsEveryRowWithTheDefaultAndTellingChoices) {
  const LocationCatalogue c = LocationCatalogue::Embedded();
  ASSERT_EQ(c.size(), 25311u);
#ifdef _WIN32
  EXPECT_EQ(CatalogueRowStarts().size(), 4u * (25311 + 1)) << "the table of row starts is embedded";
#endif
  EXPECT_EQ(c.ListHint(), "25311 населённых пунктов"_cp);
  EXPECT_EQ(c[0].displayText, "Адыгея, Абадзехская"_cp);
  EXPECT_EQ(c[12297].displayText, "Москва, Москва"_cp);  // the default choice
  EXPECT_EQ(c.FeedIdAt(12297), "13564");
  EXPECT_EQ(c[6332].displayText, c[6333].displayText);  // two rows "Иркутская область, Братск"
  EXPECT_EQ(c[6332].displayText, "Иркутская область, Братск"_cp);
  EXPECT_EQ(c.FeedIdAt(6332), "13527");
  EXPECT_EQ(c.FeedIdAt(6333), "235712");
  EXPECT_EQ(c[9171].displayText, "Краснодарский край, аэропорт Витязево, Краснодар"_cp);
  EXPECT_EQ(c.FeedIdAt(9171), "13550");
  EXPECT_EQ(c.FeedIdAt(12323), "13567");
  EXPECT_EQ(c.FeedIdAt(20015), "255789");
  EXPECT_EQ(c[25310].displayText, "Ярославская область, Ярославль"_cp);
  EXPECT_EQ(c.FeedIdAt(25310), "255625");
  EXPECT_EQ(ErrorOf(c, 25311), "List index out of bounds (-1)");
  for (std::size_t i = 0; i < c.size(); ++i) {
    const LocationEntry e = c[i];
    ASSERT_EQ(e.displayText.find('?'), std::string::npos) << "a character lost in " << e.feedId;
    ASSERT_EQ(c.DisplayTextAt(i), e.displayText) << i;
  }
}

}  // namespace
}  // namespace corvella

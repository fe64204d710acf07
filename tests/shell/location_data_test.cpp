// The committed catalogue data/locations.txt against every fact the program and its users rely
// on, read as the UTF-8 file it is; and the place order the catalogue is sorted by.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/catalogue-builder/place_order.h"

namespace corvella {
namespace {

struct Row {
  std::string text, region, place, id;
};

class CatalogueData : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::ifstream in(CORVELLA_SOURCE_DIR "/data/locations.txt", std::ios::binary);
    ASSERT_TRUE(in) << "data/locations.txt is missing";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    file_ = new std::string(bytes.str());
    rows_ = new std::vector<Row>;
    std::string_view rest = *file_;
    while (!rest.empty()) {
      std::size_t end = rest.find('\n');
      ASSERT_NE(end, std::string_view::npos) << "the last row has no line end";
      std::string_view line = rest.substr(0, end);
      rest.remove_prefix(end + 1);
      std::size_t semicolon = line.find(';');
      std::size_t comma = line.find(", ");
      ASSERT_TRUE(semicolon != std::string_view::npos && comma < semicolon) << line;
      rows_->push_back({std::string(line), std::string(line.substr(0, comma)),
                        std::string(line.substr(comma + 2, semicolon - comma - 2)),
                        std::string(line.substr(semicolon + 1))});
    }
  }
  static void TearDownTestSuite() {
    delete rows_;
    delete file_;
  }
  static const std::vector<Row>& Rows() { return *rows_; }

  static std::string* file_;
  static std::vector<Row>* rows_;
};
std::string* CatalogueData::file_ = nullptr;
std::vector<Row>* CatalogueData::rows_ = nullptr;

TEST_F(CatalogueData, IsWellFormedUtf8RowsWithNumericIds) {
  EXPECT_TRUE(DecodeUtf8(*file_).has_value());
  EXPECT_EQ(file_->find('\r'), std::string::npos);
  EXPECT_FALSE(file_->starts_with("\xEF\xBB\xBF"));
  ASSERT_EQ(Rows().size(), 25311u);
  for (const Row& row : Rows()) {
    ASSERT_TRUE(row.id.size() == 5 || row.id.size() == 6) << row.text;
    ASSERT_TRUE(std::all_of(row.id.begin(), row.id.end(), [](char c) { return c >= '0' && c <= '9'; }))
        << row.text;
    ASSERT_EQ(row.place.find(';'), std::string::npos) << row.text;
    ASSERT_FALSE(row.place.empty()) << row.text;
  }
}

TEST_F(CatalogueData, HasTheRegionsInOrderWithTheirRowCounts) {
  const std::vector<std::pair<std::string, int>> regions = {
      {"Адыгея", 85},
      {"Алтай", 98},
      {"Алтайский край", 621},
      {"Амурская область", 243},
      {"Архангельская область", 417},
      {"Астраханская область", 174},
      {"Башкортостан", 879},
      {"Белгородская область", 371},
      {"Брянская область", 460},
      {"Бурятия", 174},
      {"Владимирская область", 238},
      {"Волгоградская область", 527},
      {"Вологодская область", 468},
      {"Воронежская область", 472},
      {"Дагестан", 439},
      {"Еврейская автономная область", 40},
      {"Забайкальский край", 322},
      {"Ивановская область", 209},
      {"Ингушетия", 28},
      {"Иркутская область", 456},
      {"Кабардино-Балкария", 106},
      {"Калининградская область", 153},
      {"Калмыкия", 102},
      {"Калужская область", 294},
      {"Камчатский край", 50},
      {"Карачаево-Черкессия", 90},
      {"Карелия", 197},
      {"Кемеровская область", 316},
      {"Кировская область", 540},
      {"Коми", 265},
      {"Костромская область", 297},
      {"Краснодарский край", 596},
      {"Красноярский край", 509},
      {"Крым", 6},
      {"Курганская область", 369},
      {"Курская область", 486},
      {"Ленинградская область", 380},
      {"Липецкая область", 335},
      {"Магаданская область", 38},
      {"Марий Эл", 175},
      {"Мордовия", 272},
      {"Москва", 1},
      {"Московская область", 576},
      {"Мурманская область", 63},
      {"Ненецкий автономный округ", 2},
      {"Нижегородская область", 600},
      {"Новгородская область", 316},
      {"Новосибирская область", 534},
      {"Омская область", 401},
      {"Оренбургская область", 594},
      {"Орловская область", 296},
      {"Пензенская область", 383},
      {"Пермский край", 472},
      {"Приморский край", 233},
      {"Псковская область", 351},
      {"Ростовская область", 602},
      {"Рязанская область", 400},
      {"Самарская область", 417},
      {"Санкт-Петербург", 26},
      {"Саратовская область", 534},
      {"Саха (Якутия)", 301},
      {"Сахалинская область", 107},
      {"Свердловская область", 509},
      {"Севастополь", 1},
      {"Северная Осетия-Алания", 87},
      {"Смоленская область", 375},
      {"Ставропольский край", 327},
      {"Тамбовская область", 363},
      {"Татарстан", 709},
      {"Тверская область", 589},
      {"Томская область", 202},
      {"Тульская область", 292},
      {"Тыва", 91},
      {"Тюменская область", 315},
      {"Удмуртия", 272},
      {"Ульяновская область", 301},
      {"Хабаровский край", 161},
      {"Хакасия", 81},
      {"Ханты-Мансийский автономный округ", 60},
      {"Челябинская область", 373},
      {"Чеченская республика", 138},
      {"Чувашия", 261},
      {"Чукотский автономный округ", 26},
      {"Ямало-Ненецкий автономный округ", 30},
      {"Ярославская область", 242},
  };
  ASSERT_EQ(regions.size(), 85u);
  std::vector<std::pair<std::string, int>> found;
  for (const Row& row : Rows()) {
    if (found.empty() || found.back().first != row.region) found.emplace_back(row.region, 0);
    ++found.back().second;
  }
  EXPECT_EQ(found, regions);  // also: no region comes back after another one
  for (std::size_t i = 1; i < regions.size(); ++i) {
    EXPECT_TRUE(PlaceBefore(regions[i - 1].first, regions[i].first)) << regions[i].first;
  }
}

TEST_F(CatalogueData, PlacesFollowTheirOrderWithinEachRegion) {
  for (std::size_t i = 1; i < Rows().size(); ++i) {
    const Row& a = Rows()[i - 1];
    const Row& b = Rows()[i];
    if (a.region != b.region) continue;
    ASSERT_FALSE(PlaceBefore(b.place, a.place)) << "row " << i << ": " << b.text << " after " << a.text;
  }
}

TEST_F(CatalogueData, TheTellingRowsStandAtTheirIndexes) {
  const std::map<std::size_t, std::string> telling = {
      {0, "Адыгея, Абадзехская;230569"},
      {6332, "Иркутская область, Братск;13527"},
      {6333, "Иркутская область, Братск;235712"},
      {9171, "Краснодарский край, аэропорт Витязево, Краснодар;13550"},
      {12297, "Москва, Москва;13564"},
      {12323, "Московская область, аэропорт Внуково, Москва;13567"},
      {20015, "Севастополь, Севастополь;255789"},
      {25310, "Ярославская область, Ярославль;255625"},
  };
  for (const auto& [index, text] : telling) EXPECT_EQ(Rows()[index].text, text) << "row " << index;
  int bratsk = 0;
  for (const Row& row : Rows()) bratsk += row.region == "Иркутская область" && row.place == "Братск";
  EXPECT_EQ(bratsk, 2);
}

TEST_F(CatalogueData, IdsAreDistinctInTheirTwoRanges) {
  std::set<int> shortIds, longIds;
  std::map<std::string, std::string> idOf;
  for (const Row& row : Rows()) {
    int id = std::stoi(row.id);
    ASSERT_TRUE((row.id.size() == 5 ? shortIds : longIds).insert(id).second) << "id used twice: " << row.text;
    idOf[row.region + ", " + row.place] = row.id;  // for the unique names below
  }
  EXPECT_EQ(shortIds.size(), 66u);
  EXPECT_EQ(*shortIds.begin(), 13512);
  EXPECT_EQ(*shortIds.rbegin(), 13577);  // so all 66 of 13512..13577 are used
  EXPECT_EQ(longIds.size(), 25245u);
  EXPECT_EQ(*longIds.begin(), 230562);
  EXPECT_EQ(*longIds.rbegin(), 269546);
  EXPECT_EQ(idOf["Москва, Москва"], "13564");
  EXPECT_EQ(idOf["Санкт-Петербург, Санкт-Петербург"], "13537");
  EXPECT_EQ(idOf["Саха (Якутия), Якутск"], "13512");
}

TEST_F(CatalogueData, LengthsAndOddPlaceNames) {
  std::size_t longest = 0;
  std::vector<std::string> withComma, airports, lowerCase;
  for (const Row& row : Rows()) {
    longest = std::max(longest, CountUtf8Chars(row.text));
    if (row.place.find(", ") != std::string::npos) withComma.push_back(row.place);
    if (row.place.starts_with("аэропорт")) airports.push_back(row.place);
    char32_t first = DecodeUtf8(row.place)->front();
    if ((first >= U'а' && first <= U'я') || first == U'ё' || (first >= U'a' && first <= U'z')) {
      lowerCase.push_back(row.place);
    }
  }
  EXPECT_EQ(longest, 58u);  // characters, not bytes
  EXPECT_EQ(withComma,
            (std::vector<std::string>{"аэропорт Витязево, Краснодар", "аэропорт Внуково, Москва"}));
  EXPECT_EQ(airports.size(), 3u);
  EXPECT_EQ(lowerCase, airports);
}

TEST(PlaceOrder, FoldsCaseAndYoThenComparesCodePoints) {
  // Case and "ё" do not decide; when nothing else does, the unfolded names do (capitals first).
  EXPECT_TRUE(PlaceBefore("Елизово", "Ёлкино"));
  EXPECT_TRUE(PlaceBefore("Ёлкино", "Емва"));
  EXPECT_TRUE(PlaceBefore("берёза", "Березники"));
  EXPECT_TRUE(PlaceBefore("Березовка", "Берёзовка"));
  EXPECT_TRUE(PlaceBefore("Красный Бор", "красный бор"));
  EXPECT_FALSE(PlaceBefore("Братск", "Братск"));
  // Blank, hyphen, digits, Latin, Cyrillic; a name before its own continuations.
  EXPECT_TRUE(PlaceBefore("Новый Быт", "Новый-Быт"));
  EXPECT_TRUE(PlaceBefore("Ново-Талицы", "Новоалександровск"));
  EXPECT_TRUE(PlaceBefore("1-е Мая", "Абрау-Дюрсо"));
  EXPECT_TRUE(PlaceBefore("Zelenyi", "Абрау-Дюрсо"));
  EXPECT_TRUE(PlaceBefore("Кировск", "Кировская"));
  EXPECT_TRUE(PlaceBefore("Юрга", "Я"));
  EXPECT_TRUE(PlaceBefore("Саха (Якутия)", "Сахалинская область"));
}

TEST(PlaceOrder, TakesOnlyWellFormedUtf8) {
  EXPECT_EQ(DecodeUtf8("Ёж №1"), std::u32string(U"Ёж №1"));
  EXPECT_FALSE(DecodeUtf8("\xC0\xAF").has_value());          // overlong
  EXPECT_FALSE(DecodeUtf8("\xED\xA0\x80").has_value());      // surrogate
  EXPECT_FALSE(DecodeUtf8("\xD0").has_value());              // cut short
  EXPECT_FALSE(DecodeUtf8("\xD0\x41").has_value());          // no continuation
  EXPECT_FALSE(DecodeUtf8("\xF4\x90\x80\x80").has_value());  // past U+10FFFF
  EXPECT_TRUE(PlaceBefore("Я", "\xFF"));
  EXPECT_EQ(CountUtf8Chars("Москва, Москва;13564"), 20u);
}

}  // namespace
}  // namespace corvella

// Builds data/locations.txt, the location catalogue, from a ranked list of settlements
// (region<TAB>place<TAB>rank<TAB>evidence, UTF-8, one header line).
//
//   catalogue-builder PLACES.tsv OUT.txt        writes the catalogue
//   catalogue-builder --check PLACES.tsv FILE   exits 0 when FILE is exactly what would be written,
//                                               1 when it differs, 77 when PLACES.tsv is absent
//
// Per region the best-ranked places are taken, except that the rows the program relies on by
// index (the default Moscow row, the two Bratsk rows, the airports...) must land on their indexes:
// the builder counts how many places must sort before and after each of them and fills those
// stretches by rank. Ids come from a fixed-seed generator, so the output is the same byte for byte
// on every machine.
#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/catalogue-builder/place_order.h"

namespace corvella {
namespace {

struct Region {
  std::string_view name;
  int rows;
};

// The regions in catalogue order with their row counts.
constexpr std::array<Region, 85> kRegions = {{
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
}};

constexpr int kAnywhere = -1;
constexpr int kDrawnId = 0;

// Rows the builder adds itself, at a fixed catalogue index or anywhere in their region.
struct FixedRow {
  int index;
  std::string_view region;
  std::string_view place;
  int id;
};
constexpr std::array<FixedRow, 9> kFixedRows = {{
    {0, "Адыгея", "Абадзехская", 230569},
    {6332, "Иркутская область", "Братск", 13527},
    {6333, "Иркутская область", "Братск", 235712},
    {9171, "Краснодарский край", "аэропорт Витязево, Краснодар", 13550},
    {12297, "Москва", "Москва", 13564},
    {12323, "Московская область", "аэропорт Внуково, Москва", 13567},
    {20015, "Севастополь", "Севастополь", 255789},
    {25310, "Ярославская область", "Ярославль", 255625},
    {kAnywhere, "Свердловская область", "аэропорт Кольцово", kDrawnId},
}};

// Places of the list whose ids are known.
struct PinnedId {
  std::string_view region;
  std::string_view place;
  int id;
};
constexpr std::array<PinnedId, 2> kPinnedIds = {{
    {"Санкт-Петербург", "Санкт-Петербург", 13537},
    {"Саха (Якутия)", "Якутск", 13512},
}};

// Five-digit ids belong to large towns and weather stations; six-digit ids to everything else.
constexpr int kShortIdFirst = 13512;
constexpr int kShortIdLast = 13577;
constexpr int kLongIdFirst = 230562;
constexpr int kLongIdLast = 269546;
constexpr std::size_t kMaxRowChars = 58;
constexpr std::uint64_t kSeed = 0x25311C0A7A106ull;

class Fail : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// splitmix64: tiny, and the same everywhere, unlike the standard library's distributions.
class Generator {
 public:
  explicit Generator(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, bound), without modulo bias.
  std::size_t Below(std::size_t bound) {
    std::uint64_t limit = static_cast<std::uint64_t>(bound);
    std::uint64_t threshold = (0 - limit) % limit;
    for (;;) {
      std::uint64_t r = Next();
      if (r >= threshold) return static_cast<std::size_t>(r % limit);
    }
  }
  template <class T>
  void Shuffle(std::vector<T>& items) {
    for (std::size_t i = items.size(); i > 1; --i) std::swap(items[i - 1], items[Below(i)]);
  }

 private:
  std::uint64_t state_;
};

struct Place {
  std::string name;
  std::u32string wide;
  long long population = -1;  // census population when the evidence gives it
  int id = kDrawnId;
  int fixedIndex = kAnywhere;  // for fixed rows: the catalogue index it must take
};

struct Row {
  std::string_view region;
  Place place;
};

std::u32string Wide(std::string_view utf8) {
  std::optional<std::u32string> wide = DecodeUtf8(utf8);
  if (!wide) throw Fail("not UTF-8: " + std::string(utf8));
  return *wide;
}

std::size_t RowChars(std::string_view region, std::string_view place, int id) {
  return CountUtf8Chars(region) + 2 + CountUtf8Chars(place) + 1 + std::to_string(id).size();
}

bool StartsLowerCase(const std::u32string& name) {
  return !name.empty() && FoldForOrder(name.front()) == name.front() &&
         ((name.front() >= U'a' && name.front() <= U'z') || (name.front() >= U'а' && name.front() <= U'я') ||
          name.front() == U'ё');
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    std::size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return fields;
    line.remove_prefix(tab + 1);
  }
}

long long CensusPopulation(std::string_view evidence) {
  constexpr std::string_view kCensus = "census population ";
  if (!evidence.starts_with(kCensus)) return -1;
  evidence.remove_prefix(kCensus.size());
  if (evidence.empty() || evidence.size() > 12) return -1;
  long long n = 0;
  for (char c : evidence) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

// Candidates per region, best rank first.
std::map<std::string, std::vector<Place>, std::less<>> ReadPlaces(const std::string& text) {
  std::map<std::string, std::vector<std::pair<long long, Place>>, std::less<>> ranked;
  std::istringstream in(text);
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNumber == 1 || line.empty()) continue;  // header
    std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() != 4) throw Fail("line " + std::to_string(lineNumber) + ": expected 4 fields");
    long long rank = 0;
    for (char c : fields[2]) {
      if (c < '0' || c > '9' || rank > 1'000'000'000)
        throw Fail("line " + std::to_string(lineNumber) + ": rank");
      rank = rank * 10 + (c - '0');
    }
    Place place;
    place.name = std::string(fields[1]);
    place.wide = Wide(place.name);
    place.population = CensusPopulation(fields[3]);
    ranked[std::string(fields[0])].emplace_back(rank, std::move(place));
  }
  std::map<std::string, std::vector<Place>, std::less<>> places;
  for (auto& [region, list] : ranked) {
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [rank, place] : list) places[region].push_back(std::move(place));
  }
  return places;
}

bool RowBefore(const Place& a, const Place& b) {
  int order = ComparePlaces(a.wide, b.wide);
  return order != 0 ? order < 0 : a.id < b.id;
}

// The rows of one region, in catalogue order. `start` is the index of its first row.
std::vector<Place> BuildRegion(const Region& region, int start, const std::vector<Place>& candidates) {
  std::vector<Place> fixed;
  for (const FixedRow& row : kFixedRows) {
    if (row.region != region.name) continue;
    Place place;
    place.name = std::string(row.place);
    place.wide = Wide(row.place);
    place.id = row.id;
    place.fixedIndex = row.index == kAnywhere ? kAnywhere : row.index - start;
    if (row.index != kAnywhere && (place.fixedIndex < 0 || place.fixedIndex >= region.rows)) {
      throw Fail(std::string(row.place) + " lies outside " + std::string(region.name));
    }
    fixed.push_back(std::move(place));
  }
  std::sort(fixed.begin(), fixed.end(), RowBefore);

  // Places that can stand in the catalogue at all; a name that folds like one already taken
  // (or like a fixed row) would make the order depend on the tie-break, so it is left out.
  std::set<std::u32string> seen;
  for (const Place& place : fixed) seen.insert(FoldForOrder(place.wide));
  std::vector<const Place*> usable;
  for (const Place& place : candidates) {
    if (StartsLowerCase(place.wide) || place.name.find(", ") != std::string::npos ||
        place.name.find(';') != std::string::npos ||
        RowChars(region.name, place.name, kLongIdLast) > kMaxRowChars ||
        !seen.insert(FoldForOrder(place.wide)).second) {
      continue;
    }
    usable.push_back(&place);
  }

  // How many places each stretch between fixed rows must hold.
  std::vector<int> need;
  bool anchored =
      std::any_of(fixed.begin(), fixed.end(), [](const Place& p) { return p.fixedIndex != kAnywhere; });
  if (anchored) {
    int previous = -1;
    for (const Place& place : fixed) {
      if (place.fixedIndex == kAnywhere) throw Fail("mixed fixed rows in " + std::string(region.name));
      if (place.fixedIndex <= previous) throw Fail("fixed rows out of order in " + std::string(region.name));
      need.push_back(place.fixedIndex - previous - 1);
      previous = place.fixedIndex;
    }
    need.push_back(region.rows - previous - 1);
  } else {
    need.push_back(region.rows - static_cast<int>(fixed.size()));
  }

  std::vector<Place> rows = fixed;
  for (const Place* place : usable) {
    std::size_t stretch = 0;
    if (anchored) {
      while (stretch < fixed.size() && RowBefore(fixed[stretch], *place)) ++stretch;
    }
    if (need[stretch] > 0) {
      --need[stretch];
      rows.push_back(*place);
    }
  }
  for (int left : need) {
    if (left > 0) throw Fail("not enough places in " + std::string(region.name));
  }
  std::sort(rows.begin(), rows.end(), RowBefore);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].fixedIndex != kAnywhere && rows[i].fixedIndex != static_cast<int>(i)) {
      throw Fail(rows[i].name + " missed its index");
    }
  }
  return rows;
}

void AssignIds(std::vector<Row>& rows) {
  Generator generator(kSeed);
  std::set<int> used;
  for (Row& row : rows) {
    for (const PinnedId& pinned : kPinnedIds) {
      if (row.region == pinned.region && row.place.name == pinned.place) row.place.id = pinned.id;
    }
    if (row.place.id != kDrawnId && !used.insert(row.place.id).second) throw Fail("id used twice");
  }
  for (const PinnedId& pinned : kPinnedIds) {
    if (!used.contains(pinned.id)) throw Fail(std::string(pinned.place) + " was not chosen");
  }

  // The short ids left over go to the largest towns, largest first.
  std::vector<int> shortIds;
  for (int id = kShortIdFirst; id <= kShortIdLast; ++id) {
    if (!used.contains(id)) shortIds.push_back(id);
  }
  std::vector<std::size_t> towns;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].place.id == kDrawnId && rows[i].place.population >= 0) towns.push_back(i);
  }
  std::stable_sort(towns.begin(), towns.end(), [&](std::size_t a, std::size_t b) {
    return rows[a].place.population > rows[b].place.population;
  });
  if (towns.size() < shortIds.size()) throw Fail("not enough towns for the short ids");
  generator.Shuffle(shortIds);
  for (std::size_t k = 0; k < shortIds.size(); ++k) rows[towns[k]].place.id = shortIds[k];

  // Long ids: both ends of the range, the rest drawn from it.
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].place.id == kDrawnId) open.push_back(i);
  }
  std::vector<int> pool;
  for (int id = kLongIdFirst + 1; id < kLongIdLast; ++id) {
    if (!used.contains(id)) pool.push_back(id);
  }
  if (open.size() < 2 || pool.size() < open.size() - 2) throw Fail("id range too small");
  std::vector<int> longIds = {kLongIdFirst, kLongIdLast};
  for (std::size_t k = 0; longIds.size() < open.size(); ++k) {
    std::swap(pool[k], pool[k + generator.Below(pool.size() - k)]);
    longIds.push_back(pool[k]);
  }
  generator.Shuffle(longIds);
  for (std::size_t k = 0; k < open.size(); ++k) rows[open[k]].place.id = longIds[k];
}

std::string Build(const std::string& placesText) {
  auto places = ReadPlaces(placesText);
  std::vector<Row> rows;
  int start = 0;
  for (const Region& region : kRegions) {
    auto it = places.find(region.name);
    static const std::vector<Place> kNone;
    for (Place& place : BuildRegion(region, start, it == places.end() ? kNone : it->second)) {
      rows.push_back({region.name, std::move(place)});
    }
    start += region.rows;
  }
  AssignIds(rows);

  std::string out;
  std::size_t longest = 0;
  for (const Row& row : rows) {
    std::string line = std::string(row.region) + ", " + row.place.name + ";" + std::to_string(row.place.id);
    longest = std::max(longest, CountUtf8Chars(line));
    out += line;
    out += '\n';
  }
  if (longest != kMaxRowChars) throw Fail("the longest row has " + std::to_string(longest) + " characters");
  return out;
}

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int Run(int argc, char** argv) {
  bool check = argc == 4 && std::string_view(argv[1]) == "--check";
  if (argc != 3 && !check) {
    std::cerr << "usage: catalogue-builder PLACES.tsv OUT.txt\n"
                 "       catalogue-builder --check PLACES.tsv FILE\n";
    return 2;
  }
  std::string placesPath = argv[check ? 2 : 1];
  std::string outPath = argv[check ? 3 : 2];
  std::optional<std::string> placesText = ReadFile(placesPath);
  if (!placesText) {
    std::cerr << "cannot read " << placesPath << "\n";
    return check ? 77 : 1;
  }
  std::string catalogue = Build(*placesText);
  if (check) {
    std::optional<std::string> committed = ReadFile(outPath);
    if (committed == catalogue) return 0;
    std::cerr << outPath << " is not what the builder makes from " << placesPath << "\n";
    return 1;
  }
  std::ofstream out(outPath, std::ios::binary);
  out << catalogue;
  out.close();
  if (!out) {
    std::cerr << "cannot write " << outPath << "\n";
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace corvella

int main(int argc, char** argv) {
  try {
    return corvella::Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "catalogue-builder: " << e.what() << "\n";
    return 1;
  }
}

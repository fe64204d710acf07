#include "gateway/place_matching.h"

#include <array>
#include <nlohmann/json.hpp>
#include <utility>

namespace corvella::gateway {

namespace {

using nlohmann::json;

constexpr std::array<std::string_view, 12> kDivisionWords = {"Республика",
                                                             "республика",
                                                             "автономный округ",
                                                             "автономная область",
                                                             "область",
                                                             "край",
                                                             "Край",
                                                             "Область",
                                                             "город федерального значения",
                                                             "г.",
                                                             "АО",
                                                             "Автономный округ"};

// Both names share at least this many letters, and neither goes on for more than this many.
constexpr std::size_t kMinCommonLetters = 5;
constexpr std::size_t kMaxEndingLetters = 4;

std::size_t Letters(std::string_view s) {
  std::size_t n = 0;
  for (char c : s) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

// The region's own name: division words removed, then its first word.
std::string RegionStem(std::string_view region) {
  std::string s(region);
  for (std::string_view w : kDivisionWords) {
    for (std::size_t at; (at = s.find(w)) != std::string::npos;) s.erase(at, w.size());
  }
  std::size_t start = s.find_first_not_of(" ");
  if (start == std::string::npos) return {};
  std::size_t end = s.find(' ', start);
  return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// "ё" and "е" are the same letter in place names.
std::string FoldYo(std::string_view s) {
  std::string out(s);
  for (std::size_t at; (at = out.find("ё")) != std::string::npos;) out.replace(at, 2, "е");
  for (std::size_t at; (at = out.find("Ё")) != std::string::npos;) out.replace(at, 2, "Е");
  return out;
}

const GeocodeResult* MostPopulous(const std::vector<const GeocodeResult*>& rs) {
  const GeocodeResult* best = nullptr;
  for (const GeocodeResult* r : rs) {
    if (!best || r->population > best->population) best = r;
  }
  return best;
}

constexpr std::array<std::pair<std::string_view, std::string_view>, 85> kCentres = {{
    {"Адыгея", "Майкоп"},
    {"Алтай", "Горно-Алтайск"},
    {"Алтайский край", "Барнаул"},
    {"Амурская область", "Благовещенск"},
    {"Архангельская область", "Архангельск"},
    {"Астраханская область", "Астрахань"},
    {"Башкортостан", "Уфа"},
    {"Белгородская область", "Белгород"},
    {"Брянская область", "Брянск"},
    {"Бурятия", "Улан-Удэ"},
    {"Владимирская область", "Владимир"},
    {"Волгоградская область", "Волгоград"},
    {"Вологодская область", "Вологда"},
    {"Воронежская область", "Воронеж"},
    {"Дагестан", "Махачкала"},
    {"Еврейская автономная область", "Биробиджан"},
    {"Забайкальский край", "Чита"},
    {"Ивановская область", "Иваново"},
    {"Ингушетия", "Магас"},
    {"Иркутская область", "Иркутск"},
    {"Кабардино-Балкария", "Нальчик"},
    {"Калининградская область", "Калининград"},
    {"Калмыкия", "Элиста"},
    {"Калужская область", "Калуга"},
    {"Камчатский край", "Петропавловск-Камчатский"},
    {"Карачаево-Черкессия", "Черкесск"},
    {"Карелия", "Петрозаводск"},
    {"Кемеровская область", "Кемерово"},
    {"Кировская область", "Киров"},
    {"Коми", "Сыктывкар"},
    {"Костромская область", "Кострома"},
    {"Краснодарский край", "Краснодар"},
    {"Красноярский край", "Красноярск"},
    {"Крым", "Симферополь"},
    {"Курганская область", "Курган"},
    {"Курская область", "Курск"},
    {"Ленинградская область", "Гатчина"},
    {"Липецкая область", "Липецк"},
    {"Магаданская область", "Магадан"},
    {"Марий Эл", "Йошкар-Ола"},
    {"Мордовия", "Саранск"},
    {"Москва", "Москва"},
    {"Московская область", "Красногорск"},
    {"Мурманская область", "Мурманск"},
    {"Ненецкий автономный округ", "Нарьян-Мар"},
    {"Нижегородская область", "Нижний Новгород"},
    {"Новгородская область", "Великий Новгород"},
    {"Новосибирская область", "Новосибирск"},
    {"Омская область", "Омск"},
    {"Оренбургская область", "Оренбург"},
    {"Орловская область", "Орёл"},
    {"Пензенская область", "Пенза"},
    {"Пермский край", "Пермь"},
    {"Приморский край", "Владивосток"},
    {"Псковская область", "Псков"},
    {"Ростовская область", "Ростов-на-Дону"},
    {"Рязанская область", "Рязань"},
    {"Самарская область", "Самара"},
    {"Санкт-Петербург", "Санкт-Петербург"},
    {"Саратовская область", "Саратов"},
    {"Саха (Якутия)", "Якутск"},
    {"Сахалинская область", "Южно-Сахалинск"},
    {"Свердловская область", "Екатеринбург"},
    {"Севастополь", "Севастополь"},
    {"Северная Осетия-Алания", "Владикавказ"},
    {"Смоленская область", "Смоленск"},
    {"Ставропольский край", "Ставрополь"},
    {"Тамбовская область", "Тамбов"},
    {"Татарстан", "Казань"},
    {"Тверская область", "Тверь"},
    {"Томская область", "Томск"},
    {"Тульская область", "Тула"},
    {"Тыва", "Кызыл"},
    {"Тюменская область", "Тюмень"},
    {"Удмуртия", "Ижевск"},
    {"Ульяновская область", "Ульяновск"},
    {"Хабаровский край", "Хабаровск"},
    {"Хакасия", "Абакан"},
    {"Ханты-Мансийский автономный округ", "Ханты-Мансийск"},
    {"Челябинская область", "Челябинск"},
    {"Чеченская республика", "Грозный"},
    {"Чувашия", "Чебоксары"},
    {"Чукотский автономный округ", "Анадырь"},
    {"Ямало-Ненецкий автономный округ", "Салехард"},
    {"Ярославская область", "Ярославль"},
}};

}  // namespace

std::optional<std::vector<GeocodeResult>> ReadGeocodeReply(std::string_view body, std::string& error) {
  json doc = json::parse(body.begin(), body.end(), nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) {
    error = "geocoding reply is not a JSON object";
    return std::nullopt;
  }
  if (doc.contains("error")) {
    error = "geocoding error: " +
            (doc.value("reason", json()).is_string() ? doc["reason"].get<std::string>() : "");
    return std::nullopt;
  }
  std::vector<GeocodeResult> out;
  auto results = doc.find("results");
  if (results == doc.end()) return out;
  if (!results->is_array()) {
    error = "geocoding results are not a list";
    return std::nullopt;
  }
  for (const json& r : *results) {
    if (!r.is_object()) continue;
    auto str = [&](const char* key) {
      auto it = r.find(key);
      return it != r.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    auto lat = r.find("latitude"), lon = r.find("longitude"), pop = r.find("population");
    if (lat == r.end() || lon == r.end() || !lat->is_number() || !lon->is_number()) continue;
    GeocodeResult g{str("name"),
                    str("admin1"),
                    str("country_code"),
                    pop != r.end() && pop->is_number_integer() ? pop->get<std::int64_t>() : 0,
                    {lat->get<double>(), lon->get<double>()}};
    if (g.at.latitude < -90 || g.at.latitude > 90 || g.at.longitude < -180 || g.at.longitude > 180) continue;
    out.push_back(std::move(g));
  }
  return out;
}

bool SameRegion(std::string_view catalogueRegion, std::string_view admin1) {
  std::string a = RegionStem(catalogueRegion), b = RegionStem(admin1);
  if (a.empty() || b.empty()) return false;
  if (a == b) return true;
  std::size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  while (common > 0 && common < a.size() && (static_cast<unsigned char>(a[common]) & 0xC0) == 0x80)
    --common;  // whole letters
  std::size_t shared = Letters(std::string_view(a).substr(0, common));
  return shared >= kMinCommonLetters && Letters(std::string_view(a).substr(common)) <= kMaxEndingLetters &&
         Letters(std::string_view(b).substr(common)) <= kMaxEndingLetters;
}

std::optional<PlaceChoice> ChoosePlace(const std::vector<GeocodeResult>& results, std::string_view name,
                                       std::string_view region) {
  const std::string wanted = FoldYo(name);
  std::vector<const GeocodeResult*> inRegion, inCountry;
  for (const GeocodeResult& r : results) {
    if (r.countryCode != "RU" || FoldYo(r.name) != wanted) continue;
    inCountry.push_back(&r);
    if (SameRegion(region, r.admin1)) inRegion.push_back(&r);
  }
  const GeocodeResult* best = MostPopulous(inRegion.empty() ? inCountry : inRegion);
  if (!best) return std::nullopt;
  return PlaceChoice{best->at, !inRegion.empty()};
}

std::optional<std::string_view> RegionCentre(std::string_view region) {
  for (const auto& [r, centre] : kCentres) {
    if (r == region) return centre;
  }
  return std::nullopt;
}

}  // namespace corvella::gateway

// The location catalogue the client ships ("Region, Place;feed id" per line, UTF-8), read by
// feed id: the gateway serves exactly the places the client can ask for.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvella::gateway {

struct CataloguePlace {
  std::string feedId;
  std::string region;  // "Тверская область"
  std::string name;    // "Ржев"
};

class PlaceCatalogue {
 public:
  // Lines without ";" or ", ", or with an id that is not all digits, are skipped; the first
  // line of a repeated id wins.
  static PlaceCatalogue FromText(std::string_view utf8);

  const CataloguePlace* Find(std::string_view feedId) const;
  const std::vector<CataloguePlace>& places() const { return places_; }

 private:
  std::vector<CataloguePlace> places_;
  std::unordered_map<std::string, std::size_t> byId_;
};

// A feed id as the catalogue writes one: 1 to 12 digits.
bool IsFeedId(std::string_view s);

}  // namespace corvella::gateway

#include "gateway/place_catalogue.h"

namespace corvella::gateway {

bool IsFeedId(std::string_view s) {
  if (s.empty() || s.size() > 12) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

PlaceCatalogue PlaceCatalogue::FromText(std::string_view utf8) {
  PlaceCatalogue c;
  while (!utf8.empty()) {
    std::size_t end = utf8.find('\n');
    std::string_view line = utf8.substr(0, end);
    utf8 = end == std::string_view::npos ? std::string_view() : utf8.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t semi = line.find(';');
    if (semi == std::string_view::npos) continue;
    std::string_view text = line.substr(0, semi), id = line.substr(semi + 1);
    std::size_t comma = text.find(", ");
    if (comma == std::string_view::npos || !IsFeedId(id) || c.byId_.count(std::string(id))) continue;
    c.byId_.emplace(std::string(id), c.places_.size());
    c.places_.push_back(
        {std::string(id), std::string(text.substr(0, comma)), std::string(text.substr(comma + 2))});
  }
  return c;
}

const CataloguePlace* PlaceCatalogue::Find(std::string_view feedId) const {
  auto it = byId_.find(std::string(feedId));
  return it == byId_.end() ? nullptr : &places_[it->second];
}

}  // namespace corvella::gateway

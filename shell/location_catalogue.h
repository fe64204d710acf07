// The location catalogue: 25,311 settlements, each a region and place name and the weather
// feed's id of that place. Rows keep the order of the embedded data file: a stored choice is a
// row index, so the rows are never sorted.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvella {

// One row "Region, Place;ID". Texts are Windows-1251, held by the catalogue the entry comes
// from (the catalogue stays for the whole run, and its copies share the same text).
struct LocationEntry {
  std::string_view displayText;  // before the row's first ";": what the location list shows
  std::string_view feedId;       // after the first ";": the feed's id, passed on as text
  std::string_view region;       // displayText split at its first ", "
  std::string_view place;        // may itself contain ", "
};

inline constexpr std::string_view kListIndexOutOfBoundsError = "List index out of bounds (%d)";

class LocationCatalogue {
 public:
  // One row per line of the UTF-8 data ("\n" or "\r\n"), in order. A line without ";" is a row
  // with empty texts. Malformed UTF-8 (overlong forms included) and characters that Windows-1251
  // lacks become "?".
  static LocationCatalogue FromBytes(std::string_view utf8);

  std::size_t size() const { return entries_.size(); }
  const LocationEntry& operator[](std::size_t i) const { return entries_[i]; }
  const std::vector<LocationEntry>& entries() const { return entries_; }

  // The feed id of row `locationIndex`. An index outside the catalogue selects no row in the
  // location list, so it fails as the empty selection does: "List index out of bounds (-1)".
  std::string FeedIdAt(int locationIndex) const;

  // The location list's hint: the number of rows and " населённых пунктов".
  std::string ListHint() const;

 private:
  // All rows decoded, in pieces of whole lines; the entries point into them.
  std::shared_ptr<const std::vector<std::unique_ptr<char[]>>> text_;
  std::vector<LocationEntry> entries_;
};

// The catalogue data embedded in the program (data/locations.txt, UTF-8). Empty when the data is
// missing from the executable.
std::string_view CatalogueBytes();

}  // namespace corvella

// The location catalogue: 25,311 settlements, each a region and place name and the weather
// feed's id of that place. Rows keep the order of the embedded data file: a stored choice is a
// row index, so the rows are never sorted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvella {

// One row "Region, Place;ID", decoded to Windows-1251 when it is asked for.
struct LocationEntry {
  std::string displayText;  // before the row's first ";": what the location list shows
  std::string feedId;       // after the first ";": the feed's id, passed on as text
  std::string region;       // displayText split at its first ", "
  std::string place;        // may itself contain ", "
};

inline constexpr std::string_view kListIndexOutOfBoundsError = "List index out of bounds (%d)";

// The rows stay as the UTF-8 bytes they came in, with the offset where each row starts: a row is
// decoded only when it is asked for, so the program holds no second copy of the whole list. The
// offsets are found as far as rows are asked for, so that bytes past the chosen row are not read
// (nor, for the embedded data, brought into memory) until the whole list is wanted. One thread.
class LocationCatalogue {
 public:
  // One row per line of the UTF-8 data ("\n" or "\r\n"), in order. A line without ";" is a row
  // with empty texts. Malformed UTF-8 (overlong forms included) and characters that Windows-1251
  // lacks become "?". The catalogue keeps a copy of the bytes, shared by its copies.
  static LocationCatalogue FromBytes(std::string_view utf8);
  // The catalogue over `utf8` (not copied) with the table of its row starts that
  // tools/build/catalogue_rows.py writes: a row is found without reading the rows before it. A
  // table whose first or last start does not fit the data is set aside at once, one with a start
  // inside a row when that row is read; the rows are then found by reading.
  static LocationCatalogue WithRowStarts(std::string_view utf8, std::string_view rowStarts);
  // The catalogue embedded in the program, over its bytes where they are (no copy), with its
  // table of row starts where the program has one.
  static LocationCatalogue Embedded();

  // All rows: reads the data to its end.
  std::size_t size() const;
  // Whether there is a row `i`: reads the data only that far.
  bool Contains(std::size_t i) const;
  // Row `i`; a row past the last has empty texts.
  LocationEntry operator[](std::size_t i) const;
  // What the location list shows for row `i`.
  std::string DisplayTextAt(std::size_t i) const;

  // The feed id of row `locationIndex`. An index outside the catalogue selects no row in the
  // location list, so it fails as the empty selection does: "List index out of bounds (-1)".
  std::string FeedIdAt(int locationIndex) const;

  // The location list's hint: the number of rows and " населённых пунктов".
  std::string ListHint() const;

 private:
  static LocationCatalogue Over(std::string_view utf8);
  // Row `i` as it is in the data, without its line end; empty past the last row.
  std::string_view RawRow(std::size_t i) const;
  // Row `i`'s start and end from the table, checked against the data; false (and the table set
  // aside) when they do not fit it.
  bool TableRow(std::size_t i, std::size_t& start, std::size_t& end) const;
  std::size_t TableRows() const { return table_.size() / 4 - 1; }
  std::size_t TableAt(std::size_t k) const;

  std::shared_ptr<const std::string> owned_;    // the bytes, when they were copied
  std::string_view bytes_;                      // without a byte-order mark
  mutable std::vector<std::uint32_t> starts_;   // the offset of each row in bytes_ found so far
  mutable std::size_t scanned_ = 0;             // where the next row starts in bytes_
  mutable std::string_view table_;              // the row starts' table, while it fits
};

// The catalogue data embedded in the program (data/locations.txt, UTF-8). Empty when the data is
// missing from the executable.
std::string_view CatalogueBytes();
// The table of its row starts embedded beside it; empty where the program has none.
std::string_view CatalogueRowStarts();

}  // namespace corvella

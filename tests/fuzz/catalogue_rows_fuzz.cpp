// The catalogue loader on any bytes must read exactly what the plain reading gives: split the
// text into lines, each line at its first ";" and its first ", ", and decode each part one
// character at a time. The loader takes shortcuts (a region equal to the row before is not
// decoded again, two-byte characters come from a table) that must not show.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/cp1251.h"
#include "common/error.h"
#include "shell/location_catalogue.h"

namespace {

// A bad sequence is one '?': a stray byte, a lead byte with the continuation bytes that follow
// it before it is cut short, or a complete sequence that is overlong, a surrogate or too large.
std::string Decode(std::string_view in) {
  std::string out;
  for (std::size_t i = 0; i < in.size();) {
    unsigned char lead = static_cast<unsigned char>(in[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    std::size_t length = lead < 0xC0 || lead >= 0xF8 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    std::size_t got = 1;
    while (got < length && i + got < in.size() && (static_cast<unsigned char>(in[i + got]) & 0xC0) == 0x80)
      ++got;
    if (length == 1 || got < length) {
      out += '?';
      i += got;
      continue;
    }
    char32_t cp = lead & (0xFFu >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) cp = cp << 6 | (static_cast<unsigned char>(in[i + k]) & 0x3Fu);
    const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    bool valid = cp >= shortest[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    int b = valid ? corvella::UnicodeToCp1251(cp) : -1;
    out += b < 0 ? '?' : static_cast<char>(b);
    i += length;
  }
  return out;
}

struct PlainRow {
  std::string displayText, feedId, region, place;
};

std::vector<PlainRow> PlainReading(std::string_view rest) {
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
  std::vector<PlainRow> rows;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    PlainRow& row = rows.emplace_back();
    std::size_t semicolon = line.find(';');
    if (semicolon == std::string_view::npos) continue;
    std::string_view display = line.substr(0, semicolon);
    row.displayText = Decode(display);
    row.feedId = Decode(line.substr(semicolon + 1));
    std::size_t comma = display.find(", ");
    row.region = Decode(display.substr(0, comma));
    if (comma != std::string_view::npos) row.place = Decode(display.substr(comma + 2));
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  corvella::LocationCatalogue catalogue = corvella::LocationCatalogue::FromBytes(bytes);
  std::vector<PlainRow> expected = PlainReading(bytes);
  if (catalogue.size() != expected.size()) std::abort();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const corvella::LocationEntry& got = catalogue[i];
    const PlainRow& want = expected[i];
    if (got.displayText != want.displayText || catalogue.DisplayTextAt(i) != want.displayText ||
        got.feedId != want.feedId || got.region != want.region ||
        got.place != want.place) {
      std::abort();
    }
  }
  for (int index : {-1, 0, static_cast<int>(catalogue.size())}) {
    bool inside = index >= 0 && static_cast<std::size_t>(index) < expected.size();
    try {
      std::string id = catalogue.FeedIdAt(index);
      if (!inside || id != expected[static_cast<std::size_t>(index)].feedId) std::abort();
    } catch (const corvella::Error&) {
      if (inside) std::abort();
    }
  }
  return 0;
}

#include "shell/location_catalogue.h"

#include <array>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/text_literal.h"

namespace corvella {
namespace {

// Windows-1251 bytes of the two-byte code points U+0080..U+07FF, which cover every letter of the
// catalogue: such a sequence then costs one look-up.
constexpr std::array<char, 0x800> kTwoByte = [] {
  std::array<char, 0x800> table{};
  for (char32_t cp = 0x80; cp < 0x800; ++cp) {
    int b = UnicodeToCp1251(cp);
    table[cp] = static_cast<char>(b < 0 ? '?' : b);
  }
  return table;
}();

// The smallest code point that needs a sequence of 1 + index continuation bytes.
constexpr std::array<char32_t, 4> kShortestForm = {0, 0x80, 0x800, 0x10000};

// Lenient UTF-8 to Windows-1251 into `out`, which holds at least in.size() bytes; returns the
// length written, and where the first ";" went in `semicolon` (npos when none). A character the
// code page lacks becomes '?'; so does a bad sequence: a stray or invalid byte, a lead byte with
// its continuation bytes up to the first byte that does not continue it, or a complete sequence
// that is overlong, a surrogate or past U+10FFFF. No ASCII byte is swallowed by a bad sequence,
// and none is made from a longer one, so the ASCII separators split a row the same before and
// after decoding.
std::size_t DecodeInto(std::string_view in, char* out, std::size_t& semicolon) {
  semicolon = std::string_view::npos;
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const std::size_t n = in.size();
  char* o = out;
  std::size_t i = 0;
  while (i < n) {
    unsigned lead = p[i];
    if (lead < 0x80) {
      if (lead == ';' && semicolon == std::string_view::npos) semicolon = static_cast<std::size_t>(o - out);
      *o++ = static_cast<char>(lead);
      ++i;
      continue;
    }
    unsigned next = i + 1 < n ? p[i + 1] : 0;
    if (lead - 0xC2u < 0x1Eu && (next & 0xC0u) == 0x80u) {
      *o++ = kTwoByte[(lead & 0x1Fu) << 6 | (next & 0x3Fu)];
      i += 2;
      continue;
    }
    std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    bool ok = lead >= 0xC0 && lead < 0xF8;
    char32_t cp = lead & (0x3Fu >> extra);
    std::size_t j = 1;
    for (; ok && j <= extra; ++j) {
      if (i + j >= n || (p[i + j] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (p[i + j] & 0x3Fu);
    }
    int b = ok && cp >= kShortestForm[extra] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF)
                ? UnicodeToCp1251(cp)
                : -1;
    *o++ = b < 0 ? '?' : static_cast<char>(b);
    i += ok ? extra + 1 : j;
  }
  return static_cast<std::size_t>(o - out);
}

// Rows come grouped by region, so a row's region is nearly always the one of the row before:
// its UTF-8 text (with the ", " after it) is then compared, not decoded again. The decoded
// region and ", " stay at the front of the buffer, and the rest of the row is decoded after
// them, so the display text is one piece.
class RowReader {
 public:
  LocationEntry Read(std::string_view row) {
    if (regionUtf8_.empty() || !row.starts_with(regionUtf8_)) StartRegion(row);
    std::size_t room = prefix_ + row.size() - regionUtf8_.size();
    if (buffer_.size() < room) buffer_.resize(room);
    std::size_t semicolon = 0;
    std::size_t length =
        prefix_ + DecodeInto(row.substr(regionUtf8_.size()), buffer_.data() + prefix_, semicolon);
    if (semicolon == std::string_view::npos) return {};  // a row without ";" is empty
    std::string_view text(buffer_.data(), length);
    std::string_view display = text.substr(0, prefix_ + semicolon);
    std::string_view feedId = text.substr(display.size() + 1);
    if (regionUtf8_.empty())
      return LocationEntry{std::string(display), std::string(feedId), std::string(display), {}};
    return LocationEntry{std::string(display), std::string(feedId), std::string(text.substr(0, prefix_ - 2)),
                         std::string(display.substr(prefix_))};
  }

 private:
  // A new region: its name ends at the first ", " before the first ";". Without one, the whole
  // display text is the region.
  void StartRegion(std::string_view row) {
    std::size_t comma = row.substr(0, row.find(';')).find(", ");
    if (comma == std::string_view::npos) {
      regionUtf8_ = {};
      prefix_ = 0;
      return;
    }
    regionUtf8_ = row.substr(0, comma + 2);
    if (buffer_.size() < regionUtf8_.size()) buffer_.resize(regionUtf8_.size());
    std::size_t unused = 0;
    prefix_ = DecodeInto(regionUtf8_, buffer_.data(), unused);
  }

  std::string_view regionUtf8_;  // the current region and ", ", as UTF-8
  std::size_t prefix_ = 0;       // and its length decoded, at the front of buffer_
  std::string buffer_;
};

}  // namespace

LocationCatalogue LocationCatalogue::FromBytes(std::string_view utf8) {
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  LocationCatalogue catalogue;
  // The catalogue stays for the whole run: room for exactly its rows.
  std::size_t rows = 0;
  for (std::size_t at = 0; at < utf8.size(); ++rows) {
    std::size_t end = utf8.find('\n', at);
    at = end == std::string_view::npos ? utf8.size() : end + 1;
  }
  catalogue.entries_.reserve(rows);
  RowReader reader;
  while (!utf8.empty()) {
    std::size_t end = utf8.find('\n');
    std::string_view line = utf8.substr(0, end);
    utf8.remove_prefix(end == std::string_view::npos ? utf8.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    catalogue.entries_.push_back(reader.Read(line));
  }
  return catalogue;
}

std::string LocationCatalogue::FeedIdAt(int locationIndex) const {
  if (locationIndex < 0 || static_cast<std::size_t>(locationIndex) >= entries_.size()) {
    throw Error(FillMessage(kListIndexOutOfBoundsError, -1));
  }
  return entries_[static_cast<std::size_t>(locationIndex)].feedId;
}

std::string LocationCatalogue::ListHint() const {
  return std::to_string(entries_.size()) + std::string(" населённых пунктов"_cp);
}

}  // namespace corvella

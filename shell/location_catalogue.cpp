#include "shell/location_catalogue.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/text_literal.h"
#include "common/utf8_cp1251.h"

namespace corvella {
namespace {

// Lenient UTF-8 to Windows-1251 into `out`, which holds at least in.size() bytes; returns the
// length written. A character the code page lacks becomes '?'; so does a bad sequence. No ASCII
// byte is swallowed by a bad sequence, and none is made from a longer one, so the line ends and
// separators split the rows the same before and after decoding.
std::size_t DecodeInto(std::string_view in, char* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  return utf8_cp1251::DecodeInto<utf8_cp1251::BadInput::QuestionMark>(p, p + in.size(), out);
}

std::string Decode(std::string_view utf8) {
  std::string out(utf8.size(), '\0');  // decoding never lengthens the text
  out.resize(DecodeInto(utf8, out.data()));
  return out;
}

// Lines in `bytes`, a word at a time: the exact room for the catalogue's rows.
std::size_t CountLines(std::string_view bytes) {
  std::size_t lines = 0;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, bytes.data() + i, 8);
    std::uint64_t x = w ^ 0x0A0A0A0A0A0A0A0Aull;  // a zero byte where there was a line feed
    // High bit of each byte set unless the byte is zero; then one per zero byte, summed.
    std::uint64_t nonzero = ((x & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full) | x;
    std::uint64_t ones = (~nonzero & 0x8080808080808080ull) >> 7;
    lines += static_cast<std::size_t>((ones * 0x0101010101010101ull) >> 56);
  }
  for (; i < bytes.size(); ++i) lines += bytes[i] == '\n';
  return lines + (bytes.empty() || bytes.back() == '\n' ? 0 : 1);
}

}  // namespace

LocationCatalogue LocationCatalogue::FromBytes(std::string_view utf8) {
  auto owned = std::make_shared<const std::string>(utf8);
  LocationCatalogue catalogue = Over(*owned);
  catalogue.owned_ = std::move(owned);
  return catalogue;
}

LocationCatalogue LocationCatalogue::Embedded() { return WithRowStarts(CatalogueBytes(), CatalogueRowStarts()); }

LocationCatalogue LocationCatalogue::WithRowStarts(std::string_view utf8, std::string_view rowStarts) {
  LocationCatalogue catalogue = Over(utf8);
  catalogue.table_ = rowStarts;
  // A first row at 0 and an end at the data's end; each row is checked when it is read.
  if (rowStarts.size() < 4 || rowStarts.size() % 4 != 0 || catalogue.TableAt(0) != 0 ||
      catalogue.TableAt(catalogue.TableRows()) != catalogue.bytes_.size())
    catalogue.table_ = {};
  return catalogue;
}

std::size_t LocationCatalogue::TableAt(std::size_t k) const {
  const auto* p = reinterpret_cast<const unsigned char*>(table_.data()) + 4 * k;
  return std::size_t{p[0]} | std::size_t{p[1]} << 8 | std::size_t{p[2]} << 16 | std::size_t{p[3]} << 24;
}

bool LocationCatalogue::TableRow(std::size_t i, std::size_t& start, std::size_t& end) const {
  start = TableAt(i);
  end = TableAt(i + 1);
  // A row is its bytes up to and with its line end: it follows one, and holds one only at its end.
  const bool fits = start < end && end <= bytes_.size() && (start == 0 || bytes_[start - 1] == '\n') &&
                    std::memchr(bytes_.data() + start, '\n', end - start - 1) == nullptr &&
                    (end == bytes_.size() || bytes_[end - 1] == '\n');
  if (!fits) table_ = {};
  return fits;
}

LocationCatalogue LocationCatalogue::Over(std::string_view utf8) {
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  // Offsets are 32 bits: data past 4 GiB (never the program's own) is left out.
  if (utf8.size() > UINT32_MAX) utf8 = utf8.substr(0, UINT32_MAX);
  LocationCatalogue catalogue;
  catalogue.bytes_ = utf8;
  return catalogue;
}

bool LocationCatalogue::Contains(std::size_t i) const {
  if (!table_.empty()) return i < TableRows();
  while (starts_.size() <= i && scanned_ < bytes_.size()) {
    starts_.push_back(static_cast<std::uint32_t>(scanned_));
    const void* nl = std::memchr(bytes_.data() + scanned_, '\n', bytes_.size() - scanned_);
    scanned_ = nl == nullptr ? bytes_.size() : static_cast<std::size_t>(static_cast<const char*>(nl) - bytes_.data()) + 1;
  }
  return i < starts_.size();
}

std::size_t LocationCatalogue::size() const {
  if (!table_.empty()) return TableRows();
  if (scanned_ < bytes_.size()) {
    starts_.reserve(starts_.size() + CountLines(bytes_.substr(scanned_)));
    Contains(SIZE_MAX - 1);
  }
  return starts_.size();
}

std::string_view LocationCatalogue::RawRow(std::size_t i) const {
  if (!Contains(i)) return {};  // no row: empty texts
  std::size_t start = 0, end = 0;
  if (table_.empty() || !TableRow(i, start, end)) {
    if (!Contains(i)) return {};
    // The next row's start, when there is one, is where this row ends.
    start = starts_[i];
    end = Contains(i + 1) ? starts_[i + 1] : bytes_.size();
  }
  std::string_view row = bytes_.substr(start, end - start);
  if (row.ends_with('\n')) row.remove_suffix(1);
  if (row.ends_with('\r')) row.remove_suffix(1);
  return row;
}

// Taken apart in the UTF-8 bytes: ";" and ", " are ASCII, which no sequence of the decoder
// swallows or makes, so the parts are those of the decoded row.
LocationEntry LocationCatalogue::operator[](std::size_t i) const {
  const std::string_view row = RawRow(i);
  const std::size_t semicolon = row.find(';');
  if (semicolon == std::string_view::npos) return {};  // a row without ";" is empty
  const std::string_view display = row.substr(0, semicolon);
  const std::size_t comma = display.find(", ");
  LocationEntry entry{Decode(display), Decode(row.substr(semicolon + 1)), Decode(display.substr(0, comma)), {}};
  if (comma != std::string_view::npos) entry.place = Decode(display.substr(comma + 2));
  return entry;
}

std::string LocationCatalogue::DisplayTextAt(std::size_t i) const {
  const std::string_view row = RawRow(i);
  const std::size_t semicolon = row.find(';');
  return semicolon == std::string_view::npos ? std::string() : Decode(row.substr(0, semicolon));
}

std::string LocationCatalogue::FeedIdAt(int locationIndex) const {
  if (locationIndex < 0 || !Contains(static_cast<std::size_t>(locationIndex))) {
    throw Error(FillMessage(kListIndexOutOfBoundsError, -1));
  }
  const std::string_view row = RawRow(static_cast<std::size_t>(locationIndex));
  const std::size_t semicolon = row.find(';');
  return semicolon == std::string_view::npos ? std::string() : Decode(row.substr(semicolon + 1));
}

std::string LocationCatalogue::ListHint() const {
  return std::to_string(size()) + std::string(" населённых пунктов"_cp);
}

}  // namespace corvella

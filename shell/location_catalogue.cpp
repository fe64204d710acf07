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

// Two-byte sequences by their 11 payload bits. The overlong forms (leads C0 and C1, payload
// below 0x80) are bad sequences and give '?', so the hot loop needs no range test.
constexpr std::array<char, 0x800> kTwoByteLetters = [] {
  std::array<char, 0x800> table = utf8_cp1251::kBelow800;
  for (std::size_t cp = 0; cp < 0x80; ++cp) table[cp] = '?';
  return table;
}();

// Lenient UTF-8 to Windows-1251 into `out`, which holds at least in.size() bytes; returns the
// length written. A character the code page lacks becomes '?'; so does a bad sequence: a stray
// or invalid byte, a lead byte with its continuation bytes up to the first byte that does not
// continue it, or a complete sequence that is overlong, a surrogate or past U+10FFFF. No ASCII
// byte is swallowed by a bad sequence, and none is made from a longer one, so the line ends and
// separators split the rows the same before and after decoding.
std::size_t DecodeInto(std::string_view in, char* out) {
  using namespace utf8_cp1251;
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const auto* const end = p + in.size();
  char* o = out;
  while (p < end) {
    std::size_t ascii = CopyAscii(p, end, o);
    p += ascii;
    o += ascii;
    // The letters: two-byte sequences, two at a time while they last, one look-up each.
    while (end - p >= 4) {
      std::uint32_t w;
      std::memcpy(&w, p, 4);
      if ((w & 0xC0E0C0E0u) != 0x80C080C0u) break;
      o[0] = kTwoByteLetters[(w & 0x1Fu) << 6 | (w >> 8 & 0x3Fu)];
      o[1] = kTwoByteLetters[(w >> 16 & 0x1Fu) << 6 | (w >> 24 & 0x3Fu)];
      o += 2;
      p += 4;
    }
    while (end - p >= 2 && (p[0] & 0xE0u) == 0xC0u && IsFollower(p[1])) {
      *o++ = kTwoByteLetters[(p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu)];
      p += 2;
    }
    if (p == end || *p < 0x80) continue;
    const unsigned char lead = *p;
    const std::size_t length = lead >= 0xF8 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t k = 1;
    while (k < length && p + k < end && IsFollower(p[k])) ++k;
    long cp = k == length && length > 1 && lead < 0xF8 ? DecodeChecked(p, length) : -1;
    *o++ = cp < 0 ? '?' : FromCodePoint(static_cast<char32_t>(cp));
    p += k;
  }
  return static_cast<std::size_t>(o - out);
}

// A decoded row "Region, Place;ID" taken apart at its first ";" and the first ", " before it.
LocationEntry SplitRow(std::string_view row) {
  std::size_t semicolon = row.find(';');
  if (semicolon == std::string_view::npos) return {};  // a row without ";" is empty
  std::string_view display = row.substr(0, semicolon);
  std::size_t comma = display.find(", ");
  if (comma == std::string_view::npos) return {display, row.substr(semicolon + 1), display, {}};
  return {display, row.substr(semicolon + 1), display.substr(0, comma), display.substr(comma + 2)};
}

// Below glibc's default mmap threshold, so a piece is recycled rather than mapped anew.
constexpr std::size_t kTextPieceBytes = 64 * 1024;

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
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  LocationCatalogue catalogue;
  // The catalogue stays for the whole run: room for exactly its rows, and the decoded text
  // that they point into, in pieces of whole lines small enough for the allocator to keep
  // in its heap. Decoding never lengthens the text, and keeps every line end.
  catalogue.entries_.reserve(CountLines(utf8));
  auto pieces = std::make_shared<std::vector<std::unique_ptr<char[]>>>();
  pieces->reserve(utf8.size() / kTextPieceBytes + 1);
  while (!utf8.empty()) {
    std::size_t size = utf8.size();
    if (size > kTextPieceBytes) {
      std::size_t nl = utf8.rfind('\n', kTextPieceBytes - 1);
      if (nl == std::string_view::npos) nl = utf8.find('\n', kTextPieceBytes);  // one very long line
      size = nl == std::string_view::npos ? utf8.size() : nl + 1;
    }
    char* piece = pieces->emplace_back(std::make_unique_for_overwrite<char[]>(size)).get();
    std::string_view rest(piece, DecodeInto(utf8.substr(0, size), piece));
    utf8.remove_prefix(size);
    while (!rest.empty()) {
      const char* nl = static_cast<const char*>(std::memchr(rest.data(), '\n', rest.size()));
      std::size_t length = nl == nullptr ? rest.size() : static_cast<std::size_t>(nl - rest.data());
      std::string_view line = rest.substr(0, length);
      rest.remove_prefix(nl == nullptr ? length : length + 1);
      if (line.ends_with('\r')) line.remove_suffix(1);
      catalogue.entries_.push_back(SplitRow(line));
    }
  }
  catalogue.text_ = std::move(pieces);
  return catalogue;
}

std::string LocationCatalogue::FeedIdAt(int locationIndex) const {
  if (locationIndex < 0 || static_cast<std::size_t>(locationIndex) >= entries_.size()) {
    throw Error(FillMessage(kListIndexOutOfBoundsError, -1));
  }
  return std::string(entries_[static_cast<std::size_t>(locationIndex)].feedId);
}

std::string LocationCatalogue::ListHint() const {
  return std::to_string(entries_.size()) + std::string(" населённых пунктов"_cp);
}

}  // namespace corvella

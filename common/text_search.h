// The two cuts every extraction of the program is made of: the text after a marker and the
// text before one. Positions are 1-based as the extraction rules count them; an absent marker
// counts as position 0, which is what makes the cuts of an absent marker come out as they do.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvella {

// 1-based position of the first `marker` in `s`, 0 when absent. An empty marker is never found.
inline std::size_t TextPos(std::string_view s, std::string_view marker) {
  if (marker.empty()) return 0;
  std::size_t at = s.find(marker);
  return at == std::string_view::npos ? 0 : at + 1;
}

// The text after the first `marker` in `s`. When the marker is absent the result is `s`
// without its first (length of marker - 1) characters.
inline std::string TextAfter(std::string_view s, std::string_view marker) {
  // Signed arithmetic: the count may well be negative.
  long long count = static_cast<long long>(s.size()) - static_cast<long long>(TextPos(s, marker)) -
                    static_cast<long long>(marker.size()) + 1;
  if (count <= 0) return {};
  if (count >= static_cast<long long>(s.size())) return std::string(s);
  return std::string(s.substr(s.size() - static_cast<std::size_t>(count)));
}

// The text before the first `marker` in `s`; empty when it is absent or at the very start.
inline std::string TextBefore(std::string_view s, std::string_view marker) {
  std::size_t p = TextPos(s, marker);
  return p <= 1 ? std::string() : std::string(s.substr(0, p - 1));
}

// The value of an attribute in the tag that `tag` starts with: what follows `marker`
// (` name="`) up to the next quote, never past the tag's end. None when either is missing.
inline std::optional<std::string_view> AttributeInTag(std::string_view tag, std::string_view marker) {
  tag = tag.substr(0, tag.find('>'));
  const std::size_t at = tag.find(marker);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view value = tag.substr(at + marker.size());
  const std::size_t quote = value.find('"');
  if (quote == std::string_view::npos) return std::nullopt;
  return value.substr(0, quote);
}

}  // namespace corvella

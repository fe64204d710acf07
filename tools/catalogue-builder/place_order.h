// The order of places within a region of the location catalogue: compare the names by Unicode
// code point after folding case and reading "ё" as "е"; names that fold alike are ordered by
// their unfolded code points. So a blank sorts before "-", "-" before digits, digits before
// Latin letters and those before Cyrillic ones. Names are UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvella {

// Code points of a UTF-8 text; nullopt when it is not well-formed UTF-8.
std::optional<std::u32string> DecodeUtf8(std::string_view utf8);

// Lower case for Latin and Cyrillic letters, with "ё" (either case) as "е".
char32_t FoldForOrder(char32_t c);
std::u32string FoldForOrder(std::u32string_view text);

// Negative, zero or positive as `a` sorts before, with or after `b`.
int ComparePlaces(std::u32string_view a, std::u32string_view b);
// The same on UTF-8 names; a malformed name sorts by its bytes, after every well-formed one.
bool PlaceBefore(std::string_view a, std::string_view b);

// Characters (code points) of a well-formed UTF-8 text.
std::size_t CountUtf8Chars(std::string_view utf8);

}  // namespace corvella

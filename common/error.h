// Failures are exceptions that carry the text the program shows (Windows-1251).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace corvella {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// Puts `value` in place of the first "%s" or "%d" of `pattern`.
std::string FillMessage(std::string_view pattern, std::string_view value);
std::string FillMessage(std::string_view pattern, long long value);

// `what`, followed by the system's code for why it failed: GetLastError's, an HRESULT, a status.
Error ErrorWithCode(std::string_view what, long long code);

// The text of the application's error box: a "." follows a message whose last
// character has a higher code than ".".
std::string ErrorBoxText(std::string_view message);

}  // namespace corvella

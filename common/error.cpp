#include "common/error.h"

namespace corvella {

std::string FillMessage(std::string_view pattern, std::string_view value) {
  std::string out(pattern);
  for (std::size_t i = 0; i + 1 < out.size(); ++i) {
    if (out[i] == '%' && (out[i + 1] == 's' || out[i + 1] == 'd')) {
      out.replace(i, 2, value);
      break;
    }
  }
  return out;
}

std::string FillMessage(std::string_view pattern, long long value) {
  return FillMessage(pattern, std::to_string(value));
}

std::string ErrorBoxText(std::string_view message) {
  std::string out(message);
  if (!out.empty() && static_cast<unsigned char>(out.back()) > static_cast<unsigned char>('.')) out += '.';
  return out;
}

Error ErrorWithCode(std::string_view what, long long code) {
  return Error(std::string(what) + FillMessage(" (error %d)", code));
}

}  // namespace corvella

#include "presentation/pin_hint.h"

#include <algorithm>

#include "common/text_literal.h"
#include "presentation/tray_texts.h"

namespace corvella {
namespace {

constexpr std::string_view kPinHint = "Перетащите значок на панель задач, чтобы температура всегда была видна."_cp;
constexpr std::size_t kGuidLength = 38;  // {8-4-4-4-12}

bool SamePath(std::wstring_view a, std::wstring_view b) {
  const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

}  // namespace

std::string_view PinHint() { return kPinHint; }

std::string WithPinHint(std::string_view text) {
  while (!text.empty() && text.size() + 1 + kPinHint.size() > kBalloonTextLength) {
    const std::size_t lineEnd = text.rfind('\r');
    text = lineEnd == std::string_view::npos ? std::string_view() : text.substr(0, lineEnd);
  }
  if (text.empty()) return std::string(kPinHint);
  std::string out(text);
  out += '\r';
  out += kPinHint;
  return out;
}

bool SameProgram(std::wstring_view recorded, std::wstring_view own, const KnownFolderLookup& folder) {
  if (SamePath(recorded, own)) return true;
  if (recorded.size() <= kGuidLength || recorded[0] != L'{' || recorded[kGuidLength - 1] != L'}' ||
      recorded[kGuidLength] != L'\\' || !folder)
    return false;
  const std::optional<std::wstring> path = folder(recorded.substr(0, kGuidLength));
  return path && !path->empty() && SamePath(*path + std::wstring(recorded.substr(kGuidLength)), own);
}

}  // namespace corvella

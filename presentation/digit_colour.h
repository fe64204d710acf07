// The colour of the temperature on the tray icon. Until the user picks one, the digits follow
// the taskbar: black on a light one, near-white on a dark one, the window text of a high-contrast
// scheme. A picked colour stays as picked; when it is nearly the taskbar's own tone, the digits
// get a one-pixel rim of the opposite tone so that they still read.
#pragma once

#include <cstdint>
#include <optional>

namespace corvella {

inline constexpr std::uint32_t kDigitBlack = 0x00000000;      // 0x00BBGGRR
inline constexpr std::uint32_t kDigitNearWhite = 0x00F8F8F8;  // the dialog's white

// What the notification area looks like, as far as the digits care.
struct TaskbarLook {
  // Windows' "SystemUsesLightTheme". Absent (Windows 7 and 8, Windows 10 before 1903, whose
  // taskbars are dark, Windows 7's glass too) means dark.
  bool light = false;
  std::optional<std::uint32_t> highContrastText;  // the scheme's window text, when one is on
  bool operator==(const TaskbarLook&) const = default;
};

struct DigitInk {
  std::uint32_t colour = kDigitBlack;
  std::optional<std::uint32_t> rim;  // the one-pixel outline's colour, when there is one
  bool operator==(const DigitInk&) const = default;
};

// `stored` is the user's colour, none while it has never been chosen.
DigitInk ChooseDigitInk(std::optional<std::uint32_t> stored, const TaskbarLook& look);

}  // namespace corvella

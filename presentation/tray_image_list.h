// The tray icon's image list: entry 0 (waiting) and 1 (weather) from the artwork, and once
// composed entry 2 (weather with the temperature) and 3 (the temperature alone). Every
// entry is a picture on fuchsia with a two-colour mask (black opaque, white transparent).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "presentation/tray_bitmap.h"
#include "presentation/tray_digits.h"

namespace corvella {

inline constexpr std::uint32_t kTrayBackground = 0x00FF00FF;  // fuchsia, nothing drawn
inline constexpr std::uint32_t kMaskOpaque = 0xFF000000;
inline constexpr std::uint32_t kMaskTransparent = 0xFFFFFFFF;

struct TrayEntry {
  TrayBitmap picture;
  TrayBitmap mask;
  bool operator==(const TrayEntry&) const = default;
};

// Picture and mask of a piece of artwork: pixels at least half opaque are opaque in the
// mask; fully transparent ones become the fuchsia background.
TrayEntry EntryFromArt(const TrayBitmap& art);

// The platform's text output: which pixels of a size x size picture a text covers when
// drawn at `at` in `face`, bold, on a transparent background. Row by row from the top.
class GlyphSource {
 public:
  virtual ~GlyphSource() = default;
  virtual std::vector<bool> Coverage(int size, std::string_view text, DigitPlacement at,
                                     const DigitFace& face) = 0;
};

// What PaintTrayDigits reads from the pass and the settings.
struct DigitsInput {
  std::string temperatureText;  // decides whether digits are drawn ("°" in it)
  std::string iconText;         // what is drawn
  bool digitsOnly = false;      // the effective "digits only" option
  std::uint32_t colour = 0;     // 0x00BBGGRR
  std::optional<std::uint32_t> rim;  // a one-pixel outline around the digits, in this colour
  bool operator==(const DigitsInput&) const = default;
};

class TrayImageList {
 public:
  static constexpr int kMaxEntries = 4;

  // Entries 0 and 1 from artwork of one size. Entries 2 and 3, when composed before, are
  // drawn again at the new size from the same input, so a scale change keeps them.
  void SetArt(const TrayBitmap& waiting, const TrayBitmap& weather, GlyphSource& glyphs);
  // Redraws entries 2 and 3 (appended on the first composition, replaced afterwards).
  void PaintTrayDigits(const DigitsInput& input, GlyphSource& glyphs);
  // Redraws entries 2 and 3 in another colour and rim, when they have been composed and the
  // colour or rim differs. Whether anything was redrawn.
  bool Recolour(std::uint32_t colour, std::optional<std::uint32_t> rim, GlyphSource& glyphs);

  int Count() const { return static_cast<int>(entries_.size()); }
  int size() const { return size_; }
  const TrayEntry& Entry(int index) const { return entries_[static_cast<std::size_t>(index)]; }
  // An index at or beyond the list selects the last entry; below 0 the first.
  int Clamp(int index) const;

 private:
  std::vector<TrayEntry> entries_;
  int size_ = 0;
  bool composed_ = false;
  DigitsInput lastInput_;
};

}  // namespace corvella

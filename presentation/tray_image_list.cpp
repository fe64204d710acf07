#include "presentation/tray_image_list.h"

#include <algorithm>

namespace corvella {
namespace {

constexpr char kDegree = '\xB0';  // "°" in Windows-1251

std::uint32_t ArgbOf(std::uint32_t colorref) {
  const std::uint32_t r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
  return 0xFF000000 | (r << 16) | (g << 8) | b;
}

// Glyph pixels take the digit colour in the picture and are opaque in the mask. The mask
// does not take the colour's nearest of black and white: a light colour (white is offered
// in the dialog) would punch the digits out of the icon and leave the digits-only picture
// empty.
// The rim, when asked for, takes every pixel left, right, above or below a glyph pixel that is
// not one itself. Diagonal neighbours stay out: at 16 pixels an eight-way rim fills the gaps
// inside and between the digits and reads as a label stuck on the picture, the four-way one as
// an outlined face.
void PaintText(TrayEntry& entry, const std::vector<bool>& covered, std::uint32_t colour,
               std::optional<std::uint32_t> rim) {
  const std::size_t n = std::min(covered.size(), entry.picture.pixels.size());
  const int size = entry.picture.size;
  auto coveredAt = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= size || y >= size) return false;
    const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x);
    return at < n && covered[at];
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (covered[i]) {
      entry.picture.pixels[i] = colour;
      entry.mask.pixels[i] = kMaskOpaque;
      continue;
    }
    if (!rim || size <= 0) continue;
    const int x = static_cast<int>(i % static_cast<std::size_t>(size));
    const int y = static_cast<int>(i / static_cast<std::size_t>(size));
    const bool beside = coveredAt(x - 1, y) || coveredAt(x + 1, y) || coveredAt(x, y - 1) || coveredAt(x, y + 1);
    if (!beside) continue;
    entry.picture.pixels[i] = ArgbOf(*rim);
    entry.mask.pixels[i] = kMaskOpaque;
  }
}

}  // namespace

TrayEntry EntryFromArt(const TrayBitmap& art) {
  TrayEntry entry{art, TrayBitmap(art.size, kMaskTransparent)};
  for (std::size_t i = 0; i < art.pixels.size(); ++i) {
    const std::uint32_t a = Alpha(art.pixels[i]);
    if (a == 0) entry.picture.pixels[i] = kTrayBackground;
    if (a >= 0x80) entry.mask.pixels[i] = kMaskOpaque;
  }
  return entry;
}

void TrayImageList::SetArt(const TrayBitmap& waiting, const TrayBitmap& weather, GlyphSource& glyphs) {
  size_ = weather.size;
  entries_.clear();
  entries_.push_back(EntryFromArt(waiting));
  entries_.push_back(EntryFromArt(weather));
  if (composed_) PaintTrayDigits(lastInput_, glyphs);
}

void TrayImageList::PaintTrayDigits(const DigitsInput& input, GlyphSource& glyphs) {
  if (entries_.size() < 2) return;
  // Working pictures: Im4/Im5 are the weather picture and its mask, Im6 a mask that is
  // transparent everywhere, Im7 a picture that is fuchsia everywhere.
  const TrayEntry& weather = entries_[1];
  TrayEntry withDigits = weather;  // Image4, Image5
  TrayEntry digitsOnly{TrayBitmap(size_, kTrayBackground),
                       TrayBitmap(size_, kMaskTransparent)};  // Image7, Image6

  if (input.temperatureText.find(kDegree) == std::string::npos) {
    digitsOnly = weather;  // no temperature: both show the plain picture
  } else {
    const std::size_t n = input.iconText.size();
    const std::uint32_t colour = ArgbOf(input.colour);
    PaintText(
        withDigits,
        glyphs.Coverage(size_, input.iconText, PictureDigitsPlacement(n, size_), PictureDigitsFace(size_)),
        colour, input.rim);
    if (input.digitsOnly) {
      PaintText(digitsOnly,
                glyphs.Coverage(size_, input.iconText, DigitsOnlyPlacement(n, size_), DigitsOnlyFace(size_)),
                colour, input.rim);
    }
  }

  entries_.resize(kMaxEntries);
  entries_[2] = std::move(withDigits);
  entries_[3] = std::move(digitsOnly);
  composed_ = true;
  lastInput_ = input;
}

bool TrayImageList::Recolour(std::uint32_t colour, std::optional<std::uint32_t> rim, GlyphSource& glyphs) {
  if (!composed_ || (lastInput_.colour == colour && lastInput_.rim == rim)) return false;
  DigitsInput input = lastInput_;
  input.colour = colour;
  input.rim = rim;
  PaintTrayDigits(input, glyphs);
  return true;
}

int TrayImageList::Clamp(int index) const {
  if (entries_.empty()) return 0;
  return std::clamp(index, 0, Count() - 1);
}

}  // namespace corvella

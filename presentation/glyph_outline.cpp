#include "presentation/glyph_outline.h"

#include <cstddef>

namespace corvella {
namespace {

// The records as the buffer lays them out, little-endian:
//   polygon header: DWORD size of the polygon with its header, DWORD type (24), start point;
//   curve:          WORD type (1 lines, 2 quadratic, 3 cubic), WORD point count, the points;
//   point:          x, y, each a FIXED (WORD fraction, then SHORT whole part).
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kCurveHeaderSize = 4;
constexpr std::size_t kPointSize = 8;
constexpr std::uint32_t kPolygonType = 24;
constexpr std::uint16_t kLines = 1;
constexpr std::uint16_t kCubic = 3;

std::uint32_t ReadWord(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t ReadDword(std::span<const std::uint8_t> b, std::size_t at) {
  return ReadWord(b, at) | ReadWord(b, at + 2) << 16;
}
float ReadFixed(std::span<const std::uint8_t> b, std::size_t at) {
  const auto whole = static_cast<std::int16_t>(ReadWord(b, at + 2));
  return static_cast<float>(whole) + static_cast<float>(ReadWord(b, at)) / 65536.0f;
}

}  // namespace

bool AppendGlyphOutline(std::span<const std::uint8_t> outline, float x, float baseline, float scale,
                        std::vector<PathPoint>& path) {
  const std::size_t before = path.size();
  const auto fail = [&] {
    path.resize(before);
    return false;
  };
  const auto add = [&](std::span<const std::uint8_t> polygon, std::size_t at, std::uint8_t type) {
    path.push_back({x + ReadFixed(polygon, at) * scale, baseline - ReadFixed(polygon, at + 4) * scale, type});
  };
  std::size_t offset = 0;
  while (offset < outline.size()) {
    if (outline.size() - offset < kHeaderSize) return fail();
    const std::size_t size = ReadDword(outline, offset);
    if (size < kHeaderSize || size > outline.size() - offset ||
        ReadDword(outline, offset + 4) != kPolygonType)
      return fail();
    const std::span<const std::uint8_t> polygon = outline.subspan(offset, size);
    add(polygon, 8, kPathStart);
    for (std::size_t at = kHeaderSize; at < size;) {
      if (size - at < kCurveHeaderSize) return fail();
      const std::uint32_t kind = ReadWord(polygon, at);
      const std::size_t count = ReadWord(polygon, at + 2);
      at += kCurveHeaderSize;
      if (count == 0 || count > (size - at) / kPointSize) return fail();
      if (kind != kLines && (kind != kCubic || count % 3 != 0)) return fail();
      for (std::size_t i = 0; i < count; ++i, at += kPointSize)
        add(polygon, at, kind == kLines ? kPathLine : kPathBezier);
    }
    path.back().type |= kPathClose;
    offset += size;
  }
  return true;
}

}  // namespace corvella

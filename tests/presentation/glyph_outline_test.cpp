#include "presentation/glyph_outline.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace corvella {
namespace {

// One polygon as GetGlyphOutline's GGO_BEZIER gives it: start (1, 2), a line to (3.5, -4),
// a cubic curve back; little-endian words, 16.16 fixed points.
std::vector<std::uint8_t> Polygon() {
  std::vector<std::uint8_t> b;
  auto word = [&](std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto dword = [&](std::uint32_t v) { word(v & 0xFFFF), word(v >> 16); };
  auto point = [&](double x, double y) {
    dword(std::uint32_t(std::int32_t(x * 65536))), dword(std::uint32_t(std::int32_t(y * 65536)));
  };
  dword(56), dword(24), point(1, 2);
  word(1), word(1), point(3.5, -4);
  word(3), word(3), point(5, 6), point(7, 8), point(1, 2);
  return b;
}

TEST(GlyphOutline, FiguresAreScaledFromTheBaselineWithYDownAndClosed) {
  const std::vector<std::uint8_t> one = Polygon();
  std::vector<std::uint8_t> two = one;
  for (std::uint8_t byte : one) two.push_back(byte);
  std::vector<PathPoint> path{{9, 9, kPathStart}};  // what the letters before left
  ASSERT_TRUE(AppendGlyphOutline(two, 50, 80, 0.5f, path));
  ASSERT_EQ(path.size(), 11u);
  EXPECT_FLOAT_EQ(path[1].x, 50.5f);
  EXPECT_FLOAT_EQ(path[1].y, 79.0f);
  EXPECT_FLOAT_EQ(path[2].x, 51.75f) << "a fraction";
  EXPECT_FLOAT_EQ(path[2].y, 82.0f) << "a negative whole part";
  const std::vector<int> types{kPathStart, kPathLine, kPathBezier, kPathBezier, kPathBezier | kPathClose};
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(path[1 + i].type, types[i % 5]) << i;

  // Records cut short, of the wrong kind or size: nothing is added.
  for (auto [at, value] : std::vector<std::pair<std::size_t, std::uint8_t>>{
           {0, 57}, {0, 8}, {4, 25}, {16, 2}, {30, 2}, {18, 0}, {18, 200}, {55, 0}}) {
    std::vector<std::uint8_t> broken = Polygon();
    broken[at] = value;
    if (at == 55) broken.pop_back();
    std::vector<PathPoint> kept{{1, 1, kPathStart}};
    EXPECT_FALSE(AppendGlyphOutline(broken, 0, 0, 1, kept)) << at << "=" << int(value);
    EXPECT_EQ(kept.size(), 1u) << at;
  }
}

}  // namespace
}  // namespace corvella

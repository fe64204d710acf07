#include "presentation/glyph_outline.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace corvella {
namespace {

// Builds GetGlyphOutline's GGO_BEZIER records: little-endian words, 16.16 fixed points.
struct Outline {
  std::vector<std::uint8_t> bytes;
  void Word(std::uint32_t v) {
    bytes.push_back(static_cast<std::uint8_t>(v));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void Dword(std::uint32_t v) { Word(v & 0xFFFF), Word(v >> 16); }
  void Point(double x, double y) {
    for (double v : {x, y}) Dword(static_cast<std::uint32_t>(static_cast<std::int32_t>(v * 65536)));
  }
  // A polygon from `start` with one record of lines and one cubic curve.
  void Polygon(std::uint32_t declaredSize = 0) {
    const std::size_t at = bytes.size();
    Dword(declaredSize), Dword(24), Point(1, 2);
    Word(1), Word(1), Point(3.5, -4);
    Word(3), Word(3), Point(5, 6), Point(7, 8), Point(1, 2);
    if (declaredSize == 0) {
      const auto size = static_cast<std::uint32_t>(bytes.size() - at);
      for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
  }
};

TEST(GlyphOutline, FiguresAreScaledFromTheBaselineWithYDownAndClosed) {
  Outline o;
  o.Polygon();
  o.Polygon();
  std::vector<PathPoint> path{{9, 9, kPathStart}};  // what the letters before left
  ASSERT_TRUE(AppendGlyphOutline(o.bytes, 50, 80, 0.5f, path));
  ASSERT_EQ(path.size(), 11u);
  const PathPoint* first = &path[1];
  EXPECT_FLOAT_EQ(first[0].x, 50.5f);
  EXPECT_FLOAT_EQ(first[0].y, 79.0f);
  EXPECT_EQ(first[0].type, kPathStart);
  // A negative fixed point (-4 is 0xFFFC.0000) and a fraction (3.5) survive.
  EXPECT_FLOAT_EQ(first[1].x, 51.75f);
  EXPECT_FLOAT_EQ(first[1].y, 82.0f);
  EXPECT_EQ(first[1].type, kPathLine);
  EXPECT_EQ(first[2].type, kPathBezier);
  EXPECT_EQ(first[4].type, kPathBezier | kPathClose);
  EXPECT_EQ(path[6].type, kPathStart) << "the second figure starts anew";
  EXPECT_EQ(path[10].type, kPathBezier | kPathClose);

  std::vector<PathPoint> none;
  EXPECT_TRUE(AppendGlyphOutline({}, 0, 0, 1, none)) << "a space has no outline";
  EXPECT_TRUE(none.empty());
}

TEST(GlyphOutline, ABufferOfBrokenRecordsAddsNothing) {
  std::vector<std::vector<std::uint8_t>> broken;
  Outline whole;
  whole.Polygon();
  broken.push_back({whole.bytes.begin(), whole.bytes.end() - 1});  // cut short
  Outline tooLong;
  tooLong.Polygon(4096);  // declares more than there is
  broken.push_back(tooLong.bytes);
  Outline tiny;
  tiny.Polygon(8);  // smaller than its own header
  broken.push_back(tiny.bytes);
  for (auto [at, value] : std::vector<std::pair<std::size_t, std::uint8_t>>{
           {4, 25},   // not a polygon
           {16, 2},   // a quadratic curve, which the cubic form never has
           {30, 2},   // a cubic curve of two points
           {18, 0},   // a record of no points
           {18, 200}  // more points than the polygon holds
       }) {
    std::vector<std::uint8_t> bytes = whole.bytes;
    bytes[at] = value;
    broken.push_back(bytes);
  }
  for (std::size_t i = 0; i < broken.size(); ++i) {
    std::vector<PathPoint> path{{1, 1, kPathStart}};
    EXPECT_FALSE(AppendGlyphOutline(broken[i], 0, 0, 1, path)) << i;
    EXPECT_EQ(path.size(), 1u) << i;
  }
}

}  // namespace
}  // namespace corvella

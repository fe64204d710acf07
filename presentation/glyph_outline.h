// A glyph's outline as the system's font engine gives it (GetGlyphOutline's cubic-Bézier form),
// turned into the points of a drawable path: the widget draws its temperature from these.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace corvella {

// The point kinds of a GDI+ path, which takes these points as they are.
enum PathPointType : std::uint8_t {
  kPathStart = 0,
  kPathLine = 1,
  kPathBezier = 3,    // three in a row: two control points, then the end
  kPathClose = 0x80,  // added to the last point of a closed figure
};

struct PathPoint {
  float x = 0;
  float y = 0;
  std::uint8_t type = kPathStart;
};

// Appends the closed figures of one glyph's outline to `path`. `outline` is the buffer that
// GetGlyphOutline fills for GGO_BEZIER: polygons of 16.16 fixed-point points in font units,
// y upward from the glyph's origin. Each point goes to (x + px * scale, baseline - py * scale).
// Returns false, and leaves `path` as it was, for a buffer that does not hold whole polygons of
// lines and cubic curves (a size that runs past the end, an unknown record, a curve of a point
// count that is not a multiple of three).
bool AppendGlyphOutline(std::span<const std::uint8_t> outline, float x, float baseline, float scale,
                        std::vector<PathPoint>& path);

}  // namespace corvella

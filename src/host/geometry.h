#pragma once

// Affine transforms and paths: the geometry of page items. A path lives in
// its item's inner coordinates; transforms carry it up to the pasteboard.

#include <optional>
#include <vector>

#include "host/host_types.h"

namespace korvex {

// x' = a·x + c·y + tx, y' = b·x + d·y + ty.
struct PMMatrix {
  PMReal a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static PMMatrix translation(PMReal dx, PMReal dy) { return {1, 0, 0, 1, dx, dy}; }
  static PMMatrix scaling(PMReal sx, PMReal sy) { return {sx, 0, 0, sy, 0, 0}; }
  static PMMatrix rotation(PMReal degrees);

  PMPoint apply(const PMPoint& p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  PMReal determinant() const { return a * d - b * c; }
  bool isIdentity() const { return *this == PMMatrix{}; }
  std::optional<PMMatrix> inverse() const;
  // (this · other)(p) = this(other(p)): other is applied first.
  PMMatrix operator*(const PMMatrix& other) const;
  friend bool operator==(const PMMatrix&, const PMMatrix&) = default;
};

// One anchor with its two Bézier handles; a corner point has both handles on the anchor.
struct PathPoint {
  PMPoint anchor;
  PMPoint in;   // handle towards the previous point
  PMPoint out;  // handle towards the next point

  static PathPoint corner(PMPoint p) { return {p, p, p}; }
  bool isCorner() const { return in == anchor && out == anchor; }
  friend bool operator==(const PathPoint&, const PathPoint&) = default;
};

struct Path {
  std::vector<PathPoint> points;
  bool closed = true;

  static Path rectangle(const PMRect& r);
  static Path oval(const PMRect& r);
  static Path line(PMPoint from, PMPoint to);

  // Tight bounds of the path after the transform (Bézier extremes included).
  PMRect bounds(const PMMatrix& m = {}) const;
  Path transformed(const PMMatrix& m) const;
  // Two points, open: what the host calls a line.
  bool isLine() const {
    return !closed && points.size() == 2 && points[0].isCorner() && points[1].isCorner();
  }
  friend bool operator==(const Path&, const Path&) = default;
};

enum class StrokeAlignment { Center, Inside, Outside };

// Path bounds grown by the part of the stroke that lies outside the path.
PMRect strokeBounds(const PMRect& pathBounds, PMReal weight, StrokeAlignment alignment, bool closedPath);

// The transform (scale and move only) that maps rectangle from onto rectangle to;
// a zero extent keeps its scale at 1.
PMMatrix rectToRect(const PMRect& from, const PMRect& to);

}  // namespace korvex

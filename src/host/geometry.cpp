#include "host/geometry.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace korvex {

PMMatrix PMMatrix::rotation(PMReal degrees) {
  const PMReal r = degrees * std::numbers::pi / 180.0;
  const PMReal cs = std::cos(r), sn = std::sin(r);
  return {cs, sn, -sn, cs, 0, 0};
}

std::optional<PMMatrix> PMMatrix::inverse() const {
  const PMReal det = determinant();
  if (std::abs(det) < 1e-12) return std::nullopt;
  PMMatrix inv{d / det, -b / det, -c / det, a / det, 0, 0};
  inv.tx = -(inv.a * tx + inv.c * ty);
  inv.ty = -(inv.b * tx + inv.d * ty);
  return inv;
}

PMMatrix PMMatrix::operator*(const PMMatrix& o) const {
  return {a * o.a + c * o.b, b * o.a + d * o.b,        a * o.c + c * o.d,
          b * o.c + d * o.d, a * o.tx + c * o.ty + tx, b * o.tx + d * o.ty + ty};
}

Path Path::rectangle(const PMRect& r) {
  Path p;
  p.points = {PathPoint::corner({r.left, r.top}), PathPoint::corner({r.right, r.top}),
              PathPoint::corner({r.right, r.bottom}), PathPoint::corner({r.left, r.bottom})};
  return p;
}

Path Path::oval(const PMRect& r) {
  // Four arcs with the usual circle constant for cubic Béziers.
  constexpr PMReal k = 0.5522847498;
  const PMReal cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  const PMReal rx = r.width() / 2, ry = r.height() / 2;
  Path p;
  p.points = {
      {{cx, r.top}, {cx - k * rx, r.top}, {cx + k * rx, r.top}},
      {{r.right, cy}, {r.right, cy - k * ry}, {r.right, cy + k * ry}},
      {{cx, r.bottom}, {cx + k * rx, r.bottom}, {cx - k * rx, r.bottom}},
      {{r.left, cy}, {r.left, cy + k * ry}, {r.left, cy - k * ry}},
  };
  return p;
}

Path Path::line(PMPoint from, PMPoint to) {
  Path p;
  p.points = {PathPoint::corner(from), PathPoint::corner(to)};
  p.closed = false;
  return p;
}

Path Path::transformed(const PMMatrix& m) const {
  Path out = *this;
  for (PathPoint& pt : out.points) {
    pt.anchor = m.apply(pt.anchor);
    pt.in = m.apply(pt.in);
    pt.out = m.apply(pt.out);
  }
  return out;
}

namespace {

struct Extent {
  PMReal minX = std::numeric_limits<PMReal>::infinity(), minY = minX;
  PMReal maxX = -std::numeric_limits<PMReal>::infinity(), maxY = maxX;
  void add(PMPoint p) {
    minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  }
};

PMReal cubic(PMReal p0, PMReal p1, PMReal p2, PMReal p3, PMReal t) {
  const PMReal u = 1 - t;
  return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

// Parameters in (0, 1) where the derivative of one coordinate of the curve is zero.
void addExtremes(PMReal p0, PMReal p1, PMReal p2, PMReal p3, std::vector<PMReal>& ts) {
  const PMReal a = -p0 + 3 * p1 - 3 * p2 + p3;
  const PMReal b = 2 * (p0 - 2 * p1 + p2);
  const PMReal c = p1 - p0;
  auto keep = [&](PMReal t) {
    if (t > 0 && t < 1) ts.push_back(t);
  };
  if (std::abs(a) < 1e-12) {
    if (std::abs(b) > 1e-12) keep(-c / b);
    return;
  }
  const PMReal disc = b * b - 4 * a * c;
  if (disc < 0) return;
  const PMReal root = std::sqrt(disc);
  keep((-b + root) / (2 * a));
  keep((-b - root) / (2 * a));
}

}  // namespace

PMRect Path::bounds(const PMMatrix& m) const {
  if (points.empty()) return {};
  const Path t = transformed(m);
  Extent e;
  const std::size_t n = t.points.size();
  const std::size_t segments = closed ? n : n - 1;
  for (const PathPoint& p : t.points) e.add(p.anchor);
  for (std::size_t i = 0; i < segments; ++i) {
    const PathPoint& s = t.points[i];
    const PathPoint& f = t.points[(i + 1) % n];
    if (s.out == s.anchor && f.in == f.anchor) continue;
    std::vector<PMReal> ts;
    addExtremes(s.anchor.x, s.out.x, f.in.x, f.anchor.x, ts);
    addExtremes(s.anchor.y, s.out.y, f.in.y, f.anchor.y, ts);
    for (PMReal u : ts)
      e.add({cubic(s.anchor.x, s.out.x, f.in.x, f.anchor.x, u),
             cubic(s.anchor.y, s.out.y, f.in.y, f.anchor.y, u)});
  }
  return {e.minX, e.minY, e.maxX, e.maxY};
}

PMRect strokeBounds(const PMRect& pathBounds, PMReal weight, StrokeAlignment alignment, bool closedPath) {
  if (weight <= 0) return pathBounds;
  PMReal grow = weight / 2;
  // Inside and outside only mean something for closed paths; open ones stroke centred.
  if (closedPath && alignment == StrokeAlignment::Inside) grow = 0;
  if (closedPath && alignment == StrokeAlignment::Outside) grow = weight;
  return pathBounds.inset(-grow, -grow);
}

PMMatrix rectToRect(const PMRect& from, const PMRect& to) {
  const PMReal sx = from.width() != 0 ? to.width() / from.width() : 1;
  const PMReal sy = from.height() != 0 ? to.height() / from.height() : 1;
  return PMMatrix::translation(to.left, to.top) * PMMatrix::scaling(sx, sy) *
         PMMatrix::translation(-from.left, -from.top);
}

}  // namespace korvex

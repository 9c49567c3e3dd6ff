// Boxes and line segments of the energy-profile picture, in SVG user units
// (y grows downwards), and the two tests the label placement needs.
#pragma once

#include <algorithm>

namespace kinex::plot {

// An axis-parallel box from (x0, y0) to (x1, y1), x0 <= x1 and y0 <= y1.
struct Box {
  double x0, y0, x1, y1;
};

// The area the two boxes share; 0 when they only touch or are apart.
inline double overlap(const Box& a, const Box& b) {
  const double w = std::min(a.x1, b.x1) - std::max(a.x0, b.x0);
  const double h = std::min(a.y1, b.y1) - std::max(a.y0, b.y0);
  return w > 0 && h > 0 ? w * h : 0.0;
}

struct Segment {
  double x0, y0, x1, y1;
};

// Whether the segment has a point in the box, its edges included
// (Liang-Barsky clipping).
inline bool crosses(const Segment& s, const Box& b) {
  double t0 = 0.0, t1 = 1.0;
  const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {s.x0 - b.x0, b.x1 - s.x0, s.y0 - b.y0, b.y1 - s.y0};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0.0) {
      if (q[k] < 0.0) return false;
    } else {
      const double t = q[k] / p[k];
      if (p[k] < 0.0)
        t0 = std::max(t0, t);
      else
        t1 = std::min(t1, t);
    }
  }
  return t0 <= t1;
}

}  // namespace kinex::plot

// The volcano picture's frame, and the placing of the catalysts' names
// beside their markers: shared by the picture's writing (volcano_svg.cc)
// and the names' placing (volcano_names.cc), private to them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "figures/plot_geometry.h"

namespace kinex::volcano_figure {

using plot::Box;
using plot::Segment;

inline constexpr double kNameSize = 10.0;  // the catalysts' names
inline constexpr double kMarkerRadius = 3.0;

// A range [lo, hi] grown to hold finite values.
struct Range {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  void add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  // `pad` of the width added on each side; a range of (almost) no width,
  // where `tiny` does not allow it, widened to +-1 or 10 % about it.
  Range padded(double pad, bool tiny = false) const {
    Range r = *this;
    if (!(r.lo <= r.hi)) r = {0.0, 1.0};
    const double least = tiny ? 0.0 : 1e-9 * std::max(1.0, std::fabs(r.lo));
    if (!(r.hi - r.lo > least) || !std::isfinite(r.hi - r.lo)) {
      const double half = std::max(1.0, std::fabs(r.lo) * 0.1);
      if (!std::isfinite(half)) return {-1.0, 1.0};
      return {r.lo - half, r.lo + half};
    }
    const double w = r.hi - r.lo;
    return {r.lo - pad * w, r.hi + pad * w};
  }
};

// Where everything goes: the plot area, the strip of the regions' labels
// above it, the ranges of x and y drawn, and their values' place in px.
struct Frame {
  double left = 0, right = 0, top = 0, bottom = 0;  // the plot area
  double strip_top = 0;                             // the regions' labels above it
  Range x, y;
  double sx(double v) const { return left + (v - x.lo) / (x.hi - x.lo) * (right - left); }
  double sy(double v) const { return bottom - (v - y.lo) / (y.hi - y.lo) * (bottom - top); }
  Box area() const { return {left, top, right, bottom}; }
};

// The curve as pixel segments, broken where a value is not finite.
std::vector<Segment> curve_segments(const Frame& f, const std::vector<double>& x,
                                    const std::vector<double>& y);

// A name placed next to its marker: its box (the text starts at its left
// edge), with a leader from the marker when it is not right next to it.
struct Placed {
  bool shown = false;
  Box box{0, 0, 0, 0};
  bool leader = false;
  Segment line{0, 0, 0, 0};
  double cost = 0;
};

// What a label must keep clear of: the markers, the labels placed and their
// leader lines.
struct Obstacles {
  std::vector<Box> markers, labels;
  std::vector<Segment> leaders;
};

// The room taken by the marker at (cx, cy).
Box marker_box(double cx, double cy);

// A name to place: its marker's centre and the name's width.
struct Name {
  std::size_t point;
  double cx, cy, width;
};

// Where names went: per name its place (or none), how many are shown and
// what their places cost.
struct Naming {
  std::vector<Placed> at;  // per name
  std::size_t shown = 0;
  double cost = 0;
};

// The best of the names placed in table order, from left to right and most
// crowded first (a marker among many then gets the places next to it): the
// most names shown, then the cheapest. Each name is placed in the plot area
// where it overlaps no other name, marker, leader line nor the curve, nearest its
// marker, further out with a leader when it must; a name with no such place
// is not shown.
Naming name_points(const std::vector<Name>& names, const Frame& f, const Obstacles& o,
                   const std::vector<Segment>& curve);

}  // namespace kinex::volcano_figure

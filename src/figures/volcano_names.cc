// The catalysts' names of the volcano picture: each beside its marker,
// clear of the other names, markers, leader lines and the curve.
#include "figures/volcano_names.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

#include "figures/plot_geometry.h"
#include "figures/plot_style.h"

namespace kinex::volcano_figure {
namespace {

// Whether `inner` lies in `outer`, on its edges included.
bool inside(const Box& inner, const Box& outer) {
  return inner.x0 >= outer.x0 && inner.x1 <= outer.x1 && inner.y0 >= outer.y0 &&
         inner.y1 <= outer.y1;
}

constexpr double kLabelPad = 3.0;     // px kept between a label and anything else
constexpr double kLeaderStart = 6.0;  // px from its marker where a leader may cross the curve
// The cost of a leader across the curve, against 3 for each ring further out.
constexpr double kLeaderOverCurve = 6.0;
constexpr double kCrowd = 30.0;  // px: markers nearer than this are neighbours

Box grown(const Box& b, double by) { return {b.x0 - by, b.y0 - by, b.x1 + by, b.y1 + by}; }

// Whether two segments share a point (collinear overlaps aside).
bool cross(const Segment& a, const Segment& b) {
  const auto side = [](double x0, double y0, double x1, double y1, double x, double y) {
    const double c = (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
    return c > 0 ? 1 : c < 0 ? -1 : 0;
  };
  const int a0 = side(a.x0, a.y0, a.x1, a.y1, b.x0, b.y0);
  const int a1 = side(a.x0, a.y0, a.x1, a.y1, b.x1, b.y1);
  const int b0 = side(b.x0, b.y0, b.x1, b.y1, a.x0, a.y0);
  const int b1 = side(b.x0, b.y0, b.x1, b.y1, a.x1, a.y1);
  return a0 * a1 <= 0 && b0 * b1 <= 0 && !(a0 == 0 && a1 == 0);
}

// The distance from (x, y) to the box `b` (0 inside).
double distance(const Box& b, double x, double y) {
  return std::hypot(x - std::clamp(x, b.x0, b.x1), y - std::clamp(y, b.y0, b.y1));
}

// Whether the label `b` with its leader `line` (when it has one) from the
// marker at (cx, cy) keeps clear of everything placed, leaders included;
// without a leader, no other marker may be as near to it as its own.
bool clear(const Box& b, bool leader, const Segment& line, double cx, double cy,
           const Obstacles& o) {
  const Box padded = grown(b, kLabelPad);
  for (const Box& t : o.labels)
    if (plot::overlap(padded, t) > 0.0 || (leader && plot::crosses(line, t))) return false;
  const double own_distance = distance(b, cx, cy);
  for (const Box& m : o.markers) {
    if (plot::overlap(padded, m) > 0.0) return false;
    const bool own = cx >= m.x0 && cx <= m.x1 && cy >= m.y0 && cy <= m.y1;
    if (own) continue;
    if (leader && plot::crosses(line, m)) return false;
    if (!leader && distance(b, (m.x0 + m.x1) / 2, (m.y0 + m.y1) / 2) <= own_distance) return false;
  }
  for (const Segment& s : o.leaders)
    if (plot::crosses(s, b) || (leader && cross(s, line))) return false;
  return true;
}

// The places a name of `width` may take around the marker at (cx, cy), at
// distance g from it: right, left, above, below, the diagonals, then
// (`all_round`) the sixteenths of a turn between them, at a hundredth each
// in that order; above and below also slid to start or end at the marker,
// at 0.5 more (a sixth of a ring).
struct Spot {
  Box box;
  double cost;
};

std::vector<Spot> spots(double cx, double cy, double width, double g, bool all_round) {
  static constexpr int kOrder[16] = {0, 8, 12, 4, 14, 10, 2, 6, 15, 9, 1, 7, 13, 11, 3, 5};
  const double h = plot::kLineHeight * kNameSize;
  std::vector<Spot> found;
  for (int k = 0; k < (all_round ? 16 : 8); ++k) {
    const double order = 0.01 * k;
    const double angle = kOrder[k] * 3.14159265358979 / 8.0;  // from the right, y down
    const double ux = std::cos(angle), uy = std::sin(angle);
    const double y0 = uy > 0.3 ? cy + g * uy : uy < -0.3 ? cy + g * uy - h : cy - h / 2;
    if (std::fabs(ux) > 0.3) {
      const double x0 = ux > 0 ? cx + g * ux : cx + g * ux - width;
      found.push_back({{x0, y0, x0 + width, y0 + h}, order});
      continue;
    }
    const double middle = cx - width / 2, start = cx - kMarkerRadius;
    const double end = cx + kMarkerRadius - width;
    found.push_back({{middle, y0, middle + width, y0 + h}, order});
    found.push_back({{start, y0, start + width, y0 + h}, order + 0.5});
    found.push_back({{end, y0, end + width, y0 + h}, order + 0.5});
  }
  return found;
}

// Whether the curve runs through the box `b` or within a px of it.
bool over_curve(const Box& b, const std::vector<Segment>& curve) {
  const Box near = grown(b, 1.0);
  for (const Segment& seg : curve)
    if (plot::crosses(seg, near)) return true;
  return false;
}

// What a name's place costs besides its distance: its leader (from a
// little off the marker, which may sit on the curve) across the curve.
double curve_cost(bool leader, const Segment& line, const std::vector<Segment>& curve) {
  if (!leader) return 0.0;
  const double length = std::hypot(line.x1 - line.x0, line.y1 - line.y0);
  const double t = length > 0 ? std::min(0.9, kLeaderStart / length) : 0.0;
  const Segment off{line.x0 + t * (line.x1 - line.x0), line.y0 + t * (line.y1 - line.y0), line.x1,
                    line.y1};
  double cost = 0;
  for (const Segment& seg : curve)
    if (cross(seg, off)) cost += kLeaderOverCurve;
  return cost;
}

// The cheapest place for a name of `width` by the marker at (cx, cy): in
// the plot area, off the curve, clear of every marker, name and leader placed; 3 for each
// ring further out, plus the spot's and the curve's cost. None when every
// place is taken.
Placed place_label(double cx, double cy, double width, const Frame& f, const Obstacles& o,
                   const std::vector<Segment>& curve) {
  // px beyond the nearest ring, which keeps clear of its own marker
  static constexpr double kRings[] = {0, 8, 16, 24, 36, 50, 70, 95, 125};
  Placed best;
  best.cost = std::numeric_limits<double>::infinity();
  for (std::size_t ring = 0; ring < std::size(kRings); ++ring) {
    const double g = kMarkerRadius + 1.5 + kLabelPad + 1.0 + kRings[ring];
    for (const Spot& spot : spots(cx, cy, width, g, ring > 0)) {
      const Box& b = spot.box;
      if (!inside({b.x0 - kLabelPad, b.y0 - 1, b.x1 + kLabelPad, b.y1 + 1}, f.area())) continue;
      const bool leader = ring > 0;
      const Segment line{cx, cy, std::clamp(cx, b.x0, b.x1), std::clamp(cy, b.y0, b.y1)};
      if (!clear(b, leader, line, cx, cy, o) || over_curve(b, curve)) continue;
      const double cost =
          3.0 * static_cast<double>(ring) + spot.cost + curve_cost(leader, line, curve);
      if (cost < best.cost) best = {true, b, leader, line, cost};
    }
    if (best.cost < 3.0 * static_cast<double>(ring + 1)) break;  // none further out is cheaper
  }
  return best;
}

// The names placed one by one in `order` (indices into `names`), each
// clear of the markers and the names before it.
Naming place_names(const std::vector<Name>& names, const std::vector<std::size_t>& order,
                   const Frame& f, Obstacles o, const std::vector<Segment>& curve) {
  Naming n;
  n.at.resize(names.size());
  for (std::size_t k : order) {
    const Placed at = place_label(names[k].cx, names[k].cy, names[k].width, f, o, curve);
    if (!at.shown) continue;
    n.at[k] = at;
    ++n.shown;
    n.cost += at.cost;
    o.labels.push_back(at.box);
    if (at.leader) o.leaders.push_back(at.line);
  }
  return n;
}

}  // namespace

std::vector<Segment> curve_segments(const Frame& f, const std::vector<double>& x,
                                    const std::vector<double>& y) {
  std::vector<Segment> s;
  for (std::size_t k = 1; k < x.size() && k < y.size(); ++k) {
    if (std::isfinite(y[k - 1]) && std::isfinite(y[k]))
      s.push_back({f.sx(x[k - 1]), f.sy(y[k - 1]), f.sx(x[k]), f.sy(y[k])});
  }
  return s;
}

Box marker_box(double cx, double cy) {
  const double r = kMarkerRadius + 1.5;
  return {cx - r, cy - r, cx + r, cy + r};
}

Naming name_points(const std::vector<Name>& names, const Frame& f, const Obstacles& o,
                   const std::vector<Segment>& curve) {
  std::vector<std::size_t> in_table(names.size());
  for (std::size_t k = 0; k < names.size(); ++k) in_table[k] = k;
  std::vector<std::size_t> by_x = in_table, by_crowd = in_table;
  std::stable_sort(by_x.begin(), by_x.end(),
                   [&](std::size_t a, std::size_t b) { return names[a].cx < names[b].cx; });
  std::vector<std::size_t> crowd(names.size(), 0);
  for (std::size_t k = 0; k < names.size(); ++k)
    for (const Name& other : names)
      crowd[k] += std::hypot(other.cx - names[k].cx, other.cy - names[k].cy) < kCrowd ? 1 : 0;
  std::stable_sort(by_crowd.begin(), by_crowd.end(),
                   [&](std::size_t a, std::size_t b) { return crowd[a] > crowd[b]; });
  Naming best;
  for (const auto* order : {&in_table, &by_x, &by_crowd}) {
    Naming n = place_names(names, *order, f, o, curve);
    if (order == &in_table || n.shown > best.shown || (n.shown == best.shown && n.cost < best.cost))
      best = std::move(n);
  }
  return best;
}

}  // namespace kinex::volcano_figure

// The picture of a volcano (kinex/volcano.h): a column-wide SVG of one
// curve with its band, the regions of equal TDI and TDTS behind it, the
// catalysts as labelled points and the top of the volcano.
#include "figures/volcano_svg.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "figures/plot_geometry.h"
#include "figures/plot_layout.h"
#include "figures/plot_style.h"
#include "figures/plot_svg.h"
#include "figures/plot_text.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

using plot::Box;
using plot::num;
using plot::Segment;
using plot::text_width;
using plot::xml_escape;

// The page, in user units (px): 340 wide is a paper's column of 3.4 in at
// 100 px per inch, so a 10 px text prints at about 7 pt.
constexpr double kWidth = 340.0;
constexpr double kMargin = 10.0;
constexpr double kPlotHeight = 200.0;

constexpr double kTitleSize = 13.0;  // bold
constexpr double kFiguresSize = 10.5;
constexpr double kLegendSize = 10.0;
constexpr double kLegendLine = 14.0;
constexpr double kAxisTitleSize = 11.0;
constexpr double kTickSize = 10.0;
constexpr double kNameSize = 10.0;    // the catalysts' names
constexpr double kRegionSize = 10.0;  // the regions' TDI and TDTS
constexpr double kKeySize = 10.0;     // the regions named under the plot
constexpr double kKeyLine = 13.0;
constexpr double kTickLength = 4.0;
constexpr double kMarkerRadius = 3.0;
constexpr std::size_t kMaxName = 28;     // code points of a catalyst's or state's name shown
constexpr std::size_t kMaxKeyName = 60;  // in the key under the plot

constexpr const char* kCurveColour = "#084594";
constexpr const char* kBandColour = "#6baed6";
constexpr const char* kPointColour = "#222";
constexpr const char* kTopColour = "#1e7b34";
constexpr const char* kTints[2] = {"#eef2f8", "#f8f1e6"};

bool finite(double v) { return std::isfinite(v); }

// The values of the curve drawn, its band and the catalysts' own.
struct Drawn {
  const std::vector<double>* curve;
  const Band* band;
  std::vector<double> points;
  std::string axis_title, legend_name, top_words;
};

Drawn drawn_of(const Volcano& v, VolcanoCurve which) {
  Drawn d;
  for (const VolcanoPoint& p : v.points) {
    d.points.push_back(which == VolcanoCurve::log10_TOF        ? p.log10_TOF
                       : which == VolcanoCurve::energetic_span ? p.energetic_span
                                                               : p.endergonic_step);
  }
  switch (which) {
    case VolcanoCurve::log10_TOF:
      d.curve = &v.log10_TOF;
      d.band = &v.log10_TOF_band;
      d.axis_title = "log\u2081\u2080(TOF / s\u207b\u00b9)";
      d.legend_name = "log\u2081\u2080 TOF of the fitted lines";
      d.top_words = "log\u2081\u2080 TOF";
      break;
    case VolcanoCurve::energetic_span:
      d.curve = &v.energetic_span;
      d.band = &v.energetic_span_band;
      d.axis_title = "energetic span \u03b4E (kcal/mol)";
      d.legend_name = "\u03b4E of the fitted lines";
      d.top_words = "\u03b4E";
      break;
    case VolcanoCurve::endergonic_step:
      d.curve = &v.endergonic_step;
      d.band = &v.endergonic_step_band;
      d.axis_title = "most endergonic step \u0394G (kcal/mol)";
      d.legend_name = "\u0394G of the fitted lines";
      d.top_words = "\u0394G";
      break;
  }
  return d;
}

// A range [lo, hi] grown to hold finite values.
struct Range {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  void add(double v) {
    if (!finite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  // With `pad` of the width added on each side; a single value or none
  // gets a width of its own.
  // `pad` of the width added on each side; a range of (almost) no width,
  // where `tiny` does not allow it, widened to +-1 or 10 % about it.
  Range padded(double pad, bool tiny = false) const {
    Range r = *this;
    if (!(r.lo <= r.hi)) r = {0.0, 1.0};
    const double least = tiny ? 0.0 : 1e-9 * std::max(1.0, std::fabs(r.lo));
    if (!(r.hi - r.lo > least) || !finite(r.hi - r.lo)) {
      const double half = std::max(1.0, std::fabs(r.lo) * 0.1);
      if (!finite(half)) return {-1.0, 1.0};
      return {r.lo - half, r.lo + half};
    }
    const double w = r.hi - r.lo;
    return {r.lo - pad * w, r.hi + pad * w};
  }
};

// Ticks at 1, 2 or 5 times a power of ten, about `count` of them, within
// [lo, hi]; their texts with as many decimals as the step needs.
struct Ticks {
  std::vector<double> values;
  std::vector<std::string> texts;
};

Ticks nice_ticks(double lo, double hi, double count) {
  Ticks t;
  const double wanted = (hi - lo) / std::max(2.0, count);
  if (!finite(wanted) || !(wanted > 0)) return t;
  const double step = plot::nice_step(wanted, 0.75);
  const int decimals = plot::step_decimals(step, 17);
  const double first = std::ceil(lo / step - 1e-9), last = std::floor(hi / step + 1e-9);
  if (!(last - first < 50)) return t;
  for (double k = first; k <= last; k += 1.0) {
    const double v = k * step;
    t.values.push_back(v);
    t.texts.push_back(std::fabs(v) < step * 1e-6 ? "0" : plot::fixed_text(v, decimals));
  }
  return t;
}

// Where everything goes.
struct Frame {
  double left = 0, right = 0, top = 0, bottom = 0;  // the plot area
  double strip_top = 0;                             // the regions' labels above it
  Range x, y;
  double sx(double v) const { return left + (v - x.lo) / (x.hi - x.lo) * (right - left); }
  double sy(double v) const { return bottom - (v - y.lo) / (y.hi - y.lo) * (bottom - top); }
  Box area() const { return {left, top, right, bottom}; }
};

void text(std::string& out, double x, double y, double size, const std::string& words,
          const char* anchor, const std::string& extra = "") {
  out += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" font-size=\"" + num(size) +
         "\" text-anchor=\"" + anchor + "\"" + extra + ">" + xml_escape(words) + "</text>\n";
}

// The box of a flat text of `size` whose baseline starts at (x, y), anchored
// at its start, middle or end.
Box text_box(double x, double y, double width, double size, const char* anchor) {
  const std::string a = anchor;
  const double x0 = a == "start" ? x : a == "middle" ? x - width / 2 : x - width;
  const double bottom = y + plot::kDescent * size;
  return {x0, bottom - plot::kLineHeight * size, x0 + width, bottom};
}

bool inside(const Box& inner, const Box& outer) {
  return inner.x0 >= outer.x0 && inner.x1 <= outer.x1 && inner.y0 >= outer.y0 &&
         inner.y1 <= outer.y1;
}

// The curve as pixel segments, broken where a value is not finite.
std::vector<Segment> curve_segments(const Frame& f, const std::vector<double>& x,
                                    const std::vector<double>& y) {
  std::vector<Segment> s;
  for (std::size_t k = 1; k < x.size() && k < y.size(); ++k) {
    if (finite(y[k - 1]) && finite(y[k]))
      s.push_back({f.sx(x[k - 1]), f.sy(y[k - 1]), f.sx(x[k]), f.sy(y[k])});
  }
  return s;
}

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

constexpr double kLabelPad = 3.0;     // px kept between a label and anything else
constexpr double kLeaderStart = 6.0;  // px from its marker where a leader may cross the curve
// The cost of a name's place, against 3 for each ring further out: per px
// of the curve under the name, and for a leader across the curve.
constexpr double kCurveUnder = 0.25;
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

// What a name's place costs besides its distance: the length of the curve
// under the name, and its leader (from a little off the marker, which may
// sit on the curve) across the curve.
double curve_cost(const Box& b, bool leader, const Segment& line,
                  const std::vector<Segment>& curve) {
  const double length = std::hypot(line.x1 - line.x0, line.y1 - line.y0);
  const double t = length > 0 ? std::min(0.9, kLeaderStart / length) : 0.0;
  const Segment off{line.x0 + t * (line.x1 - line.x0), line.y0 + t * (line.y1 - line.y0), line.x1,
                    line.y1};
  double cost = 0;
  for (const Segment& seg : curve) {
    if (plot::crosses(seg, b)) cost += kCurveUnder * std::hypot(seg.x1 - seg.x0, seg.y1 - seg.y0);
    if (leader && cross(seg, off)) cost += kLeaderOverCurve;
  }
  return cost;
}

// The cheapest place for a name of `width` by the marker at (cx, cy): in
// the plot area, clear of every marker, name and leader placed; 3 for each
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
      if (!clear(b, leader, line, cx, cy, o)) continue;
      const double cost =
          3.0 * static_cast<double>(ring) + spot.cost + curve_cost(b, leader, line, curve);
      if (cost < best.cost) best = {true, b, leader, line, cost};
    }
    if (best.cost < 3.0 * static_cast<double>(ring + 1)) break;  // none further out is cheaper
  }
  return best;
}

// A name to place: its marker's centre and the name's width.
struct Name {
  std::size_t point;
  double cx, cy, width;
};

// The names placed one by one in `order` (indices into `names`), each
// clear of the markers and the names before it.
struct Naming {
  std::vector<Placed> at;  // per name
  std::size_t shown = 0;
  double cost = 0;
};

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

// The best of the names placed in table order, from left to right and most
// crowded first (a marker among many then gets the places next to it): the
// most names shown, then the cheapest.
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

// The room taken by the marker at (cx, cy).
Box marker_box(double cx, double cy) {
  const double r = kMarkerRadius + 1.5;
  return {cx - r, cy - r, cx + r, cy + r};
}

void write_legend(std::string& out, const Drawn& d, bool band, bool outliers, bool top, double y0,
                  double& bottom) {
  struct Item {
    std::string kind, words;
  };
  std::vector<Item> items = {{"curve", d.legend_name}};
  if (band) items.push_back({"band", "95 % band"});
  items.push_back({"point", "catalyst"});
  if (outliers) items.push_back({"outlier", "outlier: a state far off its line"});
  if (top) items.push_back({"top", "top of the volcano (highest TOF)"});
  constexpr double kSymbol = 18.0, kGap = 12.0;
  double x = kMargin, y = y0;
  out += "<g id=\"legend\" fill=\"" + std::string(plot::kLegendColour) + "\">\n";
  for (const Item& item : items) {
    const double w = kSymbol + 4.0 + text_width(item.words, kLegendSize);
    if (x > kMargin && x + w > kMargin + (kWidth - 2 * kMargin) * plot::kTextRoomShare) {
      x = kMargin;
      y += kLegendLine;
    }
    const double mid = y - 3.5;
    if (item.kind == "curve") {
      out += "<line x1=\"" + num(x) + "\" y1=\"" + num(mid) + "\" x2=\"" + num(x + kSymbol) +
             "\" y2=\"" + num(mid) + "\" stroke=\"" + kCurveColour + "\" stroke-width=\"2\"/>\n";
    } else if (item.kind == "band") {
      out += "<rect x=\"" + num(x) + "\" y=\"" + num(mid - 4) + "\" width=\"" + num(kSymbol) +
             "\" height=\"8\" fill=\"" + kBandColour + "\" fill-opacity=\"0.35\"/>\n";
    } else if (item.kind == "point") {
      out += "<circle cx=\"" + num(x + kSymbol / 2) + "\" cy=\"" + num(mid) + "\" r=\"" +
             num(kMarkerRadius) + "\" fill=\"" + kPointColour + "\"/>\n";
    } else if (item.kind == "outlier") {
      out += "<circle cx=\"" + num(x + kSymbol / 2) + "\" cy=\"" + num(mid) + "\" r=\"" +
             num(kMarkerRadius + 0.5) + "\" fill=\"#fff\" stroke=\"" + plot::kHighlight +
             "\" stroke-width=\"1.5\"/>\n";
    } else {
      const double cx = x + kSymbol / 2;
      out += "<path d=\"M" + num(cx) + "," + num(mid - 5) + " L" + num(cx + 4.5) + "," +
             num(mid + 3) + " L" + num(cx - 4.5) + "," + num(mid + 3) + " Z\" fill=\"" +
             kTopColour + "\"/>\n";
    }
    text(out, x + kSymbol + 4.0, y, kLegendSize, item.words, "start");
    x += w + kGap;
  }
  out += "</g>\n";
  bottom = y;
}

// The regions' shaded columns, from where each begins to where it ends.
std::vector<std::pair<double, double>> region_columns(const Volcano& v, const Frame& f) {
  std::vector<std::pair<double, double>> c;
  for (const VolcanoRegion& g : v.regions) c.emplace_back(f.sx(g.from), f.sx(g.to));
  return c;
}

// The regions: tints behind the plot, each labelled above the plot with its
// TDI and TDTS when they fit, else with a number that the key under the
// plot explains. Returns the key's entries.
std::vector<std::string> write_regions(std::string& out, const Volcano& v, const Frame& f) {
  std::vector<std::string> key;
  if (v.x.empty()) return key;
  const auto columns = region_columns(v, f);
  out += "<g id=\"regions\">\n";
  for (std::size_t r = 0; r < columns.size(); ++r) {
    const auto [x0, x1] = columns[r];
    out += "<rect class=\"region\" x=\"" + num(x0) + "\" y=\"" + num(f.strip_top) + "\" width=\"" +
           num(std::max(0.0, x1 - x0)) + "\" height=\"" + num(f.bottom - f.strip_top) +
           "\" fill=\"" + kTints[r % 2] + "\"/>\n";
  }
  std::vector<Box> taken;
  const double line1 = f.strip_top + 11.0, line2 = f.strip_top + 23.0;
  for (std::size_t r = 0; r < columns.size(); ++r) {
    const auto [x0, x1] = columns[r];
    const VolcanoRegion& g = v.regions[r];
    const std::string tdi = "TDI " + plot::shorten_end(g.TDI, kMaxName);
    const std::string tdts = "TDTS " + plot::shorten_end(g.TDTS, kMaxName);
    const double w = std::max(text_width(tdi, kRegionSize), text_width(tdts, kRegionSize));
    const double mid = (x0 + x1) / 2;
    if (w + 4.0 <= x1 - x0) {
      const Box b{mid - w / 2, f.strip_top, mid + w / 2, f.top};
      taken.push_back(b);
      out += "<text class=\"region-label\" x=\"" + num(mid) + "\" y=\"" + num(line1) +
             "\" font-size=\"" + num(kRegionSize) + "\" text-anchor=\"middle\">" + xml_escape(tdi) +
             "<tspan x=\"" + num(mid) + "\" y=\"" + num(line2) + "\">" + xml_escape(tdts) +
             "</tspan></text>\n";
      continue;
    }
    const std::string number = std::to_string(key.size() + 1);
    std::string entry = number + " TDI " + plot::shorten_end(g.TDI, kMaxKeyName) + ", TDTS " +
                        plot::shorten_end(g.TDTS, kMaxKeyName) + " (" +
                        descriptor_text(g.from, v.from, v.to) + " to " +
                        descriptor_text(g.to, v.from, v.to) + ")";
    const double nw = text_width(number, kRegionSize);
    bool placed = false;
    for (double y : {line1, line2}) {
      Box b = text_box(mid, y, nw, kRegionSize, "middle");
      b.x0 -= 2.0;  // numbers side by side kept apart
      b.x1 += 2.0;
      bool free = b.x0 >= f.left - 4 && b.x1 <= f.right + 4;
      for (const Box& t : taken) free = free && plot::overlap(b, t) == 0.0;
      if (!free) continue;
      taken.push_back(b);
      out += "<text class=\"region-number\" x=\"" + num(mid) + "\" y=\"" + num(y) +
             "\" font-size=\"" + num(kRegionSize) + "\" text-anchor=\"middle\">" + number +
             "</text>\n";
      placed = true;
      break;
    }
    if (!placed) entry += ", too narrow to mark";
    key.push_back(entry);
  }
  out += "<line x1=\"" + num(f.left) + "\" y1=\"" + num(f.top) + "\" x2=\"" + num(f.right) +
         "\" y2=\"" + num(f.top) + "\" stroke=\"#bbb\" stroke-width=\"0.6\"/>\n";
  out += "</g>\n";
  return key;
}

// The band as polygons over the runs of points where both bounds are known.
void write_band(std::string& out, const Volcano& v, const Band& band, const Frame& f) {
  const std::size_t n = std::min({v.x.size(), band.low.size(), band.high.size()});
  std::size_t k = 0;
  out += "<g id=\"band\" fill=\"" + std::string(kBandColour) + "\" fill-opacity=\"0.35\">\n";
  while (k < n) {
    while (k < n && !(finite(band.low[k]) && finite(band.high[k]))) ++k;
    const std::size_t start = k;
    while (k < n && finite(band.low[k]) && finite(band.high[k])) ++k;
    if (k == start) continue;
    std::string points;
    for (std::size_t j = start; j < k; ++j)
      points += num(f.sx(v.x[j])) + "," + num(f.sy(band.high[j])) + " ";
    for (std::size_t j = k; j-- > start;)
      points += num(f.sx(v.x[j])) + "," + num(f.sy(band.low[j])) + " ";
    points.pop_back();
    out += "<polygon class=\"band\" points=\"" + points + "\"/>\n";
  }
  out += "</g>\n";
}

void write_curve(std::string& out, const Volcano& v, const std::vector<double>& y, const Frame& f) {
  std::string d;
  bool open = false;
  for (std::size_t k = 0; k < v.x.size() && k < y.size(); ++k) {
    if (!finite(y[k])) {
      open = false;
      continue;
    }
    d += (open ? " L" : (d.empty() ? "M" : " M")) + num(f.sx(v.x[k])) + "," + num(f.sy(y[k]));
    open = true;
  }
  if (d.empty()) return;
  out += "<path id=\"curve\" d=\"" + d + "\" fill=\"none\" stroke=\"" + kCurveColour +
         "\" stroke-width=\"2\" stroke-linejoin=\"round\"/>\n";
}

void write_axes(std::string& out, const Frame& f, const std::string& x_title,
                const std::string& y_title, double& bottom) {
  out += "<g id=\"axes\" fill=\"" + std::string(plot::kTextColour) + "\">\n";
  out += "<rect x=\"" + num(f.left) + "\" y=\"" + num(f.strip_top) + "\" width=\"" +
         num(f.right - f.left) + "\" height=\"" + num(f.bottom - f.strip_top) +
         "\" fill=\"none\" stroke=\"#000\" stroke-width=\"0.8\"/>\n";
  // As many x ticks as their labels leave room for.
  Ticks xt;
  for (double count = (f.right - f.left) / 70.0; count >= 1.0; count /= 1.5) {
    xt = nice_ticks(f.x.lo, f.x.hi, count);
    double widths = 0.0;
    for (const std::string& t : xt.texts) widths += text_width(t, kTickSize) + 8.0;
    if (widths <= f.right - f.left) break;
  }
  for (std::size_t k = 0; k < xt.values.size(); ++k) {
    const double x = f.sx(xt.values[k]);
    out += "<line class=\"x-tick\" x1=\"" + num(x) + "\" y1=\"" + num(f.bottom) + "\" x2=\"" +
           num(x) + "\" y2=\"" + num(f.bottom + kTickLength) + "\" stroke=\"#000\"/>\n";
    text(out, x, f.bottom + kTickLength + 11.0, kTickSize, xt.texts[k], "middle",
         " class=\"x-tick-label\"");
  }
  const Ticks yt = nice_ticks(f.y.lo, f.y.hi, (f.bottom - f.top) / 32.0);
  for (std::size_t k = 0; k < yt.values.size(); ++k) {
    const double y = f.sy(yt.values[k]);
    out += "<line class=\"y-tick\" x1=\"" + num(f.left - kTickLength) + "\" y1=\"" + num(y) +
           "\" x2=\"" + num(f.left) + "\" y2=\"" + num(y) + "\" stroke=\"#000\"/>\n";
    text(out, f.left - kTickLength - 3.0, y + 3.5, kTickSize, yt.texts[k], "end",
         " class=\"y-tick-label\"");
  }
  const double x_title_y = f.bottom + kTickLength + 28.0;
  text(out, (f.left + f.right) / 2, x_title_y, kAxisTitleSize,
       plot::fit_width(x_title, kAxisTitleSize, f.right - f.left), "middle", " id=\"x-title\"");
  const double y_mid = (f.top + f.bottom) / 2;
  out += "<text id=\"y-title\" transform=\"translate(" + num(kMargin + kAxisTitleSize - 1.0) + "," +
         num(y_mid) + ") rotate(-90)\" font-size=\"" + num(kAxisTitleSize) +
         "\" text-anchor=\"middle\">" +
         xml_escape(plot::fit_width(y_title, kAxisTitleSize, f.bottom - f.strip_top)) + "</text>\n";
  out += "</g>\n";
  bottom = x_title_y;
}

// A catalyst's marker with its name (and the states off their lines) as
// its tooltip; an outlier open and red.
std::string marker(const VolcanoPoint& p, double cx, double cy) {
  const std::string attributes = p.outlier
                                     ? "class=\"point outlier\" fill=\"#fff\" stroke=\"" +
                                           std::string(plot::kHighlight) + "\" stroke-width=\"1.5\""
                                     : "class=\"point\" fill=\"" + std::string(kPointColour) +
                                           "\" stroke=\"#fff\" stroke-width=\"0.6\"";
  std::string tip = p.name;
  if (p.outlier && !p.outlier_states.empty()) {
    tip += ": outlier of";
    for (const std::string& s : p.outlier_states) tip.append(" ").append(s);
  }
  return "<circle " + attributes + " cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" +
         num(kMarkerRadius + (p.outlier ? 0.5 : 0.0)) + "\"><title>" + xml_escape(tip) +
         "</title></circle>\n";
}

// The widest tick label of the y axis, to make room for it.
double y_labels_width(const Range& y, double plot_height) {
  double w = 0;
  for (const std::string& t : nice_ticks(y.lo, y.hi, plot_height / 32.0).texts)
    w = std::max(w, text_width(t, kTickSize));
  return w;
}

}  // namespace

std::string volcano_svg(const std::string& file, const Volcano& volcano,
                        const VolcanoPicture& picture) {
  const Drawn d = drawn_of(volcano, picture.curve);
  const std::vector<double>& curve = *d.curve;
  bool band_shown = false;
  for (std::size_t k = 0; k < d.band->low.size() && k < d.band->high.size() && k < curve.size();
       ++k) {
    band_shown = band_shown || (finite(d.band->low[k]) && finite(d.band->high[k]) &&
                                d.band->high[k] - d.band->low[k] > 1e-12);
  }
  bool outliers = false;
  for (const VolcanoPoint& p : volcano.points) outliers = outliers || p.outlier;

  // The texts above the plot.
  const double room = kWidth - 2 * kMargin;
  const double line_room = room * plot::kTextRoomShare;  // for faces wider than the estimate
  // The title keeps its word; a long file name gives up its start.
  std::string title = "Volcano: ";
  title += plot::fit_width(plot::shorten(file, plot::kMaxNameLength), kTitleSize,
                           line_room - text_width(title, kTitleSize, true), true);
  std::string figures = "T = " + plot::shortest_text(volcano.fits.conditions.T) + " K";
  // The top of the volcano (the highest log10 TOF) with the drawn curve's
  // value there; none where log10 TOF still rises at an end of the range.
  const double top_x = volcano.top_x;
  const double top_y = picture.curve == VolcanoCurve::log10_TOF ? volcano.top_log10_TOF
                       : picture.curve == VolcanoCurve::energetic_span
                           ? volcano.top_energetic_span
                           : volcano.top_endergonic_step;
  const bool has_top = volcano.top_inside && finite(top_x) && finite(top_y);
  if (has_top) {
    figures += "    top: " + d.top_words + " = " + plot::fixed_text(top_y, 2) + " at " +
               top_descriptor_text(top_x, volcano.from, volcano.to);
  } else {
    figures += "    no top inside the range";
  }
  figures = plot::fit_width(figures, kFiguresSize, line_room, false, true);

  std::string body;
  double legend_bottom = 0;
  write_legend(body, d, band_shown, outliers, has_top, 48.0, legend_bottom);

  // The frame: x over the curve and the catalysts, y over the curve, its
  // band and the catalysts' values.
  Frame f;
  Range x, y;
  x.add(volcano.from);
  x.add(volcano.to);
  for (double v : volcano.x) x.add(v);
  for (const VolcanoPoint& p : volcano.points) x.add(p.x);
  for (double v : curve) y.add(v);
  for (double v : d.band->low) y.add(v);
  for (double v : d.band->high) y.add(v);
  for (double v : d.points) y.add(v);
  f.x = x.padded(0.0, true);  // the range asked for, however small
  f.y = y.padded(0.08);
  f.strip_top = legend_bottom + 10.0;
  f.top = volcano.regions.empty() ? f.strip_top : f.strip_top + 28.0;
  f.bottom = f.top + kPlotHeight;
  f.left = kMargin + kAxisTitleSize + 6.0 + y_labels_width(f.y, kPlotHeight) + kTickLength + 3.0;
  f.right = kWidth - kMargin - 12.0;

  std::vector<std::string> key = write_regions(body, volcano, f);
  if (band_shown) write_band(body, volcano, *d.band, f);
  write_curve(body, volcano, curve, f);

  // The catalysts and the top, their labels placed greedily, the top's first.
  const std::vector<Segment> segments = curve_segments(f, volcano.x, curve);
  Obstacles obstacles;
  for (std::size_t k = 0; k < volcano.points.size(); ++k) {
    if (finite(volcano.points[k].x) && finite(d.points[k]))
      obstacles.markers.push_back(marker_box(f.sx(volcano.points[k].x), f.sy(d.points[k])));
  }
  std::string labels;
  if (has_top) {
    const double cx = f.sx(top_x), cy = f.sy(top_y);
    body += "<path id=\"top\" d=\"M" + num(cx) + "," + num(cy - 6) + " L" + num(cx + 5) + "," +
            num(cy + 3) + " L" + num(cx - 5) + "," + num(cy + 3) + " Z\" fill=\"" + kTopColour +
            "\"/>\n";
    obstacles.markers.push_back({cx - 5, cy - 6, cx + 5, cy + 3});
  }
  // The markers in table order, then their names where they fit best.
  std::vector<bool> labelled(volcano.points.size(), false);
  std::vector<Name> names;
  for (std::size_t k = 0; k < volcano.points.size(); ++k) {
    const VolcanoPoint& p = volcano.points[k];
    if (!finite(p.x) || !finite(d.points[k])) continue;
    const double cx = f.sx(p.x), cy = f.sy(d.points[k]);
    body += marker(p, cx, cy);
    const std::string name = plot::shorten_end(p.name, kMaxName);
    names.push_back({k, cx, cy, text_width(name, kNameSize)});
  }
  const Naming naming = name_points(names, f, obstacles, segments);
  for (std::size_t j = 0; j < names.size(); ++j) {
    const Placed& at = naming.at[j];
    if (!at.shown) continue;
    const VolcanoPoint& p = volcano.points[names[j].point];
    labelled[names[j].point] = true;
    if (at.leader) {
      labels += "<line class=\"leader\" x1=\"" + num(at.line.x0) + "\" y1=\"" + num(at.line.y0) +
                "\" x2=\"" + num(at.line.x1) + "\" y2=\"" + num(at.line.y1) +
                "\" stroke=\"#888\" stroke-width=\"0.6\"/>\n";
    }
    text(labels, at.box.x0, at.box.y1 - plot::kDescent * kNameSize, kNameSize,
         plot::shorten_end(p.name, kMaxName), "start",
         std::string(" class=\"point-label\"") +
             (p.outlier ? " fill=\"" + std::string(plot::kHighlight) + "\"" : ""));
  }
  std::vector<std::string> unlabelled;
  for (std::size_t k = 0; k < volcano.points.size(); ++k)
    if (!labelled[k]) unlabelled.push_back(volcano.points[k].name);
  body += labels;

  double axes_bottom = 0;
  std::string x_title = volcano.fits.descriptor;
  if (volcano.fits.descriptor_is_state) x_title += " (kcal/mol)";
  write_axes(body, f, x_title, d.axis_title, axes_bottom);

  // The key of the regions marked by number, and the catalysts without a label.
  std::vector<std::string> notes;
  if (!key.empty()) {
    std::string line = "Regions: ";
    for (std::size_t k = 0; k < key.size(); ++k) line += (k ? "; " : "") + key[k];
    notes = plot::wrap(line, kKeySize, line_room);
  }
  if (!unlabelled.empty()) {
    std::string line = "Not labelled for want of room or value: ";
    for (std::size_t k = 0; k < unlabelled.size(); ++k)
      line += (k ? ", " : "") + plot::shorten_end(unlabelled[k], kMaxName);
    for (const std::string& l : plot::wrap(line, kKeySize, line_room)) notes.push_back(l);
  }
  // The warnings: poor fits, extrapolation, no driving force, ...
  for (const std::string& warning : volcano.warnings) {
    for (const std::string& l : plot::wrap("Warning: " + warning, kKeySize, line_room)) {
      notes.push_back(l);
    }
  }
  double y_note = axes_bottom + 4.0;
  for (const std::string& line : notes) {
    y_note += kKeyLine;
    text(body, kMargin, y_note, kKeySize, plot::fit_width(line, kKeySize, room), "start",
         " class=\"key\"");
  }
  const double height = y_note + 10.0;

  std::string out;
  std::string description = d.axis_title + " along " + volcano.fits.descriptor + ", " + figures;
  plot::write_document_head(out, kWidth, height, 1.0, title, description);
  text(out, kMargin, 18.0, kTitleSize, title, "start", " id=\"title\" font-weight=\"bold\"");
  text(out, kMargin, 33.0, kFiguresSize, figures, "start",
       " id=\"figures\" xml:space=\"preserve\"");
  out += body;
  out += "</svg>\n";
  return out;
}

}  // namespace kinex

// The picture of an activity map (kinex/map.h): a column-wide SVG of log10
// TOF over two descriptors (or one and the temperature) as a heat map with
// its colour bar, the regions of equal TDI and TDTS parted by lines and
// named, and the catalysts as named points.
#include "figures/map_svg.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "figures/chart_svg.h"
#include "figures/plot_geometry.h"
#include "figures/plot_layout.h"
#include "figures/plot_style.h"
#include "figures/plot_svg.h"
#include "figures/plot_text.h"
#include "figures/volcano_names.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

using chart::kAxisTitleSize;
using chart::kMargin;
using chart::kMaxKeyName;
using chart::kMaxName;
using chart::kTickLength;
using chart::kTickSize;
using chart::nice_ticks;
using chart::text;
using chart::Ticks;
using chart::widest;
using plot::Box;
using plot::num;
using plot::text_width;
using plot::xml_escape;
using volcano_figure::Frame;
using volcano_figure::kMarkerRadius;
using volcano_figure::kNameSize;
using volcano_figure::Range;

// The plot area's height at the column's width (chart_svg.h).
constexpr double kPlotHeight = 220.0;

constexpr double kRegionSize = 9.5;
constexpr double kBarWidth = 10.0;
constexpr double kBarGap = 8.0;
constexpr const char* kHalo = " stroke=\"#fff\" stroke-width=\"2.4\" paint-order=\"stroke\"";

// The share of the colour scale of value v over z: lighter where the cycle
// is more active, so the energetic span's scale runs the other way.
double share(const Map& map, const Range& z, double v) {
  const double t = (v - z.lo) / (z.hi - z.lo);
  return map.quantity == MapQuantity::energetic_span ? 1.0 - t : t;
}

std::string hex(const std::array<int, 3>& rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
  return text;
}

// The regions of equal TDI and TDTS: each grid point's region, and each
// region's TDI and TDTS, in the order first met.
struct Regions {
  std::vector<std::size_t> of;  // per grid point
  std::vector<std::pair<std::string, std::string>> names;
};

Regions regions_of(const Map& map) {
  Regions r;
  for (std::size_t k = 0; k < map.log10_TOF.size(); ++k) {
    const std::pair<std::string, std::string> name{
        map.TDI_names[static_cast<std::size_t>(map.TDI[k])],
        map.TDTS_names[static_cast<std::size_t>(map.TDTS[k])]};
    const auto at = std::find(r.names.begin(), r.names.end(), name);
    r.of.push_back(static_cast<std::size_t>(at - r.names.begin()));
    if (at == r.names.end()) r.names.push_back(name);
  }
  return r;
}

// The edges of grid point k's cell along one axis: halfway to its
// neighbours, the range's ends at the ends.
std::pair<double, double> cell(const std::vector<double>& v, std::size_t k) {
  const double lo = k == 0 ? v[0] : (v[k - 1] + v[k]) / 2;
  const double hi = k + 1 == v.size() ? v[k] : (v[k] + v[k + 1]) / 2;
  return {lo, hi};
}

// The heat map, a row of cells at a time, neighbours of one colour merged.
void write_cells(std::string& out, const Map& map, const Frame& f, const Range& z) {
  const std::size_t nx = map.x.size();
  out += "<g id=\"heat-map\" shape-rendering=\"crispEdges\">\n";
  for (std::size_t j = 0; j < map.y.size(); ++j) {
    const auto [y0, y1] = cell(map.y, j);
    std::size_t i = 0;
    while (i < nx) {
      const auto colour = [&](std::size_t at) {
        return hex(map_colour(share(map, z, quantity_values(map)[j * nx + at])));
      };
      const std::string fill = colour(i);
      std::size_t end = i + 1;
      while (end < nx && colour(end) == fill) ++end;
      const double x0 = f.sx(cell(map.x, i).first), x1 = f.sx(cell(map.x, end - 1).second);
      const double top = f.sy(y1), bottom = f.sy(y0);
      out += "<rect x=\"" + num(x0) + "\" y=\"" + num(top) + "\" width=\"" + num(x1 - x0) +
             "\" height=\"" + num(bottom - top) + "\" fill=\"" + fill + "\"/>\n";
      i = end;
    }
  }
  out += "</g>\n";
}

// The boundaries between the regions as one path drawn twice: white under
// black, so that they show on any colour.
void write_boundaries(std::string& out, const Map& map, const Frame& f) {
  std::string d;
  for (const auto& line : map.boundaries) {
    for (std::size_t k = 0; k < line.size(); ++k) {
      d.append(k == 0 ? "M" : "L").append(num(f.sx(line[k][0]))).append(",");
      d.append(num(f.sy(line[k][1])));
    }
  }
  if (d.empty()) return;
  out +=
      "<g id=\"region-boundaries\" fill=\"none\" stroke-linecap=\"round\" "
      "stroke-linejoin=\"round\">\n";
  out += "<path d=\"" + d + "\" stroke=\"#fff\" stroke-width=\"2\"/>\n";
  out += "<path d=\"" + d + "\" stroke=\"#000\" stroke-width=\"0.8\"/>\n";
  out += "</g>\n";
}

// Whether the segment from (x0, y0) to (x1, y1) meets the box `b`.
bool crosses(const Box& b, double x0, double y0, double x1, double y1) {
  double lo = 0.0, hi = 1.0;  // the share of the segment inside, clipped
  const double dx = x1 - x0, dy = y1 - y0;
  for (const auto& [p, q] : {std::pair{-dx, x0 - b.x0}, std::pair{dx, b.x1 - x0},
                             std::pair{-dy, y0 - b.y0}, std::pair{dy, b.y1 - y0}}) {
    if (p == 0.0) {
      if (q < 0.0) return false;
    } else if (p < 0.0) {
      lo = std::max(lo, q / p);
    } else {
      hi = std::min(hi, q / p);
    }
  }
  return lo <= hi;
}

// Whether a boundary passes through the box `b`.
bool on_boundary(const Map& map, const Frame& f, const Box& b) {
  for (const auto& line : map.boundaries) {
    for (std::size_t k = 1; k < line.size(); ++k) {
      if (crosses(b, f.sx(line[k - 1][0]), f.sy(line[k - 1][1]), f.sx(line[k][0]),
                  f.sy(line[k][1])))
        return true;
    }
  }
  return false;
}

// Whether every grid point under the box `b` is of region `region`.
bool inside_region(const Map& map, const Regions& r, const Frame& f, const Box& b,
                   std::size_t region) {
  const std::size_t nx = map.x.size(), ny = map.y.size();
  const auto nearest = [](const std::vector<double>& v, double value) {
    const auto at = std::lower_bound(v.begin(), v.end(), value);
    std::size_t k = static_cast<std::size_t>(at - v.begin());
    if (k == v.size() || (k > 0 && value - v[k - 1] < v[k] - value)) --k;
    return k;
  };
  const double wx = (f.x.hi - f.x.lo) / (f.right - f.left);
  const double wy = (f.y.hi - f.y.lo) / (f.bottom - f.top);
  for (int a = 0; a <= 4; ++a) {
    for (int c = 0; c <= 2; ++c) {
      const double px = b.x0 + (b.x1 - b.x0) * a / 4.0, py = b.y0 + (b.y1 - b.y0) * c / 2.0;
      const std::size_t i = nearest(map.x, f.x.lo + (px - f.left) * wx);
      const std::size_t j = nearest(map.y, f.y.lo + (f.bottom - py) * wy);
      if (i >= nx || j >= ny || r.of[j * nx + i] != region) return false;
    }
  }
  return true;
}

// Each region named inside itself where its TDI and TDTS fit, else by a
// number where that fits, clear of the boxes `taken` (the catalysts'
// markers), which get the labels too. Returns the key's entries.
std::vector<std::string> write_region_names(std::string& out, const Map& map, const Regions& r,
                                            const Frame& f, std::vector<Box>& taken) {
  std::vector<std::string> key;
  const std::size_t nx = map.x.size();
  out += "<g id=\"region-names\" font-size=\"" + num(kRegionSize) + "\">\n";
  for (std::size_t region = 0; region < r.names.size(); ++region) {
    const std::string tdi = "TDI " + plot::shorten_end(r.names[region].first, kMaxName);
    const std::string tdts = "TDTS " + plot::shorten_end(r.names[region].second, kMaxName);
    const std::string number = std::to_string(key.size() + 1);
    // The region's points, nearest its centre first.
    std::vector<std::pair<double, double>> at;
    double cx = 0, cy = 0;
    for (std::size_t k = 0; k < r.of.size(); ++k) {
      if (r.of[k] != region) continue;
      at.emplace_back(f.sx(map.x[k % nx]), f.sy(map.y[k / nx]));
      cx += at.back().first, cy += at.back().second;
    }
    cx /= static_cast<double>(at.size()), cy /= static_cast<double>(at.size());
    std::sort(at.begin(), at.end(), [&](const auto& a, const auto& b) {
      return std::hypot(a.first - cx, a.second - cy) < std::hypot(b.first - cx, b.second - cy);
    });
    const double line = plot::kLineHeight * kRegionSize;
    const auto try_place = [&](double w, double h, double& px, double& py) {
      for (std::size_t k = 0; k < at.size() && k < 2000; ++k) {
        const Box b{at[k].first - w / 2 - 2, at[k].second - h / 2 - 1, at[k].first + w / 2 + 2,
                    at[k].second + h / 2 + 1};
        if (b.x0 < f.left || b.x1 > f.right || b.y0 < f.top || b.y1 > f.bottom) continue;
        if (!inside_region(map, r, f, b, region) || on_boundary(map, f, b)) continue;
        bool free = true;
        for (const Box& t : taken) free = free && plot::overlap(b, t) == 0.0;
        if (!free) continue;
        taken.push_back(b);
        px = at[k].first, py = at[k].second;
        return true;
      }
      return false;
    };
    double px = 0, py = 0;
    const double w = std::max(text_width(tdi, kRegionSize), text_width(tdts, kRegionSize));
    if (try_place(w, 2 * line, px, py)) {
      const double first = py - line + (1.0 - plot::kDescent) * kRegionSize;
      out += "<text class=\"region-label\" x=\"" + num(px) + "\" y=\"" + num(first) +
             "\" text-anchor=\"middle\"" + kHalo + ">" + xml_escape(tdi) + "<tspan x=\"" + num(px) +
             "\" y=\"" + num(first + line) + "\">" + xml_escape(tdts) + "</tspan></text>\n";
      continue;
    }
    std::string entry = number + " TDI " + plot::shorten_end(r.names[region].first, kMaxKeyName) +
                        ", TDTS " + plot::shorten_end(r.names[region].second, kMaxKeyName);
    if (try_place(text_width(number, kRegionSize), line, px, py)) {
      out += "<text class=\"region-number\" x=\"" + num(px) + "\" y=\"" +
             num(py + (0.5 - plot::kDescent) * kRegionSize) + "\" text-anchor=\"middle\"" + kHalo +
             ">" + number + "</text>\n";
    } else {
      entry += ", too small to mark";
    }
    key.push_back(entry);
  }
  out += "</g>\n";
  return key;
}

// The colour bar right of the plot: the scale in 64 steps, its ticks and,
// at the canvas's right edge, its title.
void write_colour_bar(std::string& out, const Map& map, const Frame& f, const Range& z,
                      const Ticks& ticks, double width) {
  const double x0 = f.right + kBarGap, h = f.bottom - f.top;
  out += "<g id=\"colour-bar\">\n";
  constexpr int kSteps = 64;
  for (int s = 0; s < kSteps; ++s) {
    const double top = f.bottom - h * (s + 1) / kSteps;
    out += "<rect x=\"" + num(x0) + "\" y=\"" + num(top) + "\" width=\"" + num(kBarWidth) +
           "\" height=\"" + num(h / kSteps + (s + 1 < kSteps ? 0.3 : 0.0)) + "\" fill=\"" +
           hex(map_colour((s + 0.5) / kSteps)) + "\"/>\n";
  }
  out += "<rect x=\"" + num(x0) + "\" y=\"" + num(f.top) + "\" width=\"" + num(kBarWidth) +
         "\" height=\"" + num(h) + "\" fill=\"none\" stroke=\"#000\" stroke-width=\"0.6\"/>\n";
  for (std::size_t k = 0; k < ticks.values.size(); ++k) {
    const double y = f.bottom - h * share(map, z, ticks.values[k]);
    out += "<line class=\"bar-tick\" x1=\"" + num(x0 + kBarWidth) + "\" y1=\"" + num(y) +
           "\" x2=\"" + num(x0 + kBarWidth + kTickLength) + "\" y2=\"" + num(y) +
           "\" stroke=\"#000\"/>\n";
    text(out, x0 + kBarWidth + kTickLength + 2.0, y + 3.5, kTickSize, ticks.texts[k], "start",
         " class=\"bar-tick-label\"");
  }
  out += "<text id=\"bar-title\" transform=\"translate(" +
         num(width - kMargin - plot::kDescent * kAxisTitleSize) + "," +
         num((f.top + f.bottom) / 2) + ") rotate(-90)\" font-size=\"" + num(kAxisTitleSize) +
         "\" text-anchor=\"middle\">" +
         xml_escape(plot::fit_width(map.quantity == MapQuantity::energetic_span
                                        ? "energetic span (kcal/mol)"
                                        : "log\u2081\u2080(TOF / s\u207b\u00b9)",
                                    kAxisTitleSize, h)) +
         "</text>\n";
  out += "</g>\n";
}

// The catalysts inside the ranges as white points, named where the names
// fit clear of each other, the markers and the regions' names; returns
// the names of those not named (outside the ranges, or no room).
std::vector<std::string> write_points(std::string& out, const Map& map, const Frame& f,
                                      std::vector<Box> taken) {
  std::vector<volcano_figure::Name> names;
  volcano_figure::Obstacles obstacles;
  obstacles.labels = std::move(taken);
  std::vector<bool> named(map.points.size(), false);
  out += "<g id=\"catalysts\">\n";
  for (std::size_t k = 0; k < map.points.size(); ++k) {
    const MapPoint& p = map.points[k];
    if (!(p.x >= f.x.lo && p.x <= f.x.hi && p.y >= f.y.lo && p.y <= f.y.hi)) continue;
    const double cx = f.sx(p.x), cy = f.sy(p.y);
    out += "<circle class=\"point\" cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" +
           num(kMarkerRadius) + "\" fill=\"#fff\" stroke=\"#000\" stroke-width=\"0.9\"><title>" +
           xml_escape(p.name) + "</title></circle>\n";
    obstacles.markers.push_back(volcano_figure::marker_box(cx, cy));
    names.push_back({k, cx, cy, text_width(plot::shorten_end(p.name, kMaxName), kNameSize)});
  }
  const volcano_figure::Naming naming = volcano_figure::name_points(names, f, obstacles, {});
  for (std::size_t j = 0; j < names.size(); ++j) {
    const volcano_figure::Placed& at = naming.at[j];
    if (!at.shown) continue;
    named[names[j].point] = true;
    if (at.leader) {
      out += "<line class=\"leader\" x1=\"" + num(at.line.x0) + "\" y1=\"" + num(at.line.y0) +
             "\" x2=\"" + num(at.line.x1) + "\" y2=\"" + num(at.line.y1) +
             "\" stroke=\"#fff\" stroke-width=\"0.8\"/>\n";
    }
    text(out, at.box.x0, at.box.y1 - plot::kDescent * kNameSize, kNameSize,
         plot::shorten_end(map.points[names[j].point].name, kMaxName), "start",
         std::string(" class=\"point-label\"") + kHalo);
  }
  out += "</g>\n";
  std::vector<std::string> unnamed;
  for (std::size_t k = 0; k < map.points.size(); ++k) {
    if (!named[k]) unnamed.push_back(map.points[k].name);
  }
  return unnamed;
}

// The picture on a canvas `width` px wide at `scale`, its plot area
// `plot_height` px high; `height` gets the canvas's height.
std::string draw_map(const std::string& file, const Map& map, const VolcanoPicture& picture,
                     double width, double scale, double plot_height, double& height) {
  const double room = width - 2 * kMargin;
  const double line_room = room * plot::kTextRoomShare;
  const std::string title = chart::title_of(picture, "Map: ", file, line_room);
  const auto top = static_cast<std::size_t>(map.top);
  const std::size_t nx = map.x.size();
  std::string figures = map.over_temperature
                            ? std::string()
                            : "T = " + plot::shortest_text(map.conditions.T) + " K    ";
  const std::vector<double>& values = quantity_values(map);
  const bool span = map.quantity == MapQuantity::energetic_span;
  figures += span ? "lowest span " + plot::fixed_text(values[top], 2) + " kcal/mol at \u25b2"
                  : "max log\u2081\u2080 TOF " + plot::fixed_text(values[top], 2) + " at \u25b2";
  figures = plot::fit_width(figures, chart::kFiguresSize, line_room, false, true);

  Range z;
  for (double v : values) z.add(v);
  z = z.padded(0.0);
  const Ticks bar_ticks = nice_ticks(z.lo, z.hi, plot_height / 32.0);
  Frame f;
  f.x = {map.x_from, map.x_to};
  f.y = {map.y_from, map.y_to};
  const Ticks yt = nice_ticks(f.y.lo, f.y.hi, plot_height / 32.0);
  const double up = picture.no_title ? 15.0 : 0.0;
  f.strip_top = f.top = 45.0 - up;
  f.bottom = f.top + plot_height;
  f.left = kMargin + kAxisTitleSize + 6.0 + widest(yt, kTickSize) + kTickLength + 3.0;
  f.right = width - kMargin - kAxisTitleSize - 6.0 - widest(bar_ticks, kTickSize) - kTickLength -
            2.0 - kBarWidth - kBarGap;

  std::string body;
  write_cells(body, map, f, z);
  const Regions regions = regions_of(map);
  write_boundaries(body, map, f);
  std::vector<Box> taken;
  for (const MapPoint& p : map.points) {
    if (p.x >= f.x.lo && p.x <= f.x.hi && p.y >= f.y.lo && p.y <= f.y.hi)
      taken.push_back(volcano_figure::marker_box(f.sx(p.x), f.sy(p.y)));
  }
  const double top_x = f.sx(map.x[top % nx]), top_y = f.sy(map.y[top / nx]);
  body += "<path id=\"top\" d=\"M" + num(top_x) + "," + num(top_y - 6) + " L" + num(top_x + 5) +
          "," + num(top_y + 3) + " L" + num(top_x - 5) + "," + num(top_y + 3) +
          " Z\" fill=\"#fff\" stroke=\"#000\" stroke-width=\"0.9\"/>\n";
  taken.push_back({top_x - 5, top_y - 6, top_x + 5, top_y + 3});
  const std::vector<std::string> key = write_region_names(body, map, regions, f, taken);
  const std::vector<std::string> unnamed = write_points(body, map, f, taken);
  write_colour_bar(body, map, f, z, bar_ticks, width);
  double axes_bottom = 0;
  const std::string x_title = picture.xlabel.empty() ? map.x_name + " (kcal/mol)" : picture.xlabel;
  const std::string y_title = !picture.ylabel.empty() ? picture.ylabel
                              : map.over_temperature  ? std::string("T (K)")
                                                      : map.y_name + " (kcal/mol)";
  chart::write_axes(body, f, x_title, y_title, 60.0, axes_bottom);
  const std::vector<std::string> notes =
      chart::note_lines(key, "Not named for want of room, or outside the ranges: ", unnamed,
                        map.warnings, line_room, false);
  height = chart::write_notes(body, notes, room, axes_bottom + 4.0) + 10.0;
  return chart::document(width, height, scale, title, "Map",
                         (span ? "The energetic span over " : "log10 TOF over ") + map.x_name +
                             " and " + map.y_name + ", " + figures,
                         figures, up, body);
}

}  // namespace

std::array<int, 3> map_colour(double t) {
  // A ramp through nine colours from dark violet-blue to yellow, each
  // lighter than the one before.
  static constexpr int kStops[9][3] = {{68, 1, 84},    {71, 45, 123},  {59, 82, 139},
                                       {44, 114, 142}, {33, 145, 140}, {40, 174, 128},
                                       {94, 201, 98},  {173, 220, 48}, {253, 231, 37}};
  if (!(t > 0.0)) t = 0.0;
  if (t > 1.0) t = 1.0;
  const double at = t * 8.0;
  const int k = std::min(7, static_cast<int>(at));
  const double u = at - k;
  std::array<int, 3> rgb{};
  for (int c = 0; c < 3; ++c) {
    rgb[static_cast<std::size_t>(c)] =
        static_cast<int>(std::lround(kStops[k][c] + (kStops[k + 1][c] - kStops[k][c]) * u));
  }
  return rgb;
}

std::string map_svg(const std::string& file, const Map& map, const VolcanoPicture& picture) {
  return chart::sized_picture(
      picture, kPlotHeight, [&](double width, double scale, double plot_height, double& height) {
        return draw_map(file, map, picture, width, scale, plot_height, height);
      });
}

}  // namespace kinex

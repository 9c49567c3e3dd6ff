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

#include "figures/plot_geometry.h"
#include "figures/plot_layout.h"
#include "figures/plot_style.h"
#include "figures/plot_svg.h"
#include "figures/plot_text.h"
#include "figures/volcano_names.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

using plot::Box;
using plot::num;
using plot::text_width;
using plot::xml_escape;
using volcano_figure::Frame;
using volcano_figure::kMarkerRadius;
using volcano_figure::kNameSize;
using volcano_figure::Range;

// The page as volcano_svg's: 340 px wide is a paper's column, a 10 px text
// printing at about 7.5 pt.
constexpr double kWidth = 340.0;
constexpr double kMinWidth = 300.0;
constexpr double kBodyPoints = 7.5;
constexpr double kMargin = 10.0;
constexpr double kPlotHeight = 220.0;

constexpr double kTitleSize = 13.0;  // bold
constexpr double kFiguresSize = 10.5;
constexpr double kAxisTitleSize = 11.0;
constexpr double kTickSize = 10.0;
constexpr double kRegionSize = 9.5;
constexpr double kKeySize = 10.0;
constexpr double kKeyLine = 13.0;
constexpr double kTickLength = 4.0;
constexpr double kBarWidth = 10.0;
constexpr double kBarGap = 8.0;
constexpr std::size_t kMaxName = 28;
constexpr std::size_t kMaxKeyName = 60;
constexpr const char* kHalo = " stroke=\"#fff\" stroke-width=\"2.4\" paint-order=\"stroke\"";

// The share of the colour scale of value v over z: lighter where the cycle
// is more active, so the energetic span's scale runs the other way.
double share(const Map& map, const Range& z, double v) {
  const double t = (v - z.lo) / (z.hi - z.lo);
  return map.quantity == MapQuantity::energetic_span ? 1.0 - t : t;
}

bool finite(double v) { return std::isfinite(v); }

// `words` with the hyphens that are the signs of numbers ("-6.96", "1e-05")
// written as a true minus (U+2212); hyphens within words ("TS-RE") stay.
std::string minus_signs(const std::string& words) {
  std::string out;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  for (std::size_t k = 0; k < words.size(); ++k) {
    const char next = k + 1 < words.size() ? words[k + 1] : '\0';
    const char before = k > 0 ? words[k - 1] : ' ';
    const bool exponent = before == 'e' && k >= 2 && digit(words[k - 2]);
    const bool sign = words[k] == '-' && (digit(next) || next == '.') &&
                      (exponent || !(letter(before) || digit(before)));
    out += sign ? std::string("\u2212") : std::string(1, words[k]);
  }
  return out;
}

std::string file_name(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1);
}

std::string hex(const std::array<int, 3>& rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
  return text;
}

struct Ticks {
  std::vector<double> values;
  std::vector<std::string> texts;
};

// Ticks at 1, 2 or 5 times a power of ten, about `count` of them in [lo, hi].
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

double widest(const Ticks& t, double size) {
  double w = 0;
  for (const std::string& s : t.texts) w = std::max(w, text_width(s, size));
  return w;
}

void text(std::string& out, double x, double y, double size, const std::string& words,
          const char* anchor, const std::string& extra = "") {
  out += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" font-size=\"" + num(size) +
         "\" text-anchor=\"" + anchor + "\"" + extra + ">" + xml_escape(words) + "</text>\n";
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

// The axes, their ticks and titles; `bottom` gets the x title's baseline.
void write_axes(std::string& out, const Frame& f, const std::string& x_title,
                const std::string& y_title, double& bottom) {
  out += "<g id=\"axes\" fill=\"" + std::string(plot::kTextColour) + "\">\n";
  out += "<rect x=\"" + num(f.left) + "\" y=\"" + num(f.top) + "\" width=\"" +
         num(f.right - f.left) + "\" height=\"" + num(f.bottom - f.top) +
         "\" fill=\"none\" stroke=\"#000\" stroke-width=\"0.8\"/>\n";
  Ticks xt;
  for (double count = (f.right - f.left) / 60.0; count >= 1.0; count /= 1.5) {
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
  bottom = f.bottom + kTickLength + 28.0;
  text(out, (f.left + f.right) / 2, bottom, kAxisTitleSize,
       plot::fit_width(x_title, kAxisTitleSize, f.right - f.left), "middle", " id=\"x-title\"");
  out += "<text id=\"y-title\" transform=\"translate(" + num(kMargin + kAxisTitleSize - 1.0) + "," +
         num((f.top + f.bottom) / 2) + ") rotate(-90)\" font-size=\"" + num(kAxisTitleSize) +
         "\" text-anchor=\"middle\">" +
         xml_escape(plot::fit_width(y_title, kAxisTitleSize, f.bottom - f.top)) + "</text>\n";
  out += "</g>\n";
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

// The lines under the plot: the regions' key, the catalysts not named and
// the warnings, each wrapped to `room` px.
std::vector<std::string> note_lines(const std::vector<std::string>& key,
                                    const std::vector<std::string>& unnamed,
                                    const std::vector<std::string>& warnings, double room) {
  std::vector<std::string> notes;
  const auto add = [&](const std::string& line) {
    for (const std::string& l : plot::wrap(line, kKeySize, room)) notes.push_back(l);
  };
  if (!key.empty()) {
    std::string line = "Regions: ";
    for (std::size_t k = 0; k < key.size(); ++k) line += (k ? "; " : "") + key[k];
    add(line);
  }
  if (!unnamed.empty()) {
    std::string line = "Not named for want of room, or outside the ranges: ";
    for (std::size_t k = 0; k < unnamed.size(); ++k)
      line += (k ? ", " : "") + plot::shorten_end(unnamed[k], kMaxName);
    add(line);
  }
  for (const std::string& warning : warnings) add("Warning: " + minus_signs(warning));
  return notes;
}

// The picture on a canvas `width` px wide at `scale`, its plot area
// `plot_height` px high; `height` gets the canvas's height.
std::string draw_map(const std::string& file, const Map& map, const VolcanoPicture& picture,
                     double width, double scale, double plot_height, double& height) {
  const double room = width - 2 * kMargin;
  const double line_room = room * plot::kTextRoomShare;
  std::string title;
  if (!picture.no_title) {
    title = plot::fit_width(
        plot::shorten_end(picture.has_title ? picture.title : "Map: " + file_name(file),
                          plot::kMaxNameLength),
        kTitleSize, line_room, true, true);
  }
  const auto top = static_cast<std::size_t>(map.top);
  const std::size_t nx = map.x.size();
  std::string figures = map.over_temperature
                            ? std::string()
                            : "T = " + plot::shortest_text(map.conditions.T) + " K    ";
  const std::vector<double>& values = quantity_values(map);
  const bool span = map.quantity == MapQuantity::energetic_span;
  figures += span ? "lowest span " + plot::fixed_text(values[top], 2) + " kcal/mol at \u25b2"
                  : "max log\u2081\u2080 TOF " + plot::fixed_text(values[top], 2) + " at \u25b2";
  figures = plot::fit_width(figures, kFiguresSize, line_room, false, true);

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
  write_axes(body, f, x_title, y_title, axes_bottom);
  double y_note = axes_bottom + 4.0;
  for (const std::string& line : note_lines(key, unnamed, map.warnings, line_room)) {
    y_note += kKeyLine;
    text(body, kMargin, y_note, kKeySize, plot::fit_width(line, kKeySize, room), "start",
         " class=\"key\"");
  }
  height = y_note + 10.0;

  std::string out;
  plot::write_document_head(out, width, height, scale, title.empty() ? std::string("Map") : title,
                            (span ? "The energetic span over " : "log10 TOF over ") + map.x_name +
                                " and " + map.y_name + ", " + figures);
  if (!title.empty())
    text(out, kMargin, 18.0, kTitleSize, title, "start", " id=\"title\" font-weight=\"bold\"");
  text(out, kMargin, 33.0 - up, kFiguresSize, figures, "start",
       " id=\"figures\" xml:space=\"preserve\"");
  out += body;
  out += "</svg>\n";
  return out;
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
  double scale = (picture.font_size > 0 ? picture.font_size : kBodyPoints) / kBodyPoints;
  double width = picture.width > 0 ? picture.width / scale : kWidth;
  if (width < kMinWidth) width = kMinWidth, scale = picture.width / kMinWidth;
  const double plot_height = kPlotHeight * width / kWidth;
  double height = 0.0;
  std::string svg = draw_map(file, map, picture, width, scale, plot_height, height);
  if (picture.height / scale > height + 0.5) {
    svg = draw_map(file, map, picture, width, scale, plot_height + picture.height / scale - height,
                   height);
  }
  return svg;
}

}  // namespace kinex

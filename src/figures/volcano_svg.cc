// The picture of a volcano (kinex/volcano.h): a column-wide SVG of one
// curve with its band, the regions of equal TDI and TDTS behind it, the
// catalysts as labelled points and the top of the volcano. Where the
// catalysts' names go is worked out in volcano_names.cc.
#include "figures/volcano_svg.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
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
using plot::Box;
using plot::num;
using plot::Segment;
using plot::text_width;
using plot::xml_escape;
using volcano_figure::Frame;
using volcano_figure::kMarkerRadius;
using volcano_figure::kNameSize;
using volcano_figure::Name;
using volcano_figure::Naming;
using volcano_figure::Obstacles;
using volcano_figure::Placed;
using volcano_figure::Range;

// The plot area's height at the column's width (chart_svg.h).
constexpr double kPlotHeight = 200.0;

constexpr double kLegendSize = 10.0;
constexpr double kLegendLine = 14.0;
constexpr double kRegionSize = 10.0;  // the regions' TDI and TDTS

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
      d.legend_name = "log\u2081\u2080 TOF of the cycle of the fitted lines";
      d.top_words = "log\u2081\u2080 TOF";
      break;
    case VolcanoCurve::energetic_span:
      d.curve = &v.energetic_span;
      d.band = &v.energetic_span_band;
      d.axis_title = "energetic span \u03b4E (kcal/mol)";
      d.legend_name = "energetic span \u03b4E of the fitted lines";
      d.top_words = "\u03b4E";
      break;
    case VolcanoCurve::endergonic_step:
      d.curve = &v.endergonic_step;
      d.band = &v.endergonic_step_band;
      d.axis_title = "most endergonic step \u0394G (kcal/mol)";
      d.legend_name = "most endergonic step \u0394G of the fitted lines";
      d.top_words = "\u0394G";
      break;
  }
  return d;
}

// The box of a flat text of `size` whose baseline starts at (x, y), anchored
// at its start, middle or end.
Box text_box(double x, double y, double width, double size, const char* anchor) {
  const std::string a = anchor;
  const double x0 = a == "start" ? x : a == "middle" ? x - width / 2 : x - width;
  const double bottom = y + plot::kDescent * size;
  return {x0, bottom - plot::kLineHeight * size, x0 + width, bottom};
}

void write_legend(std::string& out, const Drawn& d, bool band, bool outliers, bool top, double y0,
                  double width, double& bottom) {
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
    if (x > kMargin && x + w > kMargin + (width - 2 * kMargin) * plot::kTextRoomShare) {
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
  // Each boundary a dashed line through the plot and the labels' strip, so
  // that the regions stay apart in grey.
  for (std::size_t r = 1; r < columns.size(); ++r) {
    const double x = columns[r].first;
    out += "<line class=\"region-boundary\" x1=\"" + num(x) + "\" y1=\"" + num(f.strip_top) +
           "\" x2=\"" + num(x) + "\" y2=\"" + num(f.bottom) +
           "\" stroke=\"#777\" stroke-width=\"0.7\" stroke-dasharray=\"3,2\"/>\n";
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
                        chart::with_minus(descriptor_text(g.from, v.from, v.to), true) + " to " +
                        chart::with_minus(descriptor_text(g.to, v.from, v.to), true) + ")";
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
  return chart::widest(nice_ticks(y.lo, y.hi, plot_height / 32.0), kTickSize);
}

// Whether the band has a width somewhere along the curve.
bool band_shown(const Drawn& d) {
  const std::vector<double>& curve = *d.curve;
  bool shown = false;
  for (std::size_t k = 0; k < d.band->low.size() && k < d.band->high.size() && k < curve.size();
       ++k) {
    shown = shown || (finite(d.band->low[k]) && finite(d.band->high[k]) &&
                      d.band->high[k] - d.band->low[k] > 1e-12);
  }
  return shown;
}

bool any_outlier(const Volcano& v) {
  bool outliers = false;
  for (const VolcanoPoint& p : v.points) outliers = outliers || p.outlier;
  return outliers;
}

// The texts above the plot, and the top of the volcano (the highest log10
// TOF) with the drawn curve's value there, when it has one.
struct Head {
  std::string title, figures;
  bool has_top = false;
  double top_x = 0, top_y = 0;
};

// The title and the figures line, each fitted to `line_room` px, keeping
// their starts: the title, "Volcano: " and the table's file name unless the
// user gives one (none with no_title); the figures give
// the temperature and the top, or say there is none inside the range
// (where log10 TOF still rises at an end of it).
Head head_of(const std::string& file, const Volcano& volcano, const VolcanoPicture& picture,
             const Drawn& d, double line_room) {
  Head h;
  const VolcanoCurve curve = picture.curve;
  h.title = chart::title_of(picture, "Volcano: ", file, line_room);
  h.figures = "T = " + plot::shortest_text(volcano.fits.conditions.T) + " K";
  h.top_x = volcano.top_x;
  h.top_y = curve == VolcanoCurve::log10_TOF        ? volcano.top_log10_TOF
            : curve == VolcanoCurve::energetic_span ? volcano.top_energetic_span
                                                    : volcano.top_endergonic_step;
  h.has_top = volcano.top_inside && finite(h.top_x) && finite(h.top_y);
  if (h.has_top) {
    h.figures += "    top: " + d.top_words + " = " + plot::fixed_text(h.top_y, 2) + " at " +
                 chart::with_minus(top_descriptor_text(h.top_x, volcano.from, volcano.to), true);
  } else {
    h.figures += "    no top inside the range";
  }
  h.figures = plot::fit_width(h.figures, chart::kFiguresSize, line_room, false, true);
  return h;
}

// The frame under the legend (its last baseline at `legend_bottom`), with
// a strip for the regions' labels when there are regions: x over the curve
// and the catalysts, y over the curve, its band and the catalysts' values,
// the plot area leaving room for the y axis's labels and title.
Frame frame_of(const Volcano& volcano, const Drawn& d, double legend_bottom, double width,
               double plot_height) {
  Frame f;
  Range x, y;
  x.add(volcano.from);
  x.add(volcano.to);
  for (double v : volcano.x) x.add(v);
  for (const VolcanoPoint& p : volcano.points) x.add(p.x);
  for (double v : *d.curve) y.add(v);
  for (double v : d.band->low) y.add(v);
  for (double v : d.band->high) y.add(v);
  for (double v : d.points) y.add(v);
  f.x = x.padded(0.0, true);  // the range asked for, however small
  f.y = y.padded(0.08);
  f.strip_top = legend_bottom + 10.0;
  f.top = volcano.regions.empty() ? f.strip_top : f.strip_top + 28.0;
  f.bottom = f.top + plot_height;
  f.left = kMargin + kAxisTitleSize + 6.0 + y_labels_width(f.y, plot_height) + kTickLength + 3.0;
  f.right = width - kMargin - 12.0;
  return f;
}

// The names placed (`naming` of `names`): each shown one's leader, if it
// has one, and its text, an outlier's in red. Marks the catalysts named in
// `labelled`.
std::string write_names(const Volcano& volcano, const std::vector<Name>& names,
                        const Naming& naming, std::vector<bool>& labelled) {
  std::string labels;
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
  return labels;
}

// The top of the volcano (when it has one), the catalysts' markers in table
// order, then their names where they fit best, placed greedily, the top's
// first. Returns the names of the catalysts left unlabelled, for want of
// room or of a value.
std::vector<std::string> write_points(std::string& body, const Volcano& volcano, const Drawn& d,
                                      const Head& head, const Frame& f) {
  const std::vector<Segment> segments = volcano_figure::curve_segments(f, volcano.x, *d.curve);
  Obstacles obstacles;
  for (std::size_t k = 0; k < volcano.points.size(); ++k) {
    if (finite(volcano.points[k].x) && finite(d.points[k]))
      obstacles.markers.push_back(
          volcano_figure::marker_box(f.sx(volcano.points[k].x), f.sy(d.points[k])));
  }
  if (head.has_top) {
    const double cx = f.sx(head.top_x), cy = f.sy(head.top_y);
    body += "<path id=\"top\" d=\"M" + num(cx) + "," + num(cy - 6) + " L" + num(cx + 5) + "," +
            num(cy + 3) + " L" + num(cx - 5) + "," + num(cy + 3) + " Z\" fill=\"" + kTopColour +
            "\"/>\n";
    obstacles.markers.push_back({cx - 5, cy - 6, cx + 5, cy + 3});
  }
  std::vector<Name> names;
  for (std::size_t k = 0; k < volcano.points.size(); ++k) {
    const VolcanoPoint& p = volcano.points[k];
    if (!finite(p.x) || !finite(d.points[k])) continue;
    const double cx = f.sx(p.x), cy = f.sy(d.points[k]);
    body += marker(p, cx, cy);
    const std::string name = plot::shorten_end(p.name, kMaxName);
    names.push_back({k, cx, cy, text_width(name, kNameSize)});
  }
  const Naming naming = volcano_figure::name_points(names, f, obstacles, segments);
  std::vector<bool> labelled(volcano.points.size(), false);
  body += write_names(volcano, names, naming, labelled);
  std::vector<std::string> unlabelled;
  for (std::size_t k = 0; k < volcano.points.size(); ++k)
    if (!labelled[k]) unlabelled.push_back(volcano.points[k].name);
  return unlabelled;
}

// The picture at `scale` of a canvas `width` px wide with a plot area
// `plot_height` px high; `height` gets the canvas's height.
std::string draw_volcano(const std::string& file, const Volcano& volcano,
                         const VolcanoPicture& picture, double width, double scale,
                         double plot_height, double& height) {
  const Drawn d = drawn_of(volcano, picture.curve);
  const double room = width - 2 * kMargin;
  const double line_room = room * plot::kTextRoomShare;  // for faces wider than the estimate
  const Head head = head_of(file, volcano, picture, d, line_room);
  const double up = picture.no_title ? 15.0 : 0.0;  // the title line's room
  const bool band = band_shown(d);

  std::string body;
  double legend_bottom = 0;
  write_legend(body, d, band, any_outlier(volcano), head.has_top, 48.0 - up, width, legend_bottom);
  const Frame f = frame_of(volcano, d, legend_bottom, width, plot_height);
  const std::vector<std::string> key = write_regions(body, volcano, f);
  if (band) write_band(body, volcano, *d.band, f);
  write_curve(body, volcano, *d.curve, f);
  const std::vector<std::string> unlabelled = write_points(body, volcano, d, head, f);

  double axes_bottom = 0;
  const std::string x_title =
      picture.xlabel.empty() ? volcano.fits.descriptor + " (kcal/mol)" : picture.xlabel;
  const std::string y_title = picture.ylabel.empty() ? d.axis_title : picture.ylabel;
  chart::write_axes(body, f, x_title, y_title, 70.0, axes_bottom);
  // The key of the regions marked by number, the catalysts without a
  // label, and the warnings (poor fits, extrapolation, no driving force).
  const std::vector<std::string> notes =
      chart::note_lines(key, "Not labelled for want of room or value: ", unlabelled,
                        volcano.warnings, line_room, true);
  height = chart::write_notes(body, notes, room, axes_bottom + 4.0) + 10.0;
  return chart::document(width, height, scale, head.title, "Volcano",
                         d.axis_title + " along " + volcano.fits.descriptor + ", " + head.figures,
                         head.figures, up, body);
}

}  // namespace

std::string volcano_svg(const std::string& file, const Volcano& volcano,
                        const VolcanoPicture& picture) {
  return chart::sized_picture(
      picture, kPlotHeight, [&](double width, double scale, double plot_height, double& height) {
        return draw_volcano(file, volcano, picture, width, scale, plot_height, height);
      });
}

}  // namespace kinex

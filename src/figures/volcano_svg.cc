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

// The page, in user units (px): 340 wide is a paper's column of 3.4 in at
// 100 px per inch, so a 10 px text prints at about 7 pt.
constexpr double kWidth = 340.0;     // px wide unless asked; the text's size is kTickSize
constexpr double kMinWidth = 300.0;  // px: narrower asked, the text shrinks instead
constexpr double kBodyPoints = 7.5;  // pt of kTickSize at 96 px to the inch
constexpr double kMargin = 10.0;
constexpr double kPlotHeight = 200.0;

constexpr double kTitleSize = 13.0;  // bold
constexpr double kFiguresSize = 10.5;
constexpr double kLegendSize = 10.0;
constexpr double kLegendLine = 14.0;
constexpr double kAxisTitleSize = 11.0;
constexpr double kTickSize = 10.0;
constexpr double kRegionSize = 10.0;  // the regions' TDI and TDTS
constexpr double kKeySize = 10.0;     // the regions named under the plot
constexpr double kKeyLine = 13.0;
constexpr double kTickLength = 4.0;
constexpr std::size_t kMaxName = 28;     // code points of a catalyst's or state's name shown
constexpr std::size_t kMaxKeyName = 60;  // in the key under the plot

constexpr const char* kCurveColour = "#084594";
constexpr const char* kBandColour = "#6baed6";
constexpr const char* kPointColour = "#222";
constexpr const char* kTopColour = "#1e7b34";
constexpr const char* kTints[2] = {"#eef2f8", "#f8f1e6"};

bool finite(double v) { return std::isfinite(v); }

// `words` with the hyphens that are the signs of numbers ("-6.96", "1e-05",
// "-Inf") written as the picture writes every sign, a true minus (U+2212);
// hyphens within words stay.
std::string with_minus(const std::string& words) {
  std::string out;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  for (std::size_t k = 0; k < words.size(); ++k) {
    const char next = k + 1 < words.size() ? words[k + 1] : '\0';
    const char before = k > 0 ? words[k - 1] : ' ';
    const bool exponent = before == 'e' && k >= 2 && digit(words[k - 2]);
    const bool sign = words[k] == '-' && (digit(next) || next == '.' || next == 'I') &&
                      (exponent || !(letter(before) || digit(before)));
    out += sign ? std::string("\u2212") : std::string(1, words[k]);
  }
  return out;
}

// The table's file name, without its folder.
std::string file_name(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1);
}

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
                        with_minus(descriptor_text(g.from, v.from, v.to)) + " to " +
                        with_minus(descriptor_text(g.to, v.from, v.to)) + ")";
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
  if (!picture.no_title) {
    const std::string title = picture.has_title ? picture.title : "Volcano: " + file_name(file);
    h.title = plot::fit_width(plot::shorten_end(title, plot::kMaxNameLength), kTitleSize, line_room,
                              true, true);
  }
  h.figures = "T = " + plot::shortest_text(volcano.fits.conditions.T) + " K";
  h.top_x = volcano.top_x;
  h.top_y = curve == VolcanoCurve::log10_TOF        ? volcano.top_log10_TOF
            : curve == VolcanoCurve::energetic_span ? volcano.top_energetic_span
                                                    : volcano.top_endergonic_step;
  h.has_top = volcano.top_inside && finite(h.top_x) && finite(h.top_y);
  if (h.has_top) {
    h.figures += "    top: " + d.top_words + " = " + plot::fixed_text(h.top_y, 2) + " at " +
                 with_minus(top_descriptor_text(h.top_x, volcano.from, volcano.to));
  } else {
    h.figures += "    no top inside the range";
  }
  h.figures = plot::fit_width(h.figures, kFiguresSize, line_room, false, true);
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

// The lines under the plot, each at most `line_room` px: the key of the
// regions marked by number, the catalysts without a label, and the
// warnings (poor fits, extrapolation, no driving force, ...).
std::vector<std::string> note_lines(const std::vector<std::string>& key,
                                    const std::vector<std::string>& unlabelled,
                                    const std::vector<std::string>& warnings, double line_room) {
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
  for (const std::string& warning : warnings) {
    for (const std::string& l :
         plot::wrap("Warning: " + with_minus(warning), kKeySize, line_room)) {
      notes.push_back(l);
    }
  }
  return notes;
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
  write_axes(body, f, x_title, y_title, axes_bottom);
  double y_note = axes_bottom + 4.0;
  for (const std::string& line : note_lines(key, unlabelled, volcano.warnings, line_room)) {
    y_note += kKeyLine;
    text(body, kMargin, y_note, kKeySize, plot::fit_width(line, kKeySize, room), "start",
         " class=\"key\"");
  }
  height = y_note + 10.0;

  std::string out;
  std::string description =
      d.axis_title + " along " + volcano.fits.descriptor + ", " + head.figures;
  plot::write_document_head(out, width, height, scale,
                            head.title.empty() ? std::string("Volcano") : head.title, description);
  if (!head.title.empty())
    text(out, kMargin, 18.0, kTitleSize, head.title, "start", " id=\"title\" font-weight=\"bold\"");
  text(out, kMargin, 33.0 - up, kFiguresSize, head.figures, "start",
       " id=\"figures\" xml:space=\"preserve\"");
  out += body;
  out += "</svg>\n";
  return out;
}

}  // namespace

std::string volcano_svg(const std::string& file, const Volcano& volcano,
                        const VolcanoPicture& picture) {
  double scale = (picture.font_size > 0 ? picture.font_size : kBodyPoints) / kBodyPoints;
  double width = picture.width > 0 ? picture.width / scale : kWidth;
  if (width < kMinWidth) width = kMinWidth, scale = picture.width / kMinWidth;
  // The plot area in proportion to the width; taller for a picture asked
  // higher than that gives.
  const double plot_height = kPlotHeight * width / kWidth;
  double height = 0.0;
  std::string svg = draw_volcano(file, volcano, picture, width, scale, plot_height, height);
  if (picture.height / scale > height + 0.5) {
    svg = draw_volcano(file, volcano, picture, width, scale,
                       plot_height + picture.height / scale - height, height);
  }
  return svg;
}

}  // namespace kinex

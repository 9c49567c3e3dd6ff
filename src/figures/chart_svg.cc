// What the pictures of a table of catalysts share: texts, axes, the head
// and the notes.
#include "figures/chart_svg.h"

#include <algorithm>
#include <cmath>

#include "figures/plot_layout.h"
#include "figures/plot_style.h"
#include "figures/plot_svg.h"
#include "figures/plot_text.h"

namespace kinex::chart {

using plot::num;
using plot::text_width;

std::string with_minus(const std::string& words, bool infinity) {
  std::string out;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  for (std::size_t k = 0; k < words.size(); ++k) {
    const char next = k + 1 < words.size() ? words[k + 1] : '\0';
    const char before = k > 0 ? words[k - 1] : ' ';
    const bool exponent = before == 'e' && k >= 2 && digit(words[k - 2]);
    const bool sign = words[k] == '-' &&
                      (digit(next) || next == '.' || (infinity && next == 'I')) &&
                      (exponent || !(letter(before) || digit(before)));
    out += sign ? std::string("\u2212") : std::string(1, words[k]);
  }
  return out;
}

std::string file_name(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1);
}

Ticks nice_ticks(double lo, double hi, double count) {
  Ticks t;
  const double wanted = (hi - lo) / std::max(2.0, count);
  if (!std::isfinite(wanted) || !(wanted > 0)) return t;
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

double widest(const Ticks& ticks, double size) {
  double w = 0;
  for (const std::string& s : ticks.texts) w = std::max(w, text_width(s, size));
  return w;
}

void text(std::string& out, double x, double y, double size, const std::string& words,
          const char* anchor, const std::string& extra) {
  out += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" font-size=\"" + num(size) +
         "\" text-anchor=\"" + anchor + "\"" + extra + ">" + plot::xml_escape(words) + "</text>\n";
}

void write_axes(std::string& out, const volcano_figure::Frame& f, const std::string& x_title,
                const std::string& y_title, double x_tick_room, double& bottom) {
  out += "<g id=\"axes\" fill=\"" + std::string(plot::kTextColour) + "\">\n";
  out += "<rect x=\"" + num(f.left) + "\" y=\"" + num(f.strip_top) + "\" width=\"" +
         num(f.right - f.left) + "\" height=\"" + num(f.bottom - f.strip_top) +
         "\" fill=\"none\" stroke=\"#000\" stroke-width=\"0.8\"/>\n";
  Ticks xt;
  for (double count = (f.right - f.left) / x_tick_room; count >= 1.0; count /= 1.5) {
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
         plot::xml_escape(plot::fit_width(y_title, kAxisTitleSize, f.bottom - f.strip_top)) +
         "</text>\n";
  out += "</g>\n";
}

std::string title_of(const VolcanoPicture& picture, const std::string& kind,
                     const std::string& file, double room) {
  if (picture.no_title) return "";
  const std::string title = picture.has_title ? picture.title : kind + file_name(file);
  return plot::fit_width(plot::shorten_end(title, plot::kMaxNameLength), kTitleSize, room, true,
                         true);
}

std::vector<std::string> note_lines(const std::vector<std::string>& key,
                                    const std::string& unnamed_heading,
                                    const std::vector<std::string>& unnamed,
                                    const std::vector<std::string>& warnings, double room,
                                    bool infinity) {
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
    std::string line = unnamed_heading;
    for (std::size_t k = 0; k < unnamed.size(); ++k)
      line += (k ? ", " : "") + plot::shorten_end(unnamed[k], kMaxName);
    add(line);
  }
  for (const std::string& warning : warnings) add("Warning: " + with_minus(warning, infinity));
  return notes;
}

double write_notes(std::string& out, const std::vector<std::string>& lines, double room, double y) {
  for (const std::string& line : lines) {
    y += kKeyLine;
    text(out, kMargin, y, kKeySize, plot::fit_width(line, kKeySize, room), "start",
         " class=\"key\"");
  }
  return y;
}

std::string document(double width, double height, double scale, const std::string& title,
                     const std::string& untitled, const std::string& description,
                     const std::string& figures, double up, const std::string& body) {
  std::string out;
  plot::write_document_head(out, width, height, scale, title.empty() ? untitled : title,
                            description);
  if (!title.empty())
    text(out, kMargin, 18.0, kTitleSize, title, "start", " id=\"title\" font-weight=\"bold\"");
  text(out, kMargin, 33.0 - up, kFiguresSize, figures, "start",
       " id=\"figures\" xml:space=\"preserve\"");
  out += body;
  out += "</svg>\n";
  return out;
}

std::string sized_picture(
    const VolcanoPicture& picture, double plot_height_at_width,
    const std::function<std::string(double width, double scale, double plot_height,
                                    double& height)>& draw) {
  double scale = (picture.font_size > 0 ? picture.font_size : kBodyPoints) / kBodyPoints;
  double width = picture.width > 0 ? picture.width / scale : kWidth;
  if (width < kMinWidth) width = kMinWidth, scale = picture.width / kMinWidth;
  // The plot area in proportion to the width; taller for a picture asked
  // higher than that gives.
  const double plot_height = plot_height_at_width * width / kWidth;
  double height = 0.0;
  std::string svg = draw(width, scale, plot_height, height);
  if (picture.height / scale > height + 0.5) {
    svg = draw(width, scale, plot_height + picture.height / scale - height, height);
  }
  return svg;
}

}  // namespace kinex::chart

#include "figures/plot_svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

#include "figures/plot_text.h"

namespace kinex::plot {
namespace {

// The legend row, left to right.
constexpr const char* kLegendSubscript = "TOF";
constexpr double kLegendSubscriptDrop = 3.0;  // px the subscript is lowered by
constexpr double kLegendGap = 12.0;           // px after the words
constexpr int kLegendSamples = 5;             // bars for X = 0, 0.25, ..., 1
constexpr double kSampleLength = 24.0;        // px
constexpr double kSamplePitch = 30.0;         // px
constexpr double kSampleValueDrop = 16.0;     // px from a sample to its value's baseline
constexpr double kLegendGroupGap = 24.0;      // px between the legend's three parts
constexpr double kLegendArrowHalf = 9.0;      // px: half the sample arrow's shaft
constexpr double kLegendArrowTip = 10.0;      // px from the middle to a tip
constexpr double kLegendArrowText = 10.0;     // px from the arrow to its words

// Lines.
constexpr double kMinArrowForHeads = 20.0;  // px: shorter span arrows have no heads
constexpr const char* kFadedOpacity = "0.55";

struct Svg {
  std::string out;

  void text(double x, double y, const Label& l, const char* anchor, bool upright,
            const std::string& extra = "") {
    out += "<text";
    if (upright) {
      out += " transform=\"translate(" + num(x) + "," + num(y) + ") rotate(-90)\"";
    } else {
      out += " x=\"" + num(x) + "\" y=\"" + num(y) + "\"";
    }
    out += " class=\"" + std::string(l.role) + "\" font-size=\"" + num(l.size) + "\"";
    if (l.bold) out += " font-weight=\"bold\"";
    if (l.italic) out += " font-style=\"italic\"";
    out += " fill=\"" + std::string(l.fill) + "\" text-anchor=\"" + anchor + "\"" + extra + ">" +
           xml_escape(l.text) + "</text>\n";
  }

  void line(double x0, double y0, double x1, double y1, const std::string& attributes) {
    out += "<line x1=\"" + num(x0) + "\" y1=\"" + num(y0) + "\" x2=\"" + num(x1) + "\" y2=\"" +
           num(y1) + "\" " + attributes + "/>\n";
  }

  // `pieces` as the content of a text element: shifted pieces in tspans
  // raised or lowered from the baseline, the pieces after them back on it.
  void pieces(const std::vector<Piece>& line) {
    double level = 0.0;  // px below the baseline
    for (const Piece& p : line) {
      const double target = p.shift == Shift::up     ? -kExponentRise
                            : p.shift == Shift::down ? kSubscriptDrop
                                                     : 0.0;
      if (target == level && p.shift == Shift::none) {
        out += xml_escape(p.text);
        continue;
      }
      out += "<tspan";
      if (target != level) out.append(" dy=\"").append(num(target - level)).append("\"");
      if (p.shift != Shift::none)
        out.append(" font-size=\"").append(num(kExponentSize)).append("\"");
      out.append(">").append(xml_escape(p.text)).append("</tspan>");
      level = target;
    }
  }

  // A filled arrow head with its tip at (x, y), pointing down (dir 1) or up.
  void arrow_head(double x, double y, double dir) {
    const double length = kArrowHeadLength, half = kArrowHeadHalfWidth;
    out += "<path d=\"M" + num(x) + "," + num(y) + " L" + num(x - half) + "," +
           num(y - dir * length) + " L" + num(x + half) + "," + num(y - dir * length) +
           " Z\" fill=\"" + kHighlight + "\"/>\n";
  }
};

}  // namespace

void write_document_head(std::string& out, double width, double height, double scale,
                         const std::string& title, const std::string& description) {
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + num(width * scale) +
         "\" height=\"" + num(height * scale) + "\" viewBox=\"0 0 " + num(width) + " " +
         num(height) + "\" font-family=\"" + kFontFamily + "\">\n";
  out += "<title>" + xml_escape(title) + "</title>\n";
  out += "<desc>" + xml_escape(description) + "</desc>\n";
  out += "<rect x=\"0\" y=\"0\" width=\"" + num(width) + "\" height=\"" + num(height) +
         "\" fill=\"#fff\"/>\n";
}

namespace {

void write_head(Svg& svg, const Layout& L, const Texts& t, double scale) {
  write_document_head(svg.out, L.width, L.height, scale, t.title.text, plain(t.figures));
  for (std::size_t k = 0; k < L.title_lines.size(); ++k) {
    Label line = t.title;
    line.text = L.title_lines[k];
    svg.text(kMargin, L.title_y + kTitleLine * static_cast<double>(k), line, "start", false,
             k == 0 ? " id=\"title\"" : "");
  }
  double y = L.figures_y;
  for (std::size_t k = 0; k < L.figures_lines.size(); ++k) {
    if (k > 0) y += kFiguresLine;
    svg.out += "<text" + std::string(k == 0 ? " id=\"figures\"" : " class=\"figures\"") + " x=\"" +
               num(kMargin) + "\" y=\"" + num(y) + "\" xml:space=\"preserve\" font-size=\"" +
               num(kFiguresSize) + "\">";
    svg.pieces(L.figures_lines[k]);
    svg.out += "</text>\n";
  }
  if (L.warning_lines.empty()) return;
  svg.out += "<g id=\"warning\" font-size=\"" + num(kWarningSize) +
             "\" font-weight=\"bold\" fill=\"" + kWarningColour + "\">\n";
  for (const std::string& line : L.warning_lines) {
    y += kWarningLine;
    svg.out +=
        "<text x=\"" + num(kMargin) + "\" y=\"" + num(y) + "\">" + xml_escape(line) + "</text>\n";
  }
  svg.out += "</g>\n";
}

// Sample bars for the degree of TOF control, the highlight colour and the
// span arrow, in one row under the title.
void write_legend(Svg& svg, const Layout& L) {
  svg.out += "<g id=\"legend\">\n";
  double x = kMargin;
  double y = L.legend_y;
  const std::string what = "Degree of TOF control X";
  svg.out += "<text class=\"legend\" x=\"" + num(x) + "\" y=\"" + num(y + kMiddleToBaseline) +
             "\" font-size=\"" + num(kLegendSize) + "\" fill=\"" + kLegendColour + "\">" + what +
             "<tspan dy=\"" + num(kLegendSubscriptDrop) + "\" font-size=\"" +
             num(kLegendSubscriptSize) + "\">" + kLegendSubscript + "</tspan></text>\n";
  x += text_width(what, kLegendSize) + text_width(kLegendSubscript, kLegendSubscriptSize) +
       kLegendGap;
  for (int k = 0; k < kLegendSamples; ++k) {
    const double v = k / (kLegendSamples - 1.0);
    svg.line(x, y, x + kSampleLength, y,
             "stroke=\"" + shade(v) + "\" stroke-width=\"" + num(thickness(v)) + "\"");
    if (k % 2 == 0) {  // 0, 0.5 and 1
      svg.text(x + kSampleLength / 2, y + kSampleValueDrop,
               {fixed_text(v, k == 2 ? 1 : 0), kLegendValueSize, false, "legend", kLegendColour},
               "middle", false);
    }
    x += kSamplePitch;
  }
  x += kLegendGroupGap;
  if (L.legend_wrapped) x = kMargin, y += kLegendRow;
  const Label tags{"TDI, TDTS", kLegendSize, true, "legend", kHighlight};
  svg.text(x, y + kMiddleToBaseline, tags, "start", false);
  x += text_width(tags.text, tags.size, tags.bold) + kLegendGroupGap;
  svg.line(
      x, y - kLegendArrowHalf, x, y + kLegendArrowHalf,
      "stroke=\"" + std::string(kHighlight) + "\" stroke-width=\"" + num(kSpanStrokeWidth) + "\"");
  svg.arrow_head(x, y - kLegendArrowTip, -1.0);
  svg.arrow_head(x, y + kLegendArrowTip, 1.0);
  svg.text(x + kLegendArrowText, y + kMiddleToBaseline,
           {"energetic span \u03b4E", kLegendSize, false, "legend", kLegendColour}, "start", false);
  svg.out += "</g>\n";
}

void write_axes(Svg& svg, const Layout& L, const Texts& t) {
  svg.out +=
      "<g id=\"axis\" font-size=\"" + num(kTickLabelSize) + "\" fill=\"" + kTextColour + "\">\n";
  const std::string stroke = "stroke=\"" + std::string(kTextColour) + "\" stroke-width=\"1\"";
  const double right = L.width - kMargin;
  svg.line(L.axis_x, L.top, L.axis_x, L.bottom, stroke);
  svg.line(L.axis_x, L.bottom, right, L.bottom, stroke);
  for (const Tick& t : make_ticks(L)) {
    svg.line(L.axis_x - kTickLength, t.y, L.axis_x, t.y, "class=\"tick\" " + stroke);
    svg.out += "<text class=\"tick-label\" x=\"" + num(L.axis_x - kTickLabelGap) + "\" y=\"" +
               num(t.y + kMiddleToBaseline) + "\" text-anchor=\"end\">" + xml_escape(t.text) +
               "</text>\n";
  }
  svg.out += axis_titles(L, t.x_title, t.y_title);
  svg.out += "</g>\n";
}

// How far x lies from the span's arrows (infinite without them).
double clearance(double x, const SpanDrawing& d) {
  double gap = INFINITY;
  if (d.drawn) gap = std::min(gap, std::fabs(x - d.x));
  if (d.effective_drawn) gap = std::min(gap, std::fabs(x - d.effective_x));
  return gap;
}

// Where the error bar of `s` (from `top` to `bottom`) stands: at the bar's
// left end, its right end, or just beside the bar left or right, the first
// of these that crosses none of the state's labels and keeps clear of the
// span's arrows; else the one that crosses the fewest.
double error_bar_x(const State& s, const Layout& L, const SpanDrawing& d, double top,
                   double bottom) {
  const double half = L.bar / 2;
  const double candidates[] = {s.x - half + kErrorBarInset, s.x + half - kErrorBarInset,
                               s.x - half - kErrorBarInset, s.x + half + kErrorBarInset};
  double best = candidates[0];
  int fewest = 1 << 30;
  for (const double x : candidates) {
    const Box bar{x - kErrorBarCap - 1, std::min(top, bottom), x + kErrorBarCap + 1,
                  std::max(top, bottom)};
    int crossed = clearance(x, d) < kErrorBarInset + kErrorBarCap ? 1 : 0;
    for (const Box& label : s.label_boxes) crossed += overlap(bar, label) > 0.0 ? 1 : 0;
    if (crossed == 0) return x;
    if (crossed < fewest) fewest = crossed, best = x;
  }
  return best;
}

// Connectors, the span's guide, then each state's bar and labels in a group
// of its own.
void write_states(Svg& svg, const std::vector<State>& states, const Layout& L,
                  const SpanDrawing& d) {
  svg.out +=
      "<g id=\"connectors\" stroke=\"#8c8c8c\" stroke-width=\"1.1\" "
      "stroke-dasharray=\"4,3\">\n";
  for (std::size_t c = 0; c + 1 < states.size(); ++c) {
    const State& a = states[c];
    const State& b = states[c + 1];
    if (finite(a) && finite(b)) svg.line(a.x + L.bar / 2, a.y, b.x - L.bar / 2, b.y, "");
  }
  svg.out += "</g>\n";
  if (!d.guides.empty()) {
    svg.out += "<g id=\"span-guide\" stroke=\"" + std::string(kHighlight) +
               "\" stroke-width=\"1\" stroke-dasharray=\"2,2\">\n";
    for (const Segment& g : d.guides) svg.line(g.x0, g.y0, g.x1, g.y1, "");
    svg.out += "</g>\n";
  }
  svg.out += "<g id=\"states\">\n";
  for (const State& s : states) {
    svg.out += "<g id=\"" + s.id + "\" class=\"state" + (s.transition ? " ts" : " int") +
               (s.faded ? " next-turn" : "") + "\">\n";
    if (finite(s)) {
      svg.line(s.x - L.bar / 2, s.y, s.x + L.bar / 2, s.y,
               "class=\"bar\" stroke=\"" + shade(s.xtof) + "\" stroke-width=\"" +
                   num(thickness(s.xtof)) + "\"" +
                   (s.faded ? std::string(" stroke-opacity=\"") + kFadedOpacity + "\"" : ""));
    }
    if (finite(s) && s.sigma > 0.0) {
      const double top = to_y(L, s.energy + s.sigma), bottom = to_y(L, s.energy - s.sigma);
      const double x = error_bar_x(s, L, d, top, bottom);
      const std::string style = std::string("class=\"error-bar\" stroke=\"") + kErrorBarColour +
                                "\" stroke-width=\"1.2\"";
      svg.line(x, top, x, bottom, style);
      svg.line(x - kErrorBarCap, top, x + kErrorBarCap, top, style);
      svg.line(x - kErrorBarCap, bottom, x + kErrorBarCap, bottom, style);
    }
    // Upright labels read upwards from the edge of their box nearest the bar.
    std::size_t k = 0;
    for (const Label& l : s.above) {
      const Box& b = s.label_boxes[k++];
      if (l.upright)
        svg.text(s.x + l.size * kUprightShift, b.y1, l, "start", true);
      else
        svg.text(s.x, b.y1 - l.size * kDescent, l, "middle", false);
    }
    for (const Label& l : s.below) {
      const Box& b = s.label_boxes[k++];
      if (l.upright)
        svg.text(s.x + l.size * kUprightShift, b.y0, l, "end", true);
      else
        svg.text(s.x, b.y1 - l.size * kDescent, l, "middle", false);
    }
    svg.out += "</g>\n";
  }
  svg.out += "</g>\n";
}

// Heads at both ends of a vertical arrow at x from `from` to `to` when it is
// long enough for them (they cover its ends).
void arrow_heads(Svg& svg, double x, double from, double to) {
  if (std::fabs(to - from) >= kMinArrowForHeads) {
    const double dir = to < from ? -1.0 : 1.0;
    svg.arrow_head(x, to, dir);
    svg.arrow_head(x, from, -dir);
  }
}

// A white backdrop over the box of a span's label and the opening tag of
// its text, centred in the box; `extra` ends the tag's attributes.
void open_span_label(Svg& svg, const Box& b, const char* cls, const char* extra) {
  svg.out += "<rect x=\"" + num(b.x0) + "\" y=\"" + num(b.y0) + "\" width=\"" + num(b.x1 - b.x0) +
             "\" height=\"" + num(b.y1 - b.y0) + "\" fill=\"#fff\" fill-opacity=\"0.9\"/>\n";
  svg.out += "<text class=\"" + std::string(cls) + "\" x=\"" + num((b.x0 + b.x1) / 2) + "\" y=\"" +
             num(b.y1 - kSpanLabelHeight * kSpanLabelDescent) + "\" font-size=\"" +
             num(kLabelSize) + "\" font-weight=\"bold\" fill=\"" + kHighlight +
             "\" text-anchor=\"middle\"" + extra + ">";
}

void write_span(Svg& svg, const SpanDrawing& d, const Texts& t) {
  if (!d.drawn) return;
  svg.out += "<g id=\"span\">\n";
  const std::string stroke =
      "stroke=\"" + std::string(kHighlight) + "\" stroke-width=\"" + num(kSpanStrokeWidth) + "\"";
  // From level to level (of no length when the two are level).
  svg.line(d.x, d.from, d.x, d.to, "id=\"span-arrow\" " + stroke);
  arrow_heads(svg, d.x, d.from, d.to);
  open_span_label(svg, d.label, "span-value", "");
  svg.out += xml_escape(kSpanPrefix) + "<tspan class=\"value\">" + xml_escape(t.span_value) +
             "</tspan>" + (t.span_finite && t.span_unit ? kEnergyUnit : "") + "</text>\n";
  svg.out += "</g>\n";
  if (!d.effective_drawn) return;
  // Dashed, its heads at the levels it joins.
  svg.out += "<g id=\"effective-span\">\n";
  svg.line(
      d.effective_x, d.from, d.effective_x, d.effective_to,
      "id=\"effective-span-arrow\" " + stroke + " stroke-dasharray=\"" + kEffectiveDash + "\"");
  arrow_heads(svg, d.effective_x, d.from, d.effective_to);
  open_span_label(svg, d.effective_label, "effective-span-value", " xml:space=\"preserve\"");
  svg.pieces(t.effective_label);
  svg.out += "</text>\n";
  svg.out += "</g>\n";
}

void write_notes(Svg& svg, const Layout& L) {
  svg.out += "<g id=\"notes\" font-size=\"" + num(kNoteSize) + "\" fill=\"#444\">\n";
  double y = L.notes_y;
  for (const std::string& line : L.note_lines) {
    svg.out +=
        "<text x=\"" + num(kMargin) + "\" y=\"" + num(y) + "\">" + xml_escape(line) + "</text>\n";
    y += kNoteLine;
  }
  svg.out += "</g>\n";
}

}  // namespace

std::string num(double x) {
  if (!std::isfinite(x)) x = 0.0;
  // Room for any double with two decimals (309 digits, a sign and a point);
  // a conversion that failed all the same is never copied.
  char buffer[400];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 2);
  if (r.ec != std::errc()) return "0";
  std::string text(buffer, r.ptr);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string axis_titles(const Layout& L, const std::string& x_title, const std::string& y_title) {
  const auto shown = [](const std::string& given, const char* fallback, double room) {
    return given.empty() ? std::string(fallback)
                         : xml_escape(fit_width(given, kAxisTitleSize, room, false, true));
  };
  const double right = L.width - kMargin;
  return "<text transform=\"translate(" + num(kAxisTitleX) + "," + num((L.top + L.bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\" font-size=\"" + num(kAxisTitleSize) + "\">" +
         shown(y_title, kEnergyAxisTitle, L.bottom - L.top) + "</text>\n<text x=\"" +
         num((L.axis_x + right) / 2) + "\" y=\"" + num(L.axis_title_y) +
         "\" text-anchor=\"middle\" font-size=\"" + num(kAxisTitleSize) + "\">" +
         shown(x_title, kCoordinateAxisTitle, right - L.axis_x) + "</text>\n";
}

std::string shade(double xtof) {
  const double t = shade_level(xtof);
  const int from[3] = {kBarGreyLevel, kBarGreyLevel, kBarGreyLevel};
  char buffer[8];
  std::string out = "#";
  for (int k = 0; k < 3; ++k) {
    const int v = static_cast<int>(std::lround(from[k] + (kBarBlue[k] - from[k]) * t));
    const char* hex = "0123456789abcdef";
    buffer[0] = hex[v >> 4];
    buffer[1] = hex[v & 15];
    out.append(buffer, 2);
  }
  return out;
}

std::string write_svg(const Scene& scene, const Layout& L, const SpanDrawing& d, double scale) {
  Svg svg;
  svg.out.reserve(4096 + scene.states.size() * 600);
  write_head(svg, L, scene.texts, scale);
  write_legend(svg, L);
  write_axes(svg, L, scene.texts);
  write_states(svg, scene.states, L, d);
  write_span(svg, d, scene.texts);
  write_notes(svg, L);
  svg.out += "</svg>\n";
  return svg.out;
}

}  // namespace kinex::plot

#include "kinex/plot.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "kinex/summary.h"
#include "report/line_writer.h"

namespace kinex {
namespace {

// Typography. Widths of text are estimated from the font size, a little
// generously, so that labels laid side by side never touch in the common
// sans-serif faces.
constexpr const char* kFontFamily = "Helvetica, Arial, 'Liberation Sans', sans-serif";
constexpr double kLabelSize = 12.0;
constexpr double kSmallSize = 10.5;
constexpr double kLineHeight = 1.2;            // in font sizes, between stacked labels
constexpr const char* kHighlight = "#c0392b";  // TDI, TDTS and the span
constexpr const char* kReactantColour = "#1e7b34";
constexpr const char* kProductColour = "#7b3294";
constexpr const char* kNextTurnColour = "#6b6b6b";

// Horizontal labels need columns as wide as the widest label; beyond this
// width the labels are turned upright and the columns narrowed.
constexpr double kMaxFlatContent = 1500.0;
constexpr double kUprightPitch = 30.0;
constexpr double kUprightBar = 20.0;
constexpr double kMinGap = 14.0;
constexpr double kMaxPitch = 110.0;
constexpr double kMinCanvasWidth = 620.0;
constexpr double kPlotHeight = 440.0;
constexpr double kUprightPlotHeight = 540.0;  // upright labels take more of it
constexpr std::size_t kMaxNameLength = 90;    // code points of the file name shown

// ---------------------------------------------------------------------------
// Text

// Appends the UTF-8 encoding of code point `cp`.
void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The code points of `bytes`, read as UTF-8. A byte that does not start a
// well-formed sequence (overlong forms and surrogates included) becomes
// U+FFFD, and so does every code point XML does not allow in text or that
// would not show: control characters, U+FFFE and U+FFFF. File names are
// bytes, not text, so anything can arrive here.
std::vector<uint32_t> code_points(std::string_view bytes) {
  std::vector<uint32_t> out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    uint32_t cp = 0xFFFD;
    std::size_t length = 1;
    std::size_t extra = 0;
    uint32_t min = 0;
    if (b0 < 0x80) {
      cp = b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      extra = 1, min = 0x80, cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      extra = 2, min = 0x800, cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      extra = 3, min = 0x10000, cp = b0 & 0x07;
    }
    if (extra > 0) {
      bool ok = i + extra < bytes.size();
      for (std::size_t k = 1; ok && k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (b & 0x3F);
      }
      if (ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
        length = extra + 1;
      } else {
        cp = 0xFFFD;
      }
    }
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xFFFE || cp == 0xFFFF) cp = 0xFFFD;
    out.push_back(cp);
    i += length;
  }
  return out;
}

// `text` as XML character data or attribute value: well-formed UTF-8 with
// the five markup characters escaped.
std::string xml_escape(std::string_view text) {
  std::string out;
  for (uint32_t cp : code_points(text)) {
    switch (cp) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        append_utf8(out, cp);
    }
  }
  return out;
}

// At most `limit` code points of `text`; a longer text keeps its end, where
// the file name is, behind an ellipsis.
std::string shorten(std::string_view text, std::size_t limit) {
  const std::vector<uint32_t> cps = code_points(text);
  if (cps.size() <= limit) return std::string(text);
  std::string out = "\u2026";
  for (std::size_t k = cps.size() - (limit - 1); k < cps.size(); ++k) append_utf8(out, cps[k]);
  return out;
}

// The width of `text` in pixels at font size `size`, from rough advance
// widths of a sans-serif face.
double text_width(std::string_view text, double size, bool bold = false) {
  double em = 0.0;
  for (uint32_t cp : code_points(text)) {
    if (cp == ' ') {
      em += 0.30;
    } else if (cp >= '0' && cp <= '9') {
      em += 0.58;
    } else if (cp == 'M' || cp == 'W' || cp == 'm' || cp == 'w') {
      em += 0.88;
    } else if (cp >= 'A' && cp <= 'Z') {
      em += 0.70;
    } else if (std::string_view("iljtfI.,:;'|!()[]").find(static_cast<char>(cp)) !=
                   std::string_view::npos &&
               cp < 0x80) {
      em += 0.32;
    } else if (cp >= 'a' && cp <= 'z') {
      em += 0.56;
    } else {
      em += 0.62;
    }
  }
  return em * size * (bold ? 1.08 : 1.0);
}

// Numbers as the picture shows them: a true minus sign, no negative zero,
// one decimal for energies (scientific beyond a billion), non-finite values
// spelled out.
std::string with_minus(std::string digits) {
  if (!digits.empty() && digits[0] == '-') {
    if (digits.find_first_not_of("-0.") == std::string::npos) return digits.substr(1);
    return "\u2212" + digits.substr(1);
  }
  return digits;
}

std::string non_finite_text(double x) {
  if (std::isnan(x)) return "NaN";
  return x > 0 ? "+Inf" : "\u2212Inf";
}

std::string fixed_text(double x, int decimals) {
  if (!std::isfinite(x)) return non_finite_text(x);
  char buffer[400];
  std::to_chars_result r;
  if (std::fabs(x) >= 1e9) {
    r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific, 3);
  } else {
    r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
  }
  return with_minus(std::string(buffer, r.ptr));
}

std::string energy_text(double x) { return fixed_text(x, 1); }

// Shortest text that reads back as `x` (temperatures as typed).
std::string shortest_text(double x) {
  if (!std::isfinite(x)) return non_finite_text(x);
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, x);
  return with_minus(std::string(buffer, r.ptr));
}

// Concentrations to three significant digits: "0.5", "0.001", "1e-05".
std::string concentration_text(double x) {
  if (!std::isfinite(x)) return non_finite_text(x);
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, 3);
  return with_minus(std::string(buffer, r.ptr));
}

// Coordinates: two decimals are finer than any screen or printer needs. A
// non-finite coordinate can only come from a bug; it is drawn at 0 rather
// than making the document invalid.
std::string num(double x) {
  if (!std::isfinite(x)) x = 0.0;
  char buffer[64];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 2);
  std::string text(buffer, r.ptr);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

// ---------------------------------------------------------------------------
// Geometry

struct Box {
  double x0, y0, x1, y1;
};

double overlap(const Box& a, const Box& b) {
  const double w = std::min(a.x1, b.x1) - std::max(a.x0, b.x0);
  const double h = std::min(a.y1, b.y1) - std::max(a.y0, b.y0);
  return w > 0 && h > 0 ? w * h : 0.0;
}

struct Segment {
  double x0, y0, x1, y1;
};

// Whether the segment passes through the box (Liang-Barsky clipping).
bool crosses(const Segment& s, const Box& b) {
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

// ---------------------------------------------------------------------------
// The states along the reaction coordinate

struct Label {
  std::string text;  // UTF-8, not yet escaped
  double size = kLabelSize;
  bool bold = false;
  const char* role = "name";  // the class attribute
  const char* fill = "#000";
  bool italic = false;
};

// One column of the picture: an intermediate or a transition state.
struct State {
  std::string id;     // XML id: "int-0", "ts-1", "int-0-next", "ts-1-next"
  std::string name;   // "I0", "TS1", "I0′", "TS1′"
  int64_t index = 0;  // j of intermediate j, i of transition state i
  double energy = 0.0;
  double xtof = 0.0;
  bool transition = false;
  bool faded = false;        // drawn only to reach the TDTS of the next turn
  std::vector<Label> above;  // from the bar outwards
  std::vector<Label> below;
  // Layout.
  double x = 0.0;  // centre
  double y = 0.0;  // the bar, or the top of the labels when not drawn
  double above_extent = 0.0;
  double below_extent = 0.0;
  std::vector<Box> label_boxes;
};

bool finite(const State& s) { return std::isfinite(s.energy); }

// The colour of a bar from its degree of TOF control: grey for 0, deep blue
// for 1. NaN and values outside [0, 1] are clamped (NaN to 0).
double shade_level(double xtof) { return std::isnan(xtof) ? 0.0 : std::clamp(xtof, 0.0, 1.0); }

std::string shade(double xtof) {
  const double t = shade_level(xtof);
  const int from[3] = {165, 165, 165};
  const int to[3] = {8, 69, 148};
  char buffer[8];
  std::string out = "#";
  for (int k = 0; k < 3; ++k) {
    const int v = static_cast<int>(std::lround(from[k] + (to[k] - from[k]) * t));
    const char* hex = "0123456789abcdef";
    buffer[0] = hex[v >> 4];
    buffer[1] = hex[v & 15];
    out.append(buffer, 2);
  }
  return out;
}

double thickness(double xtof) { return 2.5 + 3.5 * shade_level(xtof); }

double at(const std::vector<double>& v, int64_t k) {
  return k >= 0 && static_cast<std::size_t>(k) < v.size() ? v[k] : std::nan("");
}

bool flag(const std::vector<int64_t>& v, int64_t k) {
  return k >= 0 && static_cast<std::size_t>(k) < v.size() && v[k] != 0;
}

// The states in drawing order: I0, TS1, I1, ..., TSn, I0′ (intermediate 0 of
// the next turn), and when the TDTS precedes the TDI also the next turn's
// TS1′, I1′, ..., TSk′ up to the TDTS, so that the span can be drawn as the
// energy actually climbed.
std::vector<State> make_states(const Run& run, bool wraps) {
  std::vector<State> states;
  const int64_t n = run.n;
  auto add_intermediate = [&](int64_t j, bool next, bool faded) {
    State s;
    s.id = "int-" + std::to_string(j) + (next ? "-next" : "");
    s.name = "I" + std::to_string(j) + (next ? "\u2032" : "");
    s.energy = at(run.G_int, next ? j + n : j);
    s.index = j;
    s.xtof = at(run.xtof_int, j);
    s.faded = faded;
    states.push_back(std::move(s));
  };
  auto add_transition = [&](int64_t i, bool next) {
    State s;
    s.id = "ts-" + std::to_string(i) + (next ? "-next" : "");
    s.name = "TS" + std::to_string(i) + (next ? "\u2032" : "");
    s.energy = next ? at(run.G_ts, i) + run.DeltaG : at(run.G_ts, i);
    s.index = i;
    s.xtof = at(run.xtof_ts, i);
    s.transition = true;
    s.faded = next;
    states.push_back(std::move(s));
  };
  for (int64_t i = 1; i <= n; ++i) {
    add_intermediate(i - 1, false, false);
    add_transition(i, false);
  }
  if (n >= 1) add_intermediate(0, true, false);
  if (wraps) {
    for (int64_t i = 1; i <= run.TDTS; ++i) {
      if (i > 1) add_intermediate(i - 1, true, true);
      add_transition(i, true);
    }
  }
  return states;
}

// The column of the TDI (intermediate TDI-1) and of the TDTS, the latter in
// the next turn when it precedes the TDI.
struct Span {
  bool known = false;  // TDI and TDTS are steps of the cycle
  bool wraps = false;
  std::size_t tdi = 0;
  std::size_t tdts = 0;
  double value = 0.0;  // kcal/mol
};

Span find_span(const Run& run) {
  Span span;
  if (run.n < 1 || run.TDI < 1 || run.TDI > run.n || run.TDTS < 1 || run.TDTS > run.n ||
      run.G_ts.size() <= static_cast<std::size_t>(run.n) ||
      run.G_int.size() < static_cast<std::size_t>(run.n)) {
    return span;
  }
  span.known = true;
  span.wraps = run.TDTS < run.TDI;
  span.tdi = static_cast<std::size_t>(2 * (run.TDI - 1));
  span.tdts =
      static_cast<std::size_t>(span.wraps ? 2 * run.n + 2 * run.TDTS - 1 : 2 * run.TDTS - 1);
  span.value = energetic_span(run);
  return span;
}

// Fills the labels of every state. The TDTS keeps all its labels on the side
// away from the span arrow, which runs through its column.
void make_labels(const Run& run, const Span& span, std::vector<State>& states) {
  for (std::size_t c = 0; c < states.size(); ++c) {
    State& s = states[c];
    const bool is_tdi = span.known && c == span.tdi;
    const bool is_tdts = span.known && c == span.tdts;
    const char* fill = is_tdi || is_tdts ? kHighlight : s.faded ? kNextTurnColour : "#000";
    Label energy{energy_text(s.energy), kLabelSize, is_tdi || is_tdts, "energy", fill, s.faded};
    Label name{s.name, kLabelSize, is_tdi || is_tdts, "name", fill, s.faded};
    std::vector<Label> marks;
    if (s.transition) {
      const int64_t i = s.index;
      if (flag(run.has_reac, i)) {
        marks.push_back({"+R " + concentration_text(at(run.conc_reac, i)), kSmallSize, false,
                         "reactant", kReactantColour, s.faded});
      }
      if (flag(run.has_prod, i)) {
        marks.push_back({"\u2212P " + concentration_text(at(run.conc_prod, i)), kSmallSize, false,
                         "product", kProductColour, s.faded});
      }
    }
    if (!finite(s)) {
      // Written under the plot at the foot of the column.
      s.below = {name, energy};
      s.below.insert(s.below.end(), marks.begin(), marks.end());
      continue;
    }
    if (is_tdts) {
      const double tdi_energy = states[span.tdi].energy;
      std::vector<Label>& side = tdi_energy > s.energy ? s.below : s.above;
      side = {energy, name};
      side.insert(side.end(), marks.begin(), marks.end());
      side.push_back({"TDTS", kSmallSize, true, "tag", kHighlight});
      continue;
    }
    s.above = {energy};
    s.below = {name};
    s.below.insert(s.below.end(), marks.begin(), marks.end());
    if (is_tdi) s.below.push_back({"TDI", kSmallSize, true, "tag", kHighlight});
  }
}

// ---------------------------------------------------------------------------
// Layout

struct Layout {
  bool upright = false;  // labels turned by 90 degrees
  double pitch = 0.0;    // distance between the centres of two columns
  double bar = 0.0;      // width of a bar
  double width = 0.0;    // canvas
  double height = 0.0;
  double axis_x = 0.0;
  double top = 0.0;  // plot area
  double bottom = 0.0;
  double foot = 0.0;  // top of the band of non-finite states, if any
  // Energy scale: y = base - (E - lo) / (hi - lo) * scale, computed with
  // halves so that no difference of huge energies overflows.
  double lo = 0.0, hi = 1.0, base = 0.0, scale = 0.0;
};

double unit(const Layout& L, double e) { return (e / 2 - L.lo / 2) / (L.hi / 2 - L.lo / 2); }
double to_y(const Layout& L, double e) { return L.base - unit(L, e) * L.scale; }

double label_length(const Label& l) { return text_width(l.text, l.size, l.bold); }

// The energy range of the drawn bars, widened to at least 1 kcal/mol.
void energy_range(const std::vector<State>& states, Layout& L) {
  double lo = INFINITY, hi = -INFINITY;
  for (const State& s : states) {
    if (!finite(s)) continue;
    lo = std::min(lo, s.energy);
    hi = std::max(hi, s.energy);
  }
  if (lo > hi) lo = hi = 0.0;
  if (!(hi - lo >= 1.0)) {
    const double mid = lo / 2 + hi / 2;
    lo = mid - 0.5;
    hi = mid + 0.5;
    if (!(hi > lo)) {  // beyond the precision of a double at this magnitude
      lo = mid - std::fabs(mid) * 1e-6;
      hi = mid + std::fabs(mid) * 1e-6;
    }
  }
  L.lo = lo;
  L.hi = hi;
}

// The largest scale (pixels for the whole energy range) at which every bar
// with its labels fits between L.top and L.bottom, and the base line that
// goes with it. The height needed at scale S, max(u*S + above) +
// max(below - u*S), is convex in S, so the feasible scales form an interval
// from 0 and bisection finds its end.
void fit_scale(const std::vector<State>& states, Layout& L) {
  auto needed = [&](double S) {
    double up = 0.0, down = 0.0;
    for (const State& s : states) {
      if (!finite(s)) continue;
      const double u = unit(L, s.energy);
      up = std::max(up, u * S + s.above_extent);
      down = std::max(down, s.below_extent - u * S);
    }
    return up + down;
  };
  double height = L.bottom - L.top;
  const double labels_only = needed(0.0);
  if (labels_only + 160.0 > height) {
    height = labels_only + 160.0;
    L.bottom = L.top + height;
  }
  double lo = 0.0, hi = height;
  for (int k = 0; k < 60; ++k) {
    const double mid = (lo + hi) / 2;
    (needed(mid) <= height ? lo : hi) = mid;
  }
  L.scale = lo;
  double base = L.bottom;
  for (const State& s : states) {
    if (finite(s)) base = std::min(base, L.bottom - s.below_extent + unit(L, s.energy) * L.scale);
  }
  L.base = base;
}

// Boxes of the labels of a state (its bar at s.y), nearest the bar first.
void place_labels(State& s, const Layout& L) {
  s.label_boxes.clear();
  const double pad = finite(s) ? thickness(s.xtof) / 2 + 3.0 : 0.0;
  double edge = s.y - pad;
  for (const Label& l : s.above) {
    const double w = L.upright ? l.size * 1.1 : label_length(l);
    const double h = L.upright ? label_length(l) : l.size * kLineHeight;
    s.label_boxes.push_back({s.x - w / 2, edge - h, s.x + w / 2, edge});
    edge -= h + (L.upright ? 6.0 : 0.0);
  }
  edge = s.y + pad;
  for (const Label& l : s.below) {
    const double w = L.upright ? l.size * 1.1 : label_length(l);
    const double h = L.upright ? label_length(l) : l.size * kLineHeight;
    s.label_boxes.push_back({s.x - w / 2, edge, s.x + w / 2, edge + h});
    edge += h + (L.upright ? 6.0 : 0.0);
  }
}

// ---------------------------------------------------------------------------
// Axis ticks

struct Tick {
  double value;
  std::string text;
};

// Ticks at 1, 2 or 5 times a power of ten, about one every 55 pixels, over
// the energies that the plot area covers.
std::vector<Tick> make_ticks(const Layout& L) {
  std::vector<Tick> ticks;
  const double per_pixel = (L.hi / 2 - L.lo / 2) / L.scale * 2;
  const double e_bottom = L.lo + (L.base - L.bottom) * per_pixel;
  const double e_top = L.lo + (L.base - L.top) * per_pixel;
  const double range = e_top - e_bottom;
  if (!std::isfinite(per_pixel) || !std::isfinite(range) || !(range > 0)) return ticks;
  const double wanted = range / std::max(3.0, (L.bottom - L.top) / 55.0);
  const double magnitude = std::pow(10.0, std::floor(std::log10(wanted)));
  double step = magnitude;
  for (double f : {1.0, 2.0, 5.0, 10.0}) {
    step = f * magnitude;
    if (step >= wanted) break;
  }
  const int decimals =
      step < 1.0 ? std::min(6, static_cast<int>(std::ceil(-std::log10(step) - 1e-9))) : 0;
  const double first = std::ceil(e_bottom / step);
  const double last = std::floor(e_top / step);
  if (!(last - first < 60)) return ticks;
  for (double k = first; k <= last; k += 1.0) {
    const double value = k * step;
    if (step >= 1e7) {
      char buffer[64];
      auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 3);
      ticks.push_back({value, with_minus(std::string(buffer, r.ptr))});
    } else {
      ticks.push_back({value, fixed_text(value, decimals)});
    }
  }
  return ticks;
}

// ---------------------------------------------------------------------------
// The texts around the plot

struct Texts {
  Label title;
  std::string figures;       // temperature and TOF up to "s", before the exponent
  std::string figures_tail;  // after the exponent: the span
  std::string span_value;    // "25.4", "NaN"
  bool span_finite = false;
  std::vector<std::string> notes;
};

bool is_mark(const Label& l) {
  return l.role == std::string_view("reactant") || l.role == std::string_view("product");
}

Texts make_texts(const Run& run, const std::string& file_name, const Span& span,
                 const std::vector<State>& states) {
  Texts t;
  t.title = {"Gibbs energy profile: " + shorten(file_name, kMaxNameLength), 15.0, true, "title"};
  // The TOF with the digits of the report's TOF line.
  std::string tof(report::trim_right(report::field_ES(run.TOF, 9, 2)));
  tof.erase(0, tof.find_first_not_of(' '));
  t.figures = "T = " + shortest_text(run.T) + " K    TOF = " + tof + " s";
  std::string span_words = "not known";
  if (span.known) {
    t.span_value = energy_text(span.value);
    t.span_finite = std::isfinite(span.value);
    span_words = t.span_finite ? t.span_value + " kcal/mol" : t.span_value;
    t.figures_tail = "    \u03b4E = " + span_words + "  (TDI " + states[span.tdi].name + ", TDTS " +
                     states[span.tdts].name + ")";
  }

  t.notes.push_back(
      "Energies in kcal/mol. I0\u2032 is I0 of the next turn of the cycle, at G(I0) + "
      "\u0394G with \u0394G = " +
      energy_text(run.DeltaG) + " kcal/mol.");
  if (span.known) {
    const std::string& tdi = states[span.tdi].name;
    const std::string& tdts = states[span.tdts].name;
    if (span.wraps) {
      const std::string same_turn = "TS" + std::to_string(states[span.tdts].index);
      t.notes.push_back("The TDTS precedes the TDI in the cycle, so the span reaches " + tdts +
                        " of the next turn: \u03b4E = G(" + same_turn + ") \u2212 G(" + tdi +
                        ") + \u0394G = " + span_words + ".");
    } else {
      t.notes.push_back("Energetic span \u03b4E = G(" + tdts + ") \u2212 G(" + tdi +
                        ") = " + span_words + ".");
    }
  }
  bool marks = false, non_finite = false;
  for (const State& s : states) {
    for (const auto* side : {&s.above, &s.below})
      marks |= std::any_of(side->begin(), side->end(), is_mark);
    non_finite |= !finite(s);
  }
  if (marks) {
    t.notes.push_back(
        "+R c: a reactant of concentration c enters the step; \u2212P c: a product of "
        "concentration c leaves it.");
  }
  if (non_finite) t.notes.push_back("States with a non-finite energy are listed under the axis.");
  return t;
}

// ---------------------------------------------------------------------------
// Layout of the whole picture

constexpr double kLegendWidth = 560.0;
constexpr double kFiguresSize = 12.5;
constexpr double kNoteSize = 11.0;
constexpr double kNoteLine = 15.0;

// Column widths, canvas width, the energy scale and every label's box. Sets
// everything but the canvas height, which waits for the notes.
Layout lay_out(std::vector<State>& states, const Texts& texts) {
  Layout L;
  double widest = 0.0;
  for (const State& s : states) {
    for (const auto* side : {&s.above, &s.below}) {
      for (const Label& l : *side) widest = std::max(widest, label_length(l));
    }
  }
  const double flat_bar = std::max(34.0, widest + 6.0);
  const double columns = static_cast<double>(states.size());
  L.upright = columns * (flat_bar + kMinGap) > kMaxFlatContent;
  L.pitch = L.upright ? kUprightPitch : flat_bar + kMinGap;
  L.bar = L.upright ? kUprightBar : flat_bar;

  // Left margin: the axis title and the tick labels, as wide as the range's
  // ends written with one decimal.
  energy_range(states, L);
  const double tick_room =
      std::max(text_width(fixed_text(L.hi, 1), 11.0), text_width(fixed_text(L.lo, 1), 11.0));
  L.axis_x = 34.0 + std::max(24.0, tick_room) + 10.0;

  const double title_width =
      std::max(label_length(texts.title),
               text_width(texts.figures + "-1" + texts.figures_tail, kFiguresSize));
  L.width = std::max({kMinCanvasWidth, L.axis_x + 20.0 + columns * L.pitch + 30.0,
                      title_width + 40.0, kLegendWidth + 40.0});
  if (!L.upright) {
    // Spread the columns over a canvas that the texts made wider.
    const double room = (L.width - L.axis_x - 50.0) / std::max(1.0, columns);
    L.pitch = std::clamp(room, L.pitch, std::max(L.pitch, kMaxPitch));
    L.bar = std::min(std::max(L.bar, 0.6 * L.pitch), L.pitch - kMinGap);
  }
  for (std::size_t c = 0; c < states.size(); ++c) {
    State& s = states[c];
    s.x = L.axis_x + 20.0 + L.pitch * (static_cast<double>(c) + 0.5);
    s.y = 0.0;
    place_labels(s, L);
    s.above_extent = s.below_extent = 0.0;
    for (const Box& b : s.label_boxes) {
      s.above_extent = std::max(s.above_extent, -b.y0);
      s.below_extent = std::max(s.below_extent, b.y1);
    }
  }

  L.top = 118.0;
  L.bottom = L.top + (L.upright ? kUprightPlotHeight : kPlotHeight);
  fit_scale(states, L);
  L.foot = L.bottom + 8.0;
  for (State& s : states) {
    s.y = finite(s) ? to_y(L, s.energy) : L.foot;
    place_labels(s, L);
  }
  return L;
}

// The span arrow, its value's box and the dotted guide from the TDI to it.
struct SpanDrawing {
  bool drawn = false;
  double x = 0.0, from = 0.0, to = 0.0;  // from the TDI's level to the TDTS's
  Box label{0, 0, 0, 0};
  std::vector<Segment> guides;
};

constexpr double kSpanLabelHeight = kLabelSize * 1.3;

// The arrow runs down (or up) through the TDTS's column to the TDI's level.
// Its value goes beside it where it covers the fewest labels, bars and
// connectors, trying the middle of the arrow first; the guide is broken
// wherever it would run through a label.
SpanDrawing place_span(const std::vector<State>& states, const Layout& L, const Span& span,
                       const Texts& texts) {
  SpanDrawing d;
  if (!span.known || !finite(states[span.tdi]) || !finite(states[span.tdts])) return d;
  d.drawn = true;
  d.x = states[span.tdts].x;
  d.from = states[span.tdi].y;
  d.to = states[span.tdts].y;
  const Segment guide{states[span.tdi].x + L.bar / 2, d.from, d.x, d.from};

  std::vector<Box> obstacles;
  std::vector<Segment> lines = {guide};
  for (std::size_t c = 0; c < states.size(); ++c) {
    const State& s = states[c];
    obstacles.insert(obstacles.end(), s.label_boxes.begin(), s.label_boxes.end());
    if (!finite(s)) continue;
    const double half = thickness(s.xtof) / 2 + 2.0;
    obstacles.push_back({s.x - L.bar / 2, s.y - half, s.x + L.bar / 2, s.y + half});
    if (c + 1 < states.size() && finite(states[c + 1])) {
      lines.push_back({s.x + L.bar / 2, s.y, states[c + 1].x - L.bar / 2, states[c + 1].y});
    }
  }
  const double w = text_width("\u03b4E = " + texts.span_value + " kcal/mol", kLabelSize, true) + 6;
  const double h = kSpanLabelHeight;
  std::vector<Box> candidates;
  const double y_lo = std::min(d.from, d.to), y_hi = std::max(d.from, d.to);
  for (double f : {0.5, 0.4, 0.6, 0.3, 0.7, 0.2, 0.8, 0.1, 0.9}) {
    const double cy = y_lo + (y_hi - y_lo) * f;
    candidates.push_back({d.x + 6.0, cy - h / 2, d.x + 6.0 + w, cy + h / 2});
    candidates.push_back({d.x - 6.0 - w, cy - h / 2, d.x - 6.0, cy + h / 2});
  }
  for (double cy : {y_hi + 4.0 + h / 2, y_lo - 4.0 - h / 2}) {
    candidates.push_back({d.x - w / 2, cy - h / 2, d.x + w / 2, cy + h / 2});
  }
  double best = INFINITY;
  for (const Box& c : candidates) {
    double cost = 0.0;
    if (c.x0 < L.axis_x + 4.0 || c.x1 > L.width - 4.0 || c.y0 < L.top || c.y1 > L.bottom) {
      cost += 1e7;
    }
    for (const Box& o : obstacles) cost += 10.0 * overlap(c, o);
    for (const Segment& s : lines) cost += crosses(s, c) ? 150.0 : 0.0;
    if (cost < best) best = cost, d.label = c;
  }

  std::vector<std::pair<double, double>> gaps;
  obstacles.push_back(d.label);
  for (const Box& b : obstacles) {
    if (b.y0 - 1.0 <= d.from && d.from <= b.y1 + 1.0) gaps.push_back({b.x0 - 2.0, b.x1 + 2.0});
  }
  std::sort(gaps.begin(), gaps.end());
  double x = guide.x0;
  for (const auto& [g0, g1] : gaps) {
    if (g1 <= x) continue;
    if (g0 >= guide.x1) break;
    if (g0 > x) d.guides.push_back({x, d.from, g0, d.from});
    x = std::max(x, g1);
  }
  if (x < guide.x1) d.guides.push_back({x, d.from, guide.x1, d.from});
  return d;
}

// ---------------------------------------------------------------------------
// Writing SVG

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

  // A filled arrow head with its tip at (x, y), pointing down (dir 1) or up.
  void arrow_head(double x, double y, double dir) {
    const double length = 8.0, half = 4.0;
    out += "<path d=\"M" + num(x) + "," + num(y) + " L" + num(x - half) + "," +
           num(y - dir * length) + " L" + num(x + half) + "," + num(y - dir * length) +
           " Z\" fill=\"" + kHighlight + "\"/>\n";
  }
};

void write_head(Svg& svg, const Layout& L, const Texts& t) {
  svg.out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
  svg.out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + num(L.width) +
             "\" height=\"" + num(L.height) + "\" viewBox=\"0 0 " + num(L.width) + " " +
             num(L.height) + "\" font-family=\"" + kFontFamily + "\">\n";
  svg.out += "<title>" + xml_escape(t.title.text) + "</title>\n";
  svg.out += "<desc>" + xml_escape(t.figures + "^-1" + t.figures_tail) + "</desc>\n";
  svg.out += "<rect x=\"0\" y=\"0\" width=\"" + num(L.width) + "\" height=\"" + num(L.height) +
             "\" fill=\"#fff\"/>\n";
  svg.text(20.0, 28.0, t.title, "start", false, " id=\"title\"");
  svg.out += "<text id=\"figures\" x=\"20\" y=\"50\" xml:space=\"preserve\" font-size=\"" +
             num(kFiguresSize) + "\">" + xml_escape(t.figures) +
             "<tspan dy=\"-5\" font-size=\"9\">\u22121</tspan><tspan dy=\"5\">" +
             xml_escape(t.figures_tail) + "</tspan></text>\n";
}

// Sample bars for the degree of TOF control, the highlight colour and the
// span arrow, in one row under the title.
void write_legend(Svg& svg) {
  svg.out += "<g id=\"legend\">\n";
  double x = 20.0;
  const double y = 82.0;
  const std::string what = "Degree of TOF control X";
  svg.out += "<text class=\"legend\" x=\"" + num(x) + "\" y=\"" + num(y + 4.0) +
             "\" font-size=\"11\" fill=\"#333\">" + what +
             "<tspan dy=\"3\" font-size=\"8\">TOF</tspan></text>\n";
  x += text_width(what, 11.0) + text_width("TOF", 8.0) + 12.0;
  for (int k = 0; k <= 4; ++k) {
    const double v = k / 4.0;
    svg.line(x, y, x + 24.0, y,
             "stroke=\"" + shade(v) + "\" stroke-width=\"" + num(thickness(v)) + "\"");
    if (k % 2 == 0) {
      svg.text(x + 12.0, y + 16.0, {fixed_text(v, k == 2 ? 1 : 0), 9.5, false, "legend", "#333"},
               "middle", false);
    }
    x += 30.0;
  }
  x += 24.0;
  const Label tags{"TDI, TDTS", 11.0, true, "legend", kHighlight};
  svg.text(x, y + 4.0, tags, "start", false);
  x += label_length(tags) + 24.0;
  svg.line(x, y - 9.0, x, y + 9.0,
           "stroke=\"" + std::string(kHighlight) + "\" stroke-width=\"1.5\"");
  svg.arrow_head(x, y - 10.0, -1.0);
  svg.arrow_head(x, y + 10.0, 1.0);
  svg.text(x + 10.0, y + 4.0, {"energetic span \u03b4E", 11.0, false, "legend", "#333"}, "start",
           false);
  svg.out += "</g>\n";
}

void write_axes(Svg& svg, const Layout& L, double title_y) {
  svg.out += "<g id=\"axis\" font-size=\"11\" fill=\"#000\">\n";
  svg.line(L.axis_x, L.top, L.axis_x, L.bottom, "stroke=\"#000\" stroke-width=\"1\"");
  svg.line(L.axis_x, L.bottom, L.width - 20.0, L.bottom, "stroke=\"#000\" stroke-width=\"1\"");
  for (const Tick& t : make_ticks(L)) {
    const double y = to_y(L, t.value);
    if (!(y >= L.top - 0.5 && y <= L.bottom + 0.5)) continue;
    svg.line(L.axis_x - 5.0, y, L.axis_x, y, "class=\"tick\" stroke=\"#000\" stroke-width=\"1\"");
    svg.out += "<text class=\"tick-label\" x=\"" + num(L.axis_x - 8.0) + "\" y=\"" + num(y + 4.0) +
               "\" text-anchor=\"end\">" + xml_escape(t.text) + "</text>\n";
  }
  svg.out += "<text transform=\"translate(18," + num((L.top + L.bottom) / 2) +
             ") rotate(-90)\" text-anchor=\"middle\" font-size=\"12.5\">Gibbs energy "
             "(kcal/mol)</text>\n";
  svg.out += "<text x=\"" + num((L.axis_x + L.width - 20.0) / 2) + "\" y=\"" + num(title_y) +
             "\" text-anchor=\"middle\" font-size=\"12.5\">Reaction coordinate \u2192</text>\n";
  svg.out += "</g>\n";
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
                   num(thickness(s.xtof)) + "\"" + (s.faded ? " stroke-opacity=\"0.55\"" : ""));
    }
    std::size_t k = 0;
    for (const Label& l : s.above) {
      const Box& b = s.label_boxes[k++];
      if (L.upright)
        svg.text(s.x + l.size * 0.36, b.y1, l, "start", true);
      else
        svg.text(s.x, b.y1 - l.size * 0.26, l, "middle", false);
    }
    for (const Label& l : s.below) {
      const Box& b = s.label_boxes[k++];
      if (L.upright)
        svg.text(s.x + l.size * 0.36, b.y0, l, "end", true);
      else
        svg.text(s.x, b.y1 - l.size * 0.26, l, "middle", false);
    }
    svg.out += "</g>\n";
  }
  svg.out += "</g>\n";
}

void write_span(Svg& svg, const SpanDrawing& d, const Texts& t) {
  if (!d.drawn) return;
  svg.out += "<g id=\"span\">\n";
  // From level to level (of no length when the two are level); the heads
  // cover its ends.
  svg.line(d.x, d.from, d.x, d.to,
           "id=\"span-arrow\" stroke=\"" + std::string(kHighlight) + "\" stroke-width=\"1.5\"");
  if (std::fabs(d.to - d.from) >= 20.0) {
    const double dir = d.to < d.from ? -1.0 : 1.0;
    svg.arrow_head(d.x, d.to, dir);
    svg.arrow_head(d.x, d.from, -dir);
  }
  const Box& b = d.label;
  svg.out += "<rect x=\"" + num(b.x0) + "\" y=\"" + num(b.y0) + "\" width=\"" + num(b.x1 - b.x0) +
             "\" height=\"" + num(b.y1 - b.y0) + "\" fill=\"#fff\" fill-opacity=\"0.9\"/>\n";
  svg.out += "<text class=\"span-value\" x=\"" + num((b.x0 + b.x1) / 2) + "\" y=\"" +
             num(b.y1 - kSpanLabelHeight * 0.28) + "\" font-size=\"" + num(kLabelSize) +
             "\" font-weight=\"bold\" fill=\"" + kHighlight + "\" text-anchor=\"middle\">" +
             xml_escape("\u03b4E = ") + "<tspan class=\"value\">" + xml_escape(t.span_value) +
             "</tspan>" + (t.span_finite ? " kcal/mol" : "") + "</text>\n";
  svg.out += "</g>\n";
}

// Lays `text` out in lines of at most `width` pixels, breaking at blanks.
std::vector<std::string> wrap(const std::string& text, double size, double width) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    const std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && text_width(candidate, size) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
    start = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

std::string render_profile_svg(const Run& run, const std::string& file_name) {
  Span span = find_span(run);
  std::vector<State> states = make_states(run, span.known && span.wraps);
  if (span.known && span.tdts >= states.size()) span.known = false;
  make_labels(run, span, states);
  const Texts texts = make_texts(run, file_name, span, states);

  Layout L = lay_out(states, texts);
  const SpanDrawing span_drawing = place_span(states, L, span, texts);

  // Under the plot: the states without a finite energy, the axis title and
  // the notes, wrapped to the canvas.
  double foot = 0.0;
  for (const State& s : states) {
    if (!finite(s)) foot = std::max(foot, s.below_extent + 8.0);
  }
  const double axis_title_y = L.bottom + 28.0 + foot;
  std::vector<std::string> note_lines;
  for (const std::string& note : texts.notes) {
    for (std::string& line : wrap(note, kNoteSize, L.width - 40.0)) note_lines.push_back(line);
  }
  L.height = axis_title_y + 24.0 + kNoteLine * static_cast<double>(note_lines.size());

  Svg svg;
  svg.out.reserve(4096 + states.size() * 600);
  write_head(svg, L, texts);
  write_legend(svg);
  write_axes(svg, L, axis_title_y);
  write_states(svg, states, L, span_drawing);
  write_span(svg, span_drawing, texts);
  svg.out += "<g id=\"notes\" font-size=\"" + num(kNoteSize) + "\" fill=\"#444\">\n";
  double y = axis_title_y + 22.0;
  for (const std::string& line : note_lines) {
    svg.out += "<text x=\"20\" y=\"" + num(y) + "\">" + xml_escape(line) + "</text>\n";
    y += kNoteLine;
  }
  svg.out += "</g>\n</svg>\n";
  return svg.out;
}

}  // namespace kinex

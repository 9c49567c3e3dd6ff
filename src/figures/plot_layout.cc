#include "figures/plot_layout.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "figures/plot_text.h"

namespace kinex::plot {
namespace {

// Columns. Horizontal labels need columns as wide as the widest label;
// beyond kMaxFlatContent the labels are turned upright and the columns
// narrowed.
constexpr double kMaxFlatContent = 1500.0;  // px of columns with flat labels
constexpr double kUprightPitch = 30.0;      // px between upright columns
constexpr double kUprightBar = 20.0;        // px
constexpr double kMinGap = 14.0;            // px between two bars
constexpr double kMaxSpreadBar = 66.0;      // px a bar is lengthened to at most when spread
constexpr double kMinFlatBar = 34.0;        // px
constexpr double kBarOverhang = 6.0;        // px a flat bar is longer than its widest label
constexpr double kMinBarShare = 0.6;        // of the pitch, when spread
// On a narrow canvas: tighter columns, upright columns narrowed before
// they are crowded, and a plot area in proportion to the width.
constexpr double kNarrowColumnsStart = 10.0;
constexpr double kNarrowColumnsEnd = 16.0;
constexpr double kNarrowGap = 6.0;
constexpr double kNarrowOverhang = 2.0;
constexpr double kNarrowMinFlatBar = 24.0;
constexpr double kMinUprightPitch = 17.0;    // px: an upright label and a little room
constexpr double kNarrowPlotShare = 0.62;    // of the canvas's width, flat labels
constexpr double kNarrowUprightShare = 0.9;  // upright labels
constexpr double kNarrowMinPlot = 200.0;     // px
constexpr double kMixedGap = 8.0;            // px between bars of spread upright columns
constexpr double kMixedSlack = 2.0;  // px a flat label among upright ones may be wider than its bar
constexpr double kLabelClearance = 1.0;  // px a label turned flat keeps off other labels and bars

// The canvas and the plot area.
constexpr double kMinCanvasWidth = 620.0;     // px
constexpr double kPlotHeight = 440.0;         // px
constexpr double kUprightPlotHeight = 540.0;  // px: upright labels take more of it
constexpr double kMinScale = 160.0;           // px at least for the energy range beside the labels
constexpr int kBisectionSteps = 60;

// Crowded columns.
constexpr double kDenseLabelGap = 2.0;      // px between upright labels of neighbouring columns
constexpr double kMinDenseLabelSize = 7.0;  // px: below that the canvas grows instead
constexpr double kDenseBarShare = 0.7;      // of the pitch
constexpr std::size_t kMaxTitleLines = 2;

// Labels.
constexpr double kLabelGap = 3.0;         // px between a bar's edge and its first label
constexpr double kUprightLabelGap = 6.0;  // px between stacked upright labels

// Under the plot.
constexpr double kFootGap = 8.0;         // px above and below the non-finite states
constexpr double kAxisTitleDrop = 28.0;  // px from the x axis to its title's baseline
constexpr double kNotesDrop = 22.0;      // px from that to the first note's baseline
constexpr double kBottomMargin = 24.0;   // px from the axis title to the notes' room

// Ticks.
constexpr double kMinTicks = 3.0;
constexpr double kMaxTicks = 60.0;
constexpr int kMaxTickDecimals = 6;
constexpr double kGeneralTicksFrom = 1e7;  // kcal/mol steps written with 3 digits
constexpr double kTickSlack = 0.5;         // px a tick may lie outside the plot area

// The span's value.
constexpr double kBarClearance = 2.0;      // px around a bar the value keeps off
constexpr double kSpanLabelPadding = 6.0;  // px wider than its text
constexpr double kSpanLabelOffset = 6.0;   // px from the arrow, beside it
constexpr double kSpanLabelEndGap = 4.0;   // px from the arrow's end, beyond it
constexpr double kSpanLabelInset = 4.0;    // px inside the axis and the canvas
constexpr double kOutsideCost = 1e7;       // for a place outside the plot area
constexpr double kCoverCost = 10.0;        // per px^2 covered
constexpr double kCrossCost = 150.0;       // per line run through
constexpr double kGuideSlackY = 3.0;       // px: an obstacle this close to the guide breaks it
constexpr double kGuideGap = 5.0;          // px left free beside an obstacle, for wider faces

// The effective span's arrow.
constexpr double kEffectiveOffset = 16.0;     // px from the span arrow, wanted
constexpr double kEffectiveMinOffset = 10.0;  // px from the span arrow: the heads stay apart
constexpr double kEffectiveClearance = 4.0;   // px it keeps off labels and bars
constexpr double kEffectiveStep = 2.0;        // px between the places tried
constexpr double kLeftCost = 1.0;             // for the left of the span arrow
constexpr double kLabelCrossCost = 1e5;       // per label run through
constexpr double kBarCrossCost = 1e4;         // per bar run through
constexpr double kLineCrossCost = 40.0;       // per line run through

// How far from the span arrow the effective span's may stand: half a
// column, or a few crowded columns when that is too little.
double effective_reach(const Layout& L) {
  return L.pitch / 2 >= kEffectiveMinOffset ? L.pitch / 2 : kEffectiveMinOffset + 4 * L.pitch;
}

double unit(const Layout& L, double e);

double columns_start(const Layout& L) { return L.narrow ? kNarrowColumnsStart : kColumnsStart; }
double columns_end(const Layout& L) { return L.narrow ? kNarrowColumnsEnd : kColumnsEnd; }

double place_effective(const std::vector<State>& states, const Layout& L, std::size_t tdts,
                       const std::vector<Box>& labels, const std::vector<Segment>& lines,
                       SpanDrawing& d);

// Whether the effective span's arrow is drawn: shown, both its ends in the
// energy range drawn, not among crowded or narrowed columns, which leave no
// room for a second arrow, and, among spread upright columns, with a place
// clear of the labels.
bool effective_drawable(const std::vector<State>& states, const Span& span, const Layout& L) {
  if (!span.known || !span.effective_shown || L.dense || L.pitch < kUprightPitch ||
      span.tdi >= states.size() || span.tdts >= states.size() || !finite(states[span.tdi]) ||
      !finite(states[span.tdts]))
    return false;
  const double level = states[span.tdi].energy + span.effective;
  if (!(std::isfinite(level) && level >= std::min(L.lo, L.hi) - 1e-9 &&
        level <= std::max(L.lo, L.hi) + 1e-9))
    return false;
  if (!L.mixed) return true;
  std::vector<Box> labels;
  std::vector<Segment> lines;
  for (std::size_t c = 0; c < states.size(); ++c) {
    const State& s = states[c];
    labels.insert(labels.end(), s.label_boxes.begin(), s.label_boxes.end());
    if (c + 1 < states.size() && finite(s) && finite(states[c + 1]))
      lines.push_back({s.x + L.bar / 2, s.y, states[c + 1].x - L.bar / 2, states[c + 1].y});
  }
  SpanDrawing d;
  d.from = states[span.tdi].y;
  d.effective_to = to_y(L, level);
  return place_effective(states, L, span.tdts, labels, lines, d) < kLabelCrossCost;
}

double unit(const Layout& L, double e) { return (e / 2 - L.lo / 2) / (L.hi / 2 - L.lo / 2); }

double label_length(const Label& l) { return text_width(l.text, l.size, l.bold); }

// The energy range of the drawn bars and of `level` (when finite), widened
// to at least 1 kcal/mol.
void energy_range(const std::vector<State>& states, double level, Layout& L) {
  double lo = INFINITY, hi = -INFINITY;
  for (const State& s : states) {
    if (!finite(s)) continue;
    const double bar = std::isfinite(s.sigma) ? s.sigma : 0.0;  // the error bar's half
    lo = std::min(lo, s.energy - bar);
    hi = std::max(hi, s.energy + bar);
  }
  if (std::isfinite(level)) lo = std::min(lo, level), hi = std::max(hi, level);
  if (lo > hi) lo = hi = 0.0;
  // Error bars end a little inside the frame, not on it.
  const bool error_bars = std::any_of(states.begin(), states.end(),
                                      [](const State& s) { return finite(s) && s.sigma > 0.0; });
  if (error_bars && hi > lo) {
    const double margin = (hi / 2 - lo / 2) * 0.08;
    lo -= margin;
    hi += margin;
  }
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
// with its labels, and `level` (when finite), fits between L.top and
// L.bottom, and the base line that goes with it. The height needed at scale
// S, max(u*S + above) + max(below - u*S), is convex in S, so the feasible
// scales form an interval from 0 and bisection finds its end.
void fit_scale(const std::vector<State>& states, double level, bool whole_range, Layout& L) {
  auto needed = [&](double S) {
    double up = 0.0, down = 0.0;
    if (std::isfinite(level)) up = unit(L, level) * S, down = -up;
    if (whole_range) up = std::max(up, S), down = std::max(down, 0.0);
    for (const State& s : states) {
      if (!finite(s)) continue;
      const double u = unit(L, s.energy);
      up = std::max(up, u * S + s.above_extent);
      down = std::max(down, s.below_extent - u * S);
      if (s.sigma > 0.0) {  // the error bar's ends
        up = std::max(up, unit(L, s.energy + s.sigma) * S);
        down = std::max(down, -unit(L, s.energy - s.sigma) * S);
      }
    }
    return up + down;
  };
  double height = L.bottom - L.top;
  const double labels_only = needed(0.0);
  if (labels_only + kMinScale > height) {
    height = labels_only + kMinScale;
    L.bottom = L.top + height;
  }
  double lo = 0.0, hi = height;
  for (int k = 0; k < kBisectionSteps; ++k) {
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

// Whether label `l` of state `s` stands upright: all do in upright
// columns, except, when they are spread (L.mixed), those no wider than
// their bar and those the layout found room for, unless the state keeps
// its labels upright.
bool upright_label(const Label& l, const State& s, const Layout& L) {
  return L.upright &&
         !(L.mixed && !s.keep_upright && (l.keep_flat || label_length(l) <= L.bar + kMixedSlack));
}

// Boxes of the labels of a state (its bar at s.y), nearest the bar first;
// each label's orientation set.
void place_labels(State& s, const Layout& L) {
  s.label_boxes.clear();
  const double pad = finite(s) ? thickness(s.xtof) / 2 + kLabelGap : 0.0;
  for (int side : {-1, 1}) {
    double edge = s.y + side * pad;
    for (Label& l : side < 0 ? s.above : s.below) {
      l.upright = upright_label(l, s, L);
      const double w = l.upright ? l.size * kUprightWidth : label_length(l);
      const double h = l.upright ? label_length(l) : l.size * kLineHeight;
      s.label_boxes.push_back(side < 0 ? Box{s.x - w / 2, edge - h, s.x + w / 2, edge}
                                       : Box{s.x - w / 2, edge, s.x + w / 2, edge + h});
      edge += side * (h + (l.upright ? kUprightLabelGap : 0.0));
    }
  }
}

// The box of a text `w` wide beside the vertical line at x from y `a` to
// `b`, or beyond one of its ends, where it covers the fewest labels, bars and
// lines, inside the plot area when it can; the middle of the line first.
Box label_place(double x, double a, double b, double w, const Layout& L,
                const std::vector<Box>& obstacles, const std::vector<Segment>& lines) {
  const double h = kSpanLabelHeight;
  std::vector<Box> candidates;
  const double y_lo = std::min(a, b), y_hi = std::max(a, b);
  // Tenths first; then twentieths, where a crowded picture may find room.
  for (double f : {0.5, 0.4, 0.6, 0.3, 0.7, 0.2, 0.8, 0.1, 0.9, 0.45, 0.55, 0.35, 0.65, 0.25, 0.75,
                   0.15, 0.85, 0.05, 0.95}) {
    const double cy = y_lo + (y_hi - y_lo) * f;
    candidates.push_back({x + kSpanLabelOffset, cy - h / 2, x + kSpanLabelOffset + w, cy + h / 2});
    candidates.push_back({x - kSpanLabelOffset - w, cy - h / 2, x - kSpanLabelOffset, cy + h / 2});
  }
  for (double cy : {y_hi + kSpanLabelEndGap + h / 2, y_lo - kSpanLabelEndGap - h / 2}) {
    candidates.push_back({x - w / 2, cy - h / 2, x + w / 2, cy + h / 2});
  }
  // Where all of those cover something: beyond an end, beside the line.
  for (double cy : {y_lo - kSpanLabelEndGap - h / 2, y_hi + kSpanLabelEndGap + h / 2}) {
    candidates.push_back({x + kSpanLabelOffset, cy - h / 2, x + kSpanLabelOffset + w, cy + h / 2});
    candidates.push_back({x - kSpanLabelOffset - w, cy - h / 2, x - kSpanLabelOffset, cy + h / 2});
  }
  double best = INFINITY;
  Box place = candidates.front();
  for (const Box& c : candidates) {
    double cost = 0.0;
    if (c.x0 < L.axis_x + kSpanLabelInset || c.x1 > L.width - kSpanLabelInset || c.y0 < L.top ||
        c.y1 > L.bottom) {
      cost += kOutsideCost;
    }
    for (const Box& o : obstacles) cost += kCoverCost * overlap(c, o);
    for (const Segment& s : lines) cost += crosses(s, c) ? kCrossCost : 0.0;
    if (cost < best) best = cost, place = c;
  }
  return place;
}

// Where the effective span's arrow stands, from d.from to d.effective_to:
// beside the span arrow in the TDTS's column (column `tdts`) or in the gap
// next to it, where it and its level mark run through the fewest `labels`,
// bars (the arrow may cross the TDTS's) and `lines`, as near
// kEffectiveOffset from the span arrow as that allows, right before left.
// Fills d.effective_x and d.effective_side; returns the cost of the place.
double place_effective(const std::vector<State>& states, const Layout& L, std::size_t tdts,
                       const std::vector<Box>& labels, const std::vector<Segment>& lines,
                       SpanDrawing& d) {
  const State& ts = states[tdts];
  const double half = kArrowHeadHalfWidth + kEffectiveClearance;
  const double y_lo = std::min(d.from, d.effective_to), y_hi = std::max(d.from, d.effective_to);
  double best = INFINITY;
  const double furthest = effective_reach(L);
  for (double offset = kEffectiveMinOffset; offset <= furthest; offset += kEffectiveStep) {
    for (double side : {1.0, -1.0}) {
      const double x = ts.x + side * offset;
      const double mark_end = x + side * (kEffectiveLevelMark + kEffectiveClearance);
      const Box lanes[2] = {{x - half, y_lo, x + half, y_hi},
                            {std::min(x, mark_end), d.effective_to - kEffectiveClearance,
                             std::max(x, mark_end), d.effective_to + kEffectiveClearance}};
      double cost = std::fabs(offset - kEffectiveOffset) + (side < 0 ? kLeftCost : 0.0);
      for (const Box& lane : lanes) {
        if (lane.x0 < L.axis_x + kSpanLabelInset || lane.x1 > L.width - kSpanLabelInset)
          cost += kOutsideCost;
        for (const Box& b : labels) cost += overlap(lane, b) > 0 ? kLabelCrossCost : 0.0;
        for (std::size_t c = 0; c < states.size(); ++c) {
          const State& s = states[c];
          // The arrow may run through the TDTS's bar, the level mark not.
          if ((c == tdts && &lane == &lanes[0]) || !finite(s)) continue;
          const double bar_half = thickness(s.xtof) / 2;
          const Box bar{s.x - L.bar / 2, s.y - bar_half, s.x + L.bar / 2, s.y + bar_half};
          cost += overlap(lane, bar) > 0 ? kBarCrossCost : 0.0;
        }
        for (const Segment& s : lines) cost += crosses(s, lane) ? kLineCrossCost : 0.0;
      }
      if (cost < best) best = cost, d.effective_x = x, d.effective_side = side;
    }
  }
  return best;
}

// With a y range: the states outside it get their labels under their bars,
// listed under the axis, and are marked off_range; a note names them.
// `level` is cleared when it lies outside the range.
void cut_to_range(std::vector<State>& states, const LayoutOptions& options, double& level,
                  std::vector<std::string>& notes) {
  if (!options.y_range) return;
  std::string outside;
  for (State& s : states) {
    if (!std::isfinite(s.energy) || (s.energy >= options.y_from && s.energy <= options.y_to))
      continue;
    s.off_range = true;
    s.below.insert(s.below.begin(), s.above.begin(), s.above.end());
    s.above.clear();
    outside += (outside.empty() ? "" : ", ") + s.name;
  }
  if (!(level >= options.y_from && level <= options.y_to)) level = std::nan("");
  if (!outside.empty()) {
    notes.push_back("Outside the energy range drawn (" + energy_text(options.y_from) + " to " +
                    energy_text(options.y_to) + " kcal/mol), listed under the axis: " + outside +
                    ".");
  }
}

// The width of the widest label of any state, above or below its bar.
double widest_label(const std::vector<State>& states) {
  double widest = 0.0;
  for (const State& s : states) {
    for (const auto* side : {&s.above, &s.below}) {
      for (const Label& l : *side) widest = std::max(widest, label_length(l));
    }
  }
  return widest;
}

// Sets the columns' pitch and bars, and turns the labels upright when flat
// columns of `flat_bar` would not fit `room` px. When even upright columns
// do not fit, they are crowded (L.dense): smaller labels, the energies only
// at the TDI and the TDTS, no reactants' and products' marks, narrower bars,
// with a note when energies or marks are dropped.
void size_columns(std::vector<State>& states, double flat_bar, double room, Layout& L,
                  std::vector<std::string>& notes) {
  const double columns = static_cast<double>(states.size());
  const double gap = L.narrow ? kNarrowGap : kMinGap;
  L.upright = columns * (flat_bar + gap) > std::min(room, kMaxFlatContent);
  L.pitch = L.upright ? kUprightPitch : flat_bar + gap;
  L.bar = L.upright ? kUprightBar : flat_bar;
  if (!L.upright || !(columns * kUprightPitch > room)) return;
  if (room / columns >= kMinUprightPitch) {  // narrower upright columns, every label kept
    L.pitch = room / columns;
    L.bar = L.pitch * (kUprightBar / kUprightPitch);
    return;
  }
  L.dense = true;
  double size = (room / columns - kDenseLabelGap) / kUprightWidth;
  size = std::clamp(size, kMinDenseLabelSize, kLabelSize);
  L.pitch = std::max(room / columns, size * kUprightWidth + kDenseLabelGap);
  L.bar = L.pitch * kDenseBarShare;
  bool dropped = false;
  for (State& s : states) {
    for (auto* side : {&s.above, &s.below}) {
      const auto end = std::remove_if(side->begin(), side->end(), [](const Label& l) {
        const std::string_view role = l.role;
        return !l.bold && (role == "energy" || role == "reactant" || role == "product");
      });
      dropped |= end != side->end();
      side->erase(end, side->end());
      for (Label& l : *side) l.size = std::min(l.size, size);
    }
  }
  if (dropped) {
    notes.push_back(
        "Too many states for the width to write every energy: only those of the TDI and the "
        "TDTS are written, and no reactant or product (kinex report lists them all).");
  }
}

// Sets the canvas's width: as asked, else as wide as the head's texts want
// up to `most`, and at least as wide as the columns and the legend need.
// Flat columns are spread over a canvas that the texts made wider.
void set_width(const Texts& texts, const LayoutOptions& options, double most, double columns,
               Layout& L) {
  const double head_width = std::max(options.no_title ? 0.0 : label_length(texts.title),
                                     width(texts.figures, kFiguresSize)) /
                                kTextRoomShare +
                            2 * kMargin;
  const double needed = L.axis_x + columns_start(L) + columns * L.pitch + columns_end(L);
  L.width =
      options.width > 0
          ? std::max(options.width, needed)
          : std::max({std::min(head_width, most), kMinCanvas, needed, kLegendWidth + 2 * kMargin});
  L.legend_wrapped = L.width < kLegendWidth + 2 * kMargin;
  const double spread =
      (L.width - L.axis_x - (columns_start(L) + columns_end(L))) / std::max(1.0, columns);
  if (L.upright && !L.dense && options.spread) {
    // Upright columns spread over the width, a label flat where it fits.
    L.mixed = true;
    L.pitch = spread;
    L.bar = std::max(std::min(kUprightBar, kMinBarShare * L.pitch),
                     L.pitch - (L.narrow ? kNarrowGap : kMixedGap));
  }
  if (!L.upright) {
    // Over the whole plot, however few the columns; the bars no longer
    // than kMaxSpreadBar (or their labels).
    L.pitch = std::max(spread, L.pitch);
    L.bar = std::min({std::max(L.bar, kMinBarShare * L.pitch),
                      L.pitch - (L.narrow ? kNarrowGap : kMinGap), std::max(L.bar, kMaxSpreadBar)});
  }
}

// Sets the title's lines: at most kMaxTitleLines of `line_room` px, the
// last holding the rest; none when there is no title.
void break_title(const Texts& texts, const LayoutOptions& options, double line_room, Layout& L) {
  if (options.no_title || texts.title.text.empty()) return;
  L.title_lines = wrap(texts.title.text, texts.title.size, line_room, true);
  if (L.title_lines.size() > kMaxTitleLines) {
    std::string rest;
    for (std::size_t k = kMaxTitleLines - 1; k < L.title_lines.size(); ++k)
      rest += (rest.empty() ? "" : " ") + L.title_lines[k];
    L.title_lines.resize(kMaxTitleLines - 1);
    L.title_lines.push_back(rest);
  }
  for (std::string& line : L.title_lines) line = fit_width(line, texts.title.size, line_room, true);
}

// Sets the figures' lines: the figures in groups, each starting at four
// blanks, the groups in lines as wide as `line_room` (a group too wide on
// its own gets its line, a line's first group without its blanks); one
// line at least.
void break_figures(const Texts& texts, double line_room, Layout& L) {
  std::vector<std::vector<Piece>> groups;
  for (const Piece& p : texts.figures) {
    if (groups.empty() || p.text.rfind("    ", 0) == 0) groups.emplace_back();
    groups.back().push_back(p);
  }
  double used = 0.0;
  for (std::vector<Piece>& group : groups) {
    const double w = width(group, kFiguresSize);
    if (!L.figures_lines.empty() && used + w <= line_room * (1 + 1e-9)) {
      L.figures_lines.back().insert(L.figures_lines.back().end(), group.begin(), group.end());
      used += w;
      continue;
    }
    if (!L.figures_lines.empty()) group.front().text.erase(0, 4);
    L.figures_lines.push_back(group);
    used = width(group, kFiguresSize);
  }
  if (L.figures_lines.empty()) L.figures_lines.emplace_back();
}

// Every state's column, its labels' boxes about a bar at y 0 and their
// extents above and below it.
void place_columns(std::vector<State>& states, const Layout& L) {
  for (std::size_t c = 0; c < states.size(); ++c) {
    State& s = states[c];
    s.x = L.axis_x + columns_start(L) + L.pitch * (static_cast<double>(c) + 0.5);
    s.y = 0.0;
    place_labels(s, L);
    s.above_extent = s.below_extent = 0.0;
    for (const Box& b : s.label_boxes) {
      s.above_extent = std::max(s.above_extent, -b.y0);
      s.below_extent = std::max(s.below_extent, b.y1);
    }
  }
}

// Under the plot (L.bottom set, the states placed): the baselines of the
// axis title, under the states without a finite energy, and of the notes,
// wrapped to the canvas (`extra_notes` after the scene's), and the
// canvas's height.
void lay_out_foot(const std::vector<State>& states, const Span& span, const Texts& texts,
                  const std::vector<std::string>& extra_notes, Layout& L) {
  double foot = 0.0;
  for (const State& s : states) {
    if (!finite(s)) foot = std::max(foot, s.below_extent + kFootGap);
  }
  L.axis_title_y = L.bottom + kAxisTitleDrop + foot;
  L.notes_y = L.axis_title_y + kNotesDrop;
  std::vector<std::string> notes;
  for (std::size_t k = 0; k < texts.notes.size(); ++k) {
    if (k == texts.effective_note && !effective_drawable(states, span, L)) {
      notes.push_back("The effective span is not drawn here; the figures above state it.");
    } else if (k == texts.marks_note && L.dense) {
      continue;
    } else {
      notes.push_back(texts.notes[k]);
    }
  }
  notes.insert(notes.end(), extra_notes.begin(), extra_notes.end());
  for (const std::string& note : notes) {
    for (std::string& line : wrap(note, kNoteSize, (L.width - 2 * kMargin) * kTextRoomShare)) {
      L.note_lines.push_back(line);
    }
  }
  L.height = L.axis_title_y + kBottomMargin + kNoteLine * static_cast<double>(L.note_lines.size());
}

// The layout of lay_out with the plot area `taller` px taller.
Layout lay_out_with(std::vector<State>& states, const Span& span, const Texts& texts,
                    const LayoutOptions& options, double taller) {
  Layout L;
  // The far end of the effective span's arrow.
  double level = span.known && span.effective_shown && span.tdi < states.size()
                     ? states[span.tdi].energy + span.effective
                     : std::nan("");
  std::vector<std::string> extra_notes;
  cut_to_range(states, options, level, extra_notes);
  L.narrow = options.width > 0 && options.width < kMinCanvas;
  const double flat_bar = L.narrow
                              ? std::max(kNarrowMinFlatBar, widest_label(states) + kNarrowOverhang)
                              : std::max(kMinFlatBar, widest_label(states) + kBarOverhang);
  const double columns = static_cast<double>(states.size());

  // Left margin: the axis title and the tick labels, as wide as the range's
  // ends written with one decimal.
  energy_range(states, level, L);
  if (options.y_range) L.lo = options.y_from, L.hi = options.y_to;
  const double tick_room = std::max(text_width(fixed_text(L.hi, 1), kTickLabelSize),
                                    text_width(fixed_text(L.lo, 1), kTickLabelSize));
  L.axis_x = kAxisTitleBand + std::max(kMinTickLabelRoom, tick_room) + kTickLabelsToAxis;

  const double most = options.width > 0       ? options.width
                      : options.max_width > 0 ? std::max(options.max_width, kMinCanvas)
                                              : kMaxCanvas;
  size_columns(states, flat_bar, most - L.axis_x - columns_start(L) - columns_end(L), L,
               extra_notes);
  // The head's texts widen the canvas up to the widest allowed; beyond
  // that they are broken into lines.
  set_width(texts, options, most, columns, L);
  const double line_room = (L.width - 2 * kMargin) * kTextRoomShare;
  break_title(texts, options, line_room, L);
  break_figures(texts, line_room, L);
  const double title_room = kTitleLine * static_cast<double>(L.title_lines.size());
  L.title_y = kTitleBaseline;
  L.figures_y = kFiguresBaseline + title_room - kTitleLine;
  const double shift = L.figures_y - kFiguresBaseline +
                       kFiguresLine * static_cast<double>(L.figures_lines.size() - 1);
  place_columns(states, L);

  // The warning under the figures moves the legend and the plot down.
  if (!texts.warning.empty()) {
    L.warning_lines = wrap(texts.warning, kWarningSize, L.width - 2 * kMargin, true);
  }
  const double head = kWarningLine * static_cast<double>(L.warning_lines.size()) + shift;
  L.legend_y = kLegendMiddle + head;
  L.top = kPlotTop + head + (L.legend_wrapped ? kLegendRow : 0.0);
  const double plot_height =
      L.narrow    ? std::clamp(L.width * (L.upright ? kNarrowUprightShare : kNarrowPlotShare),
                               kNarrowMinPlot, L.upright ? kUprightPlotHeight : kPlotHeight)
      : L.upright ? kUprightPlotHeight
                  : kPlotHeight;
  L.bottom = L.top + plot_height + taller;
  fit_scale(states, level, options.y_range, L);
  L.foot = L.bottom + kFootGap;
  for (State& s : states) {
    s.y = finite(s) ? to_y(L, s.energy) : L.foot;
    place_labels(s, L);
  }
  lay_out_foot(states, span, texts, extra_notes, L);
  return L;
}

// The connector from state c's bar to the next state's into `line`; false
// where either state is not drawn or c is the last.
bool connector(const std::vector<State>& states, std::size_t c, const Layout& L, Segment& line) {
  if (c + 1 >= states.size() || !finite(states[c]) || !finite(states[c + 1])) return false;
  line = {states[c].x + L.bar / 2, states[c].y, states[c + 1].x - L.bar / 2, states[c + 1].y};
  return true;
}

// Whether the labels of state c, as placed, keep off every other state's
// labels and bar (by kLabelClearance), cross no connector and lie inside
// the plot area, right of the axis.
bool labels_clear(const std::vector<State>& states, const Span& span, std::size_t c,
                  const Layout& L) {
  const State& s = states[c];
  if (!finite(s)) return true;
  // The span arrow runs through the TDTS's column to the TDI's level.
  const bool arrow = span.known && span.tdi < states.size() && span.tdts < states.size() &&
                     finite(states[span.tdi]) && finite(states[span.tdts]);
  // Where a state's error bar may stand: at either end of its bar.
  const auto error_bar = [&](const State& e) {
    const double reach = L.bar / 2 + kErrorBarInset + kErrorBarCap;
    return Box{e.x - reach, to_y(L, e.energy + e.sigma), e.x + reach, to_y(L, e.energy - e.sigma)};
  };
  std::vector<const Label*> labels;
  for (const auto* side : {&s.above, &s.below})
    for (const Label& l : *side) labels.push_back(&l);
  for (std::size_t k = 0; k < s.label_boxes.size(); ++k) {
    const Box& b = s.label_boxes[k];
    if (b.x0 < L.axis_x || b.x1 > L.width - kMargin || b.y0 < L.top || b.y1 > L.bottom)
      return false;
    const Box room{b.x0 - kLabelClearance, b.y0 - kLabelClearance, b.x1 + kLabelClearance,
                   b.y1 + kLabelClearance};
    if (k < labels.size() && labels[k]->keep_flat && s.sigma > 0 && overlap(room, error_bar(s)) > 0)
      return false;
    if (arrow && c != span.tdts &&
        crosses({states[span.tdts].x, states[span.tdi].y, states[span.tdts].x, states[span.tdts].y},
                room))
      return false;
    for (std::size_t o = 0; o < states.size(); ++o) {
      const State& other = states[o];
      if (o != c) {
        for (const Box& ob : other.label_boxes)
          if (overlap(room, ob) > 0) return false;
        const double half = thickness(other.xtof) / 2;
        if (finite(other) && overlap(room, {other.x - L.bar / 2, other.y - half,
                                            other.x + L.bar / 2, other.y + half}) > 0)
          return false;
        if (finite(other) && other.sigma > 0 && overlap(room, error_bar(other)) > 0) return false;
      }
      Segment line;
      if (connector(states, o, L, line) && crosses(line, b)) return false;
    }
  }
  return true;
}

// Among spread upright columns: turns flat every upright label whose flat
// box keeps clear (labels_clear), state by state, nearest the bar first.
// Whether any was turned.
bool turn_flat(std::vector<State>& states, const Span& span, const Layout& L) {
  bool turned = false;
  for (std::size_t c = 0; c < states.size(); ++c) {
    State& s = states[c];
    // The effective span's arrow stands beside the TDTS: no label there or
    // next to it is widened.
    if (!finite(s) || s.keep_upright ||
        (span.effective_shown && c + 1 >= span.tdts && c <= span.tdts + 1))
      continue;
    for (auto* side : {&s.above, &s.below}) {
      for (Label& l : *side) {
        if (!l.upright) continue;
        l.keep_flat = true;
        place_labels(s, L);
        if (labels_clear(states, span, c, L)) {
          turned = true;
        } else {
          l.keep_flat = false;
          place_labels(s, L);
        }
      }
    }
  }
  return turned;
}

// The layout `rounds` gives, among spread upright columns with every label
// turned flat that finds room (turn_flat), laid out again until those still
// have it.
template <class Rounds>
Layout with_flat_labels(std::vector<State>& states, const Span& span, const Rounds& rounds) {
  Layout L = rounds();
  if (!L.mixed || !turn_flat(states, span, L)) return L;
  // Laid out again with those labels flat: the plot area's scale changes
  // with the labels' extents, so a label that no longer has its room is
  // turned back, and after a few rounds all are.
  for (int round = 0; round < 3; ++round) {
    L = rounds();
    bool clear = true;
    for (std::size_t c = 0; c < states.size(); ++c) {
      bool turned = false;
      for (const auto* side : {&states[c].above, &states[c].below})
        for (const Label& l : *side) turned = turned || l.keep_flat;
      if (!turned || labels_clear(states, span, c, L)) continue;
      clear = false;
      for (auto* side : {&states[c].above, &states[c].below})
        for (Label& l : *side) l.keep_flat = false;
    }
    if (clear) return L;
  }
  for (State& s : states)
    for (auto* side : {&s.above, &s.below})
      for (Label& l : *side) l.keep_flat = false;
  return rounds();
}

}  // namespace

double to_y(const Layout& L, double e) { return L.base - unit(L, e) * L.scale; }

Layout lay_out(std::vector<State>& states, const Span& span, const Texts& texts,
               const LayoutOptions& options) {
  const auto rounds = [&]() {
    Layout L = lay_out_with(states, span, texts, options, 0.0);
    // A canvas asked to be higher gets a taller plot area (which may need
    // less room grown for its labels, hence a few rounds).
    double taller = 0.0;
    for (int round = 0; round < 4 && options.min_height > L.height + 1e-6; ++round) {
      taller += options.min_height - L.height;
      L = lay_out_with(states, span, texts, options, taller);
    }
    return L;
  };
  Layout L = with_flat_labels(states, span, rounds);
  // No room left for the effective span's arrow: the labels at the TDTS,
  // then also next to it, stand upright.
  for (std::size_t reach : {0, 1}) {
    if (!L.mixed || !span.effective_shown || effective_drawable(states, span, L)) return L;
    for (std::size_t c = 0; c < states.size(); ++c) {
      states[c].keep_upright = c + reach >= span.tdts && c <= span.tdts + reach;
      for (auto* side : {&states[c].above, &states[c].below})
        for (Label& l : *side) l.keep_flat = false;
    }
    L = with_flat_labels(states, span, rounds);
  }
  if (!L.mixed || effective_drawable(states, span, L)) return L;
  // Still none: the upright columns as they come, not spread.
  for (State& s : states) s.keep_upright = false;
  LayoutOptions packed = options;
  packed.spread = false;
  return lay_out(states, span, texts, packed);
}

double nice_step(double wanted, double share) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(wanted)));
  double step = magnitude;
  for (double f : {1.0, 2.0, 5.0, 10.0}) {
    step = f * magnitude;
    if (step >= wanted * share) break;
  }
  return step;
}

int step_decimals(double step, int most) {
  return step < 1.0 ? std::min(most, static_cast<int>(std::ceil(-std::log10(step) - 1e-9))) : 0;
}

std::vector<Tick> make_ticks(const Layout& L) {
  std::vector<Tick> ticks;
  const double per_pixel = (L.hi / 2 - L.lo / 2) / L.scale * 2;
  const double e_bottom = L.lo + (L.base - L.bottom) * per_pixel;
  const double e_top = L.lo + (L.base - L.top) * per_pixel;
  const double range = e_top - e_bottom;
  if (!std::isfinite(per_pixel) || !std::isfinite(range) || !(range > 0)) return ticks;
  const double step = nice_step(range / std::max(kMinTicks, (L.bottom - L.top) / kTickSpacing));
  const int decimals = step_decimals(step, kMaxTickDecimals);
  // A tick at an end of the range asked for is kept however the division
  // rounds: its place is checked against the plot area below.
  const double first = std::ceil(e_bottom / step - 1e-9);
  const double last = std::floor(e_top / step + 1e-9);
  if (!(last - first < kMaxTicks)) return ticks;
  for (double k = first; k <= last; k += 1.0) {
    const double value = k * step;
    const double y = to_y(L, value);
    if (!(y >= L.top - kTickSlack && y <= L.bottom + kTickSlack)) continue;
    ticks.push_back(
        {value,
         step >= kGeneralTicksFrom ? significant_text(value, 3) : fixed_text(value, decimals), y});
  }
  return ticks;
}

SpanDrawing place_span(const std::vector<State>& states, const Layout& L, const Span& span,
                       const Texts& texts) {
  SpanDrawing d;
  if (!span.known || !finite(states[span.tdi]) || !finite(states[span.tdts])) return d;
  d.drawn = true;
  d.x = states[span.tdts].x;
  d.from = states[span.tdi].y;
  d.to = states[span.tdts].y;

  std::vector<Box> obstacles;
  std::vector<Segment> lines;
  for (std::size_t c = 0; c < states.size(); ++c) {
    const State& s = states[c];
    obstacles.insert(obstacles.end(), s.label_boxes.begin(), s.label_boxes.end());
    if (!finite(s)) continue;
    const double half = thickness(s.xtof) / 2 + kBarClearance;
    obstacles.push_back({s.x - L.bar / 2, s.y - half, s.x + L.bar / 2, s.y + half});
    Segment line;
    if (connector(states, c, L, line)) lines.push_back(line);
  }
  const double level = states[span.tdi].energy + span.effective;
  d.effective_drawn = effective_drawable(states, span, L);
  if (d.effective_drawn) d.effective_to = to_y(L, level);
  // The guide reaches the effective span's arrow too, wherever that stands
  // beside the span arrow: at most half a column further.
  const Segment guide{states[span.tdi].x + L.bar / 2, d.from,
                      d.x + (d.effective_drawn ? effective_reach(L) : 0.0), d.from};
  lines.push_back(guide);

  const double w = text_width(kSpanPrefix + texts.span_value +
                                  (texts.span_finite && texts.span_unit ? kEnergyUnit : ""),
                              kLabelSize, true) +
                   kSpanLabelPadding;
  d.label = label_place(d.x, d.from, d.to, w, L, obstacles, lines);
  obstacles.push_back(d.label);
  if (d.effective_drawn) {
    std::vector<Box> labels = {d.label};
    for (const State& s : states)
      labels.insert(labels.end(), s.label_boxes.begin(), s.label_boxes.end());
    place_effective(states, L, span.tdts, labels, lines, d);
    lines.push_back({d.x, d.from, d.x, d.to});
    lines.push_back({d.effective_x, d.from, d.effective_x, d.effective_to});
    const double w_effective = width(texts.effective_label, kLabelSize, true) + kSpanLabelPadding;
    d.effective_label =
        label_place(d.effective_x, d.from, d.effective_to, w_effective, L, obstacles, lines);
    obstacles.push_back(d.effective_label);
  }

  std::vector<std::pair<double, double>> gaps;
  for (const Box& b : obstacles) {
    if (b.y0 - kGuideSlackY <= d.from && d.from <= b.y1 + kGuideSlackY) {
      gaps.push_back({b.x0 - kGuideGap, b.x1 + kGuideGap});
    }
  }
  std::sort(gaps.begin(), gaps.end());
  const double end = d.effective_drawn ? std::max(d.x, d.effective_x) : d.x;
  double x = guide.x0;
  for (const auto& [g0, g1] : gaps) {
    if (g1 <= x) continue;
    if (g0 >= end) break;
    if (g0 > x) d.guides.push_back({x, d.from, g0, d.from});
    x = std::max(x, g1);
  }
  if (x < end) d.guides.push_back({x, d.from, end, d.from});
  return d;
}

std::vector<std::string> wrap(const std::string& text, double size, double width, bool bold) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    const std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && text_width(candidate, size, bold) > width) {
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

}  // namespace kinex::plot

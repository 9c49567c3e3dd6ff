// Where everything of the energy-profile picture goes: the columns, the
// energy scale, every label's box, the axis ticks, the span arrow with its
// value, and the notes under the plot. Coordinates are SVG user units
// (pixels), y growing downwards.
#pragma once

#include <string>
#include <vector>

#include "figures/plot_geometry.h"
#include "figures/plot_scene.h"

namespace kinex::plot {

// What the user asked of the layout, in the picture's own units (before the
// font scaling of PlotOptions).
struct LayoutOptions {
  double width = 0.0;       // the canvas's width; 0: as the content needs, at most kMaxCanvas
  double min_height = 0.0;  // the canvas's height at least; 0: as the content needs
  double max_width = 0.0;   // without `width`, the widest canvas; 0: kMaxCanvas
  bool no_title = false;
  // Upright columns spread over the canvas, each label flat where it fits
  // (Layout::mixed).
  bool spread = true;
  bool y_range = false;  // the energy axis from y_from to y_to
  double y_from = 0.0, y_to = 0.0;
};
inline constexpr double kMaxCanvas = 1200.0;  // px wide at most unless asked
inline constexpr double kMinCanvas = 620.0;   // px wide at least unless asked
// A canvas asked narrower than kMinCanvas, down to this width, is laid out
// narrow (tighter columns, the legend in two rows, a plot area in
// proportion); below it the text shrinks instead.
inline constexpr double kMinNarrowCanvas = 330.0;
inline constexpr double kLegendRow = 28.0;    // px between the legend's rows, when it has two
inline constexpr double kTitleLine = 20.0;    // px between the title's baselines
inline constexpr double kFiguresLine = 17.0;  // px between the figures' baselines

struct Layout {
  // The title in at most two lines, the first baseline at title_y; the
  // figures line broken where it is too wide, the first at figures_y.
  std::vector<std::string> title_lines;
  double title_y = 0.0;
  std::vector<std::vector<Piece>> figures_lines;
  double figures_y = 0.0;
  bool dense = false;           // labels smaller, energies only at the TDI and the TDTS, no marks
  bool upright = false;         // labels turned by 90 degrees
  bool narrow = false;          // asked narrower than kMinCanvas
  bool mixed = false;           // upright, but labels that fit their column flat
  bool legend_wrapped = false;  // the legend in two rows, the span's sample in the second
  double pitch = 0.0;           // distance between the centres of two columns
  double bar = 0.0;             // width of a bar
  double width = 0.0;           // canvas
  double height = 0.0;
  double axis_x = 0.0;
  // Under the figures: the driving-force warning wrapped to the canvas, its
  // first baseline kWarningLine under the figures', then the legend's
  // middle, both kWarningLine lower for every line of the warning.
  std::vector<std::string> warning_lines;
  double legend_y = 0.0;
  double top = 0.0;  // plot area
  double bottom = 0.0;
  double foot = 0.0;  // top of the band of non-finite states, if any
  // Energy scale: y = base - (E - lo) / (hi - lo) * scale, computed with
  // halves so that no difference of huge energies overflows.
  double lo = 0.0, hi = 1.0, base = 0.0, scale = 0.0;
  // Under the plot: the baseline of the x axis's title, then the notes
  // wrapped to the canvas, the first at notes_y.
  double axis_title_y = 0.0;
  double notes_y = 0.0;
  std::vector<std::string> note_lines;
};

// The y of energy `e` (kcal/mol); finite for every finite `e` in the range.
double to_y(const Layout& L, double e);

// Lays the scene out: column widths (labels turned upright when flat
// columns would not fit), canvas size, the warning's lines, the energy scale
// and every label's box, and the notes. Fills x, y, the extents and
// label_boxes of every state. Promises: flat label boxes of neighbouring
// columns never overlap; bars of neighbouring columns never touch; every bar
// with its labels, and the far end of the effective span when it is shown,
// lies between L.top and L.bottom; the figures line and the warning's lines
// fit the canvas; states without a finite energy sit at L.foot, under the
// plot.
// With `options`, the canvas is as wide as asked (wider only when the
// smallest labels need it), and at least as high; with a y range, states
// outside it are listed under the plot as the non-finite ones are, and a
// note says so. Too many columns for the width shrink the upright labels
// and drop the energies but the TDI's and the TDTS's, with a note.
Layout lay_out(std::vector<State>& states, const Span& span, const Texts& texts,
               const LayoutOptions& options = {});

// The axis ticks: at 1, 2 or 5 times a power of ten, about one every
// kTickSpacing pixels, each within half a pixel of the plot area. None when
// the scale is degenerate or would give too many.
struct Tick {
  double value;      // kcal/mol
  std::string text;  // as written at the axis
  double y;
};
inline constexpr double kTickSpacing = 55.0;  // px wanted between ticks
std::vector<Tick> make_ticks(const Layout& L);

// A tick step of 1, 2 or 5 times the power of ten of `wanted` (> 0): the
// first of them, or ten times that power, at least `share` * `wanted`.
double nice_step(double wanted, double share = 1.0);
// The decimals a tick at multiples of `step` needs: 0 from 1 on, else as
// many as show the step, at most `most`.
int step_decimals(double step, int most);

// The span arrow, its value's box and the dotted guide from the TDI to it;
// the effective span's arrow and its value's box.
struct SpanDrawing {
  bool drawn = false;
  double x = 0.0, from = 0.0, to = 0.0;  // from the TDI's level to the TDTS's
  Box label{0, 0, 0, 0};
  std::vector<Segment> guides;
  bool effective_drawn = false;
  double effective_x = 0.0, effective_to = 0.0;  // from `from` to the TDI's level + the span
  double effective_side = 1.0;                   // its level mark points right (1) or left (-1)
  Box effective_label{0, 0, 0, 0};
};

// The arrow runs down (or up) through the TDTS's column to the TDI's level;
// drawn only when the span is known and both bars are. Its value goes beside
// it where it covers the fewest labels, bars and connectors, inside the plot
// area when it can, trying the middle of the arrow first; the guide is
// broken wherever it would run through a label, a bar or a value. When the
// span's effective_shown, the effective span's arrow stands beside it, in
// the TDTS's column or the gap next to it where it runs through the fewest
// labels and bars, from the same level, its level mark pointing away from the
// span arrow; its value is placed as the span's
// is, clear of the span's value, and the guide reaches both arrows.
SpanDrawing place_span(const std::vector<State>& states, const Layout& L, const Span& span,
                       const Texts& texts);

// `text` in lines of at most `width` pixels at font size `size` (bold or
// not), broken at blanks; a word wider than `width` gets a line of its own.
std::vector<std::string> wrap(const std::string& text, double size, double width,
                              bool bold = false);

}  // namespace kinex::plot

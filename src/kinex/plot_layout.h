// Where everything of the energy-profile picture goes: the columns, the
// energy scale, every label's box, the axis ticks, the span arrow with its
// value, and the notes under the plot. Coordinates are SVG user units
// (pixels), y growing downwards.
#pragma once

#include <string>
#include <vector>

#include "kinex/plot_geometry.h"
#include "kinex/plot_scene.h"

namespace kinex::plot {

struct Layout {
  bool upright = false;  // labels turned by 90 degrees
  double pitch = 0.0;    // distance between the centres of two columns
  double bar = 0.0;      // width of a bar
  double width = 0.0;    // canvas
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
Layout lay_out(std::vector<State>& states, const Span& span, const Texts& texts);

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

// Writing the laid-out energy-profile picture as a standalone SVG 1.1
// document. Every text goes through xml_escape and every coordinate through
// num, so the document is well-formed whatever the input held.
#pragma once

#include <string>

#include "figures/plot_layout.h"
#include "figures/plot_scene.h"

namespace kinex::plot {

// A coordinate or length as written: at most two decimals, no trailing
// zeros or point, never "-0"; a non-finite value (only a bug can give one)
// is written as 0 so that the document stays valid.
std::string num(double x);

// The colour "#rrggbb" of a bar of degree of TOF control `xtof`: grey
// (kBarGreyLevel) at 0 to kBarBlue at 1, clamped as shade_level does.
std::string shade(double xtof);

// The whole document: head with title, figures (exponents and subscripts in
// tspans), the warning and the legend, the axes with their ticks, the
// connectors and the span's guide, the states' bars and labels, the span
// arrow with its value, the effective span's dashed arrow with its value,
// and the notes. `L` and `d` come
// from lay_out and place_span over `scene`.
// Drawn `scale` times its size: the layout's units are the viewBox's.
std::string write_svg(const Scene& scene, const Layout& L, const SpanDrawing& d,
                      double scale = 1.0);

// The energy axis's upright title by the axis and the reaction
// coordinate's under the column labels: `y_title` and `x_title`, or the
// defaults (kEnergyAxisTitle, kCoordinateAxisTitle) where they are empty; a
// title of the user's is shortened at its end to the length of its axis.
std::string axis_titles(const Layout& L, const std::string& x_title, const std::string& y_title);

// The XML declaration, the opening svg tag (`width` by `height` in the
// viewBox, `scale` times that on the page), title, description and the
// white background.
void write_document_head(std::string& out, double width, double height, double scale,
                         const std::string& title, const std::string& description);

}  // namespace kinex::plot

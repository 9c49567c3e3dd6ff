// Several cycles' energy profiles in one picture: levels and connectors per
// cycle in a colour, dash pattern and marker of its own (the Okabe-Ito
// colours, apart for colour-blind readers; the dashes and markers keep them
// apart in greyscale), each cycle's TDI and TDTS ringed, and a legend that
// names every cycle with its TOF and span.
#pragma once

#include <string>
#include <vector>

#include "figures/plot_layout.h"
#include "figures/plot_options.h"
#include "figures/plot_scene.h"
#include "model/run.h"

namespace kinex::plot {

// The layout's options and the drawing's scale for the user's options: the
// layout works at the default font size in a canvas of width / scale.
struct Fit {
  LayoutOptions layout;
  double scale = 1.0;
};
Fit fit_options(const PlotOptions& options);

// Leaves the unit off the values at the span's arrows (a narrow picture's
// energy axis states it).
void drop_span_unit(Texts& texts);

// How cycle k is drawn.
struct Look {
  const char* colour;
  const char* dash;  // stroke-dasharray; empty: solid
  int marker;        // 0 .. kMarkers-1
};
inline constexpr int kMarkers = 8;
Look look(std::size_t k);

std::string render_overlay(const std::vector<const Run*>& runs, const PlotOptions& options);

}  // namespace kinex::plot

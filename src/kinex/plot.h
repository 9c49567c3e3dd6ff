// The energy profile of one cycle, or of several overlaid, as a standalone
// SVG 1.1 picture, for papers and talks: a bar per intermediate and
// transition state along the reaction coordinate, the TDI and TDTS
// highlighted with the energetic span between them, and the degree of TOF
// control of every state as the shade of its bar.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/run.h"

namespace kinex {

// What the user may change about the picture. Zero or empty: the default.
struct PlotOptions {
  bool has_title = false;  // `title` replaces the default title
  std::string title;
  bool no_title = false;     // no title line at all
  double width = 0.0;        // px of the picture; 0: as the content needs, at most kMaxWidth
  double height = 0.0;       // px of the picture at least; 0: as the content needs
  double font_size = 0.0;    // px of the state labels (all text scales with it); 0: 12
  bool has_y_range = false;  // the energy axis from y_from to y_to (kcal/mol)
  double y_from = 0.0;
  double y_to = 0.0;
  // Not empty: error bars of +-sigmas[s] (kcal/mol) on the states of one
  // cycle (the order of model/uncertainty.h: I0, TS1, ..., TSn, the final
  // state), and how likely each state is the TDI and the TDTS from a Monte
  // Carlo over the energies with these samples, seed and correlation.
  std::vector<double> sigmas;
  int64_t sigma_samples = 10000;
  uint64_t sigma_seed = 0;
  double sigma_correlation = 0.0;
};

// The default widest picture (px): a longer cycle gets narrower columns,
// smaller or fewer labels instead.
inline constexpr double kMaxWidth = 1200.0;

// The largest width and height (px) and font size (px) a picture may be
// given: a poster is some 10,000 px wide; beyond these no picture is drawn.
inline constexpr double kMaxPictureSize = 100000.0;
inline constexpr double kMaxFontSize = 1000.0;

// "" when the width, height and font size of `options` (0: the default)
// can be drawn, else the reason, naming the value ("width 1e+100 px: a
// picture is at most 100000 px wide").
std::string check_plot_sizes(const PlotOptions& options);

// The SVG document for `run`, which has been through reading, the energy
// profile, the TOF and the degrees of control (the phases of run_phases up to
// compute_control). `file_name` is shown in the title line as given; it and
// every other text are escaped for XML, so any bytes give a well-formed
// document. Energies are drawn in kcal/mol; non-finite energies, TOF or
// degrees of control are left out of the drawing or written as text, never
// turned into invalid coordinates. Never throws except std::bad_alloc.
std::string render_profile_svg(const Run& run, const std::string& file_name,
                               const PlotOptions& options = {});

// The profiles of several evaluated runs in one picture, each in a colour,
// dash pattern and marker of its own, named in a legend by its input_name.
// One run gives the picture of render_profile_svg. None: an empty picture
// that says so.
std::string render_profiles_svg(const std::vector<const Run*>& runs,
                                const PlotOptions& options = {});

}  // namespace kinex

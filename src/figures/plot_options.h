// What the user may change about a profile picture, and the bounds of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace kinex

// The energy profile of one cycle, or of several overlaid, as a standalone
// SVG 1.1 picture, for papers and talks: a bar per intermediate and
// transition state along the reaction coordinate, the TDI and TDTS
// highlighted with the energetic span between them, and the degree of TOF
// control of every state as the shade of its bar.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "figures/plot_options.h"
#include "model/run.h"

namespace kinex {

// "" when the width, height and font size of `options` (0: the default)
// can be drawn, else the reason, naming the value ("width 1e+100 px: a
// picture is at most 100000 px wide").
std::string check_plot_sizes(const PlotOptions& options);

// As features::parse_paper_size (kinex/pictures.h).
bool parse_paper_size(std::string_view text, PaperSize& size, std::string& error);

// The SVG document for `run`, which has been through reading, the energy
// profile, the TOF and the degrees of control (the phases of run_phases up to
// compute_control). `file_name` is shown in the title line as given; it and
// every other text are escaped for XML, so any bytes give a well-formed
// document; options.xlabel and ylabel replace the axes' titles. Energies are drawn in kcal/mol;
// non-finite energies, TOF or degrees of control are left out of the drawing or written as text,
// never turned into invalid coordinates. Never throws except std::bad_alloc.
std::string render_profile_svg(const Run& run, const std::string& file_name,
                               const PlotOptions& options = {});

// The profiles of several evaluated runs in one picture, each in a colour,
// dash pattern and marker of its own, named in a legend by its label in
// options.labels, else by its input_name's file stem ("runs/ni.txt": "ni").
// Each run's final state stands in the last column, its other states in
// the columns of their steps. One run gives the picture of
// render_profile_svg, its label (if any) in place of its file name. None:
// an empty picture that says so.
std::string render_profiles_svg(const std::vector<const Run*>& runs,
                                const PlotOptions& options = {});

}  // namespace kinex

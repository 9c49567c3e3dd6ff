// The pictures of kinex plot and kinex volcano, standalone SVG documents:
// the energy profile of one evaluated cycle or of several overlaid, and a
// volcano's curve.
#pragma once

#include <kinex/run.h>
#include <kinex/volcano.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kinex {

// What the user may change about the picture. Zero or empty: the default.
struct PlotOptions {
  bool has_title = false;  // `title` replaces the default title
  std::string title;
  bool no_title = false;   // no title line at all
  double width = 0.0;      // px of the picture (96 to the inch); 0: as the content needs
  double height = 0.0;     // px of the picture at least; 0: as the content needs
  double font_size = 0.0;  // pt of the state labels (all text scales with it); 0: 9
  std::vector<std::string>
      labels;                // the cycles' names in the legend, in order; "": the file's stem
  std::string xlabel;        // the axes' titles; "": "Reaction coordinate →"
  std::string ylabel;        // and "Gibbs energy (kcal/mol)"
  bool has_y_range = false;  // the energy axis from y_from to y_to (kcal/mol)
  double y_from = 0.0;
  double y_to = 0.0;
  // Not empty: error bars of +-sigmas[s] (kcal/mol) on the states of one
  // cycle (the order of kinex/uncertainty.h: I0, TS1, ..., TSn, the final
  // state), and how likely each state is the TDI and the TDTS from a Monte
  // Carlo over the energies with these samples, seed and correlation.
  std::vector<double> sigmas;
  int64_t sigma_samples = 10000;
  uint64_t sigma_seed = 0;
  double sigma_correlation = 0.0;
};

// A picture's size on paper, as `--size` and Python's size= give it: px at
// 96 to the inch, as the pictures' px are printed, and the font size that
// prints well at that width.
struct PaperSize {
  double width = 0.0;      // px
  double height = 0.0;     // px; 0: as the content needs
  double font_size = 0.0;  // pt of the body text
};
inline constexpr double kPxPerInch = 96.0;
inline constexpr double kPxPerPoint = kPxPerInch / 72.0;
inline constexpr double kColumnInches = 3.3;    // one column of a two-column journal page
inline constexpr double kPageInches = 7.0;      // the text width of such a page
inline constexpr double kColumnFontSize = 8.0;  // pt
inline constexpr double kPageFontSize = 9.0;    // pt

// Which curve a picture draws, with the catalysts' own values of it.
enum class VolcanoCurve { log10_TOF, energetic_span, endergonic_step };

// What the picture is asked for.
struct VolcanoPicture {
  VolcanoCurve curve = VolcanoCurve::log10_TOF;
  bool has_title = false;  // `title` replaces "Volcano: " and the table's file name
  std::string title = {};
  bool no_title = false;    // no title line at all
  std::string xlabel = {};  // the axes' titles; "": "<descriptor> (kcal/mol)"
  std::string ylabel = {};  // and the curve's name with its unit
  double width = 0.0;       // px of the picture; 0: 340
  double height = 0.0;      // px of the picture at least; 0: as the content needs
  double font_size = 0.0;   // pt of the body text (all text scales with it); 0: 7.5
};

namespace features {

// `text` as a paper size: "column" (3.3 in wide, 8 pt text), "page" (7 in,
// 9 pt), or a width, optionally "x" a height, and a unit, "in" or "mm":
// "3.3in", "85x60mm", "3.3x2.5in" (8 pt text below 5 in of width, else 9
// pt). False with the reason in `error` for anything else, and for a size
// of 0, not finite or beyond the largest picture.
bool parse_paper_size(std::string_view text, PaperSize& size, std::string& error);

// "" when the width, height and font size of `options` (0: the default)
// can be drawn, else the reason, naming the value ("width 1e+100 px: a
// picture is at most 100000 px wide").
std::string check_plot_sizes(const PlotOptions& options);

// The picture of kinex plot for the evaluated `run`, `file_name` shown in
// its title line as given (every text escaped for XML).
std::string render_profile_svg(const Run& run, const std::string& file_name,
                               const PlotOptions& options);

// The profiles of several evaluated runs in one picture, each named in a
// legend by its label in options.labels, else by its input_name's file
// stem; one run gives the picture of render_profile_svg.
std::string render_profiles_svg(const std::vector<const Run*>& runs, const PlotOptions& options);

// The picture of kinex volcano --svg of the volcano of the table `file`.
std::string volcano_svg(const std::string& file, const Volcano& volcano,
                        const VolcanoPicture& picture);

}  // namespace features

}  // namespace kinex

// The pieces of the volcano, shared by its files: the fits of the states'
// lines (fit.cc), the band of draws (band.cc), the regions and the top
// (regions.cc), the statistics (statistics.cc), the outputs (outputs.cc)
// and the building of the whole (volcano.cc). Private to them: volcano.h is
// the interface.
#pragma once

#include <kinex/kinex.h>

#include <string>
#include <vector>

#include "volcano/volcano.h"

namespace kinex::volcano_detail {

// The shares of the work that the progress gives the phases: the curve
// and its regions before kBandFrom, the band up to kBandTo, the catalysts'
// own evaluations after it.
inline constexpr double kBandFrom = 0.1, kBandTo = 0.9;

using Matrix = std::vector<std::vector<double>>;

// `text` in double quotes.
std::string in_quotes(const std::string& text);

// The names separated by ", ".
std::string joined(const std::vector<std::string>& names);

// The mean of x and the sum of squares about it, Sxx.
struct Spread {
  double mean = 0.0, sxx = 0.0;
};

// Of `x` (at least one value).
Spread spread_of(const std::vector<double>& x);

// `cycle` evaluated (over the logarithms, on this thread); false with the
// diagnostic when its storage cannot be had.
bool evaluated(const Cycle& cycle, Evaluation& run, std::string& error);

// The threads the options ask for: 0 is one per core.
int volcano_threads(const VolcanoOptions& options);

// The band of the curve and at the top; NaN throughout where there is none.
void draw_band(Volcano& volcano, const VolcanoOptions& options);

// The regions of equal TDI and TDTS over the range (see regions.cc); false
// with the diagnostic when a probe cannot be evaluated.
bool find_regions(Volcano& volcano, int threads, std::string& error);

// The top of the volcano refined between the curve's neighbours of its
// highest point; false with the diagnostic when a probe cannot be evaluated.
bool refine_top(Volcano& volcano, std::string& error);

}  // namespace kinex::volcano_detail

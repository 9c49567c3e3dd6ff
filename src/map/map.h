// kinex map: a table of catalysts (input/table.h) turned into an activity
// map (kinex/map.h), and the map's outputs. The states are those the
// volcano fits (volcano/volcano.h); their planes are fitted here, and the
// grid is evaluated through the array path (kinex/arrays.h).
#pragma once

#include <kinex/map.h>
#include <kinex/volcano.h>

#include <cstdint>
#include <string>
#include <vector>

#include "outputs/format.h"
#include "outputs/json_output.h"

namespace kinex {

// The "map" document (document_head first): "program", "file", "x" {name},
// "y" {name, temperature}, "quantity", "rows", "conditions" (as the
// volcano's), "fits" [{state, intercept, slope_x, slope_y, r2, mae,
// residual_sd, warning}], "grid" {x, y, log10_tof, tdi, tdts,
// no_driving_force: the last four as NY rows of NX}, "top" {x, y,
// log10_tof, tdi, tdts}, "points" [{name, x, y, log10_tof,
// fitted_log10_tof, tdi, tdts}], "warnings". Non-finite numbers are null.
Json map_json(const std::string& file, const Map& map);

// The CSV of the grid, a header and a row per point, x fastest: x, y (T
// over the temperature), log10_tof, tdi, tdts, no_driving_force; reals as
// shortest().
std::string map_csv(const Map& map, CsvNames& names);

// The text for people: the fits, the grid, its top, the TDI/TDTS regions
// by their share of the grid, the catalysts and the warnings.
std::string map_text(const std::string& file, const Map& map);

namespace map_detail {

// The cycle of `map`'s fits (those of `fits`'s states) at (x, y), at
// temperature y over the temperature.
Cycle fitted_map_cycle(const Map& map, const VolcanoFits& fits, double x, double y);

// The TDI and TDTS steps of the fitted cycle at every point (xs[k], ys[k]),
// through the array path on `threads` threads; false with the reason.
bool regions_at(const Map& map, const VolcanoFits& fits, const std::vector<double>& xs,
                const std::vector<double>& ys, int threads, std::vector<int64_t>& TDI,
                std::vector<int64_t>& TDTS, std::string& error);

// The map's switches and boundaries (kinex/map.h) from its grid's TDI and
// TDTS, each switch bisected on its edge; false with the reason.
bool trace_boundaries(const VolcanoFits& fits, int threads, Map& map, std::string& error);

}  // namespace map_detail

}  // namespace kinex

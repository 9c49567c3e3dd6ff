// Activity maps, as kinex map builds them from a table of catalysts
// (kinex/table.h): every state's Gibbs energy fitted as a plane of two
// descriptors (or as a line of one, the temperature being the second axis),
// and the cycle of the fitted energies evaluated at every point of a grid
// (kinex/arrays.h): log10 TOF, the TDI and the TDTS.
#pragma once

#include <kinex/json.h>
#include <kinex/pictures.h>
#include <kinex/table.h>
#include <kinex/types.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kinex {

// What a map shows at its points: log10 TOF (1/s) of the fitted cycle,
// higher where it is more active, or its energetic span (kcal/mol), lower
// where it is more active. Selectivity joins them once networks exist.
enum class MapQuantity { log10_tof, energetic_span };

// The quantity's name in every output (docs/reference/vocabulary.md).
inline const char* quantity_name(MapQuantity quantity) {
  return quantity == MapQuantity::energetic_span ? "energetic_span" : "log10_tof";
}

// The quantity named `name` (as quantity_name gives it) into `quantity`;
// false for another name.
inline bool quantity_named(const std::string& name, MapQuantity& quantity) {
  for (MapQuantity q : {MapQuantity::log10_tof, MapQuantity::energetic_span}) {
    if (name == quantity_name(q)) {
      quantity = q;
      return true;
    }
  }
  return false;
}

// One state's plane G = intercept + slope_x x + slope_y y over the rows used,
// by least squares (slope_y 0 for a map over the temperature, whose states
// are lines of x). With m rows, p the coefficients (3, or 2 for a line) and
// SSE the sum of the squared residuals: r2 = 1 - SSE / SST (1 where the
// state is the same in every row), mae the mean |residual|, residual_sd
// sqrt(SSE / (m - p)) (0 with m = p). `warning` is empty when the fit can
// be trusted, else says why not: no more rows than coefficients, or r2
// below 0.5 for a state that varies more than 0.1 kcal/mol (sd).
struct PlaneFit {
  std::string state;
  double intercept = 0.0, slope_x = 0.0, slope_y = 0.0;
  double r2 = 1.0, mae = 0.0, residual_sd = 0.0;
  std::string warning;
};

// What the map is asked for.
struct MapOptions {
  std::string x;  // a Descriptor column (or a state column) by its header
  // A second Descriptor column; empty for a map over the temperature from
  // T_from to T_to (K).
  std::string y;
  double T_from = 0.0, T_to = 0.0;
  // Else the rows' range with 10 % of it added on each side (y over the
  // temperature: T_from .. T_to).
  bool has_x_range = false, has_y_range = false;
  double x_from = 0.0, x_to = 0.0, y_from = 0.0, y_to = 0.0;
  int64_t nx = 60, ny = 60;  // grid points along x and y, each 2 .. 100000
  int threads = 0;           // 0: one per core; the map does not depend on it
  MapQuantity quantity = MapQuantity::log10_tof;
  // Whether to trace the regions' boundaries (Map::switches and
  // boundaries, which the picture draws): a few dozen evaluations per grid
  // edge that a region crosses. Without, both are left empty.
  bool boundaries = true;
  // Asked on the calling thread now and then; true ends the map early
  // (build_map fails with "stopped").
  std::function<bool()> stop;
};

// A catalyst of the table at its own (x, y) with its own cycle's exact
// log10 TOF, TDI and TDTS (from its energies, not the fits), and the log10
// TOF of the fitted cycle at the same point.
struct MapPoint {
  std::string name;
  double x = 0.0, y = 0.0, log10_TOF = 0.0, fitted_log10_TOF = 0.0;
  std::string TDI, TDTS;
};

// Where the region of equal TDI and TDTS changes along an edge of the
// grid: on the edge from grid point (i, j) to (i + 1, j) (along_x) or to
// (i, j + 1), the fitted cycle's region at (x, y) less a millionth of the
// edge is that of (i, j), and another a millionth beyond (the switch found
// by bisecting the edge 40 times).
struct MapSwitch {
  double x = 0.0, y = 0.0;
  int64_t i = 0, j = 0;
  bool along_x = true;
};

// The map: the grid x[i] = x_from + (x_to - x_from) i / (nx - 1) (the last
// x_to itself), y likewise, and at point (i, j), element j * nx + i, the
// log10 TOF of the fitted cycle evaluated by the model with the same bits
// as kinex::evaluate gives it (log-space where the numbers overflow), its
// TDI and TDTS by step number 1..n, their names TDI_names[step] and
// TDTS_names[step] (element 0 unused). Over the temperature the cycle at (x, T) is that of
// the lines at x evaluated at T.
struct Map {
  std::string x_name, y_name;  // y_name "T" over the temperature
  bool over_temperature = false;
  std::vector<std::string> rows;  // the names of the rows used, in table order
  std::vector<PlaneFit> fits;     // one per state, in cycle order, the final state last
  Cycle conditions;               // T, n and concentrations of the rows (energies unused)
  double x_from = 0.0, x_to = 0.0, y_from = 0.0, y_to = 0.0;
  std::vector<double> x, y, log10_TOF;
  // The energetic span (kcal/mol) per point as log10_TOF, with that
  // quantity mapped (else empty).
  std::vector<double> energetic_span;
  std::vector<int64_t> TDI, TDTS;
  std::vector<std::string> TDI_names, TDTS_names;
  std::vector<bool> no_driving_force;  // per point, as log10_TOF
  // The most active point by the quantity: the highest log10 TOF, or the
  // lowest energetic span (the first of equals).
  int64_t top = 0;
  std::vector<MapPoint> points;
  std::vector<std::string> warnings;  // the fits', the range's and the grid's
  // The switches of region on the cells' edges, and the boundaries as
  // lines of (x, y) through them: within a cell two switches are joined,
  // and three or four (a cell of three or four regions) through its centre.
  std::vector<MapSwitch> switches;
  std::vector<std::vector<std::array<double, 2>>> boundaries;
  MapQuantity quantity = MapQuantity::log10_tof;
};

// The values of the map's quantity, per point as log10_TOF.
inline const std::vector<double>& quantity_values(const Map& map) {
  return map.quantity == MapQuantity::energetic_span ? map.energetic_span : map.log10_TOF;
}

namespace features {

// The map of a table's rows, as kinex map builds it. False with the reason
// in `error`, naming the argument or the row, for bad rows, a descriptor
// that names no column, rows of other states or conditions, fewer than 3
// rows for planes (2 for lines), descriptors that vary together (no plane
// can be fitted), a bad range or number of points, a grid larger than the
// memory this process may have, fitted energies beyond what can be
// evaluated, or when options.stop asked to stop ("stopped").
bool build_map(const std::vector<TableRow>& rows, const MapOptions& options, Map& map,
               std::string& error);

// The document of kinex map --json for the map of the table `file`, the
// same keys and numbers (non-finite numbers null).
void map_json(const std::string& file, const Map& map, JsonVisitor& to);

// The text of kinex map --csv (a row per grid point, the names as they
// are), and of kinex map.
std::string map_csv(const Map& map);
std::string map_text(const std::string& file, const Map& map);

// The picture of kinex map -o of the map of the table `file`, sized as the
// volcano's picture is (its curve unused).
std::string map_svg(const std::string& file, const Map& map, const VolcanoPicture& picture);

}  // namespace features

}  // namespace kinex

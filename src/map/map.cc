// The map of a table: the planes (or lines) of the states fitted, the grid
// laid over the descriptors' ranges, every grid point's cycle evaluated
// through the array path, and the catalysts' own points.
#include "map/map.h"

#include <kinex/arrays.h>
#include <kinex/kinex.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <new>

#include "model/profile.h"
#include "model/storage.h"
#include "outputs/state_names.h"
#include "platform/memory.h"
#include "volcano/volcano.h"
#include "volcano/volcano_internal.h"

namespace kinex {
namespace {

using volcano_detail::in_quotes;
using volcano_detail::joined;

constexpr int64_t kMostPoints = 100000;  // along each axis

// The options within their bounds; else the reason, naming the argument.
bool options_usable(const MapOptions& options, std::string& error) {
  if (options.nx < 2 || options.nx > kMostPoints || options.ny < 2 || options.ny > kMostPoints) {
    error = "--points " + std::to_string(options.nx) + "," + std::to_string(options.ny) +
            ": each from 2 to " + std::to_string(kMostPoints);
    return false;
  }
  const auto bad = [](double from, double to) {
    return !(std::isfinite(from) && std::isfinite(to) && from < to && std::isfinite(to - from));
  };
  if (options.has_x_range && bad(options.x_from, options.x_to)) {
    error = "--x-range " + shortest(options.x_from) + ":" + shortest(options.x_to) +
            ": FROM must be below TO, both finite, and TO - FROM within the range of doubles";
    return false;
  }
  if (options.has_y_range && bad(options.y_from, options.y_to)) {
    error = "--y-range " + shortest(options.y_from) + ":" + shortest(options.y_to) +
            ": FROM must be below TO, both finite, and TO - FROM within the range of doubles";
    return false;
  }
  if (options.y.empty() && (bad(options.T_from, options.T_to) || !(options.T_from > 0.0))) {
    error = "--y T=" + shortest(options.T_from) + ":" + shortest(options.T_to) +
            ": the temperatures FROM and TO must be finite, FROM above 0 K and below TO";
    return false;
  }
  if (options.y.empty() && options.has_y_range) {
    error =
        "--y-range goes with a second descriptor; over the temperature --y T=FROM:TO is the "
        "range";
    return false;
  }
  return true;
}

const Descriptor* descriptor_of(const TableRow& row, const std::string& name) {
  for (const Descriptor& d : row.descriptors) {
    if (d.name == name) return &d;
  }
  return nullptr;
}

// The rows with a value of the second descriptor `y` into `kept`, the
// others named in a warning; false with the reason when `y` is no
// Descriptor column, is the first, or a row is bad.
bool rows_with_y(const std::vector<TableRow>& rows, const MapOptions& options,
                 std::vector<TableRow>& kept, Map& map, std::string& error) {
  std::vector<std::string> columns;
  for (const TableRow& row : rows) {
    if (!row.ok) {
      error = row.error;
      return false;
    }
    for (const Descriptor& d : row.descriptors) {
      if (std::find(columns.begin(), columns.end(), d.name) == columns.end()) {
        columns.push_back(d.name);
      }
    }
  }
  if (options.y == options.x) {
    error = "--x and --y both name " + in_quotes(options.y) + "; a map needs two descriptors";
    return false;
  }
  if (std::find(columns.begin(), columns.end(), options.y) == columns.end()) {
    error = "--y " + in_quotes(options.y) + " is no Descriptor column of the table (" +
            (columns.empty() ? std::string("it has none") : "it has " + joined(columns)) +
            "); a map takes two Descriptor columns, or one and the temperature (--y T=FROM:TO)";
    return false;
  }
  std::vector<std::string> left_out;
  for (const TableRow& row : rows) {
    if (descriptor_of(row, options.y) == nullptr) {
      left_out.push_back(row.name);
    } else {
      kept.push_back(row);
    }
  }
  if (!left_out.empty()) {
    map.warnings.push_back("rows without a value of " + in_quotes(options.y) +
                           " are left out: " + joined(left_out));
  }
  return true;
}

double mean_of(const std::vector<double>& v) {
  double sum = 0.0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

// Fit quality of `fit` over the rows: r2, mae, residual_sd with p
// coefficients, and the warning.
void judge(PlaneFit& fit, const std::vector<double>& x, const std::vector<double>& y,
           const std::vector<double>& G, std::size_t p) {
  const std::size_t m = G.size();
  const double mg = mean_of(G);
  double sse = 0.0, sae = 0.0, sst = 0.0;
  for (std::size_t r = 0; r < m; ++r) {
    const double e = G[r] - (fit.intercept + fit.slope_x * x[r] + fit.slope_y * y[r]);
    sse += e * e;
    sae += std::abs(e);
    sst += (G[r] - mg) * (G[r] - mg);
  }
  fit.r2 = sst > 0.0 ? 1.0 - sse / sst : 1.0;
  fit.mae = sae / static_cast<double>(m);
  fit.residual_sd = m > p ? std::sqrt(sse / static_cast<double>(m - p)) : 0.0;
  const double sd_G = std::sqrt(sst / static_cast<double>(m));
  if (m <= p) {
    fit.warning = "only " + std::to_string(m) + " rows: the " + (p == 3 ? "plane" : "line") +
                  " passes through them and shows no scatter";
  } else if (fit.r2 < 0.5 && sd_G > 0.1) {
    fit.warning = "R\u00b2 " + significant(fit.r2) + " is below 0.5: the " +
                  (p == 3 ? "plane" : "line") + " does not describe " + fit.state;
  }
}

// Every state's plane over (x, y); false with the reason when there are
// fewer than 3 rows or the descriptors vary together.
bool fit_planes(const VolcanoFits& fits, const std::vector<double>& y, const MapOptions& options,
                Map& map, std::string& error) {
  const std::vector<double>& x = fits.x;
  const std::size_t m = x.size();
  if (m < 3) {
    error = "a plane per state needs at least 3 catalysts with values of both " +
            in_quotes(options.x) + " and " + in_quotes(options.y) + "; the table has " +
            std::to_string(m);
    return false;
  }
  const double mx = mean_of(x), my = mean_of(y);
  double sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (std::size_t r = 0; r < m; ++r) {
    sxx += (x[r] - mx) * (x[r] - mx);
    syy += (y[r] - my) * (y[r] - my);
    sxy += (x[r] - mx) * (y[r] - my);
  }
  if (!(syy > 0.0)) {
    error = "the descriptor " + in_quotes(options.y) + " is " + shortest(y[0]) +
            " in every row; a map needs it to vary";
    return false;
  }
  const double det = sxx * syy - sxy * sxy;
  if (!(det > 1e-10 * sxx * syy)) {
    error = "the descriptors " + in_quotes(fits.descriptor) + " and " + in_quotes(options.y) +
            " vary together over the rows (correlation " + significant(sxy / std::sqrt(sxx * syy)) +
            "): no plane can be fitted; choose descriptors that vary independently";
    return false;
  }
  for (std::size_t s = 0; s < fits.fits.size(); ++s) {
    std::vector<double> G;
    for (std::size_t r = 0; r < m; ++r) G.push_back(fits.energies[r][s]);
    const double mg = mean_of(G);
    double sxg = 0.0, syg = 0.0;
    for (std::size_t r = 0; r < m; ++r) {
      sxg += (x[r] - mx) * (G[r] - mg);
      syg += (y[r] - my) * (G[r] - mg);
    }
    PlaneFit fit;
    fit.state = fits.fits[s].state;
    fit.slope_x = (syy * sxg - sxy * syg) / det;
    fit.slope_y = (sxx * syg - sxy * sxg) / det;
    fit.intercept = mg - fit.slope_x * mx - fit.slope_y * my;
    judge(fit, x, y, G, 3);
    if (!fit.warning.empty()) map.warnings.push_back(fit.state + ": " + fit.warning);
    map.fits.push_back(std::move(fit));
  }
  return true;
}

// The range of one axis: as asked, else the values' with 10 % of their
// spread on each side; a warning when it reaches further.
void axis_range(const std::vector<double>& values, const std::string& name, bool has_range,
                double from, double to, double& range_from, double& range_to,
                std::vector<std::string>& warnings) {
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  const double margin = 0.1 * (*high - *low);
  range_from = has_range ? from : *low - margin;
  range_to = has_range ? to : *high + margin;
  if (range_from < *low - margin * (1.0 + 1e-9) || range_to > *high + margin * (1.0 + 1e-9)) {
    warnings.push_back("the range " + shortest(range_from) + " .. " + shortest(range_to) +
                       " reaches beyond the rows' " + name + " (" + shortest(*low) + " .. " +
                       shortest(*high) +
                       ") by more than 10 % of their spread: the map there is extrapolated "
                       "from the fits");
  }
}

std::vector<double> axis(double from, double to, int64_t count) {
  std::vector<double> v;
  for (int64_t k = 0; k < count; ++k) {
    v.push_back(k + 1 == count
                    ? to
                    : from + (to - from) * static_cast<double>(k) / static_cast<double>(count - 1));
  }
  return v;
}

// The fitted energies at (x, y), one per state.
void fitted_energies(const Map& map, double x, double y, std::vector<double>& E) {
  E.clear();
  for (const PlaneFit& fit : map.fits) {
    double G = fit.intercept + fit.slope_x * x;
    if (!map.over_temperature) G += fit.slope_y * y;
    E.push_back(G);
  }
}

// The fitted cycle at (x, y), at temperature y over the temperature.
Cycle cycle_at(const Map& map, const VolcanoFits& fits, double x, double y,
               std::vector<double>& E) {
  fitted_energies(map, x, y, E);
  Cycle cycle = cycle_of(fits, E);
  if (map.over_temperature) cycle.T = y;
  return cycle;
}

// Cycles held for the array path, inputs and results.
struct GridArrays {
  std::size_t steps = 0;
  bool concentrations = false, own_T = false;  // own_T: a temperature per cycle
  std::vector<double> T, DeltaG, G_int, G_ts, reactant, product;
  std::vector<int64_t> TDI, TDTS;
  std::vector<double> log10_TOF, energetic_span;
  std::unique_ptr<bool[]> warning;
};

bool has_concentrations(const Cycle& c) {
  bool any = false;
  for (int64_t i = 1; i <= c.n; ++i) {
    any = any || c.has_reac[static_cast<std::size_t>(i)] || c.has_prod[static_cast<std::size_t>(i)];
  }
  return any;
}

// Room for N cycles like `c` in `a` (T one for all unless `own_T`), and
// for their TDI and TDTS (and log10 TOF, warnings and with `span` the
// energetic span with `all`).
void size_arrays(const Cycle& c, std::size_t N, bool own_T, bool all, bool span, GridArrays& a) {
  a.steps = static_cast<std::size_t>(c.n);
  a.concentrations = has_concentrations(c);
  a.own_T = own_T;
  a.T.resize(own_T ? N : 1, c.T);
  a.DeltaG.resize(N);
  a.G_int.resize(N * a.steps);
  a.G_ts.resize(N * a.steps);
  if (a.concentrations) {
    a.reactant.resize(N * a.steps);
    a.product.resize(N * a.steps);
  }
  a.TDI.resize(N);
  a.TDTS.resize(N);
  if (all) {
    a.log10_TOF.resize(N);
    if (span) a.energetic_span.resize(N);
    a.warning.reset(new bool[N]);
  }
}

// `cycle` as cycle k of `a`.
void put_cycle(const Cycle& cycle, std::size_t k, GridArrays& a) {
  if (a.own_T) a.T[k] = cycle.T;
  a.DeltaG[k] = cycle.DeltaG;
  const std::size_t steps = a.steps;
  for (std::size_t s = 0; s < steps; ++s) {
    a.G_int[k * steps + s] = cycle.G_int[s];
    a.G_ts[k * steps + s] = cycle.G_ts[s + 1];
    if (a.concentrations) {
      a.reactant[k * steps + s] = cycle.has_reac[s + 1] ? cycle.conc_reac[s + 1] : NAN;
      a.product[k * steps + s] = cycle.has_prod[s + 1] ? cycle.conc_prod[s + 1] : NAN;
    }
  }
}

features::CycleArrays inputs_of(const GridArrays& a) {
  features::CycleArrays in;
  in.count = static_cast<int64_t>(a.DeltaG.size());
  in.steps = static_cast<int64_t>(a.steps);
  in.T = a.T.data();
  in.T_stride = a.own_T ? 1 : 0;
  in.DeltaG = a.DeltaG.data();
  in.G_int = a.G_int.data();
  in.G_ts = a.G_ts.data();
  in.reactant = a.concentrations ? a.reactant.data() : nullptr;
  in.product = a.concentrations ? a.product.data() : nullptr;
  return in;
}

features::ResultArrays outputs_of(GridArrays& a) {
  features::ResultArrays out;
  out.log10_tof = a.log10_TOF.empty() ? nullptr : a.log10_TOF.data();
  out.energetic_span = a.energetic_span.empty() ? nullptr : a.energetic_span.data();
  out.tdi_step = a.TDI.data();
  out.tdts_step = a.TDTS.data();
  out.warning = a.warning.get();
  return out;
}

// Whether the grid of `count` points of n steps fits in the memory this
// process may have; else the reason, naming --points.
bool grid_fits(const MapOptions& options, int64_t n, bool concentrations, std::string& error) {
  const double count = static_cast<double>(options.nx) * static_cast<double>(options.ny);
  const double per_point = 8.0 * static_cast<double>(n) * (concentrations ? 4.0 : 2.0) + 8.0 * 5 +
                           1.0 + 64.0;  // inputs, results, the map's copies
  const double bytes = count * per_point;
  const double room = static_cast<double>(storage_limit(current_memory_room()));
  if (bytes <= room) return true;
  error = "--points " + std::to_string(options.nx) + "," + std::to_string(options.ny) +
          ": a grid of " + std::to_string(options.nx * options.ny) + " points of " +
          std::to_string(n) + " steps takes about " + significant(bytes / 1048576.0) +
          " MB, more than the " + significant(room / 1048576.0) +
          " MB this process may have; ask for fewer points";
  return false;
}

// Every grid point's cycle evaluated into the map; false with the reason.
bool evaluate_grid(const VolcanoFits& fits, const MapOptions& options, Map& map,
                   std::string& error) {
  if (!grid_fits(options, fits.conditions.n, has_concentrations(fits.conditions), error))
    return false;
  const auto N = static_cast<std::size_t>(options.nx * options.ny);
  GridArrays a;
  try {
    size_arrays(fits.conditions, N, map.over_temperature, true,
                map.quantity == MapQuantity::energetic_span, a);
  } catch (const std::bad_alloc&) {
    error = "--points " + std::to_string(options.nx) + "," + std::to_string(options.ny) +
            ": the memory for the grid cannot be had; ask for fewer points";
    return false;
  }
  std::vector<double> E;
  for (std::size_t j = 0; j < map.y.size(); ++j) {
    for (std::size_t i = 0; i < map.x.size(); ++i) {
      put_cycle(cycle_at(map, fits, map.x[i], map.y[j], E), j * map.x.size() + i, a);
    }
  }
  const features::CycleArrays in = inputs_of(a);
  const std::string bad = features::check_cycle_arrays(in);
  if (!bad.empty()) {
    error = "the fitted energies over the ranges are beyond what can be evaluated (" + bad +
            "); choose ranges nearer the rows";
    return false;
  }
  if (!features::evaluate_cycle_arrays(in, outputs_of(a), options.threads, options.stop, error)) {
    if (error.empty()) error = "stopped";
    return false;
  }
  std::size_t backward = 0;
  for (std::size_t k = 0; k < N; ++k) {
    if (!std::isfinite(a.log10_TOF[k])) {
      error = "at " + map.x_name + " = " + shortest(map.x[k % map.x.size()]) + ", " + map.y_name +
              " = " + shortest(map.y[k / map.x.size()]) +
              " the fitted energies are beyond what can be evaluated (log10 TOF " +
              shortest(a.log10_TOF[k]) + "); choose ranges nearer the rows";
      return false;
    }
    backward += a.warning[k] ? 1 : 0;
  }
  map.no_driving_force.assign(a.warning.get(), a.warning.get() + N);
  map.log10_TOF = std::move(a.log10_TOF);
  map.TDI = std::move(a.TDI);
  map.TDTS = std::move(a.TDTS);
  map.energetic_span = std::move(a.energetic_span);
  const std::vector<double>& v = quantity_values(map);
  const bool lowest = map.quantity == MapQuantity::energetic_span;
  for (std::size_t k = 1; k < N; ++k) {
    if (lowest ? v[k] < v[static_cast<std::size_t>(map.top)]
               : v[k] > v[static_cast<std::size_t>(map.top)])
      map.top = static_cast<int64_t>(k);
  }
  if (backward > 0) {
    map.warnings.push_back("the fitted cycle has no positive driving force at " +
                           std::to_string(backward) + " of the " + std::to_string(N) +
                           " grid points: their log10 TOF is of |TOF|");
  }
  return true;
}

// The catalysts' own points, and the fitted log10 TOF at each; false with
// the diagnostic where a cycle cannot be evaluated.
bool catalyst_points(const std::vector<TableRow>& rows, const VolcanoFits& fits,
                     const std::vector<double>& y, Map& map, std::string& error) {
  std::vector<double> E;
  for (std::size_t r = 0; r < fits.used.size(); ++r) {
    const TableRow& row = rows[fits.used[r]];
    MapPoint point;
    point.name = row.name;
    point.x = fits.x[r];
    point.y = map.over_temperature ? row.cycle.T : y[r];
    Evaluation own, fitted;
    if (!volcano_detail::evaluated(row.cycle, own, error) ||
        !volcano_detail::evaluated(cycle_at(map, fits, point.x, point.y, E), fitted, error)) {
      return false;
    }
    point.log10_TOF = own.results.log10_TOF;
    point.fitted_log10_TOF = fitted.results.log10_TOF;
    point.TDI = tdi_state(fits.names, own.results.TDI);
    point.TDTS = tdts_state(fits.names, own.results.TDTS);
    map.points.push_back(std::move(point));
  }
  return true;
}

}  // namespace

namespace map_detail {

Cycle fitted_map_cycle(const Map& map, const VolcanoFits& fits, double x, double y) {
  std::vector<double> E;
  return cycle_at(map, fits, x, y, E);
}

bool regions_at(const Map& map, const VolcanoFits& fits, const std::vector<double>& xs,
                const std::vector<double>& ys, int threads, std::vector<int64_t>& TDI,
                std::vector<int64_t>& TDTS, std::string& error) {
  GridArrays a;
  size_arrays(fits.conditions, xs.size(), map.over_temperature, false, false, a);
  std::vector<double> E;
  for (std::size_t k = 0; k < xs.size(); ++k) put_cycle(cycle_at(map, fits, xs[k], ys[k], E), k, a);
  const features::CycleArrays in = inputs_of(a);
  error = features::check_cycle_arrays(in);
  if (!error.empty() || !features::evaluate_cycle_arrays(in, outputs_of(a), threads, {}, error))
    return false;
  TDI = std::move(a.TDI);
  TDTS = std::move(a.TDTS);
  return true;
}

}  // namespace map_detail

namespace features {

bool build_map(const std::vector<TableRow>& rows, const MapOptions& options, Map& map,
               std::string& error) {
  map = Map{};
  map.quantity = options.quantity;
  map.over_temperature = options.y.empty();
  if (!options_usable(options, error)) return false;
  std::vector<TableRow> kept;
  const std::vector<TableRow>* used = &rows;
  if (!map.over_temperature) {
    if (!rows_with_y(rows, options, kept, map, error)) return false;
    used = &kept;
  }
  VolcanoFits fits;
  if (!fit_volcano(*used, options.x, fits, error, "a map")) return false;
  map.x_name = fits.descriptor;
  map.y_name = map.over_temperature ? "T" : options.y;
  map.rows = fits.rows;
  map.conditions = fits.conditions;
  std::vector<double> y;
  if (map.over_temperature) {
    map.warnings.insert(map.warnings.end(), fits.warnings.begin(), fits.warnings.end());
    map.fits = planes_of(fits);
  } else {
    for (const std::string& warning : fits.warnings) {  // the lines' own are not the planes'
      if (warning.rfind("rows without", 0) == 0) map.warnings.push_back(warning);
    }
    for (std::size_t index : fits.used) y.push_back(descriptor_of(kept[index], options.y)->value);
    if (!fit_planes(fits, y, options, map, error)) return false;
  }
  axis_range(fits.x, map.x_name, options.has_x_range, options.x_from, options.x_to, map.x_from,
             map.x_to, map.warnings);
  if (map.over_temperature) {
    map.y_from = options.T_from;
    map.y_to = options.T_to;
  } else {
    axis_range(y, map.y_name, options.has_y_range, options.y_from, options.y_to, map.y_from,
               map.y_to, map.warnings);
  }
  map.x = axis(map.x_from, map.x_to, options.nx);
  map.y = axis(map.y_from, map.y_to, options.ny);
  const auto n = static_cast<std::size_t>(fits.conditions.n);
  for (std::size_t i = 0; i <= n; ++i) {  // by step, 1..n
    const auto step = static_cast<int64_t>(i);
    map.TDI_names.push_back(i == 0 ? std::string() : tdi_state(fits.names, step));
    map.TDTS_names.push_back(i == 0 ? std::string() : tdts_state(fits.names, step));
  }
  return evaluate_grid(fits, options, map, error) &&
         (!options.boundaries || map_detail::trace_boundaries(fits, options.threads, map, error)) &&
         catalyst_points(*used, fits, y, map, error);
}

}  // namespace features

}  // namespace kinex

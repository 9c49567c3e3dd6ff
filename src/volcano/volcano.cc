#include "volcano/volcano.h"

#include <kinex/kinex.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "kinex/types.h"
#include "model/figures.h"
#include "model/profile.h"
#include "outputs/format.h"
#include "outputs/state_names.h"
#include "volcano/volcano_internal.h"

namespace kinex {
namespace volcano_detail {

// `cycle` evaluated (over the logarithms, on this thread); false with the
// diagnostic when its storage cannot be had.
bool evaluated(const Cycle& cycle, Evaluation& run, std::string& error) {
  Failure failure;
  if (evaluate(cycle, run, failure, 1)) return true;
  error = failure.message;
  return false;
}

// The threads the options ask for: 0 is one per core.
int volcano_threads(const VolcanoOptions& options) {
  return options.threads > 0 ? options.threads
                             : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace volcano_detail

using namespace volcano_detail;

namespace {

// The outlier test's level: the chance that the scatter alone flags a row of
// a table.
constexpr double kOutlierLevel = 0.05;
// ... and only a residual of chemical accuracy or more (kcal/mol): rows
// that match to a tenth, with one a tenth off, are not outliers.
constexpr double kOutlierEnergy = 1.0;

// The externally studentized residual of row r's state s (`spread` that of
// the descriptor): its residual
// against the line fitted without the row, in units of that line's
// prediction sd, r / (s_(r) sqrt(1 - h_r)) with h_r the row's leverage
// and s_(r)^2 = ((m - 2) s^2 - r^2 / (1 - h_r)) / (m - 3). 0 with fewer
// than 4 rows or a line without scatter.
double studentized_residual(const VolcanoFits& fits, const Spread& spread, std::size_t r,
                            std::size_t s) {
  const LineFit& fit = fits.fits[s];
  const std::size_t m = fits.x.size();
  if (m < 4 || !(fit.residual_sd > 0.0)) return 0.0;
  const auto [mx, sxx] = spread;
  const double h = 1.0 / static_cast<double>(m) + (fits.x[r] - mx) * (fits.x[r] - mx) / sxx;
  const double e = fits.energies[r][s] - (fit.intercept + fit.slope * fits.x[r]);
  const double rest =
      static_cast<double>(m - 2) * fit.residual_sd * fit.residual_sd - e * e / (1.0 - h);
  if (!(rest > 0.0)) return e == 0.0 ? 0.0 : INFINITY;
  const double s_without = std::sqrt(rest / static_cast<double>(m - 3));
  return e / (s_without * std::sqrt(1.0 - h));
}

// The options within their bounds; else the reason.
bool options_usable(const VolcanoOptions& options, std::string& error) {
  if (options.points < 2 || options.points > 100000) {
    error = "--points " + std::to_string(options.points) + ": from 2 to 100000";
    return false;
  }
  if (options.samples < 0 || options.samples > 100000) {
    error = "--samples " + std::to_string(options.samples) + ": from 0 to 100000";
    return false;
  }
  if (options.has_range &&
      !(std::isfinite(options.from) && std::isfinite(options.to) && options.from < options.to &&
        std::isfinite(options.to - options.from))) {
    error = "--range " + shortest(options.from) + ":" + shortest(options.to) +
            ": FROM must be below TO, both finite, and TO - FROM within the range of doubles";
    return false;
  }
  return true;
}

// The range and the curve over the fitted lines, with the warnings of the
// range and of the stretches without a driving force; false with the
// diagnostic where a point cannot be evaluated.
bool draw_curve(const VolcanoOptions& options, Volcano& volcano, std::string& error) {
  const VolcanoFits& fits = volcano.fits;
  volcano.warnings = fits.warnings;
  const auto [low, high] = std::minmax_element(fits.x.begin(), fits.x.end());
  const double margin = 0.1 * (*high - *low);
  volcano.from = options.has_range ? options.from : *low - margin;
  volcano.to = options.has_range ? options.to : *high + margin;
  if (volcano.from < *low - margin * (1.0 + 1e-9) || volcano.to > *high + margin * (1.0 + 1e-9)) {
    volcano.warnings.push_back("the range " + shortest(volcano.from) + " .. " +
                               shortest(volcano.to) + " reaches beyond the rows' " +
                               fits.descriptor + " (" + shortest(*low) + " .. " + shortest(*high) +
                               ") by more than 10 % of their spread: the curve there is "
                               "extrapolated from the lines");
  }

  const auto P = static_cast<std::size_t>(options.points);
  for (std::size_t p = 0; p < P; ++p) {
    const double x = p + 1 == P
                         ? volcano.to
                         : volcano.from + (volcano.to - volcano.from) * static_cast<double>(p) /
                                              static_cast<double>(P - 1);
    Evaluation run;
    if (!evaluated(fitted_cycle(fits, x), run, error)) return false;
    const StateNames& names = fits.names;
    volcano.x.push_back(x);
    volcano.log10_TOF.push_back(run.results.log10_TOF);
    volcano.energetic_span.push_back(energetic_span(run.cycle, run.results));
    volcano.effective_span.push_back(run.results.effective_span);
    volcano.endergonic_step.push_back(most_endergonic_step(run.cycle));
    volcano.TDI.push_back(tdi_state(names, run.results.TDI));
    volcano.TDTS.push_back(tdts_state(names, run.results.TDTS));
    if (!(run.results.log10_TOF <= volcano.log10_TOF[static_cast<std::size_t>(volcano.top)])) {
      volcano.top = static_cast<int64_t>(p);
    }
    if (!std::isfinite(run.results.log10_TOF)) {
      error = "at " + fits.descriptor + " = " + shortest(x) +
              " the fitted energies are beyond what can be evaluated (log10 TOF " +
              shortest(run.results.log10_TOF) + "); choose a --range nearer the rows";
      return false;
    }
    volcano.no_driving_force.push_back(needs_driving_force_warning(run.profile));
  }
  for (std::size_t p = 0; p < P; ++p) {  // each stretch without a driving force, once
    if (!volcano.no_driving_force[p] || (p > 0 && volcano.no_driving_force[p - 1])) continue;
    std::size_t last = p;
    while (last + 1 < P && volcano.no_driving_force[last + 1]) ++last;
    volcano.warnings.push_back(
        "the fitted cycle has no positive driving force from " + fits.descriptor + " = " +
        descriptor_text(volcano.x[p], volcano.from, volcano.to) + " to " +
        descriptor_text(volcano.x[last], volcano.from, volcano.to) +
        ": its log10 TOF there is of |TOF|, a cycle that turns backward or not at all");
  }
  return true;
}

// The catalysts' own points, each with its outlier test: Bonferroni over
// every residual of a state with scatter; false with the diagnostic where
// a row cannot be evaluated.
bool catalyst_points(const std::vector<TableRow>& rows, const VolcanoOptions& options,
                     Volcano& volcano, std::string& error) {
  const VolcanoFits& fits = volcano.fits;
  const auto nu = static_cast<int64_t>(fits.x.size()) - 3;
  double tested = 0.0;
  for (const LineFit& fit : fits.fits) {
    if (fit.residual_sd > 0.0) tested += static_cast<double>(fits.x.size());
  }
  const Spread spread = spread_of(fits.x);
  const double t_critical = critical_t(nu, kOutlierLevel / tested);
  std::vector<std::string> backward;
  for (std::size_t r = 0; r < fits.used.size(); ++r) {
    if (options.progress && r % 4096 == 0) {
      options.progress(kBandTo + (1.0 - kBandTo) * static_cast<double>(r) /
                                     static_cast<double>(fits.used.size()));
    }
    const TableRow& row = rows[fits.used[r]];
    VolcanoPoint point;
    point.name = row.name;
    point.x = fits.x[r];
    Evaluation run;
    if (!evaluated(row.cycle, run, error)) return false;
    const StateNames& names = fits.names;
    point.log10_TOF = run.results.log10_TOF;
    point.energetic_span = energetic_span(run.cycle, run.results);
    point.effective_span = run.results.effective_span;
    point.endergonic_step = most_endergonic_step(run.cycle);
    point.no_driving_force = needs_driving_force_warning(run.profile);
    if (point.no_driving_force) backward.push_back(row.name);
    point.TDI = tdi_state(names, run.results.TDI);
    point.TDTS = tdts_state(names, run.results.TDTS);
    point.TDI_ties = tdi_tie_states(names, run.results);
    point.TDTS_ties = tdts_tie_states(names, run.results);
    for (std::size_t s = 0; s < fits.fits.size(); ++s) {
      const LineFit& fit = fits.fits[s];
      const double residual = fits.energies[r][s] - (fit.intercept + fit.slope * fits.x[r]);
      const double t = studentized_residual(fits, spread, r, s);
      if (std::abs(residual) >= kOutlierEnergy && t != 0.0 && std::abs(t) > t_critical) {
        point.outlier = true;
        point.outlier_states.push_back(fits.fits[s].state);
      }
    }
    volcano.points.push_back(std::move(point));
  }
  if (!backward.empty()) {
    volcano.warnings.push_back("no positive driving force in the energies of " + joined(backward) +
                               ": their log10 TOF is of |TOF|");
  }
  return true;
}

}  // namespace

double most_endergonic_step(const Cycle& cycle) {
  double largest = -INFINITY;
  for (int64_t k = 1; k <= cycle.n; ++k) {
    const double next =
        k < cycle.n ? cycle.G_int[static_cast<std::size_t>(k)] : cycle.G_int[0] + cycle.DeltaG;
    largest = std::max(largest, next - cycle.G_int[static_cast<std::size_t>(k - 1)]);
  }
  return largest;
}

bool build_volcano(const std::vector<TableRow>& rows, const VolcanoOptions& options,
                   Volcano& volcano, std::string& error) {
  volcano = Volcano{};
  if (!options_usable(options, error) ||
      !fit_volcano(rows, options.descriptor, volcano.fits, error) ||
      !draw_curve(options, volcano, error) ||
      !find_regions(volcano, volcano_threads(options), error) || !refine_top(volcano, error)) {
    return false;
  }
  if (options.progress) options.progress(kBandFrom);
  draw_band(volcano, options);
  return catalyst_points(rows, options, volcano, error);
}

}  // namespace kinex

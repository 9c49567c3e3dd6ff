// Volcanoes, as kinex volcano builds them from a table of catalysts
// (kinex/table.h): every state's Gibbs energy fitted as a straight line of
// one descriptor, the cycle of the fitted energies evaluated along it (log10
// TOF, the spans, the most endergonic step, TDI and TDTS and their regions)
// with a 95 % band from the uncertainty of the lines; and its outputs.
#pragma once

#include <kinex/json.h>
#include <kinex/table.h>
#include <kinex/types.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kinex {

// One state's line G = intercept + slope * x over the rows used, by least
// squares. With m rows, SSE the sum of the squared residuals and Sxx the
// sum of (x - mean x)^2:
//   r2 = 1 - SSE / SST (1 where the state is the same in every row: the
//   flat line fits it exactly); mae the mean |residual|; residual_sd
//   sqrt(SSE / (m - 2)) (0 with two rows); the covariance of
//   (intercept, slope) residual_sd^2 (XᵀX)⁻¹: var_slope = s^2 / Sxx,
//   var_intercept = s^2 (1/m + mean_x^2 / Sxx), cov = -s^2 mean_x / Sxx.
// `warning` is empty when the line can be trusted, else says why not:
// fewer than 3 rows (the line cannot show its scatter), or r2 below 0.5 for
// a state that varies more than 0.1 kcal/mol (sd) over the rows.
struct LineFit {
  std::string state;
  double slope = 0.0, intercept = 0.0;
  double r2 = 1.0, mae = 0.0, residual_sd = 0.0;
  double var_intercept = 0.0, var_slope = 0.0, cov_intercept_slope = 0.0;
  std::string warning;
};

// What kind of state a fitted state is, and where it sits in the cycle.
struct FittedState {
  enum class Kind { intermediate, transition, final_state } kind = Kind::intermediate;
  int64_t step = 0;  // intermediate: k (0..n-1); transition state: its step i (1..n)
};

// The fits of a table against its descriptor.
struct VolcanoFits {
  std::string descriptor;  // the column's header
  bool descriptor_is_state = false;
  std::string chosen_by;                      // how the descriptor was chosen, in words
  std::vector<std::string> rows;              // the names of the rows used, in table order
  std::vector<std::size_t> used;              // their indices in the rows given
  std::vector<double> x;                      // their descriptor values
  std::vector<std::vector<double>> energies;  // [row][state], kcal/mol
  std::vector<FittedState> states;            // in cycle order, the final state last
  std::vector<LineFit> fits;                  // one per state, same order
  // Σ: the covariance of the residuals across states, S x S,
  // Σ_st = Σ_rows r_s r_t / (m - 2) (zero with two rows).
  std::vector<std::vector<double>> residual_covariance;
  Cycle conditions;                   // T, n and concentrations of every row (energies unused)
  StateNames names;                   // of the cycle, implied transition states "TS(A->B)"
  std::vector<std::string> warnings;  // the fits' warnings and rows left out
};

// What the curve is asked for.
struct VolcanoOptions {
  std::string descriptor;  // as fit_volcano takes it
  bool has_range = false;  // else the rows' range with 10 % of it added on each side
  double from = 0.0, to = 0.0;
  int64_t points = 200;    // 2 .. 100000, evenly from `from` to `to`
  int64_t samples = 1000;  // draws of the lines for the band, 0 .. 100000; 0: no band
  uint64_t seed = 0;
  int threads = 0;  // for the band's points; 0: one per core (the band is the same on any)
  // Hears the share of the work done, 0..1, on the calling thread; empty:
  // not called.
  std::function<void(double)> progress;
  // Asked on the calling thread now and then while the band is drawn; true
  // ends the volcano early (build_volcano fails with "stopped").
  std::function<bool()> stop;
};

// A stretch of the range with the same TDI and TDTS, by state name. The
// labels are taken at the curve's points and at 2047 more evenly spaced
// values, and every change between two neighbouring ones is found by
// bisection to neighbouring doubles (a region between them that a midpoint
// shows is found too; at most 512 evaluations between two samples, room
// for some ten changes there). Tied terms make no change (see
// resolve_ties): `from` is the first value of the region, `to` the
// first of the next (the range's ends at the ends). `first` .. `last` are
// the curve points inside it, none (first = last + 1) for a region between
// two points.
struct VolcanoRegion {
  std::string TDI, TDTS;
  double from = 0.0, to = 0.0;
  int64_t first = 0, last = 0;  // point indices
  // The states tied with the TDI and the TDTS in the middle of the region
  // (see resolve_ties), by name.
  std::vector<std::string> TDI_ties, TDTS_ties;
};

// A catalyst of the table at its own descriptor value with its own cycle's
// exact log10 TOF, spans and most endergonic step (from its energies, not
// the fits); `outlier` when one of its states fails the outlier test,
// those states in `outlier_states`. The test takes the externally
// studentized residual t = r / (s_(r) sqrt(1 - h)): the row's residual
// against the line fitted without it, with h the row's leverage and s_(r)
// the residual sd without the row, Student's t with m - 3 degrees of
// freedom for a row that fits. It flags a residual whose two-sided tail
// probability times K, the number of residuals tested (rows times states
// with scatter), is below 0.05 (Bonferroni): the scatter alone flags a row
// of a table at most 5 % of the time. Only a residual of 1 kcal/mol or
// more (chemical accuracy) counts: where the other rows lie exactly on a
// line, a tenth off is no outlier. Never with fewer than 4 rows, nor for a
// state without scatter.
struct VolcanoPoint {
  std::string name;
  double x = 0.0, log10_TOF = 0.0;
  double energetic_span = 0.0, effective_span = 0.0, endergonic_step = 0.0;
  std::string TDI, TDTS;
  bool outlier = false;
  std::vector<std::string> outlier_states;
  bool no_driving_force = false;                 // its own energies (a warning names it)
  std::vector<std::string> TDI_ties, TDTS_ties;  // by name (see resolve_ties)
};

// The band of one curve: the 2.5 % and 97.5 % quantiles at every point.
struct Band {
  std::vector<double> low, high;
};

// The curves: each evaluated with evaluate_cycle(run, 1, Use::outputs)
// on fitted_cycle(fits, x) at x = from + (to - from) k / (points - 1).
//
// The band: `samples` draws of all lines at once from the multivariate
// regression's distribution with Σ estimated from m rows, a multivariate t
// with nu = m - 2 degrees of freedom. About the rows' mean descriptor x̄ a
// line's level and slope are independent, so a draw moves state s's line
// by U_s + V_s (x - x̄) with U = k C z0 / sqrt(m), V = k C z1 / sqrt(Sxx),
// C Cᵀ = Σ (Cholesky, columns of a singular Σ left zero), z0, z1 S
// standard normals each and k = sqrt(nu / chi2), chi2 the sum of nu more
// squared: every linear combination of the lines (a state's line, a span
// or a step at fixed TDI and TDTS) then has the exact t interval of its
// least-squares estimate, and no cancellation sets in however far the
// descriptor lies from 0. The normals are drawn by Box-Muller from
// std::mt19937_64 seeded with `seed` (draw by draw: z0, z1, then the nu of
// chi2), so the band is the same bit for bit everywhere. Each draw's cycle
// is evaluated at every point (and at the top) by evaluate_sample with the
// errors drawn minus fitted energies (an implied transition state the
// higher of its drawn neighbours); the band is the 2.5 % / 97.5 %
// quantile per point, as model/uncertainty.h interpolates them. The points
// are shared between `threads`, and a point's draws are kept only while it
// is summed, so the memory grows with the draws and the threads, not with
// the points. A perfect fit gives a band of no width; with no draws
// (`samples` 0) or two rows (no scatter to go by) there is no band: NaN
// throughout. A draw that evaluate_sample refuses (a cycle whose
// logarithms do not exist, e.g. a concentration of 0) is left out of the
// point's quantiles, with a warning; a point without any is NaN.
struct Volcano {
  VolcanoFits fits;
  double from = 0.0, to = 0.0;
  std::vector<double> x, log10_TOF, energetic_span, effective_span, endergonic_step;
  std::vector<std::string> TDI, TDTS;
  // Where the fitted cycle has no positive driving force (the report's
  // warning): log10 TOF is then of |TOF|; said in `warnings` per stretch.
  std::vector<bool> no_driving_force;
  int64_t samples = 0;
  uint64_t seed = 0;
  Band log10_TOF_band, energetic_span_band, endergonic_step_band;
  std::vector<VolcanoRegion> regions;
  std::vector<VolcanoPoint> points;
  std::vector<std::string> warnings;  // the fits' and the curve's
  int64_t top = 0;                    // the point with the highest log10 TOF
  // The top of the volcano: the highest log10 TOF of the fitted cycle, by
  // golden-section search between the neighbours of point `top`, with the
  // energetic span, the most endergonic step and the log10 TOF band there.
  // `top_inside` is false when log10 TOF still rises at an end of the range
  // (the top is then that end, and no top of a volcano).
  double top_x = 0.0, top_log10_TOF = 0.0;
  double top_energetic_span = 0.0, top_endergonic_step = 0.0;
  double top_band_low = NAN, top_band_high = NAN;
  bool top_inside = false;
};

namespace features {

// The whole volcano of a table's rows (the good ones), as kinex volcano
// builds it. False with the reason in `error` for bad rows, a descriptor
// that names no column, fewer than two rows, rows of different conditions,
// a bad range, points or samples, when the storage of a cycle cannot be had,
// or when options.stop asked to stop ("stopped").
bool build_volcano(const std::vector<TableRow>& rows, const VolcanoOptions& options,
                   Volcano& volcano, std::string& error);

// The document of kinex volcano --json for the volcano of the table `file`,
// the same keys and numbers (non-finite numbers null).
void volcano_json(const std::string& file, const Volcano& volcano, JsonVisitor& to);

// The text of kinex volcano --csv: a header and a row per point of the
// curve, the names as they are.
std::string volcano_csv(const Volcano& volcano);

// The text of kinex volcano for the volcano of the table `file`.
std::string volcano_text(const std::string& file, const Volcano& volcano);

}  // namespace features

}  // namespace kinex

// kinex volcano: a table of catalysts (input/table.h) turned into a volcano.
// Every state's Gibbs energy is fitted as a straight line of one descriptor
// (a linear free-energy scaling relation); the cycle of the fitted energies
// is then evaluated along the descriptor: log10 TOF, the spans, the most
// endergonic step, TDI and TDTS, the regions where they hold, and a 95 %
// band from the uncertainty of the fitted lines.
//
// The states fitted are the table's state columns in cycle order: each
// intermediate, each transition state of its own column, and the final
// state (for a DeltaG column: the first intermediate plus DeltaG, named
// with a prime). An implied transition state "TS(A->B)" is not fitted: at
// every descriptor value it is the higher of A's and B's fitted energies,
// as the table reader makes it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "batch/sources.h"
#include "input/table.h"
#include "model/run.h"
#include "outputs/format.h"
#include "outputs/json_output.h"
#include "platform/output.h"
#include "platform/progress.h"

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

// Fits the good rows of a table. `descriptor`: the header of a Descriptor
// column or of a state column; "auto" the state column (varying over the
// rows) against which the other varying states fit best by mean r2, the
// first in cycle order of equal ones; empty: the table's only Descriptor
// column, else "auto". A row without a value of a Descriptor column is left
// out (with a warning naming it). False with a clear reason when a row is
// bad (its own diagnostic), the descriptor names no column, fewer than two
// rows remain, the descriptor is the same in every row, or the rows differ
// in their states, number of steps, temperature or concentrations (a volcano
// is for one set of conditions).
bool fit_volcano(const std::vector<TableRow>& rows, const std::string& descriptor,
                 VolcanoFits& fits, std::string& error);

// The cycle of the fitted energies at descriptor value x (T and
// concentrations of the rows); an implied transition state is the higher
// of its two neighbours.
Cycle fitted_cycle(const VolcanoFits& fits, double x);

// The cycle of energies E (one per fitted state, in the fits' order) under
// the fits' conditions.
Cycle cycle_of(const VolcanoFits& fits, const std::vector<double>& E);

// A descriptor value as the text and the picture show it: to a thousandth
// of the range from .. to, however far from 0 it lies (fixed decimals;
// from 1e7 on in magnitude as exponent_form).
std::string descriptor_text(double x, double from, double to);

// The top's descriptor value: as descriptor_text, but to three significant
// digits where the range is so wide that a thousandth of it shows fewer
// (the top at -6.96 of a range of 1e100).
std::string top_descriptor_text(double x, double from, double to);

// P(|T| >= |t|) for T Student's t with nu >= 1 degrees of freedom, from the
// finite series of integer nu (to about 1e-15 absolute; 0 for infinite t,
// NaN for NaN t or nu < 1).
double student_t_two_sided(double t, int64_t nu);

// The largest |t| whose two-sided probability under Student's t with nu
// degrees of freedom is not below `level`: student_t_two_sided(t, nu) <
// level exactly when |t| > critical_t(nu, level) (the probability falls as
// |t| grows). Infinity where no t reaches below the level. Costs some 70
// evaluations of the probability, each O(nu), so that a test of m
// residuals costs O(m) instead of O(m^2).
double critical_t(int64_t nu, double level);

// The most endergonic step's free energy: the largest G(intermediate k) -
// G(intermediate k-1) over the steps k = 1..n, the final state taking the
// place of intermediate n (kcal/mol).
double most_endergonic_step(const Cycle& cycle);

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
  ProgressFn progress;
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

// The whole volcano of a table's rows; a warning when the range reaches
// beyond the rows' descriptor values by more than the default margin (the
// curve there is extrapolated). False with the reason as fit_volcano,
// for a bad range (FROM not below TO, not finite), points or samples, or
// when the storage of a cycle cannot be had.
bool build_volcano(const std::vector<TableRow>& rows, const VolcanoOptions& options,
                   Volcano& volcano, std::string& error);

// The JSON document: "file", "descriptor" {name, is_state, chosen_by},
// "rows", "fits" [{state, slope, intercept, r2, mae, residual_sd,
// covariance [[var_i, cov], [cov, var_s]], warning}], "curve" {x, log10_TOF,
// energetic_span, effective_span, most_endergonic_step, TDI, TDTS},
// "band" {samples, seed, level 0.95, log10_TOF, energetic_span,
// most_endergonic_step: {low, high}}, "regions" [{TDI, TDTS, from, to,
// TDI_ties, TDTS_ties}],
// "top" {x, log10_TOF}, "points" [{name, descriptor, log10_TOF,
// energetic_span, effective_span, most_endergonic_step, TDI, TDTS, outlier,
// outlier_states, TDI_ties, TDTS_ties}], "warnings". Non-finite numbers are null.
Json volcano_json(const std::string& file, const Volcano& volcano);

// The CSV of the curve, a header and a row per point: descriptor,
// log10_TOF, log10_TOF_low, log10_TOF_high, energetic_span,
// energetic_span_low, energetic_span_high, effective_span,
// most_endergonic_step, most_endergonic_step_low, most_endergonic_step_high,
// TDI, TDTS; reals as shortest().
std::string volcano_csv(const Volcano& volcano, CsvNames& names);
std::string volcano_csv(const Volcano& volcano);  // names as they are

// The text for people: the descriptor and how it was chosen, the fits, the
// regions, the top of the volcano, the catalysts and the warnings.
std::string volcano_text(const std::string& file, const Volcano& volcano);

}  // namespace kinex

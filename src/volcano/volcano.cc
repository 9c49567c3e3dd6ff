#include "volcano/volcano.h"

#include <kinex/kinex.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>

#include "kinex/types.h"
#include "model/figures.h"
#include "model/parallel.h"
#include "model/profile.h"
#include "model/uncertainty.h"
#include "outputs/format.h"
#include "outputs/state_names.h"
#include "platform/files.h"
#include "text/shown_name.h"
#include "text/strings.h"

namespace kinex {
namespace {

// The outlier test's level: the chance that the scatter alone flags a row of
// a table.
constexpr double kOutlierLevel = 0.05;
// ... and only a residual of chemical accuracy or more (kcal/mol): rows
// that match to a tenth, with one a tenth off, are not outliers.
constexpr double kOutlierEnergy = 1.0;
// The shares of the work that the progress gives the phases: the curve
// and its regions before kBandFrom, the band up to kBandTo, the catalysts'
// own evaluations after it.
constexpr double kBandFrom = 0.1, kBandTo = 0.9;

using Matrix = std::vector<std::vector<double>>;

std::string in_quotes(const std::string& text) {
  std::string q = "\"";
  q += text;
  q += '"';
  return q;
}

// The final state as the table reader names it within an implied
// transition state (with an ASCII prime for a DeltaG column).
std::string final_name(const StateNames& names) {
  if (!names.final_state.empty()) return names.final_state;
  std::string name = names.intermediate.empty() ? std::string("I0") : names.intermediate[0];
  name += '\'';
  return name;
}

// The name the reader gives the implied transition state of step i.
std::string implied_name(const StateNames& names, std::size_t i) {
  std::string name = "TS(";
  name += names.intermediate[i - 1];
  name += "->";
  name += i < names.intermediate.size() ? names.intermediate[i] : final_name(names);
  name += ')';
  return name;
}

// The fitted states of a row's layout, in cycle order, with their names.
void layout_states(const StateNames& names, std::vector<FittedState>& states,
                   std::vector<std::string>& labels) {
  const std::size_t n = names.intermediate.size();
  for (std::size_t k = 0; k < n; ++k) {
    states.push_back({FittedState::Kind::intermediate, static_cast<int64_t>(k)});
    labels.push_back(names.intermediate[k]);
    if (names.transition[k + 1] != implied_name(names, k + 1)) {
      states.push_back({FittedState::Kind::transition, static_cast<int64_t>(k + 1)});
      labels.push_back(names.transition[k + 1]);
    }
  }
  states.push_back({FittedState::Kind::final_state, 0});
  labels.push_back(final_state_name(names));
}

double state_energy(const Cycle& cycle, const FittedState& state) {
  switch (state.kind) {
    case FittedState::Kind::intermediate:
      return cycle.G_int[static_cast<std::size_t>(state.step)];
    case FittedState::Kind::transition:
      return cycle.G_ts[static_cast<std::size_t>(state.step)];
    case FittedState::Kind::final_state:
      break;
  }
  return cycle.G_int[0] + cycle.DeltaG;
}

double mean_of(const std::vector<double>& v) {
  double sum = 0.0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

// The mean of x and the sum of squares about it, Sxx.
struct Spread {
  double mean = 0.0, sxx = 0.0;
};

Spread spread_of(const std::vector<double>& x) {
  Spread spread{mean_of(x), 0.0};
  for (double v : x) spread.sxx += (v - spread.mean) * (v - spread.mean);
  return spread;
}

bool constant(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [&](double x) { return x == v[0]; });
}

LineFit fit_line(const std::string& state, const std::vector<double>& x,
                 const std::vector<double>& y) {
  const std::size_t m = x.size();
  const auto [mx, sxx] = spread_of(x);
  const double my = mean_of(y);
  double sxy = 0.0, syy = 0.0;
  for (std::size_t r = 0; r < m; ++r) {
    sxy += (x[r] - mx) * (y[r] - my);
    syy += (y[r] - my) * (y[r] - my);
  }
  LineFit fit;
  fit.state = state;
  fit.slope = sxy / sxx;
  fit.intercept = my - fit.slope * mx;
  double sse = 0.0, sae = 0.0;
  for (std::size_t r = 0; r < m; ++r) {
    const double e = y[r] - (fit.intercept + fit.slope * x[r]);
    sse += e * e;
    sae += std::abs(e);
  }
  fit.r2 = syy > 0.0 ? 1.0 - sse / syy : 1.0;
  fit.mae = sae / static_cast<double>(m);
  const double s2 = m > 2 ? sse / static_cast<double>(m - 2) : 0.0;
  fit.residual_sd = std::sqrt(s2);
  fit.var_slope = s2 / sxx;
  fit.var_intercept = s2 * (1.0 / static_cast<double>(m) + mx * mx / sxx);
  fit.cov_intercept_slope = -s2 * mx / sxx;
  const double sd_y = std::sqrt(syy / static_cast<double>(m));
  if (m < 3) {
    fit.warning =
        "only " + std::to_string(m) + " rows: the line passes through them and shows no scatter";
  } else if (fit.r2 < 0.5 && sd_y > 0.1) {
    fit.warning =
        "R\u00b2 " + significant(fit.r2) + " is below 0.5: the line does not describe " + state;
  }
  return fit;
}

std::vector<double> column(const Matrix& energies, std::size_t s) {
  std::vector<double> v;
  for (const auto& row : energies) v.push_back(row[s]);
  return v;
}

// Whether two rows are under the same conditions; else the reason.
std::string same_conditions(const Cycle& a, const Cycle& b) {
  const auto given = [](bool has, double c) { return has ? shortest(c) : std::string("none"); };
  const ConditionDifference difference = condition_difference(a, b);
  const auto I = static_cast<std::size_t>(difference.step);
  switch (difference.what) {
    case ConditionDifference::What::none:
    case ConditionDifference::What::steps:  // told apart with the states before
      break;
    case ConditionDifference::What::temperature:
      return "temperature " + shortest(b.T) + " K, not " + shortest(a.T) + " K as";
    case ConditionDifference::What::reactant:
      return "reactant concentration " + given(b.has_reac[I], b.conc_reac[I]) + " at step " +
             std::to_string(difference.step) + ", not " + given(a.has_reac[I], a.conc_reac[I]) +
             " as";
    case ConditionDifference::What::product:
      return "product concentration " + given(b.has_prod[I], b.conc_prod[I]) + " at step " +
             std::to_string(difference.step) + ", not " + given(a.has_prod[I], a.conc_prod[I]) +
             " as";
  }
  return "";
}

// Lower-triangular C with C Cᵀ = m for a symmetric positive semidefinite m;
// a column whose pivot is not above 1e-12 of the largest diagonal stays 0.
Matrix cholesky(const Matrix& m) {
  const std::size_t S = m.size();
  Matrix c(S, std::vector<double>(S, 0.0));
  double largest = 0.0;
  for (std::size_t s = 0; s < S; ++s) largest = std::max(largest, m[s][s]);
  const double tolerance = 1e-12 * largest;
  for (std::size_t j = 0; j < S; ++j) {
    double d = m[j][j];
    for (std::size_t k = 0; k < j; ++k) d -= c[j][k] * c[j][k];
    if (!(d > tolerance)) continue;
    c[j][j] = std::sqrt(d);
    for (std::size_t i = j + 1; i < S; ++i) {
      double v = m[i][j];
      for (std::size_t k = 0; k < j; ++k) v -= c[i][k] * c[j][k];
      c[i][j] = v / c[j][j];
    }
  }
  return c;
}

// Standard normals by Box-Muller from a 64-bit Mersenne twister.
class Normals {
 public:
  explicit Normals(uint64_t seed) : engine_(seed) {}
  double next() {
    if (has_spare_) {
      has_spare_ = false;
      return spare_;
    }
    const double u1 = uniform(), u2 = uniform();
    const double radius = std::sqrt(-2.0 * std::log(u1));
    const double angle = 2.0 * std::numbers::pi * u2;
    spare_ = radius * std::sin(angle);
    has_spare_ = true;
    return radius * std::cos(angle);
  }

 private:
  double uniform() { return (static_cast<double>(engine_() >> 11) + 0.5) * 0x1p-53; }
  std::mt19937_64 engine_;
  double spare_ = 0.0;
  bool has_spare_ = false;
};

// The 95 % interval of `values` (reordered) into point p of `band`,
// NaN when there are none.
void fill_band(std::vector<double>& values, Band& band, std::size_t p) {
  if (values.empty()) {
    band.low[p] = band.high[p] = Results::kNone;
    return;
  }
  const std::vector<double> q = quantiles(values, {0.025, 0.975});
  band.low[p] = q[0];
  band.high[p] = q[1];
}

// `cycle` evaluated (over the logarithms, on this thread); false with the
// diagnostic when its storage cannot be had.
bool evaluated(const Cycle& cycle, Evaluation& run, std::string& error) {
  Failure failure;
  if (evaluate(cycle, run, failure, 1)) return true;
  error = failure.message;
  return false;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

// The threads the options ask for: 0 is one per core.
int volcano_threads(const VolcanoOptions& options) {
  return options.threads > 0 ? options.threads
                             : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// The bands at the values `at` (their three curves), from the draws of the
// lines; false when there is no band to draw (no draws asked for, or two
// rows, whose lines show no scatter). A perfect fit gives bands of no width.
bool draw_bands(Volcano& volcano, const std::vector<double>& at, const VolcanoOptions& options,
                Band& tof_band, Band& span_band, Band& step_band) {
  const VolcanoFits& fits = volcano.fits;
  const std::size_t S = fits.fits.size(), P = at.size();
  const auto draws = static_cast<std::size_t>(options.samples);
  const std::size_t m = fits.x.size();
  if (draws == 0 || m < 3) return false;
  for (Band* band : {&tof_band, &span_band, &step_band}) {
    band->low.assign(P, 0.0);
    band->high.assign(P, 0.0);
  }
  const Matrix C = cholesky(fits.residual_covariance);
  const auto [mx, sxx] = spread_of(fits.x);

  // The draws, in draw order from one stream of normals. About the rows'
  // mean descriptor the line's level and slope are independent, so a
  // draw's line of state s moves by U_s + V_s (x - mean x), with
  // U = scale C z0 / sqrt(m) and V = scale C z1 / sqrt(Sxx): no
  // cancellation however far the descriptor lies from 0.
  Normals normals(options.seed);
  Matrix Z(2, std::vector<double>(S));
  Matrix U(draws, std::vector<double>(S)), V(draws, std::vector<double>(S));
  const auto nu = static_cast<int64_t>(m) - 2;
  for (std::size_t d = 0; d < draws; ++d) {
    for (auto& row : Z) {
      for (double& z : row) z = normals.next();
    }
    // One scale for the whole draw, sqrt(nu / chi2_nu) with nu = m - 2 the
    // residuals' degrees of freedom: Σ is estimated, not known, and with it
    // every linear combination of the lines (a span, a step at fixed TDI
    // and TDTS) follows Student's t with nu degrees of freedom.
    double chi2 = 0.0;
    for (int64_t k = 0; k < nu; ++k) {
      const double z = normals.next();
      chi2 += z * z;
    }
    const double scale = std::sqrt(static_cast<double>(nu) / chi2);
    for (std::size_t s = 0; s < S; ++s) {
      double u = 0.0, v = 0.0;
      for (std::size_t q = 0; q <= s; ++q) {
        u += C[s][q] * Z[0][q];
        v += C[s][q] * Z[1][q];
      }
      U[d][s] = scale * u / std::sqrt(static_cast<double>(m));
      V[d][s] = scale * v / std::sqrt(sxx);
    }
  }

  // Every value evaluates every draw; the values share the threads, each
  // writing only its own results, so the band does not depend on them.
  std::vector<int64_t> failures(P, 0);
  std::vector<std::string> reasons(P);
  const int64_t n = fits.conditions.n;
  std::atomic<bool> stopped{false};
  const auto evaluate_point = [&](int64_t task) {
    if (stopped.load(std::memory_order_relaxed)) return;
    const auto p = static_cast<std::size_t>(task);
    std::vector<double> centre_E(S);
    for (std::size_t s = 0; s < S; ++s) {
      centre_E[s] = fits.fits[s].intercept + fits.fits[s].slope * at[p];
    }
    const Cycle centre = cycle_of(fits, centre_E);
    std::vector<double> E(S), errors(static_cast<std::size_t>(uncertainty_states(n)));
    std::vector<double> tof, span, step;
    for (std::size_t d = 0; d < draws; ++d) {
      for (std::size_t s = 0; s < S; ++s) E[s] = centre_E[s] + (U[d][s] + V[d][s] * (at[p] - mx));
      const Cycle drawn = cycle_of(fits, E);
      for (int64_t k = 0; k < n; ++k) {
        const auto K = static_cast<std::size_t>(k);
        errors[2 * K] = drawn.G_int[K] - centre.G_int[K];
        errors[2 * K + 1] = drawn.G_ts[K + 1] - centre.G_ts[K + 1];
      }
      errors.back() = (drawn.G_int[0] + drawn.DeltaG) - (centre.G_int[0] + centre.DeltaG);
      SampleResult result;
      std::string error;
      if (!evaluate_sample(centre, errors, result, error)) {
        if (failures[p]++ == 0) reasons[p] = error;
        continue;
      }
      Results figures;
      figures.TDI = result.TDI;
      figures.TDTS = result.TDTS;
      tof.push_back(result.log10_TOF);
      span.push_back(energetic_span(drawn, figures));
      step.push_back(most_endergonic_step(drawn));
    }
    fill_band(tof, tof_band, p);
    fill_band(span, span_band, p);
    fill_band(step, step_band, p);
  };
  parallel_for(static_cast<int64_t>(P),
               std::min<int>(volcano_threads(options), static_cast<int>(P)), evaluate_point,
               [&](int64_t done) {
                 if (options.stop && !stopped.load(std::memory_order_relaxed) && options.stop()) {
                   stopped.store(true);
                 }
                 if (options.progress) {
                   options.progress(kBandFrom + (kBandTo - kBandFrom) * static_cast<double>(done) /
                                                    static_cast<double>(P));
                 }
               });
  int64_t failed = 0;
  std::string reason;
  for (std::size_t p = 0; p < P; ++p) {
    if (failed == 0) reason = reasons[p];
    failed += failures[p];
  }
  if (failed > 0) {
    volcano.warnings.push_back(std::to_string(failed) +
                               " evaluations of the band could not be made and are left out (" +
                               reason + ")");
  }
  return true;
}

// The band of the curve and at the top; NaN throughout where there is none.
void draw_band(Volcano& volcano, const VolcanoOptions& options) {
  volcano.samples = options.samples;
  volcano.seed = options.seed;
  std::vector<double> at = volcano.x;
  at.push_back(volcano.top_x);
  Band tof, span, step;
  if (!draw_bands(volcano, at, options, tof, span, step)) {
    const std::vector<double> none(volcano.x.size(), Results::kNone);
    for (Band* band :
         {&volcano.log10_TOF_band, &volcano.energetic_span_band, &volcano.endergonic_step_band}) {
      *band = {none, none};
    }
    volcano.top_band_low = volcano.top_band_high = Results::kNone;
    return;
  }
  volcano.top_band_low = tof.low.back();
  volcano.top_band_high = tof.high.back();
  for (Band* band : {&tof, &span, &step}) {
    band->low.pop_back();
    band->high.pop_back();
  }
  volcano.log10_TOF_band = std::move(tof);
  volcano.energetic_span_band = std::move(span);
  volcano.endergonic_step_band = std::move(step);
}

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

// The fitted cycle at x, evaluated: log10 TOF and the TDI and TDTS by name,
// with the states tied with them.
struct Probe {
  double log10_TOF = 0.0;
  std::string TDI, TDTS;
  std::vector<std::string> TDI_ties, TDTS_ties;
};

bool probe(const VolcanoFits& fits, double x, Probe& out, std::string& error) {
  Evaluation run;
  if (!evaluated(fitted_cycle(fits, x), run, error)) return false;
  out = {run.results.log10_TOF, tdi_state(fits.names, run.results.TDI),
         tdts_state(fits.names, run.results.TDTS), tdi_tie_states(fits.names, run.results),
         tdts_tie_states(fits.names, run.results)};
  return true;
}

// TDI and TDTS of the fitted cycle at x, one text.
std::string label_at(const VolcanoFits& fits, double x, std::string& error) {
  Probe p;
  if (!probe(fits, x, p, error)) return {};
  return p.TDI + '\n' + p.TDTS;
}

// Where the label changes between a (label la) and b (lb, not la): every
// change in order, by bisection down to neighbouring doubles, each as the
// first x of the new label and the label. A change back and forth between
// a and b is found where a midpoint shows it. At most `probes` evaluations
// (counted down): tied terms no longer make labels flicker, but three terms
// within rounding of each other still could, and each real change costs
// some 50; once they are spent, the change is put at b.
bool changes(const VolcanoFits& fits, double a, const std::string& la, double b,
             const std::string& lb, int64_t& probes,
             std::vector<std::pair<double, std::string>>& out, std::string& error) {
  const double middle = a + 0.5 * (b - a);
  if (middle <= a || middle >= b || probes <= 0) {
    out.emplace_back(b, lb);
    return true;
  }
  --probes;
  const std::string lm = label_at(fits, middle, error);
  if (lm.empty()) return false;
  if (lm == la) return changes(fits, middle, lm, b, lb, probes, out, error);
  if (lm == lb) return changes(fits, a, la, middle, lm, probes, out, error);
  return changes(fits, a, la, middle, lm, probes, out, error) &&
         changes(fits, middle, lm, b, lb, probes, out, error);
}

// The regions of equal TDI and TDTS over the range: the labels sampled at
// the curve's points and at kRegionSamples more evenly spaced values, every
// change between neighbouring samples found by bisection; each region's
// first and last curve point (none when it lies between two: first = last
// + 1).
bool find_regions(Volcano& volcano, int threads, std::string& error) {
  constexpr int64_t kRegionSamples = 2048;
  // Evaluations the bisection may spend between two neighbouring samples:
  // room for some ten changes there.
  constexpr int64_t kProbesPerChange = 512;
  const VolcanoFits& fits = volcano.fits;
  // The curve's points, whose labels are known, and the values between.
  std::vector<double> extra;
  for (int64_t k = 1; k < kRegionSamples; ++k) {
    extra.push_back(volcano.from + (volcano.to - volcano.from) * static_cast<double>(k) /
                                       static_cast<double>(kRegionSamples));
  }
  std::vector<std::string> extra_labels(extra.size()), errors(extra.size());
  parallel_for(
      static_cast<int64_t>(extra.size()), std::max(1, threads),
      [&](int64_t k) {
        const auto K = static_cast<std::size_t>(k);
        extra_labels[K] = label_at(fits, extra[K], errors[K]);
      },
      [](int64_t) {});
  std::vector<std::pair<double, std::string>> samples;
  for (std::size_t p = 0; p < volcano.x.size(); ++p) {
    samples.emplace_back(volcano.x[p], volcano.TDI[p] + '\n' + volcano.TDTS[p]);
  }
  for (std::size_t k = 0; k < extra.size(); ++k) {
    if (extra_labels[k].empty()) {
      error = errors[k];
      return false;
    }
    samples.emplace_back(extra[k], std::move(extra_labels[k]));
  }
  std::stable_sort(samples.begin(), samples.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  samples.erase(std::unique(samples.begin(), samples.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                samples.end());
  std::vector<std::pair<double, std::string>> starts{samples.front()};
  for (std::size_t k = 0; k + 1 < samples.size(); ++k) {
    const auto& [a, la] = samples[k];
    const auto& [b, lb] = samples[k + 1];
    int64_t probes = kProbesPerChange;
    if (la != lb && !changes(fits, a, la, b, lb, probes, starts, error)) return false;
  }
  volcano.regions.clear();
  std::size_t point = 0;
  for (std::size_t r = 0; r < starts.size(); ++r) {
    const std::string& label = starts[r].second;
    const std::size_t cut = label.find('\n');
    VolcanoRegion region;
    region.TDI = label.substr(0, cut);
    region.TDTS = label.substr(cut + 1);
    region.from = starts[r].first;
    region.to = r + 1 < starts.size() ? starts[r + 1].first : volcano.to;
    region.first = static_cast<int64_t>(point);
    while (point < volcano.x.size() && (r + 1 == starts.size() || volcano.x[point] < region.to)) {
      ++point;
    }
    region.last = static_cast<int64_t>(point) - 1;
    Probe middle;
    if (!probe(fits, region.from + 0.5 * (region.to - region.from), middle, error)) return false;
    region.TDI_ties = std::move(middle.TDI_ties);
    region.TDTS_ties = std::move(middle.TDTS_ties);
    volcano.regions.push_back(std::move(region));
  }
  return true;
}

// The top of the volcano: the highest log10 TOF of the fitted cycle, by
// golden-section search between the curve's neighbours of its highest
// point (the curve is taken as unimodal there), never below that point.
bool refine_top(Volcano& volcano, std::string& error) {
  const auto top = static_cast<std::size_t>(volcano.top);
  volcano.top_x = volcano.x[top];
  volcano.top_log10_TOF = volcano.log10_TOF[top];
  if (!std::isfinite(volcano.top_log10_TOF)) return true;
  double a = volcano.x[top == 0 ? 0 : top - 1];
  double b = volcano.x[std::min(top + 1, volcano.x.size() - 1)];
  // Golden-section search, both inner points placed anew from the ends at
  // every step (an inner point carried over drifts out of order when the
  // bracket shrinks by many orders of magnitude, as it does across a range
  // of 1e100), down to a relative 1e-12 of where the top is, not of where
  // the search began: some 500 steps there, two evaluations each.
  const double ratio = 0.5 * (std::sqrt(5.0) - 1.0);
  double c = 0.0, d = 0.0;
  Probe pc, pd;
  for (int step = 0; step < 4000; ++step) {
    c = b - ratio * (b - a);
    d = a + ratio * (b - a);
    if (!probe(volcano.fits, c, pc, error) || !probe(volcano.fits, d, pd, error)) return false;
    const double x = pc.log10_TOF >= pd.log10_TOF ? c : d;
    if (b - a <= 1e-12 * std::max(1.0, std::abs(x))) break;
    if (pc.log10_TOF >= pd.log10_TOF) {
      b = d;
    } else {
      a = c;
    }
  }
  const Probe& best = pc.log10_TOF >= pd.log10_TOF ? pc : pd;
  const bool between = best.log10_TOF > volcano.top_log10_TOF;
  if (between) {
    volcano.top_x = &best == &pc ? c : d;
    volcano.top_log10_TOF = best.log10_TOF;
  }
  volcano.top_inside = between || (top > 0 && top + 1 < volcano.x.size());
  Evaluation run;
  if (!evaluated(fitted_cycle(volcano.fits, volcano.top_x), run, error)) return false;
  volcano.top_energetic_span = energetic_span(run.cycle, run.results);
  volcano.top_endergonic_step = most_endergonic_step(run.cycle);
  return true;
}

}  // namespace

std::string descriptor_text(double x, double from, double to) {
  const double step = (to - from) / 1000.0;
  if (!std::isfinite(x) || std::abs(x) >= 1e7 || !(step > 0.0)) return significant(x);
  return with_decimals(x, std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 17));
}

std::string top_descriptor_text(double x, double from, double to) {
  return std::abs(x) < 100.0 * ((to - from) / 1000.0) ? significant(x)
                                                      : descriptor_text(x, from, to);
}

double student_t_two_sided(double t, int64_t nu) {
  if (nu < 1 || std::isnan(t)) return NAN;
  if (std::isinf(t)) return 0.0;
  // With theta = atan(|t| / sqrt(nu)), P(|T| < |t|) is a finite series in
  // cos^2 theta: for odd nu, (2 / pi)(theta + sin cos (1 + 2/3 c^2 + 2 4 /
  // (3 5) c^4 + ...)), for even nu, sin (1 + 1/2 c^2 + 1 3 / (2 4) c^4 +
  // ...), both up to the power nu - 2.
  const double theta = std::atan(std::abs(t) / std::sqrt(static_cast<double>(nu)));
  const double sine = std::sin(theta), cosine = std::cos(theta), c2 = cosine * cosine;
  double sum = 1.0, term = 1.0;
  const bool odd = nu % 2 == 1;
  for (int64_t k = odd ? 3 : 2; k <= nu - 1; k += 2) {
    term *= c2 * static_cast<double>(k - 1) / static_cast<double>(k);
    sum += term;
  }
  const double inside = odd ? (nu == 1 ? 2.0 * theta / std::numbers::pi
                                       : 2.0 / std::numbers::pi * (theta + sine * cosine * sum))
                            : sine * sum;
  return std::max(0.0, 1.0 - inside);
}

double critical_t(int64_t nu, double level) {
  if (nu < 1 || !(level > 0.0)) return INFINITY;
  const auto below = [&](double t) { return student_t_two_sided(t, nu) < level; };
  if (below(0.0)) return 0.0;
  double high = 1.0;
  while (!below(high)) {
    if (high > 1e300) return INFINITY;
    high *= 2.0;
  }
  double low = 0.0;  // !below(low), below(high)
  for (;;) {
    const double middle = low + 0.5 * (high - low);
    if (middle <= low || middle >= high) return low;
    (below(middle) ? high : low) = middle;
  }
}

double most_endergonic_step(const Cycle& cycle) {
  double largest = -INFINITY;
  for (int64_t k = 1; k <= cycle.n; ++k) {
    const double next =
        k < cycle.n ? cycle.G_int[static_cast<std::size_t>(k)] : cycle.G_int[0] + cycle.DeltaG;
    largest = std::max(largest, next - cycle.G_int[static_cast<std::size_t>(k - 1)]);
  }
  return largest;
}

Cycle cycle_of(const VolcanoFits& fits, const std::vector<double>& E) {
  Cycle cycle = fits.conditions;
  const auto n = static_cast<std::size_t>(cycle.n);
  std::vector<bool> own_ts(n + 1, false);
  double final_G = 0.0;
  for (std::size_t s = 0; s < fits.states.size(); ++s) {
    const FittedState& state = fits.states[s];
    const auto at = static_cast<std::size_t>(state.step);
    if (state.kind == FittedState::Kind::intermediate) {
      cycle.G_int[at] = E[s];
    } else if (state.kind == FittedState::Kind::transition) {
      cycle.G_ts[at] = E[s];
      own_ts[at] = true;
    } else {
      final_G = E[s];
    }
  }
  for (std::size_t i = 1; i <= n; ++i) {
    if (own_ts[i]) continue;
    cycle.G_ts[i] = std::max(cycle.G_int[i - 1], i < n ? cycle.G_int[i] : final_G);
  }
  cycle.DeltaG = final_G - cycle.G_int[0];
  return cycle;
}

Cycle fitted_cycle(const VolcanoFits& fits, double x) {
  std::vector<double> E;
  for (const LineFit& fit : fits.fits) E.push_back(fit.intercept + fit.slope * x);
  return cycle_of(fits, E);
}

bool fit_volcano(const std::vector<TableRow>& rows, const std::string& descriptor,
                 VolcanoFits& fits, std::string& error) {
  fits = VolcanoFits{};
  for (const TableRow& row : rows) {
    if (!row.ok) {
      error = row.error;
      return false;
    }
  }
  if (rows.empty()) {
    error = "the table has no rows";
    return false;
  }
  std::vector<std::string> labels;
  layout_states(rows[0].names, fits.states, labels);
  fits.names = rows[0].names;

  std::vector<std::string> descriptor_columns;
  for (const TableRow& row : rows) {
    for (const Descriptor& d : row.descriptors) {
      if (std::find(descriptor_columns.begin(), descriptor_columns.end(), d.name) ==
          descriptor_columns.end()) {
        descriptor_columns.push_back(d.name);
      }
    }
  }
  std::string wanted = descriptor;
  const std::string first_name = labels.empty() ? std::string() : labels.front();
  if (rows[0].names.final_state.empty() && wanted == first_name + "'") {
    wanted = labels.back();  // the final state of a DeltaG column, typed with '
  }
  if (rows[0].names.final_state.empty() && text::ascii_lower(wanted) == "deltag") {
    error = "DeltaG is the reaction energy, no state; the final state of the DeltaG column is " +
            labels.back() + " (G(" + first_name + ") + DeltaG): --descriptor '" + labels.back() +
            "'";
    return false;
  }
  if (wanted.empty()) {
    wanted = descriptor_columns.size() == 1 ? descriptor_columns[0] : "auto";
    fits.chosen_by = descriptor_columns.size() == 1 ? "the table's only descriptor column"
                     : descriptor_columns.empty()
                         ? ""
                         : "the table has " + std::to_string(descriptor_columns.size()) +
                               " Descriptor columns (" + joined(descriptor_columns) +
                               "), so none was taken (name one with --descriptor)";
  }
  const bool by_column = std::find(descriptor_columns.begin(), descriptor_columns.end(), wanted) !=
                         descriptor_columns.end();
  const auto state_at = std::find(labels.begin(), labels.end(), wanted);
  if (!by_column && wanted != "auto" && state_at == labels.end()) {
    error = "the descriptor " + in_quotes(wanted) +
            " is neither a Descriptor column nor a state column of the table; the Descriptor "
            "columns: " +
            (descriptor_columns.empty() ? std::string("none") : joined(descriptor_columns)) +
            "; the states: " + joined(labels) + " (or auto)";
    return false;
  }

  // The rows used: all, or those with a value of the descriptor column.
  const TableRow* first = nullptr;
  std::vector<std::string> left_out;
  for (std::size_t index = 0; index < rows.size(); ++index) {
    const TableRow& row = rows[index];
    double x = 0.0;
    if (by_column) {
      const auto found = std::find_if(row.descriptors.begin(), row.descriptors.end(),
                                      [&](const Descriptor& d) { return d.name == wanted; });
      if (found == row.descriptors.end()) {
        left_out.push_back(row.name);
        continue;
      }
      x = found->value;
    }
    if (first == nullptr) {
      first = &row;
    } else {
      const std::string where = "row " + std::to_string(row.row) + " (" + row.name + ")";
      const std::string other = "row " + std::to_string(first->row) + " (" + first->name + ")";
      if (row.cycle.n != first->cycle.n || row.names.intermediate != first->names.intermediate ||
          row.names.transition != first->names.transition ||
          row.names.final_state != first->names.final_state) {
        error = where + " has other states or another number of steps than " + other;
        return false;
      }
      const std::string differs = same_conditions(first->cycle, row.cycle);
      if (!differs.empty()) {
        error =
            where + " has " + differs + " " + other + "; a volcano is for one set of conditions";
        return false;
      }
    }
    fits.rows.push_back(row.name);
    fits.used.push_back(index);
    fits.x.push_back(x);
    std::vector<double> E;
    for (const FittedState& state : fits.states) E.push_back(state_energy(row.cycle, state));
    fits.energies.push_back(std::move(E));
  }
  if (!left_out.empty()) {
    fits.warnings.push_back("rows without a value of " + in_quotes(wanted) +
                            " are left out: " + joined(left_out));
  }
  const std::size_t m = fits.rows.size();
  if (m < 2) {
    error =
        "a volcano needs at least two catalysts with a value of the descriptor; " +
        std::string(by_column ? "the column " + in_quotes(wanted) + " has " : "the table has ") +
        std::to_string(m);
    return false;
  }
  fits.conditions = first->cycle;
  const std::size_t S = fits.states.size();

  if (wanted == "auto" && !by_column && state_at == labels.end()) {
    double best = -INFINITY, second = -INFINITY;
    std::size_t chosen = S, runner_up = S;
    for (std::size_t c = 0; c < S; ++c) {
      const std::vector<double> x = column(fits.energies, c);
      if (constant(x)) continue;
      double sum = 0.0;
      int64_t count = 0;
      for (std::size_t s = 0; s < S; ++s) {
        const std::vector<double> y = column(fits.energies, s);
        if (s == c || constant(y)) continue;
        sum += fit_line(labels[s], x, y).r2;
        ++count;
      }
      const double mean_r2 = count > 0 ? sum / static_cast<double>(count) : 1.0;
      if (mean_r2 > best) {
        second = best, runner_up = chosen;
        best = mean_r2, chosen = c;
      } else if (mean_r2 > second) {
        second = mean_r2, runner_up = c;
      }
    }
    if (chosen == S) {
      error = "no state varies over the rows, so none can serve as the descriptor";
      return false;
    }
    wanted = labels[chosen];
    std::string why = fits.chosen_by.empty() ? std::string() : fits.chosen_by + "; ";
    fits.chosen_by = why + "auto: " + wanted +
                     ", against which the other states' lines fit best (mean R\u00b2 " +
                     significant(best) + ")";
    if (runner_up != S) {
      fits.chosen_by += "; next " + labels[runner_up] + " (" + significant(second) + ")";
    }
  }
  const auto state = std::find(labels.begin(), labels.end(), wanted);
  fits.descriptor = wanted;
  fits.descriptor_is_state = !by_column;
  if (fits.chosen_by.empty()) fits.chosen_by = "--descriptor " + wanted;
  if (!by_column) {
    const auto s = static_cast<std::size_t>(state - labels.begin());
    for (std::size_t r = 0; r < m; ++r) fits.x[r] = fits.energies[r][s];
  }
  if (constant(fits.x)) {
    error = "the descriptor " + in_quotes(wanted) + " is " + shortest(fits.x[0]) +
            " in every row; a volcano needs it to vary";
    return false;
  }
  for (std::size_t s = 0; s < S; ++s) {
    fits.fits.push_back(fit_line(labels[s], fits.x, column(fits.energies, s)));
    if (!fits.fits.back().warning.empty()) {
      fits.warnings.push_back(labels[s] + ": " + fits.fits.back().warning);
    }
  }
  fits.residual_covariance.assign(S, std::vector<double>(S, 0.0));
  if (m > 2) {
    for (std::size_t s = 0; s < S; ++s) {
      for (std::size_t t = 0; t < S; ++t) {
        double sum = 0.0;
        for (std::size_t r = 0; r < m; ++r) {
          const LineFit& fs = fits.fits[s];
          const LineFit& ft = fits.fits[t];
          sum += (fits.energies[r][s] - (fs.intercept + fs.slope * fits.x[r])) *
                 (fits.energies[r][t] - (ft.intercept + ft.slope * fits.x[r]));
        }
        fits.residual_covariance[s][t] = sum / static_cast<double>(m - 2);
      }
    }
  }
  return true;
}

bool build_volcano(const std::vector<TableRow>& rows, const VolcanoOptions& options,
                   Volcano& volcano, std::string& error) {
  volcano = Volcano{};
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
  if (!fit_volcano(rows, options.descriptor, volcano.fits, error)) return false;
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
  if (!find_regions(volcano, volcano_threads(options), error) || !refine_top(volcano, error)) {
    return false;
  }
  if (options.progress) options.progress(kBandFrom);
  draw_band(volcano, options);

  // The outlier test: Bonferroni over every residual of a state with scatter.
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

// ---- outputs ---------------------------------------------------------------

namespace {

Json real(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

Json reals(const std::vector<double>& v) {
  Json array = Json::array();
  for (double x : v) array.push_back(real(x));
  return array;
}

Json band_json(const Band& band) {
  return Json{{"low", reals(band.low)}, {"high", reals(band.high)}};
}

}  // namespace

Json volcano_json(const std::string& file, const Volcano& volcano) {
  const VolcanoFits& fits = volcano.fits;
  Json doc;
  doc["program"] = "kinex";
  doc["file"] = file;
  doc["descriptor"] = Json{{"name", fits.descriptor},
                           {"is_state", fits.descriptor_is_state},
                           {"chosen_by", fits.chosen_by}};
  doc["rows"] = fits.rows;
  const Cycle& c = fits.conditions;
  Json reactants = Json::array(), products = Json::array();
  for (int64_t i = 1; i <= c.n; ++i) {
    const auto I = static_cast<std::size_t>(i);
    reactants.push_back(c.has_reac[I] ? real(c.conc_reac[I]) : Json(nullptr));
    products.push_back(c.has_prod[I] ? real(c.conc_prod[I]) : Json(nullptr));
  }
  doc["conditions"] = Json{{"T", real(c.T)},
                           {"reactant_concentrations", std::move(reactants)},
                           {"product_concentrations", std::move(products)}};
  Json list = Json::array();
  for (const LineFit& fit : fits.fits) {
    list.push_back(
        Json{{"state", fit.state},
             {"slope", real(fit.slope)},
             {"intercept", real(fit.intercept)},
             {"r2", real(fit.r2)},
             {"mae", real(fit.mae)},
             {"residual_sd", real(fit.residual_sd)},
             {"covariance",
              Json::array({Json::array({real(fit.var_intercept), real(fit.cov_intercept_slope)}),
                           Json::array({real(fit.cov_intercept_slope), real(fit.var_slope)})})},
             {"warning", fit.warning.empty() ? Json(nullptr) : Json(fit.warning)}});
  }
  doc["fits"] = std::move(list);
  doc["curve"] = Json{{"x", reals(volcano.x)},
                      {"log10_TOF", reals(volcano.log10_TOF)},
                      {"energetic_span", reals(volcano.energetic_span)},
                      {"effective_span", reals(volcano.effective_span)},
                      {"most_endergonic_step", reals(volcano.endergonic_step)},
                      {"TDI", volcano.TDI},
                      {"TDTS", volcano.TDTS},
                      {"no_driving_force", volcano.no_driving_force}};
  doc["band"] = Json{{"samples", volcano.samples},
                     {"seed", volcano.seed},
                     {"level", 0.95},
                     {"log10_TOF", band_json(volcano.log10_TOF_band)},
                     {"energetic_span", band_json(volcano.energetic_span_band)},
                     {"most_endergonic_step", band_json(volcano.endergonic_step_band)}};
  Json regions = Json::array();
  for (const VolcanoRegion& region : volcano.regions) {
    regions.push_back(Json{{"TDI", region.TDI},
                           {"TDTS", region.TDTS},
                           {"from", real(region.from)},
                           {"to", real(region.to)},
                           {"TDI_ties", region.TDI_ties},
                           {"TDTS_ties", region.TDTS_ties}});
  }
  doc["regions"] = std::move(regions);
  doc["top"] = Json{
      {"x", real(volcano.top_x)},
      {"log10_TOF", real(volcano.top_log10_TOF)},
      {"energetic_span", real(volcano.top_energetic_span)},
      {"most_endergonic_step", real(volcano.top_endergonic_step)},
      {"inside", volcano.top_inside},
      {"band", Json{{"low", real(volcano.top_band_low)}, {"high", real(volcano.top_band_high)}}}};
  Json points = Json::array();
  for (const VolcanoPoint& point : volcano.points) {
    points.push_back(Json{{"name", point.name},
                          {"descriptor", real(point.x)},
                          {"log10_TOF", real(point.log10_TOF)},
                          {"energetic_span", real(point.energetic_span)},
                          {"effective_span", real(point.effective_span)},
                          {"most_endergonic_step", real(point.endergonic_step)},
                          {"TDI", point.TDI},
                          {"TDTS", point.TDTS},
                          {"no_driving_force", point.no_driving_force},
                          {"outlier", point.outlier},
                          {"outlier_states", point.outlier_states},
                          {"TDI_ties", point.TDI_ties},
                          {"TDTS_ties", point.TDTS_ties}});
  }
  doc["points"] = std::move(points);
  doc["warnings"] = volcano.warnings;
  return doc;
}

std::string volcano_csv(const Volcano& volcano) {
  CsvNames as_they_are;
  return volcano_csv(volcano, as_they_are);
}

std::string volcano_csv(const Volcano& volcano, CsvNames& guard) {
  std::string out =
      "descriptor,log10_TOF,log10_TOF_low,log10_TOF_high,energetic_span,energetic_span_low,"
      "energetic_span_high,effective_span,most_endergonic_step,most_endergonic_step_low,"
      "most_endergonic_step_high,TDI,TDTS\n";
  for (std::size_t p = 0; p < volcano.x.size(); ++p) {
    for (double value :
         {volcano.x[p], volcano.log10_TOF[p], volcano.log10_TOF_band.low[p],
          volcano.log10_TOF_band.high[p], volcano.energetic_span[p],
          volcano.energetic_span_band.low[p], volcano.energetic_span_band.high[p],
          volcano.effective_span[p], volcano.endergonic_step[p],
          volcano.endergonic_step_band.low[p], volcano.endergonic_step_band.high[p]}) {
      if (std::isfinite(value)) out += shortest(value);  // no band: empty
      out += ',';
    }
    out += guard.field(volcano.TDI[p]);
    out += ',';
    out += guard.field(volcano.TDTS[p]);
    out += '\n';
  }
  return out;
}

namespace {

// A state and those tied with it, as the text shows them: "S0 = S1 = S2".
std::string with_ties(const std::string& state, const std::vector<std::string>& ties) {
  std::string text = state;
  for (const std::string& tied : ties) text += " = " + tied;
  return text;
}

}  // namespace

std::string volcano_text(const std::string& file, const Volcano& volcano) {
  const VolcanoFits& fits = volcano.fits;
  std::string out = "Volcano of ";
  out += text::shown_name(file);
  out += " (" + std::to_string(fits.rows.size()) +
         " catalysts, T = " + shortest(fits.conditions.T) + " K)\n";
  out += "Descriptor: " + fits.descriptor + (fits.descriptor_is_state ? " (a state)" : "") + ", " +
         fits.chosen_by + "\n\n";
  std::size_t width = 5;
  for (const LineFit& fit : fits.fits) width = std::max(width, shown_width(fit.state));
  const auto padded = [](std::string text, std::size_t to) {
    const std::size_t shown = shown_width(text);
    if (shown < to) text.append(to - shown, ' ');
    return text;
  };
  out += padded("State", width) + "  " + padded("slope", 11) + " " + padded("intercept", 11) + " " +
         padded("R2", 11) + " " + padded("MAE", 11) + " " + "sd\n";
  for (const LineFit& fit : fits.fits) {
    out += padded(fit.state, width) + "  " + padded(significant(fit.slope), 11) + " " +
           padded(significant(fit.intercept), 11) + " " + padded(significant(fit.r2), 11) + " " +
           padded(significant(fit.mae), 11) + " " + significant(fit.residual_sd) + "\n";
  }
  // Descriptor values to a thousandth of the range, however far from 0.
  const auto at = [&](double x) { return descriptor_text(x, volcano.from, volcano.to); };
  out += "\nRegions (descriptor from .. to: TDI, TDTS):\n";
  for (const VolcanoRegion& region : volcano.regions) {
    out += "  " + at(region.from) + " .. " + at(region.to) + ": " +
           with_ties(region.TDI, region.TDI_ties) + ", " +
           with_ties(region.TDTS, region.TDTS_ties) + "\n";
  }
  if (volcano.top_inside) {
    out += "\nTop: log10 TOF " + significant(volcano.top_log10_TOF) + " at " + fits.descriptor +
           " = " + top_descriptor_text(volcano.top_x, volcano.from, volcano.to);
  } else {
    out += "\nTop: none inside the range; log10 TOF is highest at its " +
           std::string(volcano.top_x <= volcano.from ? "start" : "end") + ", " +
           significant(volcano.top_log10_TOF) + " at " + fits.descriptor + " = " +
           at(volcano.top_x);
  }
  if (std::isfinite(volcano.top_band_low)) {
    out += " (95 % band " + significant(volcano.top_band_low) + " .. " +
           significant(volcano.top_band_high) + ")";
  }
  out += "\n\nCatalysts (descriptor, log10 TOF, TDI, TDTS):\n";
  for (const VolcanoPoint& point : volcano.points) {
    out += "  " + text::shown_name(point.name) + ": " + at(point.x) + ", " +
           significant(point.log10_TOF) + ", " + with_ties(point.TDI, point.TDI_ties) + ", " +
           with_ties(point.TDTS, point.TDTS_ties);
    if (point.outlier) out += "  outlier in " + joined(point.outlier_states);
    out += "\n";
  }
  for (const std::string& warning : volcano.warnings) out += "Warning: " + warning + "\n";
  return out;
}

}  // namespace kinex

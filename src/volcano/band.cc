// The band of the curve: draws of the states' lines from the scatter of
// their residuals, each draw's cycle evaluated along the curve, and the 95 %
// intervals of the draws.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "model/figures.h"
#include "model/parallel.h"
#include "model/profile.h"
#include "model/uncertainty.h"
#include "volcano/volcano.h"
#include "volcano/volcano_internal.h"

namespace kinex {
namespace volcano_detail {
namespace {

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

}  // namespace

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

}  // namespace volcano_detail
}  // namespace kinex

// The Monte Carlo over the energies: its evaluation of a sample against the
// full evaluation, the first-order gradient against finite differences,
// closed forms of the distribution, reproducibility over threads and
// catalysts, the ensemble, and the refusals.
#include "model/uncertainty.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cycle.h"
#include "model/evaluate.h"
#include "model/profile.h"

namespace kinex::testing {
namespace {

using Conc = std::vector<std::optional<double>>;

kinex::Cycle cycle_of(const Cycle& c) { return make_run(c).cycle; }

// RT in kcal/mol with the program's constants.
double rt_kcal(double T) { return (T * R_gas) / (kcal_to_kJ * kJ_to_J); }

kinex::Run evaluated(const kinex::Cycle& cycle) {
  kinex::Run run;
  run.cycle.n = cycle.n;
  kinex::Failure failure;
  EXPECT_TRUE(kinex::allocate_storage(run, failure)) << failure.message;
  run.cycle = cycle;
  kinex::evaluate_cycle(run, 1, Use::outputs);
  return run;
}

UncertaintyModel model_for(int64_t n, double sigma, double correlation, int64_t samples,
                           uint64_t seed = 1) {
  UncertaintyModel model;
  model.sigma.assign(uncertainty_states(n), sigma);
  model.correlation = correlation;
  model.samples = samples;
  model.seed = seed;
  return model;
}

Distribution sampled(const kinex::Cycle& cycle, const UncertaintyModel& model, int threads = 0) {
  Distribution out;
  std::string error;
  EXPECT_TRUE(sample_uncertainty(cycle, model, threads, out, error)) << error;
  return out;
}

// Ten steps with a reactant or a product at most steps.
const Cycle kTenSteps{
    350.0,
    {0.0, -3.0, 2.5, -6.0, 1.0, -2.0, 4.0, -1.5, 0.5, -4.0},
    {14.0, 18.0, 11.0, 16.5, 13.0, 17.0, 15.5, 12.0, 16.0, 10.5},
    -18.0,
    Conc{0.5, std::nullopt, 2.0, 1.5, std::nullopt, 0.8, 3.0, std::nullopt, 1.2, 0.01},
    Conc{std::nullopt, 0.1, std::nullopt, 2.0, 0.3, std::nullopt, 1.0, 5.0, std::nullopt, 0.02}};

// ---- One sample against the full evaluation ------------------------------

// Thirty steps with energies spread by a formula, a reactant at every other
// step and a product at every third.
Cycle thirty_steps() {
  Cycle c{310.0, {}, {}, -12.0, {}, {}};
  for (int i = 1; i <= 30; ++i) {
    c.G_int.push_back(i == 1 ? 0.0 : 8.0 * std::sin(1.7 * i));
    c.G_ts.push_back(15.0 + 6.0 * std::cos(2.3 * i));
    c.reac.push_back(i % 2 == 1 ? std::optional(std::exp(3.0 * std::sin(0.9 * i))) : std::nullopt);
    c.prod.push_back(i % 3 == 0 ? std::optional(std::exp(3.0 * std::cos(1.1 * i))) : std::nullopt);
  }
  return c;
}

struct SampleCase {
  const char* name;
  Cycle cycle;
  double sigma;  // kcal/mol, of the errors drawn for the samples
};

const SampleCase kSampleCases[] = {
    {"OneStep", {298.15, {0.0}, {20.0}, -5.0, {}, {}}, 2.0},
    {"ThreeStepsWithoutConcentrations",
     {298.15, {0.0, 5.0, -2.0}, {15.0, 20.0, 10.0}, -20.0, {}, {}},
     3.0},
    {"TenStepsWithConcentrations", kTenSteps, 3.0},
    {"ThirtySteps", thirty_steps(), 2.0},
    // DeltaG above 0 with a large product: the net flux runs backward.
    {"Backward",
     {298.15,
      {0.0, 4.0, -1.0},
      {16.0, 19.0, 12.0},
      3.0,
      Conc{1.0, std::nullopt, std::nullopt},
      Conc{std::nullopt, std::nullopt, 10.0}},
     1.0},
    // Spans far beyond the range of doubles at 20 K, and DeltaG of -500.
    {"BeyondTheRangeOfDoubles",
     {20.0,
      {0.0, 30.0, -40.0, 10.0},
      {150.0, 120.0, 90.0, 160.0},
      -500.0,
      Conc{1e-100, std::nullopt, 3.0, std::nullopt},
      Conc{std::nullopt, 1e-150, std::nullopt, 2.0}},
     20.0},
};

void PrintTo(const SampleCase& c, std::ostream* os) { *os << c.name; }

class SampleEvaluationTest : public ::testing::TestWithParam<SampleCase> {};

// Drawn errors on the cycle, evaluated by the samples' evaluation and by
// evaluate_cycle on the perturbed cycle.
TEST_P(SampleEvaluationTest, MatchesTheFullEvaluation) {
  const SampleCase& c = GetParam();
  const kinex::Cycle cycle = cycle_of(c.cycle);
  const int64_t n = cycle.n;
  const UncertaintyModel model = model_for(n, c.sigma, 0.2, 300, 42);
  for (int64_t k = 0; k < model.samples; ++k) {
    SCOPED_TRACE("sample " + std::to_string(k));
    const std::vector<double> errors = sample_errors(model, n, k);
    SampleResult fast;
    std::string error;
    ASSERT_TRUE(evaluate_sample(cycle, errors, fast, error)) << error;
    const kinex::Run run = evaluated(perturbed_cycle(cycle, errors));
    const Results& full = run.results;
    EXPECT_NEAR(fast.log10_TOF, full.log10_TOF, 1e-12 * std::max(1.0, std::fabs(full.log10_TOF)));
    EXPECT_EQ(fast.TOF_sign, full.TOF_sign);
    EXPECT_EQ(fast.TDI, full.TDI);
    EXPECT_EQ(fast.TDTS, full.TDTS);
    const double q_scale = 1.0 + std::fabs(fast.q);
    for (int64_t i = 1; i <= n; ++i) {
      EXPECT_NEAR(fast.xtof_int[i - 1], full.xtof_int[i - 1], 1e-10);
      EXPECT_NEAR(fast.xtof_ts[i], full.xtof_ts[i], 1e-10);
      if (cycle.has_reac[i]) {
        EXPECT_NEAR(fast.xtof_reac[i], full.xtof_reac[i], 1e-10 * q_scale);
      }
      if (cycle.has_prod[i]) {
        EXPECT_NEAR(fast.xtof_prod[i], full.xtof_prod[i], 1e-10 * q_scale);
      }
      EXPECT_EQ(std::isnan(fast.xtof_reac[i]), !cycle.has_reac[i]);
      EXPECT_EQ(std::isnan(fast.xtof_prod[i]), !cycle.has_prod[i]);
    }
  }
}

// g_s against central differences of ln TOF from evaluate_cycle, the
// error of intermediate 0 moving DeltaG as the samples move it.
TEST_P(SampleEvaluationTest, GradientMatchesFiniteDifferences) {
  const SampleCase& c = GetParam();
  const kinex::Cycle cycle = cycle_of(c.cycle);
  const int64_t states = uncertainty_states(cycle.n);
  std::vector<double> g;
  std::string error;
  ASSERT_TRUE(first_order_gradient(cycle, g, error)) << error;
  ASSERT_EQ(static_cast<int64_t>(g.size()), states);
  const double h = 1e-4 * rt_kcal(cycle.T);
  double sum = 0.0, scale = 0.0;
  for (int64_t s = 0; s < states; ++s) {
    std::vector<double> e(states, 0.0);
    e[s] = h;
    const double up = evaluated(perturbed_cycle(cycle, e)).results.ln_TOF;
    e[s] = -h;
    const double down = evaluated(perturbed_cycle(cycle, e)).results.ln_TOF;
    const double difference = (up - down) / (2.0 * h);
    EXPECT_NEAR(g[s], difference, 1e-6 * (1.0 + std::fabs(difference)) / rt_kcal(cycle.T))
        << "state " << s;
    sum += g[s];
    scale += std::fabs(g[s]);
  }
  EXPECT_NEAR(sum, 0.0, 1e-12 * scale);
}

INSTANTIATE_TEST_SUITE_P(Cycles, SampleEvaluationTest, ::testing::ValuesIn(kSampleCases),
                         [](const ::testing::TestParamInfo<SampleCase>& info) {
                           return std::string(info.param.name);
                         });

// ---- Closed forms ----------------------------------------------------------

// A one-step cycle has one term, l = (G_TS - G_I0 - DeltaG)/RT. Its TS
// moves by e_1, the next turn's I0 by e_0 + (e_2 - e_0) = e_2, and the
// driving force's logarithm ln(e^{-dG} - 1) by -(e_2 - e_0)/RT once dG is
// far below 0 (or not at all when e_2 - e_0 = 0). So
//   ln TOF = const - (e_1 - e_2)/RT - (e_2 - e_0)/RT = const - (e_1 - e_0)/RT
// is normal with sd sqrt(σ1² + σ0² - 2 RHO σ0 σ1)/RT (far exergonic), and
// with σ0 = σ2 = 0 at any DeltaG sd σ1/RT.
struct OneStepCase {
  const char* name;
  double DeltaG;
  std::vector<double> sigma;  // states 0, 1, 2
  double correlation;
};

const OneStepCase kOneStepCases[] = {
    {"FarExergonicIndependent", -100.0, {1.0, 1.5, 0.7}, 0.0},
    {"FarExergonicCorrelated", -100.0, {1.0, 1.5, 0.7}, 0.6},
    {"OnlyTheTransitionStateNearEquilibrium", -0.5, {0.0, 2.0, 0.0}, 0.3},
};

void PrintTo(const OneStepCase& c, std::ostream* os) { *os << c.name; }

class OneStepTest : public ::testing::TestWithParam<OneStepCase> {};

TEST_P(OneStepTest, Log10TOFIsNormalAroundTheCentralValue) {
  const OneStepCase& c = GetParam();
  const kinex::Cycle cycle = cycle_of({298.15, {0.0}, {18.0}, c.DeltaG, {}, {}});
  UncertaintyModel model = model_for(1, 0.0, c.correlation, 200'000, 9);
  model.sigma = c.sigma;
  const Distribution d = sampled(cycle, model);
  const double s0 = c.sigma[0], s1 = c.sigma[1];
  const double sigma_eff = std::sqrt(s1 * s1 + s0 * s0 - 2.0 * c.correlation * s0 * s1);
  const double sd = sigma_eff / (rt_kcal(cycle.T) * std::log(10.0));
  const double N = static_cast<double>(model.samples);

  EXPECT_NEAR(d.mean, d.central_log10_TOF, 5.0 * sd / std::sqrt(N));
  EXPECT_NEAR(d.sd, sd, 5.0 * sd / std::sqrt(2.0 * N));
  EXPECT_NEAR(d.first_order_sd, sd, 1e-9 * sd);
  // The quantiles of a normal; their standard errors are below 0.003 sd.
  const struct {
    double value, z;
  } quantiles[] = {
      {d.median, 0.0}, {d.low68, -1.0}, {d.high68, 1.0}, {d.low95, -1.96}, {d.high95, 1.95996}};
  for (const auto& q : quantiles) {
    EXPECT_NEAR(q.value, d.central_log10_TOF + q.z * sd, 0.015 * sd) << "z " << q.z;
  }
  EXPECT_EQ(d.TDI_probability[1], 1.0);
  EXPECT_EQ(d.TDTS_probability[1], 1.0);
  EXPECT_EQ(d.xtof_ts_mean[1], 1.0);
  EXPECT_EQ(d.xtof_ts_sd[1], 0.0);
}

INSTANTIATE_TEST_SUITE_P(Models, OneStepTest, ::testing::ValuesIn(kOneStepCases),
                         [](const ::testing::TestParamInfo<OneStepCase>& info) {
                           return std::string(info.param.name);
                         });

// Equal errors on every state shift the whole profile: nothing changes.
TEST(Uncertainty, FullCorrelationOfEqualSigmasLeavesTheTOF) {
  const kinex::Cycle cycle = cycle_of(kTenSteps);
  const Distribution d = sampled(cycle, model_for(cycle.n, 2.0, 1.0, 3000));
  const kinex::Run central = evaluated(cycle);
  EXPECT_NEAR(d.central_log10_TOF, central.results.log10_TOF, 1e-12);
  for (const double x : d.log10_TOF) {
    ASSERT_NEAR(x, d.central_log10_TOF, 1e-12 * std::fabs(d.central_log10_TOF));
  }
  EXPECT_NEAR(d.sd, 0.0, 1e-12);
  EXPECT_EQ(d.TDI_probability[central.results.TDI], 1.0);
  EXPECT_EQ(d.TDTS_probability[central.results.TDTS], 1.0);
  EXPECT_EQ(d.central_TDI, central.results.TDI);
  EXPECT_EQ(d.central_TDTS, central.results.TDTS);
  EXPECT_NEAR(d.first_order_sd, 0.0, 1e-12);
}

// Just below the largest sigma that check_sigma_range lets through, at a
// hot and a cold temperature, every figure of the summary is finite.
TEST(Uncertainty, TheLargestSigmaAllowedGivesFiniteFigures) {
  for (const double T : {298.15, 5.0}) {
    kinex::Cycle cycle = cycle_of(kTenSteps);
    cycle.T = T;
    UncertaintyModel model = model_for(10, 1e308, 0.0, 2000);
    const std::string refusal = check_sigma_range(cycle, model);
    const std::string marker = "can be sampled here is ";
    ASSERT_NE(refusal.find(marker), std::string::npos) << refusal;
    const double largest = std::stod(refusal.substr(refusal.find(marker) + marker.size()));
    model.sigma.assign(model.sigma.size(), 0.99 * largest);
    const Distribution d = sampled(cycle, model);
    for (const double x : {d.mean, d.sd, d.median, d.low95, d.high95, d.first_order_sd}) {
      EXPECT_TRUE(std::isfinite(x)) << "T " << T << ": " << x;
    }
  }
}

// One sample: no spread, every quantile the sample itself; two: the
// quantiles between them.
TEST(Uncertainty, OneAndTwoSamples) {
  const kinex::Cycle cycle = cycle_of(kTenSteps);
  const Distribution one = sampled(cycle, model_for(cycle.n, 1.0, 0.0, 1));
  ASSERT_EQ(one.log10_TOF.size(), 1u);
  EXPECT_EQ(one.sd, 0.0);
  for (const double q : {one.mean, one.median, one.low68, one.high68, one.low95, one.high95}) {
    EXPECT_EQ(q, one.log10_TOF[0]);
  }
  EXPECT_EQ(one.xtof_ts_sd[1], 0.0);
  const Distribution two = sampled(cycle, model_for(cycle.n, 1.0, 0.0, 2));
  EXPECT_EQ(two.log10_TOF[0], one.log10_TOF[0]);  // sample 0 is sample 0
  const double lo = std::min(two.log10_TOF[0], two.log10_TOF[1]);
  const double hi = std::max(two.log10_TOF[0], two.log10_TOF[1]);
  EXPECT_DOUBLE_EQ(two.median, (lo + hi) / 2.0);
  EXPECT_DOUBLE_EQ(two.low95, lo + 0.025 * (hi - lo));
  EXPECT_DOUBLE_EQ(two.sd, (hi - lo) / std::sqrt(2.0));
}

// Small errors: the spread is that of the first-order estimate.
TEST(Uncertainty, SmallSigmaFollowsTheFirstOrderEstimate) {
  const kinex::Cycle cycle = cycle_of(kTenSteps);
  for (const double rho : {0.0, 0.5, 0.9}) {
    UncertaintyModel model = model_for(cycle.n, 0.01, rho, 40'000, 5);
    for (std::size_t s = 0; s < model.sigma.size(); ++s) model.sigma[s] *= 1.0 + 0.1 * (s % 4);
    const Distribution d = sampled(cycle, model);
    EXPECT_GT(d.first_order_sd, 0.0);
    EXPECT_NEAR(d.sd / d.first_order_sd, 1.0, 0.03) << "RHO " << rho;
    EXPECT_NEAR(d.mean, d.central_log10_TOF, 5.0 * d.sd / std::sqrt(40'000.0));
  }
}

// ---- Reproducibility ---------------------------------------------------------

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (std::bit_cast<uint64_t>(a[k]) != std::bit_cast<uint64_t>(b[k])) return false;
  }
  return true;
}

void expect_same_bits(const Distribution& a, const Distribution& b) {
  EXPECT_TRUE(same_bits(a.log10_TOF, b.log10_TOF));
  EXPECT_EQ(a.TDI, b.TDI);
  EXPECT_EQ(a.TDTS, b.TDTS);
  EXPECT_TRUE(
      same_bits({a.mean, a.sd, a.median, a.low68, a.high68, a.low95, a.high95, a.first_order_sd},
                {b.mean, b.sd, b.median, b.low68, b.high68, b.low95, b.high95, b.first_order_sd}));
  EXPECT_TRUE(same_bits(a.TDI_probability, b.TDI_probability));
  EXPECT_TRUE(same_bits(a.TDTS_probability, b.TDTS_probability));
  for (const auto member :
       {&Distribution::xtof_int_mean, &Distribution::xtof_int_sd, &Distribution::xtof_ts_mean,
        &Distribution::xtof_ts_sd, &Distribution::xtof_reac_mean, &Distribution::xtof_reac_sd,
        &Distribution::xtof_prod_mean, &Distribution::xtof_prod_sd}) {
    EXPECT_TRUE(same_bits(a.*member, b.*member));
  }
}

TEST(Uncertainty, SameSeedSameBitsOnAnyNumberOfThreads) {
  const kinex::Cycle cycle = cycle_of(kTenSteps);
  UncertaintyModel model = model_for(cycle.n, 1.5, 0.3, 20'000, 77);
  model.shared = 0.4;
  model.stream = 3;
  const Distribution one = sampled(cycle, model, 1);
  expect_same_bits(one, sampled(cycle, model, 2));
  expect_same_bits(one, sampled(cycle, model, 3));
  expect_same_bits(one, sampled(cycle, model, 0));

  model.seed = 78;
  const Distribution other = sampled(cycle, model, 1);
  EXPECT_FALSE(same_bits(one.log10_TOF, other.log10_TOF));
  EXPECT_NE(one.mean, other.mean);
}

// The errors of two catalysts (streams) state by state: identical when all
// is shared, independent when nothing is, correlated by `shared` between.
TEST(Uncertainty, StreamsShareTheirErrorsAsTold) {
  const kinex::Cycle cycle = cycle_of(kTenSteps);
  const int64_t n = cycle.n, states = uncertainty_states(n);
  for (const double shared : {1.0, 0.0, 0.5}) {
    SCOPED_TRACE("shared " + std::to_string(shared));
    UncertaintyModel first = model_for(n, 1.0, 0.25, 4000, 11), second = first;
    first.shared = second.shared = shared;
    first.stream = 0;
    second.stream = 1;
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (int64_t k = 0; k < 4000; ++k) {
      const std::vector<double> x = sample_errors(first, n, k), y = sample_errors(second, n, k);
      if (shared == 1.0) {
        ASSERT_TRUE(same_bits(x, y));
      }
      for (int64_t s = 0; s < states; ++s) {
        xy += x[s] * y[s];
        xx += x[s] * x[s];
        yy += y[s] * y[s];
      }
    }
    // 84'000 pairs: the standard error of the correlation is below 0.004.
    EXPECT_NEAR(xy / std::sqrt(xx * yy), shared, 0.02);
    if (shared == 1.0) {
      expect_same_bits(sampled(cycle, first, 1), sampled(cycle, second, 2));
    } else {
      EXPECT_NE(sampled(cycle, first).mean, sampled(cycle, second).mean);
    }
  }
}

// The errors of independent states are standard normals times sigma: the
// moments, the share beyond 2 and that beyond 3.6541528853610088, where the
// ziggurat's tail begins (2.58e-4).
TEST(Uncertainty, ErrorsAreNormal) {
  const int64_t n = 3, draws = 40'000 * uncertainty_states(n);
  const UncertaintyModel model = model_for(n, 1.0, 0.0, 1, 8);
  double sum = 0.0, squares = 0.0, fourth = 0.0;
  int64_t beyond_2 = 0, in_tail = 0;
  for (int64_t k = 0; k < 40'000; ++k) {
    for (const double z : sample_errors(model, n, k)) {
      sum += z;
      squares += z * z;
      fourth += z * z * z * z;
      beyond_2 += std::fabs(z) > 2.0;
      in_tail += std::fabs(z) > 3.6541528853610088;
    }
  }
  const auto N = static_cast<double>(draws);
  EXPECT_NEAR(sum / N, 0.0, 0.01);
  EXPECT_NEAR(squares / N, 1.0, 0.01);
  EXPECT_NEAR(fourth / N, 3.0, 0.06);
  EXPECT_NEAR(static_cast<double>(beyond_2) / N, 0.0455, 0.0025);
  EXPECT_NEAR(static_cast<double>(in_tail), 2.58e-4 * N, 30.0);
}

// Within one catalyst the states correlate by RHO.
TEST(Uncertainty, StatesCorrelateByRho) {
  const int64_t n = 3;
  for (const double rho : {0.0, 0.7}) {
    const UncertaintyModel model = model_for(n, 2.0, rho, 1, 3);
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (int64_t k = 0; k < 20'000; ++k) {
      const std::vector<double> e = sample_errors(model, n, k);
      xy += e[1] * e[4];
      xx += e[1] * e[1];
      yy += e[4] * e[4];
    }
    EXPECT_NEAR(xy / std::sqrt(xx * yy), rho, 0.03) << "RHO " << rho;
    EXPECT_NEAR(std::sqrt(xx / 20'000.0), 2.0, 0.05);
  }
}

// ---- The ensemble ----------------------------------------------------------

TEST(Uncertainty, EnsembleMembersAreSingleEvaluationsBitForBit) {
  std::vector<kinex::Cycle> members;
  for (int m = 0; m < 4; ++m) {
    Cycle c = kTenSteps;
    for (std::size_t k = 0; k < c.G_ts.size(); ++k) c.G_ts[k] += 0.7 * m * ((k % 3) - 1.0);
    c.G_int[2] -= 0.9 * m;
    c.DeltaG += 0.5 * m;
    members.push_back(cycle_of(c));
  }
  Distribution d;
  std::string error;
  ASSERT_TRUE(ensemble_uncertainty(members, d, error)) << error;
  ASSERT_EQ(d.samples, 4);
  double sum = 0.0;
  for (int m = 0; m < 4; ++m) {
    const kinex::Run run = evaluated(members[m]);
    EXPECT_EQ(std::bit_cast<uint64_t>(d.log10_TOF[m]),
              std::bit_cast<uint64_t>(run.results.log10_TOF));
    EXPECT_EQ(d.TDI[m], run.results.TDI);
    EXPECT_EQ(d.TDTS[m], run.results.TDTS);
    sum += run.results.xtof_ts[4];
    if (m == 0) {
      EXPECT_EQ(std::bit_cast<uint64_t>(d.central_log10_TOF),
                std::bit_cast<uint64_t>(run.results.log10_TOF));
      EXPECT_EQ(d.central_TDI, run.results.TDI);
    }
  }
  EXPECT_NEAR(d.xtof_ts_mean[4], sum / 4.0, 1e-15);
  // The quantiles interpolate linearly between the sorted values at
  // h = (N-1) p.
  std::vector<double> sorted = d.log10_TOF;
  std::sort(sorted.begin(), sorted.end());
  auto at = [&](double p) {
    const double h = 3.0 * p;
    const auto lo = static_cast<std::size_t>(h);
    return sorted[lo] + (h - static_cast<double>(lo)) * (sorted[lo + 1] - sorted[lo]);
  };
  EXPECT_DOUBLE_EQ(d.median, at(0.5));
  EXPECT_DOUBLE_EQ(d.low68, at(0.158655));
  EXPECT_DOUBLE_EQ(d.high68, at(0.841345));
  EXPECT_DOUBLE_EQ(d.low95, at(0.025));
  EXPECT_DOUBLE_EQ(d.high95, at(0.975));
  EXPECT_TRUE(std::isnan(d.first_order_sd));
  EXPECT_TRUE(std::isnan(d.xtof_reac_mean[2]));  // step 2 has no reactant
}

// ---- Refusals --------------------------------------------------------------

struct RefusalCase {
  const char* name;
  void (*spoil)(kinex::Cycle&, UncertaintyModel&);
  const char* reason;
};

const RefusalCase kRefusals[] = {
    {"NegativeSigma", [](kinex::Cycle&, UncertaintyModel& m) { m.sigma[3] = -1.0; },
     "sigma of state 3 is -1 kcal/mol, below 0"},
    {"NaNSigma", [](kinex::Cycle&, UncertaintyModel& m) { m.sigma[0] = std::nan(""); },
     "sigma of state 0 is nan kcal/mol, not a finite number"},
    {"TooFewSigmas", [](kinex::Cycle&, UncertaintyModel& m) { m.sigma.pop_back(); },
     "6 sigmas for a cycle of 3 steps: it has 7 states"},
    {"CorrelationAboveOne", [](kinex::Cycle&, UncertaintyModel& m) { m.correlation = 1.5; },
     "correlation 1.5 is outside 0..1"},
    {"CorrelationBelowZero", [](kinex::Cycle&, UncertaintyModel& m) { m.correlation = -0.1; },
     "correlation -0.1 is outside 0..1"},
    {"SharedAboveOne", [](kinex::Cycle&, UncertaintyModel& m) { m.shared = 2.0; },
     "shared 2 is outside 0..1"},
    {"NoSamples", [](kinex::Cycle&, UncertaintyModel& m) { m.samples = 0; },
     "samples 0: at least 1"},
    {"TooManySamples", [](kinex::Cycle&, UncertaintyModel& m) { m.samples = 100'000'001; },
     "samples 100000001: at most 100000000"},
    {"ZeroTemperature", [](kinex::Cycle& c, UncertaintyModel&) { c.T = 0.0; },
     "T 0 K: the samples need a temperature above 0"},
    {"ZeroConcentration", [](kinex::Cycle& c, UncertaintyModel&) { c.conc_prod[3] = 0.0; },
     "the product concentration of step 3 is 0"},
    {"NegativeConcentration", [](kinex::Cycle& c, UncertaintyModel&) { c.conc_reac[1] = -2.0; },
     "the reactant concentration of step 1 is -2"},
    // Samples beyond the range of numbers, or so close to it that the sums
    // of their squares overflow.
    {"SigmaOfOverflowingSamples", [](kinex::Cycle&, UncertaintyModel& m) { m.sigma[2] = 1e308; },
     "sigma of state 2 is 1e+308 kcal/mol: at T 298.15 K its samples would leave the range of "
     "numbers; the largest sigma that can be sampled here is 6.17"},
    // No driving force and a model that cannot move DeltaG.
    {"NoDrivingForce",
     [](kinex::Cycle& c, UncertaintyModel& m) {
       c.DeltaG = 0.0;
       c.has_reac.assign(4, false);
       c.has_prod.assign(4, false);
       m.correlation = 1.0;
     },
     "no net driving force"},
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, SaysWhy) {
  const RefusalCase& c = GetParam();
  kinex::Cycle cycle = cycle_of({298.15,
                                 {0.0, 5.0, -2.0},
                                 {15.0, 20.0, 10.0},
                                 -20.0,
                                 Conc{0.5, std::nullopt, std::nullopt},
                                 Conc{std::nullopt, std::nullopt, 2.0}});
  UncertaintyModel model = model_for(3, 1.0, 0.0, 100);
  c.spoil(cycle, model);
  Distribution out = sampled(cycle_of(kTenSteps), model_for(10, 1.0, 0.0, 10));  // to be emptied
  std::string error;
  EXPECT_FALSE(sample_uncertainty(cycle, model, 1, out, error));
  EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  EXPECT_TRUE(out.log10_TOF.empty());
}

INSTANTIATE_TEST_SUITE_P(Models, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(Uncertainty, EnsembleRefusesMembersThatDiffer) {
  const kinex::Cycle base = cycle_of(kTenSteps);
  kinex::Cycle steps = cycle_of({298.15, {0.0}, {20.0}, -5.0, {}, {}});
  kinex::Cycle temperature = base, concentration = base, cold = base;
  temperature.T = 300.0;
  concentration.conc_reac[3] = 2.5;
  cold.T = -1.0;
  const struct {
    kinex::Cycle member;
    const char* reason;
  } cases[] = {{steps, "member 2 has 1 steps, member 1 10"},
               {temperature, "member 2 is at T 300 K, member 1 at 350"},
               {concentration,
                "member 2 differs from member 1 in the reactant concentration of "
                "step 3"},
               {cold, "member 2: T -1 K"}};
  for (const auto& c : cases) {
    Distribution out;
    std::string error;
    EXPECT_FALSE(ensemble_uncertainty({base, c.member}, out, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  Distribution out;
  std::string error;
  EXPECT_FALSE(ensemble_uncertainty({}, out, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace kinex::testing

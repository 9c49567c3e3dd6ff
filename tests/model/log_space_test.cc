// The evaluation over the logarithms of the terms, which takes over where
// the direct numbers overflow or underflow: against a reference in extended
// precision (whose exponent range holds what doubles cannot), against the
// long-hand model bit for bit, and the cases where the direct results must
// stand.
#include "model/log_space.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cycle.h"
#include "literal_model.h"
#include "model/figures.h"

namespace kinex::testing {
namespace {

using Real = long double;

// The steady-state results from the same definitions, in long double with
// the largest term factored out, so that a span of 150 kcal/mol at 10 K and
// a DeltaG of -500 kcal/mol stay in range: ln TOF, the sign, every X_TOF
// and the dominant term.
struct Reference {
  Real ln_TOF = 0;
  int sign = 0;
  int64_t TDI = 0, TDTS = 0;
  std::vector<Real> xtof_int, xtof_ts, xtof_reac, xtof_prod;
};

Reference reference(const kinex::Run& run) {
  const kinex::Cycle& c = run.cycle;
  const int64_t n = c.n;
  // kcal/mol, with the program's constants.
  const Real RT = static_cast<Real>(c.T) * static_cast<Real>(R_gas) / (4184.000015258789L);
  auto step = [n](int64_t s) { return (s - 1) % n + 1; };
  auto ln_conc = [](bool given, double x) { return given ? std::log(static_cast<Real>(x)) : 0; };
  // l(a,b) in extended precision.
  std::vector<Real> l(n * n);
  Real m = -INFINITY;
  int64_t best = 0;
  for (int64_t b = 1; b <= n; ++b) {
    for (int64_t a = 1; a <= n; ++a) {
      const int64_t ts = a + b - 1;
      Real energy = c.G_ts[step(ts)] - static_cast<Real>(c.G_int[a - 1]);
      if (ts <= n) energy -= c.DeltaG;
      Real lc = 0;
      for (int64_t s = a; s <= a + b - 2; ++s)
        lc += ln_conc(c.has_prod[step(s)], c.conc_prod[step(s)]);
      for (int64_t s = a + b; s <= a + n - 1; ++s) {
        lc += ln_conc(c.has_reac[step(s)], c.conc_reac[step(s)]);
      }
      const Real value = energy / RT + lc;
      l[(a - 1) * n + (b - 1)] = value;
      if (value > m) {
        m = value;
        best = (a - 1) * n + (b - 1);
      }
    }
  }
  Real S = 0;
  std::vector<Real> t(n * n);
  for (int64_t k = 0; k < n * n; ++k) S += t[k] = std::exp(l[k] - m);
  Real LR = 0, LP = 0;
  for (int64_t i = 1; i <= n; ++i) {
    LR += ln_conc(c.has_reac[i], c.conc_reac[i]);
    LP += ln_conc(c.has_prod[i], c.conc_prod[i]);
  }
  const Real u = -static_cast<Real>(c.DeltaG) / RT + LR, v = LP;
  Reference r;
  r.sign = u > v ? 1 : -1;
  const Real lnN = std::max(u, v) + std::log1p(-std::exp(-std::fabs(u - v)));
  const Real prefactor = static_cast<Real>(c.T) * static_cast<Real>(k_B) / h_Planck;
  r.ln_TOF = std::log(prefactor) + lnN - m - std::log(S);
  const Real q = r.sign * std::exp(LP - lnN);
  const int64_t a0 = best / n + 1, b0 = best % n + 1;
  r.TDI = a0;
  r.TDTS = step(a0 + b0 - 1);
  r.xtof_int.assign(n, 0);
  r.xtof_ts.assign(n + 1, 0);
  r.xtof_reac.assign(n + 1, 1 + q);
  r.xtof_prod.assign(n + 1, -q);
  for (int64_t a = 1; a <= n; ++a) {
    for (int64_t b = 1; b <= n; ++b) {
      const Real w = t[(a - 1) * n + (b - 1)] / S;
      r.xtof_int[a - 1] += w;
      r.xtof_ts[step(a + b - 1)] += w;
      for (int64_t s = a; s <= a + b - 2; ++s) r.xtof_prod[step(s)] -= w;
      for (int64_t s = a + b; s <= a + n - 1; ++s) r.xtof_reac[step(s)] -= w;
    }
  }
  return r;
}

struct Case {
  const char* name;
  Cycle cycle;
  EvaluationMethod evaluation;
};

void expect_like_reference(const kinex::Run& run, const Reference& want) {
  const kinex::Results& got = run.results;
  EXPECT_EQ(got.TOF_sign, want.sign);
  EXPECT_NEAR(got.ln_TOF, static_cast<double>(want.ln_TOF), 1e-11 * (1 + std::fabs(got.ln_TOF)));
  const double tof = static_cast<double>(want.sign * std::exp(want.ln_TOF));
  if (std::fabs(tof) >= 1e-300 && std::isfinite(tof)) {
    EXPECT_NEAR(got.TOF, tof, 1e-11 * std::fabs(tof));
  }
  EXPECT_EQ(got.TDI, want.TDI);
  EXPECT_EQ(got.TDTS, want.TDTS);
  const int64_t n = run.cycle.n;
  for (int64_t i = 1; i <= n; ++i) {
    const std::string step = "step " + std::to_string(i);
    EXPECT_NEAR(got.xtof_int[i - 1], static_cast<double>(want.xtof_int[i - 1]), 1e-12) << step;
    EXPECT_NEAR(got.xtof_ts[i], static_cast<double>(want.xtof_ts[i]), 1e-12) << step;
    if (run.cycle.has_reac[i]) {
      EXPECT_NEAR(got.xtof_reac[i], static_cast<double>(want.xtof_reac[i]), 1e-12) << step;
    }
    if (run.cycle.has_prod[i]) {
      EXPECT_NEAR(got.xtof_prod[i], static_cast<double>(want.xtof_prod[i]), 1e-12) << step;
    }
  }
}

using Conc = std::vector<std::optional<double>>;

// Cycles past the boundary of the direct evaluation, grouped by what
// overflows or underflows there, and a few on the sound side of it.
const Case kCases[] = {
    // The terms exp(g_ts - g_int) overflow: spans of small barriers at
    // cryogenic temperatures, and large spans.
    {"TermsOverflow_OneStepAt10K",
     {10.0, {0.0}, {0.5}, -15.0, {}, {}},
     EvaluationMethod::log_space},
    {"TermsOverflow_ThreeStepsAt20K",
     {20.0, {0.0, -4.0, 2.0}, {12.0, 9.0, 16.0}, -20.0, {}, {}},
     EvaluationMethod::log_space},
    {"TermsOverflow_Span150At100K",
     {100.0, {0.0, -30.0, -10.0}, {40.0, 120.0, 30.0}, -35.0, {}, {}},
     EvaluationMethod::log_space},
    {"TermsOverflow_WithConcentrations",
     {10.0,
      {0.0, -3.0, 1.0},
      {6.0, 8.0, 5.0},
      -12.0,
      Conc{0.5, std::nullopt, 2.0},
      Conc{std::nullopt, 0.1, std::nullopt}},
     EvaluationMethod::log_space},
    {"TermsOverflow_RunsBackwards",
     {10.0, {0.0, 3.0}, {20.0, 25.0}, 10.0, {}, {}},
     EvaluationMethod::log_space},
    // The driving force exp(-dG) overflows.
    {"DrivingForceOverflow_ThreeSteps",
     {298.15, {0.0, -5.0, -2.0}, {3.0, 5.0, 1.0}, -404.0, {}, {}},
     EvaluationMethod::log_space},
    {"DrivingForceOverflow_DeltaGMinus500At100K",
     {100.0, {0.0, -200.0}, {10.0, -150.0}, -500.0, {}, {}},
     EvaluationMethod::log_space},
    // The concentration products of every term underflow to 0, and so do
    // the denominator and the driving force.
    {"ConcentrationsUnderflow_EveryTerm",
     {298.15,
      {0.0, -2.0, -4.0},
      {10.0, 8.0, 6.0},
      -20.0,
      Conc{1e-200, 1e-200, 1e-200},
      Conc{1e-200, 1e-200, 1e-200}},
     EvaluationMethod::log_space},
    {"ConcentrationsUnderflow_RunsBackwards",
     {298.15,
      {0.0, -2.0, -4.0},
      {10.0, 8.0, 6.0},
      5.0,
      Conc{1e-200, 1e-200, 1e-200},
      Conc{1e-200, 1e-200, 1e-200}},
     EvaluationMethod::log_space},
    // Sound: the direct results stand, and the logarithms still give ln TOF.
    {"Sound_ThreeSteps",
     {298.15, {0.0, 5.0, -2.0}, {15.0, 20.0, 10.0}, -20.0, {}, {}},
     EvaluationMethod::direct},
    {"Sound_WithConcentrations",
     {350.0,
      {0.0, 5.0, -2.0},
      {15.0, 20.0, 10.0},
      -20.0,
      Conc{0.5, 2.0, std::nullopt},
      Conc{std::nullopt, 0.1, 3.0}},
     EvaluationMethod::direct},
};

class LogSpaceTest : public ::testing::TestWithParam<Case> {};

TEST_P(LogSpaceTest, MatchesTheExtendedPrecisionReference) {
  const Case& c = GetParam();
  kinex::Run run = make_run(c.cycle);
  kinex::evaluate_cycle(run, 0, Use::outputs);
  EXPECT_EQ(run.results.evaluation, c.evaluation);
  EXPECT_TRUE(std::isfinite(run.results.log10_TOF));
  expect_like_reference(run, reference(run));
}

// The log-space results against the long-hand model over the logarithms,
// the direct ones against the long-hand direct model.
TEST_P(LogSpaceTest, MatchesTheLongHandModelBitForBit) {
  const Case& c = GetParam();
  kinex::Run run = make_run(c.cycle);
  kinex::evaluate_cycle(run);
  const bool log_space = run.results.evaluation == EvaluationMethod::log_space;
  const LiteralResult want = literal_model(run, log_space);
  EXPECT_EQ(std::bit_cast<uint64_t>(run.results.TOF), std::bit_cast<uint64_t>(want.TOF));
  if (log_space) {
    EXPECT_EQ(std::bit_cast<uint64_t>(run.results.ln_TOF), std::bit_cast<uint64_t>(want.ln_TOF));
  }
  EXPECT_EQ(run.results.TDI, want.TDI);
  EXPECT_EQ(run.results.TDTS, want.TDTS);
  EXPECT_EQ(run.results.reac_steps, want.reac_steps);
  EXPECT_EQ(run.results.prod_steps, want.prod_steps);
  for (int64_t i = 1; i <= run.cycle.n; ++i) {
    EXPECT_EQ(std::bit_cast<uint64_t>(run.results.xtof_int[i - 1]),
              std::bit_cast<uint64_t>(want.xtof_int[i - 1]));
    EXPECT_EQ(std::bit_cast<uint64_t>(run.results.xtof_ts[i]),
              std::bit_cast<uint64_t>(want.xtof_ts[i]));
    if (run.cycle.has_reac[i]) {
      EXPECT_EQ(std::bit_cast<uint64_t>(run.results.xtof_reac[i]),
                std::bit_cast<uint64_t>(want.xtof_reac[i]));
    }
    if (run.cycle.has_prod[i]) {
      EXPECT_EQ(std::bit_cast<uint64_t>(run.results.xtof_prod[i]),
                std::bit_cast<uint64_t>(want.xtof_prod[i]));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cycles, LogSpaceTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

// A cycle long enough for the blocked loops, past the boundary: the same
// bits as the long-hand model, on one thread and on two.
TEST(LogSpace, LongCycleOnOneAndTwoThreads) {
  std::mt19937_64 engine(7);
  auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution(lo, hi)(engine);
  };
  Cycle c;
  c.T = 15.0;
  for (int i = 0; i < 70; ++i) {
    c.G_int.push_back(uniform(-10.0, 5.0));
    c.G_ts.push_back(uniform(5.0, 25.0));
    c.reac.push_back(i % 3 == 0 ? std::optional(uniform(0.01, 10.0)) : std::nullopt);
    c.prod.push_back(i % 4 == 1 ? std::optional(uniform(0.01, 10.0)) : std::nullopt);
  }
  c.DeltaG = -30.0;
  kinex::Run one = make_run(c), two = make_run(c);
  kinex::evaluate_cycle(one, 1);
  kinex::evaluate_cycle(two, 2);
  ASSERT_EQ(one.results.evaluation, EvaluationMethod::log_space);
  const LiteralResult want = literal_model(one, true);
  for (const kinex::Run* run : {&one, &two}) {
    EXPECT_EQ(std::bit_cast<uint64_t>(run->results.TOF), std::bit_cast<uint64_t>(want.TOF));
    EXPECT_EQ(run->results.TDTS, want.TDTS);
    for (int64_t i = 1; i <= 70; ++i) {
      EXPECT_EQ(std::bit_cast<uint64_t>(run->results.xtof_ts[i]),
                std::bit_cast<uint64_t>(want.xtof_ts[i]));
      if (run->cycle.has_reac[i]) {
        EXPECT_EQ(std::bit_cast<uint64_t>(run->results.xtof_reac[i]),
                  std::bit_cast<uint64_t>(want.xtof_reac[i]));
      }
    }
  }
}

// The two cycles of the fault report: NaN and +Inf before, the exact TOF
// (2.46 and 2.90E+05 s^-1) now.
TEST(LogSpace, TheReportedCyclesGiveTheExactTOF) {
  kinex::Run cold = make_run({10.0, {0.0}, {0.5}, -15.0, {}, {}});
  run_model(cold);
  EXPECT_NEAR(cold.results.TOF, 2.46, 0.005);
  kinex::Run exergonic = make_run({298.15, {0.0, -5.0, -2.0}, {3.0, 5.0, 1.0}, -404.0, {}, {}});
  run_model(exergonic);
  EXPECT_NEAR(exergonic.results.TOF, 2.90e5, 0.005e5);
  EXPECT_EQ(exergonic.results.TDI, 2);
  EXPECT_EQ(exergonic.results.TDTS, 2);
}

// A TOF below the smallest double prints as 0, with degrees of control,
// TDI and TDTS that mean something and log10 TOF far below -308.
TEST(LogSpace, TOFBelowTheSmallestDouble) {
  kinex::Run run = make_run({20.0, {0.0, -2.0}, {40.0, 30.0}, -5.0, {}, {}});
  kinex::evaluate_cycle(run, 0, Use::outputs);
  EXPECT_EQ(run.results.evaluation, EvaluationMethod::log_space);
  EXPECT_EQ(run.results.TOF, 0.0);
  EXPECT_LT(run.results.log10_TOF, -308.0);
  expect_like_reference(run, reference(run));
}

// One step: TOF = k_B T / h (1 - exp(DeltaG / RT)) exp(-barrier / RT), so
// log10 TOF is known in closed form on both sides of the boundary (about
// 11 K for a barrier of 0.5 and DeltaG of -15 kcal/mol).
TEST(LogSpace, Log10TOFIsContinuousAcrossTheBoundary) {
  bool seen_direct = false, seen_log_space = false;
  for (double T = 5.0; T <= 30.0; T += 0.25) {
    kinex::Run run = make_run({T, {0.0}, {0.5}, -15.0, {}, {}});
    kinex::evaluate_cycle(run, 0, Use::outputs);
    const double RT = run.cycle.T * R_gas / (kcal_to_kJ * kJ_to_J);
    const double exact = std::log10(run.results.prefactor) +
                         (std::log1p(-std::exp(-15.0 / RT)) - 0.5 / RT) / std::log(10.0);
    EXPECT_NEAR(run.results.log10_TOF, exact, 1e-12) << "T = " << T;
    EXPECT_EQ(run.results.TDI, 1);
    EXPECT_EQ(run.results.TDTS, 1);
    seen_direct = seen_direct || run.results.evaluation == EvaluationMethod::direct;
    seen_log_space = seen_log_space || run.results.evaluation == EvaluationMethod::log_space;
  }
  EXPECT_TRUE(seen_direct);
  EXPECT_TRUE(seen_log_space);
}

// Where the logarithms do not exist the direct results stand, whatever
// they are, bit for bit.
TEST(LogSpace, WithoutLogarithmsTheDirectResultsStand) {
  const Cycle cycles[] = {
      {0.0, {0.0, -5.0}, {3.0, 5.0}, -10.0, {}, {}},                    // T = 0
      {-300.0, {0.0, -5.0}, {3.0, 5.0}, -10.0, {}, {}},                 // T < 0
      {10.0, {0.0, -5.0}, {3.0, 5.0}, -10.0, Conc{0.0, 1.0}, Conc{}},   // a zero
      {10.0, {0.0, -5.0}, {3.0, 5.0}, -10.0, Conc{-1.0, 1.0}, Conc{}},  // negative
      {1e-310, {0.0, -5.0}, {3.0, 5.0}, -10.0, {}, {}},                 // 1/RT = inf
      {100.0, {0.0, -5.0}, {1e308, 5.0}, -10.0, {}, {}},                // g_ts = inf
  };
  for (const Cycle& cycle : cycles) {
    kinex::Run direct = make_run(cycle);
    run_direct(direct);
    kinex::Run run = make_run(cycle);
    kinex::evaluate_cycle(run, 0, Use::outputs);
    SCOPED_TRACE(::testing::Message() << "T = " << cycle.T);
    EXPECT_FALSE(kinex::logarithms_exist(run.cycle, run.profile));
    EXPECT_EQ(run.results.evaluation, EvaluationMethod::direct);
    EXPECT_EQ(std::bit_cast<uint64_t>(run.results.TOF),
              std::bit_cast<uint64_t>(direct.results.TOF));
    EXPECT_EQ(run.results.TDI, direct.results.TDI);
    EXPECT_EQ(run.results.TDTS, direct.results.TDTS);
    EXPECT_TRUE(std::isnan(run.results.effective_span));
  }
}

// No net flux (u = v): there is no log-space result, and the direct one
// (a TOF of 0 with non-finite degrees of control) stands.
TEST(LogSpace, NoNetFluxKeepsTheDirectResults) {
  kinex::Run run = make_run({298.15, {0.0, -5.0}, {3.0, 5.0}, 0.0, Conc{2.0, 1.0}, Conc{2.0, 1.0}});
  kinex::evaluate_cycle(run, 0, Use::outputs);
  EXPECT_EQ(run.results.evaluation, EvaluationMethod::direct);
  EXPECT_EQ(run.results.TOF, 0.0);
  EXPECT_EQ(run.results.log10_TOF, -INFINITY);
}

// Random cycles on both sides of the boundary: sound direct results are
// those of the direct phases bit for bit; the others, where the logarithms
// exist, those of the long-hand log-space model.
TEST(LogSpace, RandomCyclesTakeTheRightEvaluation) {
  std::mt19937_64 engine(13);
  auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution(lo, hi)(engine);
  };
  int replaced = 0, kept = 0;
  for (int k = 0; k < 300; ++k) {
    Cycle c;
    const int64_t n = 1 + static_cast<int64_t>(uniform(0.0, 6.0));
    c.T = std::exp(uniform(std::log(5.0), std::log(600.0)));
    for (int64_t i = 0; i < n; ++i) {
      c.G_int.push_back(i == 0 ? 0.0 : uniform(-40.0, 20.0));
      c.G_ts.push_back(uniform(-10.0, 60.0));
      c.reac.push_back(uniform(0, 1) < 0.4 ? std::optional(std::exp(uniform(-300, 50)))
                                           : std::nullopt);
      c.prod.push_back(uniform(0, 1) < 0.3 ? std::optional(std::exp(uniform(-300, 50)))
                                           : std::nullopt);
    }
    c.DeltaG = uniform(-500.0, 30.0);
    kinex::Run direct = make_run(c);
    run_direct(direct);
    kinex::Run run = make_run(c);
    kinex::evaluate_cycle(run);
    SCOPED_TRACE("cycle " + std::to_string(k));
    const bool sound = kinex::direct_results_sound(direct.cycle, direct.profile, direct.results);
    if (sound) {
      ++kept;
      EXPECT_EQ(run.results.evaluation, EvaluationMethod::direct);
      EXPECT_EQ(std::bit_cast<uint64_t>(run.results.TOF),
                std::bit_cast<uint64_t>(direct.results.TOF));
      EXPECT_EQ(run.results.TDTS, direct.results.TDTS);
    } else if (run.results.evaluation == EvaluationMethod::log_space) {
      ++replaced;
      const LiteralResult want = literal_model(run, true);
      EXPECT_EQ(std::bit_cast<uint64_t>(run.results.TOF), std::bit_cast<uint64_t>(want.TOF));
      EXPECT_EQ(run.results.TDI, want.TDI);
      EXPECT_EQ(run.results.TDTS, want.TDTS);
      expect_like_reference(run, reference(run));
    }
    if (HasFailure()) return;
  }
  EXPECT_GT(replaced, 30);
  EXPECT_GT(kept, 30);
}

// The figures: the effective span counts the concentrations (a reactant
// at 0.001 entering at the TDTS's step adds RT ln 1000), equals the
// energetic span exactly without them; the apparent barrier and activation
// energy agree with ln TOF and its derivative in T.
TEST(Figures, EffectiveSpanBarrierAndActivationEnergy) {
  const Cycle plain{298.15, {0.0, 5.0, -2.0}, {15.0, 20.0, 10.0}, -20.0, {}, {}};
  kinex::Run run = make_run(plain);
  kinex::evaluate_cycle(run, 0, Use::outputs);
  EXPECT_EQ(run.results.effective_span, energetic_span(run.cycle, run.results));

  Cycle diluted = plain;
  diluted.reac = Conc{std::nullopt, 1e-3, std::nullopt};
  kinex::Run moved = make_run(diluted);
  kinex::evaluate_cycle(moved, 0, Use::outputs);
  const double RT = 298.15 * R_gas / (kcal_to_kJ * kJ_to_J);
  EXPECT_EQ(moved.results.TDTS, 2);
  EXPECT_NEAR(moved.results.effective_span,
              energetic_span(moved.cycle, moved.results) + RT * std::log(1000.0), 1e-12);
  EXPECT_NEAR(moved.results.apparent_barrier,
              -RT * std::log(moved.results.TOF / moved.results.prefactor), 1e-10);

  // RT^2 d ln TOF / dT by central differences, on both sides of the
  // boundary and with concentrations.
  const Cycle scanned[] = {diluted,
                           {10.0, {0.0}, {0.5}, -15.0, {}, {}},
                           {60.0,
                            {0.0, -4.0, 2.0},
                            {12.0, 9.0, 16.0},
                            -20.0,
                            Conc{0.5, 2.0, 1.0},
                            Conc{std::nullopt, 0.1, std::nullopt}}};
  for (const Cycle& cycle : scanned) {
    auto ln_tof = [&](double T) {
      Cycle at = cycle;
      at.T = T;
      kinex::Run r = make_run(at);
      kinex::evaluate_cycle(r, 0, Use::outputs);
      return r.results.ln_TOF;
    };
    kinex::Run r = make_run(cycle);
    kinex::evaluate_cycle(r, 0, Use::outputs);
    const double T = cycle.T, h = 1e-4 * T;
    const double RTk = T * R_gas / (kcal_to_kJ * kJ_to_J);
    const double numeric = RTk * T * (ln_tof(T + h) - ln_tof(T - h)) / (2 * h);
    EXPECT_NEAR(r.results.apparent_activation_energy, numeric, 1e-5 * (1 + std::fabs(numeric)))
        << "T = " << T;
  }
}

}  // namespace
}  // namespace kinex::testing

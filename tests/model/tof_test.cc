#include "model/tof.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <utility>

#include "cycle.h"

namespace kinex::testing {
namespace {

// n = 3, intermediates 0, 5, -2, transition states 15, 20, 10 kcal/mol,
// DeltaG = -20 kcal/mol, no concentrations.
Cycle reference_cycle() { return {298.15, {0.0, 5.0, -2.0}, {15.0, 20.0, 10.0}, -20.0, {}, {}}; }

Cycle three_step_example() {
  return {298.15,
          {0.0, -5.1, -2.0},
          {15.2, 20.3, 12.0},
          -10.0,
          {std::nullopt, 0.5, std::nullopt},
          {std::nullopt, std::nullopt, 1.0e-3}};
}

::testing::AssertionResult near_relative(double got, double want, double tolerance) {
  if (std::fabs(got - want) <= tolerance * std::fabs(want)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << got << " is not within " << tolerance << " of " << want;
}

TEST(Tof, ReferenceCycle) {
  kinex::Run run = make_run(reference_cycle());
  compute_profile(run);
  compute_tof(run);

  EXPECT_NEAR(run.inv_RT, 1.68780, 1e-5);
  EXPECT_EQ(run.numerator, run.driving_force);
  EXPECT_TRUE(near_relative(run.numerator, 4.5710e14, 1e-4));
  EXPECT_EQ(run.prefactor, (298.15 * k_B) / h_Planck);
  EXPECT_TRUE(near_relative(run.prefactor, 6.2125e12, 1e-4));
  EXPECT_TRUE(near_relative(run.denominator, 2.0904e29, 1e-4));
  EXPECT_TRUE(near_relative(run.TOF, 1.3585e-2, 1e-4));

  // The largest term: transition state 2 over intermediate 0 of the next turn.
  EXPECT_EQ(term(run, 1, 2), std::exp((20.0 - (0.0 - 20.0)) * run.inv_RT));
  for (int64_t a = 1; a <= 3; ++a) {
    for (int64_t b = 1; b <= 3; ++b) EXPECT_LE(term(run, a, b), term(run, 1, 2));
  }
}

TEST(Tof, ThreeStepExample) {
  kinex::Run run = make_run(three_step_example());
  compute_profile(run);
  compute_tof(run);
  EXPECT_TRUE(near_relative(run.driving_force, 1.069e7, 1e-3));
  EXPECT_TRUE(near_relative(run.denominator, 8.878e25, 1e-3));
  EXPECT_TRUE(near_relative(run.TOF, 7.4806e-7, 1e-4));
  // The report's three units round to 7.48E-07, 2.69E-03 and 6.46E-02.
  EXPECT_TRUE(near_relative(run.TOF * 3600.0, 2.693e-3, 1e-3));
  EXPECT_TRUE(near_relative(run.TOF * 86400.0, 6.463e-2, 1e-3));
}

TEST(Tof, SingleStep) {
  kinex::Run run = make_run({350.0, {-3.0}, {17.0}, -8.0, {2.0}, {0.5}});
  compute_profile(run);
  compute_tof(run);
  // The one term holds no rate constant: its concentration product stays 1,
  // and its intermediate is intermediate 0 of the next turn.
  EXPECT_EQ(term(run, 1, 1), std::exp(run.g_ts[1] - run.g_int[1]));
  EXPECT_EQ(run.denominator, term(run, 1, 1));
  EXPECT_EQ(run.TOF, (run.numerator * run.prefactor) / run.denominator);
}

TEST(Tof, TwoSteps) {
  // Concentrations are powers of two so that each term is exactly its
  // concentration times its exponential.
  kinex::Run run = make_run({298.15, {0.0, -3.0}, {12.0, 9.0}, -6.0, {2.0, 4.0}, {8.0, 16.0}});
  compute_profile(run);
  compute_tof(run);
  const auto& g_ts = run.g_ts;
  const auto& g_int = run.g_int;
  // Rate constants: (1,1) = +2, (1,2) = -1, (2,1) = +1, (2,2) = -2.
  EXPECT_EQ(term(run, 1, 1), 4.0 * std::exp(g_ts[1] - g_int[2]));
  EXPECT_EQ(term(run, 1, 2), 8.0 * std::exp(g_ts[2] - g_int[2]));
  EXPECT_EQ(term(run, 2, 1), 2.0 * std::exp(g_ts[2] - g_int[3]));
  EXPECT_EQ(term(run, 2, 2), 16.0 * std::exp(g_ts[1] - g_int[1]));
  EXPECT_EQ(run.denominator,
            ((term(run, 1, 1) + term(run, 1, 2)) + term(run, 2, 1)) + term(run, 2, 2));
}

// A concentration enters exactly the terms whose rate-constant list holds
// the step's forward (reactant) or backward (product) constant.
TEST(Tof, ConcentrationEntersItsTerms) {
  using Terms = std::set<std::pair<int64_t, int64_t>>;
  struct Case {
    bool reactant;
    int64_t step;
    Terms terms;
  };
  const Case cases[] = {
      {true, 1, {{2, 1}, {2, 2}, {3, 1}}},  {true, 2, {{1, 1}, {3, 1}, {3, 2}}},
      {true, 3, {{1, 1}, {1, 2}, {2, 1}}},  {false, 1, {{1, 2}, {1, 3}, {3, 3}}},
      {false, 2, {{1, 3}, {2, 2}, {2, 3}}}, {false, 3, {{2, 3}, {3, 2}, {3, 3}}},
  };
  kinex::Run base = make_run(reference_cycle());
  compute_profile(base);
  compute_tof(base);
  for (const Case& c : cases) {
    Cycle cycle = reference_cycle();
    cycle.reac.assign(3, std::nullopt);
    cycle.prod.assign(3, std::nullopt);
    (c.reactant ? cycle.reac : cycle.prod)[c.step - 1] = 2.0;
    kinex::Run run = make_run(cycle);
    compute_profile(run);
    compute_tof(run);
    for (int64_t a = 1; a <= 3; ++a) {
      for (int64_t b = 1; b <= 3; ++b) {
        const double factor = c.terms.count({a, b}) ? 2.0 : 1.0;
        EXPECT_EQ(term(run, a, b), factor * term(base, a, b))
            << (c.reactant ? "reactant" : "product") << " of step " << c.step << ", term " << a
            << "," << b;
      }
    }
  }
}

}  // namespace
}  // namespace kinex::testing

// The model on hand-made cycles: the energy profile's warning, the TOF, the
// dominant term and the span lists of the advice.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/support.h"
#include "cycle.h"
#include "model/control.h"
#include "model/profile.h"
#include "model/tof.h"

namespace kinex::testing {
namespace {

using test::kInf;
using test::kNaN;

::testing::AssertionResult near_relative(double got, double want, double tolerance) {
  if (std::fabs(got - want) <= tolerance * std::fabs(want)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << got << " is not within " << tolerance << " of " << want;
}

std::vector<int64_t> steps(std::initializer_list<int64_t> list) { return list; }

// n = 3, intermediates 0, 5, -2, transition states 15, 20, 10 kcal/mol,
// DeltaG = -20 kcal/mol; every concentration 1, so that the concentration
// degrees of control of every step are computed.
TEST(Model, ReferenceCycle) {
  const std::vector<std::optional<double>> ones(3, 1.0);
  kinex::Run run = make_run({298.15, {0.0, 5.0, -2.0}, {15.0, 20.0, 10.0}, -20.0, ones, ones});
  run_model(run);

  EXPECT_NEAR(run.profile.inv_RT, 1.68780, 1e-5);
  EXPECT_TRUE(near_relative(run.profile.driving_force, 4.5710e14, 1e-4));
  EXPECT_EQ(run.results.prefactor, (298.15 * k_B) / h_Planck);
  EXPECT_TRUE(near_relative(run.results.prefactor, 6.2125e12, 1e-4));
  EXPECT_TRUE(near_relative(run.results.denominator, 2.0904e29, 1e-4));
  EXPECT_TRUE(near_relative(run.results.TOF, 1.3585e-2, 1e-4));
  // The largest term: transition state 2 over intermediate 0 of the next turn.
  EXPECT_EQ(term(run, 1, 2), std::exp((20.0 - (0.0 - 20.0)) * run.profile.inv_RT));
  for (int64_t a = 1; a <= 3; ++a) {
    for (int64_t b = 1; b <= 3; ++b) EXPECT_LE(term(run, a, b), term(run, 1, 2));
  }

  EXPECT_EQ(run.results.dominant_a, 1);
  EXPECT_EQ(run.results.dominant_b, 2);
  EXPECT_EQ(run.results.TDI, 1);
  EXPECT_EQ(run.results.TDTS, 2);
  const double xtof_int[] = {0.99978, 2.1618e-4, 1.3671e-6};
  const double xtof_ts[] = {2.1618e-4, 0.99978, 1.4139e-6};
  const double xtof_reac[] = {0.99978, 0.99978, 1.4139e-6};
  const double xtof_prod[] = {-0.99957, -4.676e-8, -6.6e-14};
  for (int64_t i = 1; i <= 3; ++i) {
    EXPECT_TRUE(near_relative(run.results.xtof_int[i - 1], xtof_int[i - 1], 1e-4)) << "step " << i;
    EXPECT_TRUE(near_relative(run.results.xtof_ts[i], xtof_ts[i - 1], 1e-4)) << "step " << i;
    EXPECT_TRUE(near_relative(run.results.xtof_reac[i], xtof_reac[i - 1], 1e-4)) << "step " << i;
    EXPECT_TRUE(near_relative(run.results.xtof_prod[i], xtof_prod[i - 1], 2e-2)) << "step " << i;
  }
  EXPECT_EQ(run.results.reac_steps, steps({1, 2}));
  EXPECT_EQ(run.results.prod_steps, steps({1}));
}

TEST(Model, ThreeStepExample) {
  kinex::Run run = make_run({298.15,
                             {0.0, -5.1, -2.0},
                             {15.2, 20.3, 12.0},
                             -10.0,
                             {std::nullopt, 0.5, std::nullopt},
                             {std::nullopt, std::nullopt, 1.0e-3}});
  run_model(run);
  EXPECT_TRUE(near_relative(run.profile.driving_force, 1.069e7, 1e-3));
  EXPECT_TRUE(near_relative(run.results.denominator, 8.878e25, 1e-3));
  EXPECT_TRUE(near_relative(run.results.TOF, 7.4806e-7, 1e-4));
  EXPECT_EQ(run.results.dominant_a, 2);
  EXPECT_EQ(run.results.dominant_b, 1);
}

TEST(Model, SingleStep) {
  kinex::Run run = make_run({350.0, {-3.0}, {17.0}, -8.0, {2.0}, {0.5}});
  run_model(run);
  // The one term holds no rate constant: its concentration product stays 1,
  // and its intermediate is intermediate 0 of the next turn.
  EXPECT_EQ(term(run, 1, 1), std::exp(run.profile.g_ts[1] - run.profile.g_int[1]));
  EXPECT_EQ(run.results.denominator, term(run, 1, 1));
  EXPECT_EQ(run.results.TDI, 1);
  EXPECT_EQ(run.results.TDTS, 1);
  EXPECT_EQ(run.results.xtof_int[0], 1.0);
  EXPECT_EQ(run.results.xtof_ts[1], 1.0);
  EXPECT_EQ(run.results.reac_steps, steps({1}));
  EXPECT_TRUE(run.results.prod_steps.empty());
}

TEST(Model, TwoSteps) {
  // Concentrations are powers of two so that each term is exactly its
  // concentration times its exponential.
  kinex::Run run = make_run({298.15, {0.0, -3.0}, {12.0, 9.0}, -6.0, {2.0, 4.0}, {8.0, 16.0}});
  run_model(run);
  const auto& g_ts = run.profile.g_ts;
  const auto& g_int = run.profile.g_int;
  // Rate constants: (1,1) = +2, (1,2) = -1, (2,1) = +1, (2,2) = -2.
  EXPECT_EQ(term(run, 1, 1), 4.0 * std::exp(g_ts[1] - g_int[2]));
  EXPECT_EQ(term(run, 1, 2), 8.0 * std::exp(g_ts[2] - g_int[2]));
  EXPECT_EQ(term(run, 2, 1), 2.0 * std::exp(g_ts[2] - g_int[3]));
  EXPECT_EQ(term(run, 2, 2), 16.0 * std::exp(g_ts[1] - g_int[1]));
  EXPECT_EQ(run.results.denominator,
            ((term(run, 1, 1) + term(run, 1, 2)) + term(run, 2, 1)) + term(run, 2, 2));
}

// The warning depends on the driving force; which of its two texts follows
// depends on the sign of dG.
TEST(Model, DrivingForceWarning) {
  using Concentrations = std::vector<std::optional<double>>;
  const struct {
    const char* name;
    double T, DeltaG;
    Concentrations reac, prod;
    bool warn, dG_not_negative;
  } cases[] = {{"DeltaG negative", 298.15, -5.0, {}, {}, false, false},
               {"DeltaG zero", 298.15, 0.0, {}, {}, true, true},
               {"DeltaG positive", 298.15, 3.0, {}, {}, true, true},
               {"product too concentrated", 298.15, -1.0, {}, {std::nullopt, 1000.0}, true, false},
               {"no reactant at all", 298.15, -10.0, {0.0, 1.0}, {0.5, std::nullopt}, true, false},
               {"driving force NaN", 0.0, 0.0, {}, {}, false, false},
               {"concentration NaN", 298.15, -5.0, {kNaN, std::nullopt}, {}, false, false}};
  for (const auto& c : cases) {
    kinex::Run run = make_run({c.T, {0.0, 1.0}, {10.0, 12.0}, c.DeltaG, c.reac, c.prod});
    compute_profile(run.cycle, run.profile);
    EXPECT_EQ(needs_driving_force_warning(run.profile), c.warn)
        << c.name << ": " << run.profile.driving_force;
    EXPECT_EQ(run.profile.dG >= 0.0, c.dG_not_negative) << c.name << ": " << run.profile.dG;
  }
}

// A run whose terms are set by hand: every term `fill` except the listed ones.
struct Placed {
  int64_t a, b;
  double value;
};

kinex::Run run_with_terms(int64_t n, const std::vector<Placed>& placed, double fill = 1.0) {
  kinex::Run run;
  run.cycle.n = n;
  kinex::Failure failure;
  EXPECT_TRUE(kinex::allocate_storage(run, failure));
  for (int64_t k = 0; k < n * n; ++k) run.terms.complete_matrix[k] = fill;
  for (const Placed& p : placed) run.terms.complete_matrix[(p.a - 1) * n + (p.b - 1)] = p.value;
  for (int64_t i = 1; i <= n; ++i) run.cycle.has_reac[i] = run.cycle.has_prod[i] = true;
  run.profile.driving_force = 1.0;
  run.results.denominator = 0.0;
  for (int64_t k = 0; k < n * n; ++k)
    run.results.denominator = run.results.denominator + run.terms.complete_matrix[k];
  return run;
}

// The column-major scan keeps the first of equal terms (smallest b, then
// smallest a) and is never replaced by NaN.
TEST(Model, DominantTerm) {
  const struct {
    const char* name;
    std::vector<Placed> placed;
    double fill;
    int64_t a, b;
  } cases[] = {{"tie across the diagonal", {{2, 1, 5.0}, {1, 2, 5.0}}, 1.0, 2, 1},
               {"tie, smaller column wins", {{1, 3, 5.0}, {3, 2, 5.0}}, 1.0, 3, 2},
               {"tie in one column", {{3, 2, 5.0}, {2, 2, 5.0}}, 1.0, 2, 2},
               {"strictly greater later", {{2, 1, 5.0}, {3, 3, 6.0}}, 1.0, 3, 3},
               {"NaN first is kept", {{1, 1, kNaN}, {2, 2, 9.0}}, 1.0, 1, 1},
               {"NaN elsewhere is passed over", {{2, 1, kNaN}, {3, 3, 2.0}}, 1.0, 3, 3},
               {"signed zeros are equal", {{1, 1, -0.0}}, 0.0, 1, 1},
               {"a later row ties in an earlier column", {{1, 3, 5.0}, {3, 1, 5.0}}, 1.0, 3, 1},
               {"a later row below the best is passed over", {{1, 1, 7.0}, {2, 1, 6.0}}, 1.0, 1, 1},
               {"a row of NaN beside -inf everywhere",
                {{2, 1, kNaN}, {2, 2, kNaN}, {2, 3, kNaN}},
                -kInf,
                1,
                1},
               {"-inf first, a larger term later",
                {{1, 1, -kInf}, {3, 2, -kInf}, {2, 3, 0.5}},
                -kInf,
                2,
                3}};
  for (const auto& c : cases) {
    kinex::Run run = run_with_terms(3, c.placed, c.fill);
    compute_control(run.cycle, run.profile, run.terms, run.results);
    EXPECT_EQ(run.results.dominant_a, c.a) << c.name;
    EXPECT_EQ(run.results.dominant_b, c.b) << c.name;
    // The log-space evaluation's search, over the same matrix, agrees.
    int64_t a = 0, b = 0;
    kinex::find_dominant_term(3, run.terms.complete_matrix.get(), a, b);
    EXPECT_EQ(a, c.a) << c.name;
    EXPECT_EQ(b, c.b) << c.name;
    EXPECT_EQ(run.results.TDI, c.a) << c.name;
    EXPECT_EQ(run.results.TDTS, (c.a + c.b - 2) % 3 + 1) << c.name;
  }
}

// The advice names the steps from the TDI through the TDTS (reactants) and
// through the step before the TDTS (products), ascending.
TEST(Model, SpanLists) {
  const struct {
    const char* name;
    int64_t n;
    Placed dominant;
    int64_t no_reactant;  // 0: none
    int64_t tdi, tdts;
    std::vector<int64_t> reac, prod;
  } cases[] = {
      {"wrapping span", 5, {4, 4, 9.0}, 0, 4, 2, steps({1, 2, 4, 5}), steps({1, 4, 5})},
      {"no reactant at step 5", 5, {4, 4, 9.0}, 5, 4, 2, steps({1, 2, 4}), steps({1, 4, 5})},
      {"TDTS = TDI", 5, {3, 1, 9.0}, 0, 3, 3, steps({3}), {}},
      {"TDI 1, TDTS n", 5, {1, 5, 9.0}, 0, 1, 5, steps({1, 2, 3, 4, 5}), steps({1, 2, 3, 4})},
      {"TDTS = TDI - 1", 5, {3, 5, 9.0}, 0, 3, 2, steps({1, 2, 3, 4, 5}), steps({1, 3, 4, 5})},
      {"three digits", 120, {99, 3, 9.0}, 0, 99, 101, steps({99, 100, 101}), steps({99, 100})}};
  for (const auto& c : cases) {
    kinex::Run run = run_with_terms(c.n, {c.dominant});
    if (c.no_reactant > 0) run.cycle.has_reac[c.no_reactant] = false;
    compute_control(run.cycle, run.profile, run.terms, run.results);
    EXPECT_EQ(run.results.TDI, c.tdi) << c.name;
    EXPECT_EQ(run.results.TDTS, c.tdts) << c.name;
    EXPECT_EQ(run.results.reac_steps, c.reac) << c.name;
    EXPECT_EQ(run.results.prod_steps, c.prod) << c.name;
  }
}

}  // namespace
}  // namespace kinex::testing

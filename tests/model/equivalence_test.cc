// The production model against the long-hand evaluation with the full index
// arrays: on random cycles every result must agree bit for bit, since the
// printed digits (and the sign of a printed -0.00) depend on the order of
// every floating-point operation.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>

#include "common/support.h"
#include "cycle.h"
#include "literal_model.h"

namespace kinex::testing {
namespace {

struct Generator {
  std::mt19937_64 engine;

  explicit Generator(uint64_t seed) : engine(seed) {}

  int64_t integer(int64_t lo, int64_t hi) { return std::uniform_int_distribution(lo, hi)(engine); }
  double uniform(double lo, double hi) { return std::uniform_real_distribution(lo, hi)(engine); }
  bool chance(double p) { return uniform(0.0, 1.0) < p; }

  // Whole kcal/mol make equal terms (ties) frequent; a narrow profile
  // makes every term count in every sum; a few huge energies overflow the
  // exponential.
  double energy(int mode) {
    if (chance(0.01)) return 800.0;
    if (mode == 0) return static_cast<double>(integer(-10, 25));
    if (mode == 1) return std::round(uniform(-30.0, 40.0) * 10.0) / 10.0;
    return uniform(-1.0, 1.0);
  }

  // A narrow profile gets concentrations near 1, so that long products
  // neither vanish nor let one term swamp the others.
  std::optional<double> concentration(double presence, int mode) {
    if (!chance(presence)) return std::nullopt;
    if (mode == 2) return uniform(0.8, 1.25);
    static constexpr double kPicks[] = {0.5, 1.0, 2.0, 1.0e-3, 0.0, 10.0, 3.0};
    if (chance(0.4)) return uniform(1.0e-4, 10.0);
    return kPicks[integer(0, 6)];
  }

  Cycle cycle(int64_t n) {
    Cycle c;
    const int mode = static_cast<int>(integer(0, 2));
    c.T = chance(0.8) ? 298.15 : uniform(150.0, 900.0);
    if (chance(0.01)) c.T = 0.0;
    if (chance(0.01)) c.T = -300.0;
    const double presence = chance(0.2) ? 0.0 : chance(0.2) ? 1.0 : 0.5;
    for (int64_t i = 0; i < n; ++i) {
      c.G_int.push_back(i == 0 && chance(0.5) ? 0.0 : energy(mode));
      c.G_ts.push_back(energy(mode) + (mode != 2 && chance(0.7) ? 15.0 : 0.0));
      c.reac.push_back(concentration(presence, mode));
      c.prod.push_back(concentration(presence, mode));
    }
    // Near equilibrium too, where the driving force is formed through expm1.
    static constexpr double kDeltaG[] = {-20.0, -10.0, -5.0, 0.0, 5.0, -1e-7, -1e-13};
    c.DeltaG = chance(0.5) ? kDeltaG[integer(0, 6)] : uniform(-40.0, 10.0);
    return c;
  }
};

void expect_equal(const kinex::Run& run, const LiteralResult& want) {
  const int64_t n = run.cycle.n;
  for (int64_t k = 0; k < 2 * n; ++k) {
    EXPECT_SAME_BITS(run.profile.G_int[k], want.G_int[k], "G_int " + std::to_string(k));
    EXPECT_SAME_BITS(run.profile.g_int[k], want.g_int[k], "g_int " + std::to_string(k));
  }
  for (int64_t i = 1; i <= n; ++i) EXPECT_SAME_BITS(run.profile.g_ts[i], want.g_ts[i], "g_ts");
  EXPECT_SAME_BITS(run.profile.inv_RT, want.inv_RT, "inv_RT");
  EXPECT_SAME_BITS(run.profile.dG, want.dG, "dG");
  EXPECT_SAME_BITS(run.profile.concproduct_reac, want.concproduct_reac, "concproduct_reac");
  EXPECT_SAME_BITS(run.profile.concproduct_prod, want.concproduct_prod, "concproduct_prod");
  EXPECT_SAME_BITS(run.profile.driving_force, want.driving_force, "driving_force");

  for (int64_t a = 1; a <= n; ++a) {
    for (int64_t b = 1; b <= n; ++b) {
      EXPECT_SAME_BITS(term(run, a, b), want.complete[(a - 1) * n + (b - 1)],
                       "term " + std::to_string(a) + "," + std::to_string(b));
    }
  }
  EXPECT_SAME_BITS(run.results.prefactor, want.prefactor, "prefactor");
  EXPECT_SAME_BITS(run.profile.driving_force, want.numerator, "numerator");
  EXPECT_SAME_BITS(run.results.denominator, want.denominator, "denominator");
  EXPECT_SAME_BITS(run.results.TOF, want.TOF, "TOF");

  EXPECT_EQ(run.results.dominant_a, want.dominant_a);
  EXPECT_EQ(run.results.dominant_b, want.dominant_b);
  EXPECT_EQ(run.results.TDI, want.TDI);
  EXPECT_EQ(run.results.TDTS, want.TDTS);
  for (int64_t i = 1; i <= n; ++i) {
    const std::string step = " of step " + std::to_string(i);
    EXPECT_SAME_BITS(run.results.xtof_int[i - 1], want.xtof_int[i - 1], "xtof_int" + step);
    EXPECT_SAME_BITS(run.results.xtof_ts[i], want.xtof_ts[i], "xtof_ts" + step);
    if (run.cycle.has_reac[i]) {
      EXPECT_SAME_BITS(run.results.sum_reac[i], want.sum_reac[i], "sum_reac" + step);
      EXPECT_SAME_BITS(run.results.xtof_reac[i], want.xtof_reac[i], "xtof_reac" + step);
    }
    if (run.cycle.has_prod[i]) {
      EXPECT_SAME_BITS(run.results.sum_prod[i], want.sum_prod[i], "sum_prod" + step);
      EXPECT_SAME_BITS(run.results.xtof_prod[i], want.xtof_prod[i], "xtof_prod" + step);
    }
  }
  EXPECT_EQ(static_cast<int64_t>(run.results.reac_steps.size()), want.n_reac_in_span);
  EXPECT_EQ(static_cast<int64_t>(run.results.prod_steps.size()), want.n_prod_in_span);
  EXPECT_EQ(run.results.reac_steps, want.reac_steps);
  EXPECT_EQ(run.results.prod_steps, want.prod_steps);
}

struct Batch {
  uint64_t seed;
  int count;
  int64_t min_n, max_n;
};

void PrintTo(const Batch& b, std::ostream* os) { *os << "n " << b.min_n << ".." << b.max_n; }

class EquivalenceTest : public ::testing::TestWithParam<Batch> {};

TEST_P(EquivalenceTest, MatchesLongHandBitForBit) {
  const Batch batch = GetParam();
  Generator gen(batch.seed);
  for (int c = 0; c < batch.count; ++c) {
    const Cycle cycle = gen.cycle(gen.integer(batch.min_n, batch.max_n));
    kinex::Run run = make_run(cycle);
    run_direct(run);
    SCOPED_TRACE("cycle " + std::to_string(c) + ", n = " + std::to_string(run.cycle.n));
    expect_equal(run, literal_model(run));
    if (HasFailure()) return;
  }
}

// Small cycles in bulk; larger ones reach the blocked loops of the
// production code (blocks of 16 terms and 16 steps) and their edges.
INSTANTIATE_TEST_SUITE_P(RandomCycles, EquivalenceTest,
                         ::testing::Values(Batch{1, 400, 1, 8}, Batch{2, 30, 15, 40},
                                           Batch{3, 10, 60, 70}),
                         [](const ::testing::TestParamInfo<Batch>& info) {
                           const Batch& b = info.param;
                           return std::to_string(b.count) + "Cycles_Of" + std::to_string(b.min_n) +
                                  "To" + std::to_string(b.max_n) + "Steps";
                         });

}  // namespace
}  // namespace kinex::testing

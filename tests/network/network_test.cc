// Catalytic networks: a network that is one cycle against the cycle model,
// closed forms (an off-cycle state, a cycle at equilibrium's edge),
// branched networks against an independent solve and their degrees of
// control against differences and their sums, and the faults of the
// network file.
#include "network/network.h"

#include <gtest/gtest.h>
#include <kinex/kinex.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "model/profile.h"
#include "network/reader.h"
#include "outputs/format.h"

namespace kinex::network {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

Network parsed(const std::string& text) {
  Network network;
  Failure failure;
  EXPECT_TRUE(parse_network(text, "net.txt", network, failure)) << failure.message;
  return network;
}

NetworkResults evaluated(const Network& network) {
  NetworkResults results;
  std::string error;
  EXPECT_TRUE(evaluate_network(network, results, error)) << error;
  return results;
}

// A random cycle: n steps, energies spread by `spread` kcal/mol, DeltaG
// from near equilibrium to far from it, concentrations at some steps.
Cycle random_cycle(std::mt19937_64& engine, int n, double spread, bool concentrations) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<StepInput> steps(n);
  for (int i = 0; i < n; ++i) {
    steps[i].G_int = i == 0 ? 0.0 : spread * (unit(engine) - 0.7);
    steps[i].G_ts = steps[i].G_int + spread * unit(engine) + 1.0;
    if (concentrations && unit(engine) < 0.5) steps[i].reactant = std::exp(8 * unit(engine) - 6);
    if (concentrations && unit(engine) < 0.3) steps[i].product = std::exp(8 * unit(engine) - 6);
  }
  const double kinds[] = {-30.0 * unit(engine), -1e-6, -0.01, 5.0 * unit(engine)};
  Cycle cycle;
  std::string error;
  EXPECT_TRUE(build_cycle(200.0 + 400.0 * unit(engine), steps, kinds[engine() % 4], cycle, error))
      << error;
  return cycle;
}

TEST(NetworkModel, OneCycleGivesTheCycleModelsResults) {
  std::mt19937_64 engine(30);
  for (int trial = 0; trial < 400; ++trial) {
    const int n = 1 + static_cast<int>(engine() % 12);
    const double spread = trial % 5 == 4 ? 2000.0 : 25.0;  // beyond doubles' range too
    const Cycle cycle = random_cycle(engine, n, spread, trial % 2 == 1);
    Evaluation expected;
    Failure failure;
    ASSERT_TRUE(evaluate(cycle, expected, failure));
    const Results& cycle_results = expected.results;
    const NetworkResults got = evaluated(parsed(network_text(cycle, "cycle.txt")));
    SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(n) + " steps");
    ASSERT_TRUE(got.has_turnover);
    const Rate& rate = got.turnover;
    // The cycle model forms its numerator e^-dG reac - prod as a plain
    // difference until the two agree to 2^-20; what that cancellation
    // leaves of its digits bounds the agreement, beside the rounding of
    // energies as large as these.
    const Profile& p = expected.profile;
    const double numerator = std::exp(-p.dG) * p.concproduct_reac + p.concproduct_prod;
    const double cancellation =
        std::isfinite(numerator) ? 4 * kEps * numerator / std::abs(p.driving_force) : 0.0;
    double largest_g = 0.0;
    for (int i = 1; i <= n; ++i) largest_g = std::max(largest_g, std::abs(p.g_ts[i]));
    const double rounding = std::max(1e-12, 16 * kEps * largest_g);
    EXPECT_NEAR(rate.tof.ln, cycle_results.ln_TOF, rounding + cancellation);
    EXPECT_EQ(rate.tof.sign, cycle_results.TOF_sign);
    for (int j = 0; j < n; ++j)
      EXPECT_NEAR(rate.xtof_state[j], cycle_results.xtof_int[j], rounding);
    for (int i = 1; i <= n; ++i) {
      EXPECT_NEAR(rate.xtof_ts[i - 1], cycle_results.xtof_ts[i], rounding);
    }
    std::size_t s = 0;
    // The controls of concentrations grow as the driving force vanishes.
    const double scale = rounding * (1.0 + std::abs(cycle_results.q)) + cancellation;
    for (int i = 1; i <= n; ++i) {
      if (cycle.has_reac[i]) {
        EXPECT_NEAR(rate.xtof_species[s++], cycle_results.xtof_reac[i], scale);
      }
      if (cycle.has_prod[i]) {
        EXPECT_NEAR(rate.xtof_species[s++], cycle_results.xtof_prod[i], scale);
      }
    }
    if (rate.TDTS_ties.empty()) {
      EXPECT_EQ(rate.TDTS + 1, cycle_results.TDTS);
    }
  }
}

// Closed forms. An off-cycle state D beside I0 stands in equilibrium with
// it, so the TOF falls by 1 / (1 + p0 K), p0 the population of I0 in the
// cycle alone and K = exp(-(G_D - G_I0) / RT). A two-state cycle's TOF is
// (k1+ k2+ - k1- k2-) / (k1+ + k1- + k2+ + k2-), its numerator k1+ k2+
// (1 - e^(dG)) exact from the driving force however small.
TEST(NetworkModel, ClosedForms) {
  const double inv_RT = inverse_RT(298.15);
  for (const double G_D : {-11.0, -3.0, 4.0, -600.0}) {
    const std::string cycle =
        "temperature 298.15\nstate I0 0\nstate I1 -4.5\n"
        "step I0 I1 ts 14.2\nstep I1 I0 ts 17.0 shift -25\n";
    const NetworkResults alone = evaluated(parsed(cycle));
    const NetworkResults with_d =
        evaluated(parsed(cycle + "state D " + shortest(G_D) + "\nstep I0 D ts 3.0\n"));
    const double expected =
        alone.turnover.tof.ln - std::log1p(std::exp(alone.ln_population[0] - G_D * inv_RT));
    EXPECT_NEAR(with_d.turnover.tof.ln, expected, 4 * kEps * std::abs(expected)) << G_D;
  }
  for (const double dG : {-1e-12, -1e-8, 1e-6, -2.0}) {
    const std::string text =
        "temperature 298.15\nstate A 0\nstate B -1\nstep A B ts 12\n"
        "step B A ts 15 shift " +
        shortest(dG) + "\n";
    const NetworkResults got = evaluated(parsed(text));
    const double b = inv_RT, lnA = std::log(298.15 * k_B / h_Planck);
    const double k1p = lnA - 12 * b, k1m = lnA - 13 * b, k2p = lnA - 16 * b,
                 k2m = lnA - (15 - dG) * b;
    const double denominator =
        std::log(std::exp(k1p) + std::exp(k1m) + std::exp(k2p) + std::exp(k2m));
    const double expected = k1p + k2p + std::log(std::abs(std::expm1(dG * b))) - denominator;
    EXPECT_NEAR(got.turnover.tof.ln, expected, 1e-13 * std::abs(expected)) << dG;
    EXPECT_EQ(got.turnover.tof.sign, dG < 0 ? 1 : -1) << dG;
  }
}

}  // namespace
}  // namespace kinex::network

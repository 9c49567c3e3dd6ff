// The two edges where rounding alone used to decide a result: a cycle near
// equilibrium, whose driving force is the small difference of two nearly
// equal terms, and terms that are equal in exact arithmetic, of which the
// rounding picked the TDI and TDTS.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "cycle.h"
#include "model/figures.h"
#include "model/log_space.h"

namespace kinex::testing {
namespace {

using Real = long double;

// exp(-dG) * reac - prod in extended precision, from the logarithms: the
// reference the driving force must meet near equilibrium.
Real exact_driving_force(double dG, double reac, double prod) {
  return static_cast<Real>(prod) *
         std::expm1(std::log(static_cast<Real>(reac)) - std::log(static_cast<Real>(prod)) -
                    static_cast<Real>(dG));
}

// On both sides of the switch at a relative 2^-20: the direct difference,
// bit for bit, where it keeps more than 33 bits; the difference through
// expm1 within it, as precise as the inputs allow.
TEST(Equilibrium, DrivingForceSwitchesToExpm1OnlyWithinTwoToTheMinus20) {
  const struct {
    const char* name;
    double reac, prod;
  } conditions[] = {{"no concentrations", 1.0, 1.0},
                    {"equal concentrations", 0.5, 0.5},
                    {"reactant and product apart", 2.0, 0.25},
                    {"tiny products", 1e-200, 3e-201}};
  int inside = 0, outside = 0;
  for (const auto& c : conditions) {
    SCOPED_TRACE(c.name);
    const double equilibrium = std::log(c.reac / c.prod);  // dG where the two terms agree
    for (int k = -40; k <= 40; ++k) {
      // Offsets from equilibrium from 2^-60 to 2^-2, on both sides.
      const double offset = std::ldexp(k < 0 ? -1.0 : 1.0, -2 - (40 - std::abs(k)) * 58 / 40);
      const double dG = equilibrium + (k == 0 ? 0.0 : offset);
      const double forward = std::exp(-dG) * c.reac, direct = forward - c.prod;
      const double got = driving_force_of(dG, c.reac, c.prod);
      if (std::fabs(direct) > std::ldexp(std::fmax(forward, c.prod), -20)) {
        ++outside;
        EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(direct)) << dG;
      } else {
        ++inside;
        // As precise as the inputs allow: ln(reac / prod) rounds to a
        // double, by up to half a unit in its last place, where it is not 0.
        const Real want = exact_driving_force(dG, c.reac, c.prod);
        const Real input_error = c.prod * 0x1p-52L * std::fabs(equilibrium);
        EXPECT_LE(std::fabs(got - want), input_error + 1e-14L * std::fabs(want)) << dG;
      }
    }
  }
  EXPECT_GT(inside, 40);
  EXPECT_GT(outside, 40);
  // Terms that are not both finite and above 0 keep the direct difference.
  EXPECT_EQ(driving_force_of(-1.0, 0.0, 1e-300), -1e-300);
  EXPECT_EQ(driving_force_of(-1e-17, 1.0, INFINITY), -INFINITY);
}

// A one-step cycle a hair from equilibrium at 800 K: the TOF, its logarithm
// and the reactant's X_TOF against the closed form in extended precision,
// with and without concentrations, in the report's evaluation and in that
// of the outputs.
TEST(Equilibrium, OneStepCycleNearEquilibriumMeetsTheClosedForm) {
  for (const double DeltaG : {-1e-16, -1e-14, -1e-12, -1e-9, -1e-6}) {
    for (const bool concentrations : {false, true}) {
      SCOPED_TRACE(std::to_string(DeltaG) + (concentrations ? " with 0.5, 0.5" : ""));
      Cycle cycle{800.0, {0.0}, {20.0}, DeltaG, {}, {}};
      if (concentrations) cycle.reac = cycle.prod = {0.5};
      const double c = concentrations ? 0.5 : 1.0;
      for (const Use use : {Use::report, Use::outputs}) {
        kinex::Run run = make_run(cycle);
        evaluate_cycle(run, 1, use);
        const double dG = run.profile.dG;
        // TOF = k_B T / h * N / exp(g_ts - g_int(next turn)), N = c (e^-dG - 1).
        const Real N = exact_driving_force(dG, c, c);
        const Real ln_tof = std::log(static_cast<Real>(run.results.prefactor)) + std::log(N) -
                            (static_cast<Real>(run.profile.g_ts[1]) - run.profile.g_int[1]);
        EXPECT_NEAR(run.results.TOF / std::exp(ln_tof), 1.0, 1e-12);
        EXPECT_NEAR(run.results.log10_TOF, ln_tof / std::log(10.0L), 1e-12);
        if (concentrations) {
          const Real xtof = (N + c) / N;  // 1 + q; the single term holds no rate constant
          EXPECT_NEAR(run.results.xtof_reac[1] / xtof, 1.0, 1e-12);
        }
        EXPECT_FALSE(needs_driving_force_warning(run.profile));
      }
    }
  }
}

// The log-space evaluation near equilibrium: equal concentration
// logarithms cancel before dG is added, so the numerator keeps dG's bits.
TEST(Equilibrium, NetFluxKeepsDeltaGAgainstEqualConcentrations) {
  // The same concentrations on both sides, at other steps: their logarithms
  // summed in step order differ in the last bits, and the ratio is exactly
  // 0 all the same; what does not cancel is summed.
  const struct {
    std::vector<std::optional<double>> reac, prod;
    double ln_ratio;
  } sides[] = {
      {{0.5, 1e-3, 1e-3, 1e-3}, {1e-3, 1e-3, 1e-3, 0.5}, 0.0},
      {{0.5, 1e-3, std::nullopt, 7.0}, {7.0, std::nullopt, 0.5, 1e-3}, 0.0},
      {{0.5, 1e-3, 2.0, std::nullopt}, {1e-3, std::nullopt, 0.25, 0.5}, std::log(0.25 / 2.0)},
  };
  for (const auto& side : sides) {
    const kinex::Run run =
        make_run({298.15, {0, 0, 0, 0}, {1, 1, 1, 1}, -1e-15, side.reac, side.prod});
    EXPECT_NEAR(ln_concentration_ratio(run.cycle), side.ln_ratio, 1e-15);
    if (side.ln_ratio == 0.0) {
      EXPECT_EQ(ln_concentration_ratio(run.cycle), 0.0);
    }
  }
}

// A barrier-free step gives terms that are equal in exact arithmetic (here
// TS1 and TS3 both lie 2.1 kcal/mol above I2): the outputs name the
// earliest of the tied states at every temperature, whatever the rounding,
// list the other, and keep every other number of the report's evaluation.
TEST(Equilibrium, TiedTermsGiveTheEarliestStatesAtEveryTemperature) {
  const Cycle tied{298.15, {0.0, -54.1, -72.1}, {0.0, -54.1, -70.0}, -70.0, {}, {}};
  int report_picks[4] = {};
  for (double T = 10.0; T <= 2000.0; T += 13.0) {
    SCOPED_TRACE(T);
    Cycle cycle = tied;
    cycle.T = T;
    kinex::Run outputs = make_run(cycle), report = make_run(cycle);
    evaluate_cycle(outputs, 1, Use::outputs);
    evaluate_cycle(report, 1, Use::report);
    EXPECT_EQ(outputs.results.TDI, 3);
    EXPECT_EQ(outputs.results.TDTS, 1);
    EXPECT_EQ(outputs.results.TDI_ties, std::vector<int64_t>{});
    EXPECT_EQ(outputs.results.TDTS_ties, std::vector<int64_t>{3});
    EXPECT_EQ(outputs.results.reac_steps, std::vector<int64_t>{});
    // The report keeps the single largest term; the rounding picks one of
    // the two, and the numbers do not depend on the pick.
    EXPECT_EQ(report.results.TDI, 3);
    ++report_picks[report.results.TDTS];
    EXPECT_EQ(report.results.TOF, outputs.results.TOF);
    EXPECT_NEAR(energetic_span(outputs.cycle, outputs.results), 2.1, 1e-12);
  }
  EXPECT_EQ(report_picks[2], 0);
}

}  // namespace
}  // namespace kinex::testing

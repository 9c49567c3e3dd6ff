#include "model/profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "cycle.h"

namespace kinex::testing {
namespace {

// The widened single-precision constants, by their exact double values.
TEST(ProfileConstants, AreTheWidenedLiterals) {
  struct Case {
    const char* name;
    double value, exact;
  };
  const Case cases[] = {
      {"k_B", k_B, 1.380658045430573e-23},
      {"N_A", N_A, 6.022136680382177e+23},
      {"h_Planck", h_Planck, 6.626075688705515e-34},
      {"kcal_to_kJ", kcal_to_kJ, 4.184000015258789},
      {"kJ_to_J", kJ_to_J, 1000.0},
      {"R_gas", R_gas, 8.314511458452216},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value, c.exact) << c.name;
}

TEST(Profile, ScalesBothTurnsOfTheCycle) {
  kinex::Run run = make_run({298.15, {0.0, -5.1, -2.0}, {15.2, 20.3, 12.0}, -10.0, {}, {}});
  compute_profile(run);

  EXPECT_EQ(run.inv_RT, 4184.000015258789 / (298.15 * 8.314511458452216));
  EXPECT_NEAR(run.inv_RT, 1.6878, 1e-4);
  EXPECT_EQ(run.dG, -10.0 * run.inv_RT);
  ASSERT_EQ(run.g_int.size(), 6u);
  const double next_turn[] = {-10.0, -15.1, -12.0};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(run.G_int[3 + k], next_turn[k]);
    EXPECT_EQ(run.g_int[3 + k], next_turn[k] * run.inv_RT);
  }
  EXPECT_EQ(run.g_int[1], -5.1 * run.inv_RT);
  EXPECT_EQ(run.g_ts[2], 20.3 * run.inv_RT);
}

// The warning depends on the driving force; which of its two texts follows
// depends on the sign of dG.
TEST(Profile, DrivingForceWarning) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::string name;
    Cycle cycle;
    bool warn;
    bool dG_not_negative;
  };
  const Case cases[] = {
      {"DeltaG negative, no concentrations",
       {298.15, {0.0, 1.0}, {10.0, 12.0}, -5.0, {}, {}},
       false,
       false},
      {"DeltaG zero", {298.15, {0.0, 1.0}, {10.0, 12.0}, 0.0, {}, {}}, true, true},
      {"DeltaG positive", {298.15, {0.0, 1.0}, {10.0, 12.0}, 3.0, {}, {}}, true, true},
      {"product too concentrated",
       {298.15, {0.0, 1.0}, {10.0, 12.0}, -1.0, {}, {std::nullopt, 1000.0}},
       true,
       false},
      {"no reactant at all",
       {298.15, {0.0, 1.0}, {10.0, 12.0}, -10.0, {0.0, 1.0}, {0.5, std::nullopt}},
       true,
       false},
      {"driving force NaN", {0.0, {0.0, 1.0}, {10.0, 12.0}, 0.0, {}, {}}, false, false},
      {"concentration NaN",
       {298.15, {0.0, 1.0}, {10.0, 12.0}, -5.0, {nan, std::nullopt}, {}},
       false,
       false},
  };
  for (const Case& c : cases) {
    kinex::Run run = make_run(c.cycle);
    compute_profile(run);
    EXPECT_EQ(needs_driving_force_warning(run), c.warn) << c.name << ": " << run.driving_force;
    EXPECT_EQ(run.dG >= 0.0, c.dG_not_negative) << c.name << ": " << run.dG;
  }
}

}  // namespace
}  // namespace kinex::testing

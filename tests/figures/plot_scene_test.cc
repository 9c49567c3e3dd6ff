// What the energy-profile picture states: the TOF as a chemist writes it,
// also beyond the range of doubles, the driving-force warning, and the
// effective span where the concentrations move it.
#include "figures/plot_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/cycle_files.h"
#include "model/profile.h"
#include "outputs/summary.h"

namespace kinex::plot {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The TOF from the report's value, or from its logarithm where the value
// underflowed to 0 or is not finite; a value without a finite logarithm is
// written as it is.
TEST(PlotScene, TofText) {
  const double nan = std::nan("");
  const struct {
    const char* what;
    double tof, log10_tof;
    int sign;
    const char *mantissa, *exponent;
  } cases[] = {
      {"ordinary", 4.0712e-3, std::log10(4.0712e-3), 1, "4.07", "\u22123"},
      {"exponent 0", 2.4649, nan, 1, "2.46", ""},
      {"huge", 1.7749e250, 250.249, 1, "1.77", "250"},
      {"tiny", 8.0512e-304, -303.09, 1, "8.05", "\u2212304"},
      {"negative", -1.7512, std::log10(1.7512), -1, "\u22121.75", ""},
      {"the value, not its logarithm", 3.0e-5, -7.0, 1, "3.00", "\u22125"},
      {"underflow to 0", 0.0, -400.3, 1, "5.01", "\u2212401"},
      {"negative underflow to 0", -0.0, -400.3, -1, "\u22125.01", "\u2212401"},
      {"overflow", kInf, 500.5, 1, "3.16", "500"},
      {"negative overflow, sign unknown", -kInf, 500.5, 0, "\u22123.16", "500"},
      {"no net flux", 0.0, -kInf, 0, "0.00", ""},
      {"NaN without logarithm", nan, nan, 0, "NaN", ""},
      {"overflow without logarithm", kInf, nan, 0, "+Inf", ""},
      {"negative overflow without logarithm", -kInf, nan, 0, "\u2212Inf", ""},
  };
  for (const auto& c : cases) {
    Results r;
    r.TOF = c.tof;
    r.log10_TOF = c.log10_tof;
    r.TOF_sign = c.sign;
    const PowerOfTen text = tof_text(r);
    EXPECT_EQ(text.mantissa, c.mantissa) << c.what;
    EXPECT_EQ(text.exponent, c.exponent) << c.what;
  }
}

// The figures line writes the TOF with a raised exponent and the unit s^-1,
// never the report's "E" form, and states the effective span when shown.
TEST(PlotScene, FiguresLine) {
  const struct {
    const char* what;
    std::string input;
    const char* figures;
  } cases[] = {
      {"small TOF", test::read_file(KINEX_EXAMPLES "/three_step.txt"),
       "T = 298.15 K    TOF = 7.48\u00d710^\u22127 s^\u22121    \u03b4E = 25.4 kcal/mol  (TDI I1, "
       "TDTS TS2)    \u03b4E_eff = 25.8 kcal/mol"},
      {"exponent 0", "300\n1\n0.0 17.2 x x\n-3.0\n",
       "T = 300 K    TOF = 1.83 s^\u22121    \u03b4E = 17.2 kcal/mol  (TDI I0, TDTS TS1)"},
      {"TOF below the doubles", "298.15\n1\n0.0 560.0 x x\n-10.0\n",
       "T = 298.15 K    TOF = 2.06\u00d710^\u2212398 s^\u22121    \u03b4E = 560.0 kcal/mol  (TDI "
       "I0, TDTS TS1)"},
  };
  for (const auto& c : cases) {
    const Scene scene = make_scene(cycle_files::evaluated_text(c.input), "cycle.txt");
    EXPECT_EQ(plain(scene.texts.figures), c.figures) << c.what;
  }
}

// The warning is the report's, shown exactly when the driving force is not
// positive: DeltaG not negative, or concentrations that undo it.
TEST(PlotScene, WarningExactlyWithoutAPositiveDrivingForce) {
  const struct {
    const char* what;
    std::string input;
    const char* reason;  // nullptr: no warning
  } cases[] = {
      {"downhill", "298.15\n2\n0 15 x x\n-2 18 x x\n-5.0\n", nullptr},
      {"uphill", "298.15\n2\n0 15 x x\n-2 18 x x\n4.0\n", "DeltaG is not negative"},
      {"level", "298.15\n2\n0 15 x x\n-2 18 x x\n0.0\n", "DeltaG is not negative"},
      {"a product undoes DeltaG", "298.15\n2\n0 15 x x\n-2 18 x 1e10\n-5.0\n",
       "modify the concentrations"},
      {"a reactant outweighs an uphill DeltaG", "298.15\n2\n0 15 1e3 x\n-2 18 x x\n1.0\n", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const kinex::Run run = cycle_files::evaluated_text(c.input);
    const Scene scene = make_scene(run, "cycle.txt");
    EXPECT_EQ(needs_driving_force_warning(run.profile), c.reason != nullptr)
        << "the case does not test what it says";
    EXPECT_EQ(scene.texts.warning, warning_text(run));
    if (c.reason != nullptr) {
      EXPECT_NE(scene.texts.warning.find(c.reason), std::string::npos) << scene.texts.warning;
    }
  }
}

// The effective span is marked exactly when it is finite and differs from
// the energetic span by enough to show at one decimal (0.05 kcal/mol): a
// reactant at the TDTS's step moves it by RT ln(1/c).
TEST(PlotScene, EffectiveSpanMarkedExactlyWhenItDiffers) {
  const struct {
    const char* what;
    std::string input;
    const char* label;  // nullptr: not marked
  } cases[] = {
      {"the shipped example", test::read_file(KINEX_EXAMPLES "/tdts_switch.txt"),
       "\u03b4E_eff = 20.1 kcal/mol"},
      {"no concentration", "298.15\n2\n0.0 10.0 x x\n0.0 16.0 x x\n-20.0\n", nullptr},
      {"a reactant at 1", "298.15\n2\n0.0 10.0 x x\n0.0 16.0 1 x\n-20.0\n", nullptr},
      {"0.03 kcal/mol apart", "298.15\n2\n0.0 10.0 x x\n0.0 16.0 0.95 x\n-20.0\n", nullptr},
      {"0.06 kcal/mol apart", "298.15\n2\n0.0 10.0 x x\n0.0 16.0 0.9 x\n-20.0\n",
       "\u03b4E_eff = 16.1 kcal/mol"},
      {"lowered by a reactant", "298.15\n2\n0.0 10.0 x x\n0.0 16.0 10 x\n-20.0\n",
       "\u03b4E_eff = 14.6 kcal/mol"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const kinex::Run run = cycle_files::evaluated_text(c.input);
    const Scene scene = make_scene(run, "cycle.txt");
    ASSERT_TRUE(scene.span.known);
    EXPECT_EQ(scene.span.effective_shown, c.label != nullptr);
    EXPECT_EQ(plain(scene.texts.effective_label), c.label != nullptr ? c.label : "");
    const std::string figures = plain(scene.texts.figures);
    EXPECT_EQ(figures.find("eff") != std::string::npos, c.label != nullptr) << figures;
  }
  // Not known: no mark, whatever the energetic span.
  kinex::Run run = cycle_files::evaluated_text(test::read_file(KINEX_EXAMPLES "/tdts_switch.txt"));
  run.results.effective_span = std::nan("");
  EXPECT_FALSE(make_scene(run, "cycle.txt").span.effective_shown);
}

}  // namespace
}  // namespace kinex::plot

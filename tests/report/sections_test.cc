// The report sections, each built from a hand-filled run record.
#include "report/sections.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "common/support.h"

namespace kinex::report {
namespace {

using test::kInf;
using test::kNaN;

// The three-step example cycle with its results, rounded just enough that
// every printed field comes out as in the example report.
kinex::Run three_step_run() {
  kinex::Run run;
  run.input_name = "input.txt";
  run.cycle.T = 298.15;
  run.cycle.n = 3;
  run.cycle.DeltaG = -10.0;
  run.cycle.G_int = {0.0, -5.1, -2.0};
  run.profile.G_int = {0.0, -5.1, -2.0, -10.0, -15.1, -12.0};
  run.cycle.G_ts = {0.0, 15.2, 20.3, 12.0};
  run.cycle.conc_reac = {1.0, 1.0, 0.5, 1.0};
  run.cycle.conc_prod = {1.0, 1.0, 1.0, 1.0e-3};
  run.cycle.has_reac = {false, false, true, false};
  run.cycle.has_prod = {false, false, false, true};
  run.results.xtof_int = {3.1e-9, 0.9999991, 8.7e-7};
  run.results.xtof_ts = {0.0, 2.2e-7, 0.9999996, 1.8e-7};
  // Steps without the concentration get values that would show if used.
  run.results.xtof_reac = {0.0, 0.75, 0.99999988, 0.5};
  run.results.xtof_prod = {0.0, -0.5, -0.25, -1.1e-10};
  run.results.TOF = 7.4806e-7;
  run.results.TDI = run.results.TDTS = 2;
  run.results.reac_steps = {2};
  return run;
}

// The report with only the sections of `mask` (1 input, 2 degrees,
// 4 analysis, 8 TOF, 16 headings), no banner.
std::string report(kinex::Run& run, int mask) {
  Switches show;
  show.input = mask & 1;
  show.degrees = (mask >> 1) & 1;
  show.analysis = (mask >> 2) & 1;
  show.tof = (mask >> 3) & 1;
  show.headings = (mask >> 4) & 1;
  show.banner = false;
  std::string out;
  write_report(run.input_name, run.cycle, run.profile, run.results, show, out);
  return out;
}

const std::string kHeadL = " \n NAME OF THE INPUTFILE: input.txt\n \n";

TEST(Warning, WritesTheReasonThatFits) {
  const std::string deltag =
      "\n WARNING! There is no positive driving force.\n That's because DeltaG is not negative.\n";
  const std::string conc =
      "\n WARNING! There is no positive driving force.\n"
      " Maybe you should modify the concentrations.\n";
  const struct {
    double driving_force, dG;
    std::string expected;
  } cases[] = {{1.0e7, -16.9, ""}, {1.0e-300, 5.0, ""},  {kNaN, 5.0, ""},
               {0.0, 0.0, deltag}, {-0.0, -0.0, deltag}, {-1.0, 3.0, deltag},
               {-1.0, -3.0, conc}, {-kInf, -kInf, conc}, {-1.0, kNaN, conc}};
  for (const auto& c : cases) {
    kinex::Run run;
    run.profile.driving_force = c.driving_force;
    run.profile.dG = c.dG;
    std::string out = "before\n";
    write_warning(run.profile, out);
    EXPECT_EQ(out, "before\n" + c.expected) << c.driving_force << " " << c.dG;
  }
}

// The concentration cells of the degrees-of-control table.
TEST(Cells, HoldTheFixedPointFieldOrX) {
  const struct {
    int64_t has;
    double xtof;
    const char* cell;
  } cases[] = {{1, 0.5, "     0.50"},
               {1, 0.99999988, "     1.00"},
               {1, -1.1e-10, "    -0.00"},
               {1, -0.0, "    -0.00"},
               {1, -123456.78, "*********"},
               {1, kInf, "     +Inf"},
               {0, 0.5, " x"},
               {0, kNaN, " x"}};
  for (const auto& c : cases) EXPECT_EQ(xtof_cell(c.has != 0, c.xtof), c.cell) << c.xtof;
}

// The example report of the three-step cycle (banner off) cut into the head
// and its four sections: every switch combination gives them in order, each
// with or without its six-line boxed heading.
TEST(Sections, EverySwitchCombinationGivesTheSectionsInOrder) {
  const std::vector<std::string> lines =
      test::lines_of(test::read_file(KINEX_TEST_DATA "/input_l.expected"));
  ASSERT_EQ(lines.size(), 56u);
  const std::size_t bounds[] = {0, 3, 21, 33, 46, 56};
  kinex::Run run = three_step_run();
  for (int mask = 0; mask < 32; ++mask) {
    std::string expected;
    for (int block = 0; block < 5; ++block) {
      if (block > 0 && !((mask >> (block - 1)) & 1)) continue;
      const std::size_t skip = block > 0 && !(mask & 16) ? 6 : 0;
      for (std::size_t k = bounds[block] + skip; k < bounds[block + 1]; ++k) {
        expected += lines[k] + "\n";
      }
    }
    EXPECT_EQ(report(run, mask), expected) << "switch mask " << mask;
  }
}

struct AdviceCase {
  int64_t TDI, TDTS;
  std::vector<int> reac, prod;
  std::string advice;  // the lines between the two empty lines, joined
};

class AdviceTest : public ::testing::TestWithParam<AdviceCase> {};

// "Tdi1Tdts3_Reactants_1_3_Products_2": the span and the steps it names.
std::string advice_case_name(const ::testing::TestParamInfo<AdviceCase>& info) {
  const AdviceCase& c = info.param;
  std::string name = "Tdi" + std::to_string(c.TDI) + "Tdts" + std::to_string(c.TDTS);
  const auto steps = [&name](const char* what, const std::vector<int>& list) {
    if (list.empty()) return;
    name += what;
    for (int s : list) {
      name += '_';
      name += std::to_string(s);
    }
  };
  steps("_Reactants", c.reac);
  steps("_Products", c.prod);
  return c.reac.empty() && c.prod.empty() ? name + "_NoAdvice" : name;
}

TEST_P(AdviceTest, NamesTheStepsInTheRightSentence) {
  const AdviceCase& c = GetParam();
  kinex::Run run = three_step_run();
  run.results.TDI = c.TDI;
  run.results.TDTS = c.TDTS;
  run.results.reac_steps.assign(c.reac.begin(), c.reac.end());
  run.results.prod_steps.assign(c.prod.begin(), c.prod.end());
  std::string expected = kHeadL + " The TDI is the intermediate of step " + std::to_string(c.TDI) +
                         ".\n The TDTS is the transition state of step " + std::to_string(c.TDTS) +
                         ".\n \n";
  if (!c.advice.empty()) {
    expected += c.advice +
                "\n will speed up the reaction more efficiently than manipulating the other\n"
                " concentrations.\n";
  }
  EXPECT_EQ(report(run, 4), expected + " \n");
}

INSTANTIATE_TEST_SUITE_P(
    Report, AdviceTest,
    ::testing::Values(
        AdviceCase{2, 2, {}, {}, ""},
        AdviceCase{2, 2, {2}, {}, " Using the reactant entering in step 2 in high concentration"},
        AdviceCase{1,
                   3,
                   {1, 3},
                   {},
                   " Using the reactants entering in steps 1 and 3 in high concentration"},
        AdviceCase{
            3, 1, {}, {3}, " Removing the product released in step 3 from the reaction mixture"},
        AdviceCase{1,
                   3,
                   {},
                   {1, 2, 3},
                   " Removing the products released in steps 1, 2 and 3 from the reaction mixture"},
        AdviceCase{1,
                   2,
                   {2},
                   {1},
                   " Using the reactant entering in step 2 in high concentration and\n"
                   " removing the product released in step 1 from the reaction mixture"},
        AdviceCase{1,
                   3,
                   {3},
                   {1, 2},
                   " Using the reactant entering in step 3 in high concentration and\n"
                   " removing the products released in steps 1 and 2 from the reaction mixture"},
        // n = 5, TDI 4, TDTS 2, wrapping round.
        AdviceCase{4,
                   2,
                   {1, 2, 4, 5},
                   {1, 4, 5},
                   " Using the reactants entering in steps 1, 2, 4 and 5 in high concentration "
                   "and\n removing the products released in steps 1, 4 and 5 from the reaction "
                   "mixture"},
        AdviceCase{9,
                   11,
                   {9, 10, 11},
                   {9, 10},
                   " Using the reactants entering in steps 9, 10 and 11 in high concentration "
                   "and\n removing the products released in steps 9 and 10 from the reaction "
                   "mixture"},
        AdviceCase{98,
                   102,
                   {98, 99, 100, 102},
                   {101},
                   " Using the reactants entering in steps 98, 99, 100 and 102 in high "
                   "concentration and\n removing the product released in step 101 from the "
                   "reaction mixture"}),
    advice_case_name);

TEST(Tof, ScalesOneWorkingValue) {
  const struct {
    double TOF;
    const char *per_second, *per_hour, *per_day;
  } cases[] = {{-7.4806e-7, "-7.48E-07", "-2.69E-03", "-6.46E-02"},
               // TOF*3600 and then *24 lands exactly on 8125000, a tie that rounds to
               // even; TOF*86400 in one step would give 8.13E+06.
               {94.03935185185186, " 9.40E+01", " 3.39E+05", " 8.12E+06"},
               {-kInf, "     -Inf", "     -Inf", "     -Inf"}};
  for (const auto& c : cases) {
    kinex::Run run = three_step_run();
    run.results.TOF = c.TOF;
    EXPECT_EQ(report(run, 8), kHeadL + "      TOF = " + c.per_second +
                                  " s^(-1)\n          = " + c.per_hour +
                                  " h^(-1)\n          = " + c.per_day + " d^(-1)\n \n");
  }
}

}  // namespace
}  // namespace kinex::report

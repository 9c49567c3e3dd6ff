// The report sections, each built from a hand-filled run record.
#include "report/sections.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace kinex::report {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

const std::string kHeadL = " \n NAME OF THE INPUTFILE: input.txt\n \n";

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string join_lines(const std::vector<std::string>& lines, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t k = from; k < to; ++k) text += lines[k] + "\n";
  return text;
}

// The three-step example cycle with its results, rounded just enough that
// every printed field comes out as in the example report.
kinex::Run three_step_run() {
  kinex::Run run;
  run.input_name = "input.txt";
  run.T = 298.15;
  run.n = 3;
  run.DeltaG = -10.0;
  run.G_int = {0.0, -5.1, -2.0, -10.0, -15.1, -12.0};
  run.G_ts = {0.0, 15.2, 20.3, 12.0};
  run.reac_text = {"", "x", "5.0E-01", "x"};
  run.prod_text = {"", "x", "x", "1.0E-03"};
  run.has_reac = {0, 0, 1, 0};
  run.has_prod = {0, 0, 0, 1};
  run.xtof_int = {3.1e-9, 0.9999991, 8.7e-7};
  run.xtof_ts = {0.0, 2.2e-7, 0.9999996, 1.8e-7};
  // Steps without the concentration get values that would show if used.
  run.xtof_reac = {0.0, 0.75, 0.99999988, 0.5};
  run.xtof_prod = {0.0, -0.5, -0.25, -1.1e-10};
  run.TOF = 7.4806e-7;
  run.TDI = 2;
  run.TDTS = 2;
  run.n_reac_in_span = 1;
  run.reac_step_text = {" 2"};
  run.n_prod_in_span = 0;
  fill_xtof_cells(run);
  return run;
}

void set_switches(kinex::Run& run, int input, int degrees, int analysis, int tof, int headings,
                  int banner) {
  run.show_input = input;
  run.show_degrees = degrees;
  run.show_analysis = analysis;
  run.show_tof = tof;
  run.show_headings = headings;
  run.show_banner = banner;
}

std::string report(const kinex::Run& run) {
  std::string out;
  write_report(run, out);
  return out;
}

// --- Driving-force warning --------------------------------------------------

struct WarningCase {
  double driving_force;
  double dG;
  const char* expected;
};

class WarningTest : public ::testing::TestWithParam<WarningCase> {};

TEST_P(WarningTest, WritesTheReasonThatFits) {
  kinex::Run run;
  run.driving_force = GetParam().driving_force;
  run.dG = GetParam().dG;
  std::string out = "before\n";
  write_warning(run, out);
  EXPECT_EQ(out, std::string("before\n") + GetParam().expected);
}

const char kDeltaGReason[] =
    "\n WARNING! There is no positive driving force.\n"
    " That's because DeltaG is not negative.\n";
const char kConcentrationReason[] =
    "\n WARNING! There is no positive driving force.\n"
    " Maybe you should modify the concentrations.\n";

INSTANTIATE_TEST_SUITE_P(Report, WarningTest,
                         ::testing::Values(WarningCase{1.0e7, -16.9, ""},
                                           WarningCase{1.0e-300, 5.0, ""},
                                           WarningCase{kNaN, 5.0, ""},  // NaN counts as positive
                                           WarningCase{0.0, 0.0, kDeltaGReason},
                                           WarningCase{-0.0, -0.0, kDeltaGReason},
                                           WarningCase{-1.0, 3.0, kDeltaGReason},
                                           WarningCase{-1.0, -3.0, kConcentrationReason},
                                           WarningCase{-kInf, -kInf, kConcentrationReason},
                                           WarningCase{-1.0, kNaN, kConcentrationReason}));

// --- Concentration cells of the degrees-of-control table ---------------------

struct CellCase {
  int64_t has;
  double xtof;
  const char* cell;
};

class CellTest : public ::testing::TestWithParam<CellCase> {};

TEST_P(CellTest, HoldsTheFixedPointFieldOrX) {
  const CellCase& c = GetParam();
  kinex::Run run;
  run.n = 2;
  run.has_reac = {0, 0, c.has};
  run.has_prod = {0, c.has, 0};
  run.xtof_reac = {0.0, 0.5, c.xtof};
  run.xtof_prod = {0.0, c.xtof, 0.5};
  fill_xtof_cells(run);
  ASSERT_EQ(run.xtof_reac_cell.size(), 3u);
  EXPECT_EQ(run.xtof_reac_cell[2], c.cell);
  EXPECT_EQ(run.xtof_prod_cell[1], c.cell);
  EXPECT_EQ(run.xtof_reac_cell[1], " x");
  EXPECT_EQ(run.xtof_prod_cell[2], " x");
}

INSTANTIATE_TEST_SUITE_P(
    Report, CellTest,
    ::testing::Values(CellCase{1, 0.5, "     0.50"}, CellCase{1, 0.99999988, "     1.00"},
                      CellCase{1, -1.1e-10, "    -0.00"}, CellCase{1, -0.0, "    -0.00"},
                      CellCase{1, -123456.78, "*********"}, CellCase{1, kInf, "     +Inf"},
                      CellCase{0, 0.5, " x"}, CellCase{0, kNaN, " x"}));

// --- The sections and their switches -----------------------------------------

// The example report of the three-step cycle (banner off), cut into the head
// and the four sections, each with its boxed heading.
struct ExampleBlocks {
  std::string head, input, degrees, analysis, tof;
};

ExampleBlocks example_blocks() {
  std::ifstream file(KINEX_TEST_DATA "/input_l.expected");
  std::stringstream text;
  text << file.rdbuf();
  const std::vector<std::string> lines = split_lines(text.str());
  EXPECT_EQ(lines.size(), 56u);
  if (lines.size() != 56) return {};
  return {join_lines(lines, 0, 3), join_lines(lines, 3, 21), join_lines(lines, 21, 33),
          join_lines(lines, 33, 46), join_lines(lines, 46, 56)};
}

// Drops the boxed heading and its empty line.
std::string without_heading(const std::string& block) {
  std::size_t at = 0;
  for (int line = 0; line < 6; ++line) at = block.find('\n', at) + 1;
  return block.substr(at);
}

TEST(Sections, EverySwitchCombinationGivesTheSectionsInOrder) {
  const ExampleBlocks blocks = example_blocks();
  kinex::Run run = three_step_run();
  for (int mask = 0; mask < 32; ++mask) {
    const int input = mask & 1, degrees = (mask >> 1) & 1, analysis = (mask >> 2) & 1,
              tof = (mask >> 3) & 1, headings = (mask >> 4) & 1;
    set_switches(run, input, degrees, analysis, tof, headings, 0);
    auto section = [&](const std::string& block) {
      return headings ? block : without_heading(block);
    };
    std::string expected = blocks.head;
    if (input) expected += section(blocks.input);
    if (degrees) expected += section(blocks.degrees);
    if (analysis) expected += section(blocks.analysis);
    if (tof) expected += section(blocks.tof);
    EXPECT_EQ(report(run), expected) << "switch mask " << mask;
  }
}

TEST(Head, PrintsTheFileNameWithoutTrailingBlanks) {
  kinex::Run run = three_step_run();
  set_switches(run, 0, 0, 0, 0, 1, 0);
  run.input_name = "my data/cycle 1.txt   ";
  EXPECT_EQ(report(run), " \n NAME OF THE INPUTFILE: my data/cycle 1.txt\n \n");
}

TEST(Banner, HasItsFixedLinesAndShape) {
  kinex::Run run = three_step_run();
  set_switches(run, 0, 0, 0, 0, 1, 1);
  const std::vector<std::string> lines = split_lines(report(run));
  ASSERT_EQ(lines.size(), 28u);
  EXPECT_EQ(lines[0], " ");
  EXPECT_EQ(lines[26], " NAME OF THE INPUTFILE: input.txt");
  EXPECT_EQ(lines[27], " ");
  // Banner line k is lines[k].
  EXPECT_EQ(lines[1], " This is the KINEX program, version 1.0, last modification 07/19/2010.");
  EXPECT_EQ(lines[7], " Authors:");
  EXPECT_EQ(lines[24], " The authors disclaim all warranties on the use of this program.");
  for (int k = 1; k <= 25; ++k) {
    const std::string& line = lines[static_cast<std::size_t>(k)];
    const bool empty = k == 6 || k == 11 || k == 23 || k == 25;
    EXPECT_EQ(line == " ", empty) << "banner line " << k;
    EXPECT_LT(line.size(), 80u) << "banner line " << k;
    EXPECT_EQ(line.substr(0, 1), " ") << "banner line " << k;
    if (!empty) {
      EXPECT_NE(line.back(), ' ') << "banner line " << k << " has trailing blanks";
    }
  }
  EXPECT_EQ(lines[14].substr(0, 4), " a) ");
  EXPECT_EQ(lines[17].substr(0, 4), " b) ");
  EXPECT_EQ(lines[20].substr(0, 4), " c) ");
}

// --- Repeat of the input -------------------------------------------------------

// A hundred steps of zero energies without concentrations, the body of one
// section shown (no headings, no banner).
kinex::Run hundred_step_run() {
  kinex::Run run;
  run.input_name = "input.txt";
  run.T = 298.0;
  run.n = 100;
  run.DeltaG = -1.0e6;
  run.G_int.assign(200, 0.0);
  run.G_ts.assign(101, 0.0);
  run.reac_text.assign(101, "x");
  run.prod_text.assign(101, "x");
  run.has_reac.assign(101, 0);
  run.has_prod.assign(101, 0);
  run.xtof_int.assign(100, 0.0);
  run.xtof_ts.assign(101, 0.0);
  run.xtof_reac.assign(101, 0.0);
  run.xtof_prod.assign(101, 0.0);
  run.TDI = 100;
  run.TDTS = 99;
  return run;
}

TEST(InputRepeat, StepFieldsAndEnergies) {
  kinex::Run run = hundred_step_run();
  run.G_int[8] = -12.34;
  run.G_ts[9] = 0.25;
  run.reac_text[9] = "5.0E-01";
  run.G_int[98] = 0.35;
  run.G_ts[99] = 1000000.0;
  run.prod_text[99] = "*******";
  run.G_int[99] = -99999.96;
  run.G_int[100] = 12345.0;
  set_switches(run, 1, 0, 0, 0, 0, 0);
  const std::vector<std::string> lines = split_lines(report(run));
  ASSERT_EQ(lines.size(), 3u + 5 + 100 + 4);
  EXPECT_EQ(lines[3], " temperature = 298. K");
  EXPECT_EQ(lines[4], " # of steps  = 100");
  EXPECT_EQ(lines[5], " ");
  EXPECT_EQ(lines[6], "              energies        concentrations");
  EXPECT_EQ(lines[7], "             Int     TS     reactant    product");
  EXPECT_EQ(lines[8], " Step 1      0.0     0.0           x          x");
  EXPECT_EQ(lines[16], " Step 9    -12.3     0.2     5.0E-01          x");
  EXPECT_EQ(lines[106], " Step99      0.3********           x    *******");
  EXPECT_EQ(lines[107], " Step** ********     0.0           x          x");
  EXPECT_EQ(lines[108], " Final  12345.0");
  EXPECT_EQ(lines[109], "");
  EXPECT_EQ(lines[110], " DeltaG********");
  EXPECT_EQ(lines[111], "");
  for (std::size_t k = 8; k < 108; ++k) EXPECT_EQ(lines[k].size(), 47u) << lines[k];
}

// --- Degrees-of-control table ----------------------------------------------------

TEST(DegreesTable, StepFieldsAndCells) {
  kinex::Run run = hundred_step_run();
  run.xtof_int[8] = 0.125;
  run.xtof_ts[9] = 0.375;
  run.has_prod[9] = 1;
  run.xtof_prod[9] = -1.0e-12;
  run.xtof_int[99] = 1.0;
  run.has_reac[100] = 1;
  run.xtof_reac[100] = kNaN;
  fill_xtof_cells(run);
  set_switches(run, 0, 1, 0, 0, 0, 0);
  const std::vector<std::string> lines = split_lines(report(run));
  ASSERT_EQ(lines.size(), 3u + 2 + 100 + 1);
  EXPECT_EQ(lines[3], "           X_TOF(energies)   X_TOF(concentrations)");
  EXPECT_EQ(lines[4], "             Int      TS       reactant  product");
  EXPECT_EQ(lines[5], " Step 1     0.00     0.00           x        x");
  EXPECT_EQ(lines[13], " Step 9     0.12     0.38           x    -0.00");
  EXPECT_EQ(lines[103], " Step99     0.00     0.00           x        x");
  EXPECT_EQ(lines[104], " Step**     1.00     0.00         NaN        x");
  EXPECT_EQ(lines[105], " ");
  for (std::size_t k = 5; k < 105; ++k) EXPECT_EQ(lines[k].size(), 46u) << lines[k];
}

// --- Analysis of the cycle ---------------------------------------------------------

struct AdviceCase {
  const char* name;
  int64_t TDI, TDTS;
  std::vector<std::string> reac, prod;
  std::vector<std::string> advice;  // the lines between the two empty lines
};

class AdviceTest : public ::testing::TestWithParam<AdviceCase> {};

TEST_P(AdviceTest, NamesTheStepsInTheRightSentence) {
  const AdviceCase& c = GetParam();
  kinex::Run run = three_step_run();
  run.TDI = c.TDI;
  run.TDTS = c.TDTS;
  run.n_reac_in_span = static_cast<int64_t>(c.reac.size());
  run.reac_step_text = c.reac;
  run.n_prod_in_span = static_cast<int64_t>(c.prod.size());
  run.prod_step_text = c.prod;
  set_switches(run, 0, 0, 1, 0, 0, 0);
  std::string expected = kHeadL;
  expected += " The TDI is the intermediate of step " + std::to_string(c.TDI) + ".\n";
  expected += " The TDTS is the transition state of step " + std::to_string(c.TDTS) + ".\n \n";
  for (const std::string& line : c.advice) expected += " " + line + "\n";
  expected += " \n";
  EXPECT_EQ(report(run), expected);
}

const char kClose1[] = "will speed up the reaction more efficiently than manipulating the other";
const char kClose2[] = "concentrations.";

INSTANTIATE_TEST_SUITE_P(
    Report, AdviceTest,
    ::testing::Values(
        AdviceCase{"NoConcentrations", 2, 2, {}, {}, {}},
        AdviceCase{
            "OneReactant",
            2,
            2,
            {" 2"},
            {},
            {"Using the reactant entering in step 2 in high concentration", kClose1, kClose2}},
        AdviceCase{"TwoReactants",
                   1,
                   3,
                   {" 1", " 3"},
                   {},
                   {"Using the reactants entering in steps 1 and 3 in high concentration", kClose1,
                    kClose2}},
        AdviceCase{"OneProduct",
                   3,
                   1,
                   {},
                   {" 3"},
                   {"Removing the product released in step 3 from the reaction mixture", kClose1,
                    kClose2}},
        AdviceCase{"ThreeProducts",
                   1,
                   3,
                   {},
                   {" 1", " 2", " 3"},
                   {"Removing the products released in steps 1, 2 and 3 from the reaction mixture",
                    kClose1, kClose2}},
        AdviceCase{"OneOfEach",
                   1,
                   2,
                   {" 2"},
                   {" 1"},
                   {"Using the reactant entering in step 2 in high concentration and",
                    "removing the product released in step 1 from the reaction mixture", kClose1,
                    kClose2}},
        AdviceCase{"OneReactantTwoProducts",
                   1,
                   3,
                   {" 3"},
                   {" 1", " 2"},
                   {"Using the reactant entering in step 3 in high concentration and",
                    "removing the products released in steps 1 and 2 from the reaction mixture",
                    kClose1, kClose2}},
        AdviceCase{"FourReactantsThreeProducts",  // n = 5, TDI 4, TDTS 2, wrapping round
                   4,
                   2,
                   {" 1", " 2", " 4", " 5"},
                   {" 1", " 4", " 5"},
                   {"Using the reactants entering in steps 1, 2, 4 and 5 in high concentration and",
                    "removing the products released in steps 1, 4 and 5 from the reaction mixture",
                    kClose1, kClose2}},
        AdviceCase{"TwoDigitSteps",
                   9,
                   11,
                   {" 9", " 10", " 11"},
                   {" 9", " 10"},
                   {"Using the reactants entering in steps 9, 10 and 11 in high concentration and",
                    "removing the products released in steps 9 and 10 from the reaction mixture",
                    kClose1, kClose2}},
        AdviceCase{"ThreeDigitSteps",
                   98,
                   102,
                   {" 98", " 99", " 100", " 102"},
                   {" 101"},
                   {"Using the reactants entering in steps 98, 99, 100 and 102 in high "
                    "concentration and",
                    "removing the product released in step 101 from the reaction mixture", kClose1,
                    kClose2}}),
    [](const ::testing::TestParamInfo<AdviceCase>& info) { return info.param.name; });

// --- TOF -----------------------------------------------------------------------

struct TofCase {
  const char* name;
  double TOF;
  const char *per_second, *per_hour, *per_day;
};

class TofTest : public ::testing::TestWithParam<TofCase> {};

TEST_P(TofTest, ScalesOneWorkingValue) {
  const TofCase& c = GetParam();
  kinex::Run run = three_step_run();
  run.TOF = c.TOF;
  set_switches(run, 0, 0, 0, 1, 0, 0);
  EXPECT_EQ(report(run), kHeadL + "      TOF = " + c.per_second + " s^(-1)\n" + "          = " +
                             c.per_hour + " h^(-1)\n" + "          = " + c.per_day +
                             " d^(-1)\n \n");
}

INSTANTIATE_TEST_SUITE_P(
    Report, TofTest,
    ::testing::Values(TofCase{"One", 1.0, " 1.00E+00", " 3.60E+03", " 8.64E+04"},
                      TofCase{"Negative", -7.4806e-7, "-7.48E-07", "-2.69E-03", "-6.46E-02"},
                      TofCase{"Zero", 0.0, " 0.00E+00", " 0.00E+00", " 0.00E+00"},
                      // TOF*3600 and then *24 lands exactly on 8125000, a tie that rounds to
                      // even; TOF*86400 in one step would give 8.13E+06.
                      TofCase{"PerDayFromPerHour", 94.03935185185186, " 9.40E+01", " 3.39E+05",
                              " 8.12E+06"},
                      TofCase{"Infinite", -kInf, "     -Inf", "     -Inf", "     -Inf"}),
    [](const ::testing::TestParamInfo<TofCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kinex::report

// kinex scan: the sweep arguments, the swept values, and every row checked
// against a run of KINEX.exe on the file with that value written in.
#include "kinex/scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cycle_files.h"
#include "kinex/commands.h"
#include "kinex/format.h"
#include "model/profile.h"

namespace kinex {
namespace {

using namespace cycle_files;

// Two steps whose determining states change with temperature: the pair
// (intermediate 0, transition state 1) spans 20 kcal/mol; the pair
// (intermediate 1, transition state 2) only 16, but its term is divided by
// the reactant concentration 1e-3 of step 2. The 4 kcal/mol outweigh the
// factor 1000 while 4/RT > ln 1000, that is below about 291.4 K; above it
// the TDI and TDTS move from step 1 to step 2.
const char kSwitchCycle[] =
    "298.15\n"
    "2\n"
    "0.0   20.0   x      x\n"
    "0.0   16.0   1e-3   x\n"
    "-20.0\n";

// The temperature at which both terms are equal, with the model's constants.
double switch_temperature() { return 4.0 * (kcal_to_kJ * kJ_to_J) / (R_gas * std::log(1000.0)); }

std::string with_temperature(double T) {
  const std::string text = kSwitchCycle;
  return shortest(T) + text.substr(text.find('\n'));
}

constexpr auto T = Sweep::Kind::Temperature;
constexpr auto R = Sweep::Kind::Reactant;
constexpr auto P = Sweep::Kind::Product;

TEST(Scan, SweepArgumentsAreAcceptedOrExplained) {
  const struct {
    Sweep::Kind kind;
    const char* text;
    std::string error;  // part of the reason; empty when the sweep is good
  } cases[] = {
      {T, "250:400:10", ""}, {T, "300:300:1", ""}, {T, "2.5e2:4e2:0.5", ""},
      {R, "2=1e-3:10:10", ""}, {P, "1=0.5:0.5:2", ""},
      {T, "250:400", "expected FROM:TO:STEP"}, {T, "250:400:10:1", "expected FROM:TO:STEP"},
      {T, "250 :400:10", "expected FROM:TO:STEP"}, {T, "a:b:c", "expected FROM:TO:STEP"},
      {T, "250:inf:10", "finite"}, {T, "nan:400:10", "finite"},
      {T, "400:250:10", "FROM must not be above TO"}, {T, "0:400:10", "above 0 K"},
      {T, "-10:400:10", "above 0 K"}, {T, "250:400:0", "STEP must be above 0"},
      {T, "250:400:-10", "STEP must be above 0"}, {T, "1:100001:1", "more than 100000 rows"},
      {T, "300:301:1e-300", "more than 100000 rows"}, {R, "1e-3:10:10", "STEP=FROM:TO:FACTOR"},
      {R, "x=1e-3:10:10", "STEP=FROM:TO:FACTOR"}, {R, "1.5=1e-3:10:10", "STEP=FROM:TO:FACTOR"},
      {R, "0=1e-3:10:10", "numbered from 1"}, {P, "-2=1e-3:10:10", "numbered from 1"},
      {R, "2=0:10:10", "concentrations must be above 0"},
      {R, "2=1e-3:10:1", "FACTOR must be above 1"}, {R, "2=1e-3:10:0.5", "FACTOR must be above 1"},
      {P, "2=1e-3:10:-10", "FACTOR must be above 1"},
      {P, "2=10:1e-3:10", "FROM must not be above TO"},
      {P, "2=1e-300:1e300:1.0001", "more than 100000 rows"}};
  for (const auto& c : cases) {
    Sweep sweep;
    std::string error;
    EXPECT_EQ(parse_sweep(c.kind, c.text, sweep, error), c.error.empty()) << c.text << error;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    // The argument is quoted in the reason.
    if (!c.error.empty()) {
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
    }
  }
}

TEST(Scan, ValuesRunFromFromToToWithToItselfLast) {
  const struct {
    Sweep::Kind kind;
    const char* text;
    std::size_t count;
    double first, second, last;
  } cases[] = {
      {T, "250:400:10", 16, 250.0, 260.0, 400.0},
      {T, "250:400:0.1", 1501, 250.0, 250.1, 400.0},  // not 399.99999999999...
      {T, "250:405:10", 16, 250.0, 260.0, 400.0},     // TO off the grid
      {T, "300:300:5", 1, 300.0, 300.0, 300.0},
      {R, "1=1e-3:1:10", 4, 1e-3, 1e-2, 1.0},
      {R, "1=0.1:1:2", 4, 0.1, 0.2, 0.8},
      {P, "3=1e-6:1e6:10", 13, 1e-6, 1e-5, 1e6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Sweep sweep;
    std::string error;
    ASSERT_TRUE(parse_sweep(c.kind, c.text, sweep, error)) << error;
    const std::vector<double> values = sweep_values(sweep);
    ASSERT_EQ(values.size(), c.count);
    EXPECT_EQ(values.front(), c.first);
    if (c.count > 1) {
      EXPECT_DOUBLE_EQ(values[1], c.second);
    }
    EXPECT_EQ(values.back(), c.last);
    for (std::size_t k = 1; k < values.size(); ++k) EXPECT_LT(values[k - 1], values[k]);
  }
}

// Across the switch, and every row bit for bit the run of its own file.
TEST(Scan, TemperatureScanAcrossTheSwitchOfTheTdts) {
  ScratchDir dir;
  const std::string file = dir.write("switch.txt", kSwitchCycle);
  std::string out, err;
  ASSERT_EQ(run_kinex({"kinex", "scan", file, "--temperature", "250:350:0.5", "--csv"}, out, err),
            0)
      << err;
  const auto records = read_csv(out);
  ASSERT_EQ(records.size(), 202u);
  EXPECT_EQ(records[0], (std::vector<std::string>{"T", "TOF_per_s", "TDI", "TDTS", "energetic_span",
                                                  "warning", "TDI_changed", "TDTS_changed"}));
  const double T_switch = switch_temperature();
  ASSERT_GT(T_switch, 291.0);
  ASSERT_LT(T_switch, 292.0);
  int switches = 0;
  for (std::size_t r = 1; r < records.size(); ++r) {
    const std::vector<std::string>& row = records[r];
    ASSERT_EQ(row.size(), 8u);
    const double T_row = std::stod(row[0]);
    SCOPED_TRACE(row[0]);
    const std::string expected_state = T_row < T_switch ? "1" : "2";
    EXPECT_EQ(row[2], expected_state);
    EXPECT_EQ(row[3], expected_state);
    EXPECT_EQ(row[4], T_row < T_switch ? "20.0" : "16.0");
    const bool switched = r > 1 && row[3] != records[r - 1][3];
    EXPECT_EQ(row[6], switched ? "1" : "0");
    EXPECT_EQ(row[7], switched ? "1" : "0");
    switches += switched;

    kinex::Run run;
    ASSERT_TRUE(reference_run(dir.write("at.txt", with_temperature(T_row)), run));
    EXPECT_EQ(bits(std::stod(row[1])), bits(run.TOF));
    EXPECT_EQ(row[2], std::to_string(run.TDI));
    EXPECT_EQ(row[3], std::to_string(run.TDTS));
  }
  EXPECT_EQ(switches, 1);

  // The text table marks the same row, and only that one.
  out.clear();
  ASSERT_EQ(run_kinex({"kinex", "scan", file, "--temperature", "290:293:0.5"}, out, err), 0);
  std::vector<std::string> marked;
  for (const std::string& line : test::lines_of(out)) {
    if (line.find("->") != std::string::npos) marked.push_back(line);
  }
  ASSERT_EQ(marked.size(), 1u) << out;
  EXPECT_EQ(marked[0].substr(0, 6), "291.5 ") << out;
  EXPECT_EQ(marked[0].substr(marked[0].size() - 23), "TDI 1 -> 2, TDTS 1 -> 2") << out;
}

// A reactant swept at a step whose file has "x" there: the step then has
// that reactant, as if the file had given it.
TEST(Scan, ConcentrationRowsAreTheRunsOfTheChangedFile) {
  ScratchDir dir;
  const std::string file = KINEX_EXAMPLES "/three_step.txt";
  const struct {
    const char *option, *sweep;
    int step;
    bool reactant;
  } cases[] = {{"--reactant", "1=1e-4:1e4:10", 1, true},
                        {"--reactant", "2=0.01:100:3", 2, true},
                        {"--product", "3=1e-3:1e9:100", 3, false},
                        {"--product", "1=0.5:8:2", 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sweep);
    std::string out, err;
    ASSERT_EQ(run_kinex({"kinex", "scan", file, c.option, c.sweep, "--csv"}, out, err), 0) << err;
    const auto records = read_csv(out);
    ASSERT_GT(records.size(), 2u);
    EXPECT_EQ(records[0][0],
              std::string(c.reactant ? "reactant_" : "product_") + std::to_string(c.step));
    bool warned = false;
    for (std::size_t r = 1; r < records.size(); ++r) {
      const std::vector<std::string>& row = records[r];
      // The example file with this concentration written into its field.
      std::string reactants[] = {"x", "0.5", "x"};
      std::string products[] = {"x", "x", "1.0e-3"};
      (c.reactant ? reactants : products)[c.step - 1] = row[0];
      const std::string changed = dir.write(
          "changed.txt", "298.15\n3\n0.0 15.2 " + reactants[0] + " " + products[0] +
                             "\n-5.1 20.3 " + reactants[1] + " " + products[1] + "\n-2.0 12.0 " +
                             reactants[2] + " " + products[2] + "\n-10.0\n");
      kinex::Run run;
      ASSERT_TRUE(reference_run(changed, run));
      SCOPED_TRACE(read_file(changed));
      EXPECT_EQ(bits(std::stod(row[1])), bits(run.TOF));
      EXPECT_EQ(row[2], std::to_string(run.TDI));
      EXPECT_EQ(row[3], std::to_string(run.TDTS));
      EXPECT_EQ(row[5], run.driving_force <= 0.0 ? "1" : "0");
      warned = warned || row[5] == "1";
    }
    // Enough product pushes the driving force below zero.
    if (std::string(c.sweep) == "3=1e-3:1e9:100") {
      EXPECT_TRUE(warned);
    }
  }
}

TEST(Scan, FailuresGiveADiagnosticAndStatus2) {
  const std::string file = KINEX_EXAMPLES "/three_step.txt";
  const std::string missing = "/nonexistent/kinex/none.txt";
  const struct {
    std::vector<std::string> args;
    std::string diagnostic;
  } cases[] = {
      {{"--reactant", "4=1:10:10"}, ": --reactant names step 4, but the cycle has steps 1..3"},
      {{"--product", "7=1:10:10"}, ": --product names step 7, but the cycle has steps 1..3"},
      {{"--temperature", "400:300:10"}, "kinex scan: --temperature '400:300:10': FROM must not"},
      {{"--temperature", "1:1e9:1"}, "more than 100000 rows"},
      {{}, "Exactly 1 option"},
      {{"--temperature", "300:400:10", "--reactant", "1=1:2:2"}, "Exactly 1 option"},
      {{missing, "--temperature", "300:400:10"},
       "kinex: " + missing + ": No such file or directory\n"}};
  for (const auto& c : cases) {
    std::vector<std::string> args{"kinex", "scan"};
    if (c.args.empty() || c.args[0] != missing) args.push_back(file);
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string out, err;
    EXPECT_EQ(run_kinex(args, out, err), 2) << c.diagnostic;
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find(c.diagnostic), std::string::npos) << err;
  }
}

}  // namespace
}  // namespace kinex

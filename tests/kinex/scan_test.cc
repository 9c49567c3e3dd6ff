// kinex scan: the sweep arguments, the swept values, and every row checked
// against a run of KINEX.exe on the file with that value written in.
#include "kinex/scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "cycle_files.h"
#include "input/failure.h"
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

// The rows of `kinex scan ... --csv`, each checked bit for bit against the
// run KINEX.exe makes of the file `input_for` gives for its swept value.
std::vector<std::vector<std::string>> checked_rows(
    const std::vector<std::string>& args,
    const std::function<std::string(const std::string&)>& input_for) {
  ScratchDir dir;
  const test::Outcome o = kinex_run(args);
  EXPECT_EQ(o.status, kExitOk) << o.err;
  const auto records = read_csv(o.out);
  for (std::size_t r = 1; r < records.size(); ++r) {
    const std::vector<std::string>& row = records[r];
    SCOPED_TRACE(row[0]);
    kinex::Run run;
    if (!reference_run(dir.write("at.txt", input_for(row[0])), run)) break;
    EXPECT_EQ(bits(std::stod(row.at(1))), bits(run.results.TOF));
    EXPECT_EQ(row.at(2), std::to_string(run.results.TDI));
    EXPECT_EQ(row.at(3), std::to_string(run.results.TDTS));
    EXPECT_EQ(row.at(5), run.profile.driving_force <= 0.0 ? "1" : "0");
  }
  return records;
}

constexpr auto T = Sweep::Kind::Temperature;
constexpr auto R = Sweep::Kind::Reactant;
constexpr auto P = Sweep::Kind::Product;

// A good sweep runs from FROM up to TO with TO itself last; a bad one is
// refused with a reason that quotes it.
TEST(Scan, SweepArgumentsAndTheirValues) {
  const struct {
    Sweep::Kind kind;
    const char* text;
    std::string error;  // part of the reason; empty when the sweep is good
    std::size_t count = 0;
    double first = 0, last = 0;
  } cases[] = {{T, "250:400:10", "", 16, 250, 400},
               {T, "300:300:1", "", 1, 300, 300},
               {T, "250:400:0.1", "", 1501, 250, 400},           // not 399.99999999999...
               {T, "250:405:10", "", 16, 250, 400},              // TO off the grid
               {T, "273.15:273.35:0.1", "", 3, 273.15, 273.35},  // not 273.34999999999997
               {T, "2.5e2:4e2:0.5", "", 301, 250, 400},
               {R, "2=1e-3:1:10", "", 4, 1e-3, 1},
               {R, "1=0.1:1:2", "", 4, 0.1, 0.8},
               {P, "3=1e-6:1e6:10", "", 13, 1e-6, 1e6},
               {P, "1=0.5:0.5:2", "", 1, 0.5, 0.5},
               // Rows counted by logarithms: the ratio TO/FROM would overflow.
               {R, "2=1e-160:1e160:10", "", 321, 1e-160, 1e160},
               {T, "250:400", "expected FROM:TO:STEP"},
               {T, "250:400:10:1", "expected FROM:TO:STEP"},
               {T, "250 :400:10", "expected FROM:TO:STEP"},
               {T, "a:b:c", "expected FROM:TO:STEP"},
               {T, "250:inf:10", "finite"},
               {T, "nan:400:10", "finite"},
               {T, "400:250:10", "FROM must not be above TO"},
               {T, "0:400:10", "above 0 K"},
               {T, "-10:400:10", "above 0 K"},
               {T, "250:400:0", "STEP must be above 0"},
               {T, "250:400:-10", "STEP must be above 0"},
               {T, "1:100001:1", "more than 100000 rows"},
               {T, "300:301:1e-300", "more than 100000 rows"},
               {R, "1e-3:10:10", "STEP=FROM:TO:FACTOR"},
               {R, "x=1e-3:10:10", "STEP=FROM:TO:FACTOR"},
               {R, "1.5=1e-3:10:10", "STEP=FROM:TO:FACTOR"},
               {R, "0=1e-3:10:10", "numbered from 1"},
               {P, "-2=1e-3:10:10", "numbered from 1"},
               {R, "2=0:10:10", "concentrations must be above 0"},
               {R, "2=1e-3:10:1", "FACTOR must be above 1"},
               {R, "2=1e-3:10:0.5", "FACTOR must be above 1"},
               {P, "2=1e-3:10:-10", "FACTOR must be above 1"},
               {P, "2=10:1e-3:10", "FROM must not be above TO"},
               {P, "2=1e-300:1e300:1.0001", "more than 100000 rows"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Sweep sweep;
    std::string error;
    EXPECT_EQ(parse_sweep(c.kind, c.text, sweep, error), c.error.empty()) << error;
    if (!c.error.empty()) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
      continue;
    }
    const std::vector<double> values = sweep_values(sweep);
    ASSERT_EQ(values.size(), c.count);
    EXPECT_EQ(values.front(), c.first);
    EXPECT_EQ(values.back(), c.last);
    EXPECT_EQ(std::adjacent_find(values.begin(), values.end(), std::greater_equal<>()),
              values.end());
  }
}

// Across the switch, and every row bit for bit the run of its own file.
TEST(Scan, TemperatureScanAcrossTheSwitchOfTheTdts) {
  ScratchDir dir;
  const std::string file = dir.write("switch.txt", kSwitchCycle);
  const std::string rest = std::string(kSwitchCycle).substr(std::string(kSwitchCycle).find('\n'));
  const auto records = checked_rows({"scan", file, "--temperature", "250:350:0.5", "--csv"},
                                    [&](const std::string& T) { return T + rest; });
  ASSERT_EQ(records.size(), 202u);
  EXPECT_EQ(records[0], (std::vector<std::string>{"T", "TOF_per_s", "TDI", "TDTS", "energetic_span",
                                                  "warning", "TDI_changed", "TDTS_changed"}));
  const double T_switch = switch_temperature();
  ASSERT_GT(T_switch, 291.0);
  ASSERT_LT(T_switch, 292.0);
  int switches = 0;
  for (std::size_t r = 1; r < records.size(); ++r) {
    const std::vector<std::string>& row = records[r];
    SCOPED_TRACE(row[0]);
    const bool below = std::stod(row[0]) < T_switch;
    EXPECT_EQ(row[2], below ? "1" : "2");
    EXPECT_EQ(row[3], below ? "1" : "2");
    EXPECT_EQ(row[4], below ? "20.0" : "16.0");
    const bool switched = r > 1 && row[3] != records[r - 1][3];
    EXPECT_EQ(row[6], switched ? "1" : "0");
    EXPECT_EQ(row[7], switched ? "1" : "0");
    switches += switched;
  }
  EXPECT_EQ(switches, 1);

  // The text table marks the same row, and only that one.
  const std::string out = kinex_run({"scan", file, "--temperature", "290:293:0.5"}).out;
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
  const struct {
    const char *option, *sweep;
    int step;
    std::size_t rows;
    const char* last_warning;  // enough product pushes the driving force below zero
  } cases[] = {{"--reactant", "1=1e-4:1e4:10", 1, 9, "0"},
               {"--reactant", "2=0.01:100:3", 2, 9, "0"},
               {"--product", "3=1e-3:1e9:100", 3, 7, "1"},
               {"--product", "1=0.5:8:2", 1, 5, "0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sweep);
    const bool reactant = std::string(c.option) == "--reactant";
    // The example file with the swept concentration written into its field.
    auto input_for = [&](const std::string& value) {
      std::string fields[2][3] = {{"x", "0.5", "x"}, {"x", "x", "1.0e-3"}};
      fields[reactant ? 0 : 1][c.step - 1] = value;
      const char* energies[] = {"0.0 15.2", "-5.1 20.3", "-2.0 12.0"};
      std::string text = "298.15\n3\n";
      for (int i = 0; i < 3; ++i) {
        text += std::string(energies[i]) + " " + fields[0][i] + " " + fields[1][i] + "\n";
      }
      return text + "-10.0\n";
    };
    const auto records = checked_rows(
        {"scan", KINEX_EXAMPLES "/three_step.txt", c.option, c.sweep, "--csv"}, input_for);
    ASSERT_EQ(records.size(), c.rows + 1);
    EXPECT_EQ(records[0][0], (reactant ? "reactant_" : "product_") + std::to_string(c.step));
    EXPECT_EQ(records.back()[5], c.last_warning);
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
      {{}, "Exactly 1 option"},
      {{"--temperature", "300:400:10", "--reactant", "1=1:2:2"}, "Exactly 1 option"},
      {{missing, "--temperature", "300:400:10"},
       "kinex: " + missing + ": No such file or directory\n"}};
  for (const auto& c : cases) {
    std::vector<std::string> args{"scan"};
    if (c.args.empty() || c.args[0] != missing) args.push_back(file);
    args.insert(args.end(), c.args.begin(), c.args.end());
    const test::Outcome o = kinex_run(args);
    EXPECT_EQ(o.status, kExitFailed) << c.diagnostic;
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find(c.diagnostic), std::string::npos) << o.err;
  }
}

}  // namespace
}  // namespace kinex

// kinex scan: the sweep arguments, the swept values, and every row checked
// against a run of KINEX.exe on the file with that value written in.
#include "scan/scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "common/cycle_files.h"
#include "kinex/types.h"
#include "model/profile.h"
#include "outputs/format.h"

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

// A real of a CSV field, NaN and inf as shortest() writes them.
double real(const std::string& field) { return std::strtod(field.c_str(), nullptr); }

// The rows of `kinex scan ... --csv`, each checked bit for bit against the
// run KINEX.exe makes of the file `input_for` gives for its swept value, and
// the figures from the logarithms against kinex's own run of that file.
std::vector<std::vector<std::string>> checked_rows(
    const std::vector<std::string>& args,
    const std::function<std::string(const std::string&)>& input_for) {
  ScratchDir dir;
  const test::Outcome o = kinex_run(args);
  EXPECT_EQ(o.status, kExitOk) << o.err;
  const auto records = read_csv(o.out);
  const bool temperature = !records.empty() && records[0][0] == "T";
  for (std::size_t r = 1; r < records.size(); ++r) {
    const std::vector<std::string>& row = records[r];
    SCOPED_TRACE(row[0]);
    kinex::Run run, logs;
    const std::string file = dir.write("at.txt", input_for(row[0]));
    if (!reference_run(file, run) || !kinex_evaluation(file, logs)) break;
    EXPECT_EQ(row.size(), temperature ? 17u : 16u);
    if (row.size() < 16) break;
    // The names, then the tied steps; TDI and TDTS are kinex's, which
    // resolves ties, and those of the report elsewhere.
    const Results& tied = logs.results;
    EXPECT_TRUE(tied.TDI_ties.empty() == (tied.TDI == run.results.TDI));
    std::string tdi = "I", tdts = "TS";
    tdi += std::to_string(tied.TDI - 1);
    tdts += std::to_string(tied.TDTS);
    EXPECT_EQ(row[row.size() - 4], tdi);
    EXPECT_EQ(row[row.size() - 3], tdts);
    EXPECT_EQ(row[row.size() - 2], kinex::step_list(tied.TDI_ties));
    EXPECT_EQ(row[row.size() - 1], kinex::step_list(tied.TDTS_ties));
    EXPECT_EQ(bits(real(row[1])), bits(run.results.TOF));
    EXPECT_EQ(row[2], std::to_string(tied.TDI));
    EXPECT_EQ(row[3], std::to_string(tied.TDTS));
    EXPECT_EQ(row[5], run.profile.driving_force <= 0.0 ? "true" : "false");
    EXPECT_EQ(bits(real(row[8])), bits(logs.results.log10_TOF));
    EXPECT_EQ(row[9], evaluation_name(run.results.evaluation));
    EXPECT_EQ(bits(real(row[10])), bits(logs.results.effective_span));
    EXPECT_EQ(bits(real(row[11])), bits(logs.results.apparent_barrier));
    if (temperature) {
      EXPECT_EQ(bits(real(row[12])), bits(logs.results.apparent_activation_energy));
    }
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
  const auto records = checked_rows({"scan", file, "--temperatures", "250:350:0.5", "--csv"},
                                    [&](const std::string& T) { return T + rest; });
  ASSERT_EQ(records.size(), 202u);
  EXPECT_EQ(records[0], (std::vector<std::string>{
                            "T", "tof_per_s", "tdi_step", "tdts_step", "energetic_span", "warning",
                            "tdi_changed", "tdts_changed", "log10_tof", "evaluation",
                            "effective_span", "apparent_barrier", "apparent_activation_energy",
                            "tdi", "tdts", "tdi_tie_steps", "tdts_tie_steps"}));
  const double T_switch = switch_temperature();
  ASSERT_GT(T_switch, 291.0);
  ASSERT_LT(T_switch, 292.0);
  int switches = 0;
  for (std::size_t r = 1; r < records.size(); ++r) {
    const std::vector<std::string>& row = records[r];
    SCOPED_TRACE(row[0]);
    // Above the switch the terms of I0 and I1 to TS2 are equal (both
    // intermediates lie at 0): the TDI stays I0, tied with I1.
    const bool below = std::stod(row[0]) < T_switch;
    EXPECT_EQ(row[2], "1");
    EXPECT_EQ(row[3], below ? "1" : "2");
    EXPECT_EQ(row[4], below ? "20.0" : "16.0");
    EXPECT_EQ(row[row.size() - 2], below ? "" : "2");
    const bool switched = r > 1 && row[3] != records[r - 1][3];
    EXPECT_EQ(row[6], "false");
    EXPECT_EQ(row[7], switched ? "true" : "false");
    switches += switched;
  }
  EXPECT_EQ(switches, 1);

  // The text table marks the same row, and only that one.
  const std::string out = kinex_run({"scan", file, "--temperatures", "290:293:0.5"}).out;
  std::vector<std::string> marked;
  for (const std::string& line : test::lines_of(out)) {
    if (line.find("->") != std::string::npos) marked.push_back(line);
  }
  ASSERT_EQ(marked.size(), 1u) << out;
  EXPECT_EQ(marked[0].substr(0, 6), "291.5 ") << out;
  EXPECT_EQ(marked[0].substr(marked[0].size() - 28), "TDTS TS1 -> TS2, TDI I0 = I1") << out;
}

// A reactant swept at a step whose file has "x" there: the step then has
// that reactant, as if the file had given it.
TEST(Scan, ConcentrationRowsAreTheRunsOfTheChangedFile) {
  const struct {
    const char *option, *sweep;
    int step;
    std::size_t rows;
    const char* last_warning;  // enough product pushes the driving force below zero
  } cases[] = {{"--reactant", "1=1e-4:1e4:10", 1, 9, "false"},
               {"--reactant", "2=0.01:100:3", 2, 9, "false"},
               {"--product", "3=1e-3:1e9:100", 3, 7, "true"},
               {"--product", "1=0.5:8:2", 1, 5, "false"}};
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

// The decimal text of `digits` (a decimal text) times `factor`.
std::string times(const std::string& digits, unsigned factor) {
  std::string product;
  unsigned carry = 0;
  for (auto c = digits.rbegin(); c != digits.rend(); ++c) {
    const unsigned d = static_cast<unsigned>(*c - '0') * factor + carry;
    product.insert(product.begin(), static_cast<char>('0' + d % 10));
    carry = d / 10;
  }
  for (; carry > 0; carry /= 10)
    product.insert(product.begin(), static_cast<char>('0' + carry % 10));
  return product;
}

// `digits` times factor^k, as decimal text.
std::string power_times(std::string digits, unsigned factor, int k) {
  for (int j = 0; j < k; ++j) digits = times(digits, factor);
  return digits;
}

// Each value is the double nearest to the decimal number FROM + k*STEP or
// FROM * FACTOR^k, not what adding or multiplying doubles makes of it
// (250 + 3499*0.1 is 599.9000000000001, 1e-7 * 100 is 9.999999999999999e-06).
// Beyond 128 bits of digits (1.5^33) the doubles take over.
TEST(Scan, SweepValuesAreTheDecimalNumbersAskedFor) {
  const struct {
    Sweep::Kind kind;
    const char* text;
    std::size_t count;
    std::function<std::string(int)> exact;  // value k as decimal text
    std::size_t exact_rows;                 // of which the nearest double
  } cases[] = {
      {T, "250:600:0.1", 3501, [](int k) { return std::to_string(2500 + k) + "e-1"; }, 3501},
      {T, "2.5e2:4e2:0.3", 501, [](int k) { return std::to_string(2500 + 3 * k) + "e-1"; }, 501},
      {T, "1e-3:1:1e-3", 1000, [](int k) { return std::to_string(1 + k) + "e-3"; }, 1000},
      {R, "1=1e-8:1:10", 9, [](int k) { return "1e" + std::to_string(k - 8); }, 9},
      {R, "1=1e-7:1e3:10", 11, [](int k) { return "1e" + std::to_string(k - 7); }, 11},
      {P, "2=0.1:100:2", 10, [](int k) { return power_times("1", 2, k) + "e-1"; }, 10},
      {R, "1=3e-7:1:3", 14, [](int k) { return power_times("3", 3, k) + "e-7"; }, 14},
      {P, "1=1:1e6:1.5", 35,
       [](int k) { return power_times("1", 15, k) + "e-" + std::to_string(k); }, 33}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Sweep sweep;
    std::string error;
    ASSERT_TRUE(parse_sweep(c.kind, c.text, sweep, error)) << error;
    const std::vector<double> values = sweep_values(sweep);
    ASSERT_EQ(values.size(), c.count);
    for (std::size_t k = 0; k < values.size(); ++k) {
      const std::string decimal = c.exact(static_cast<int>(k));
      const double nearest = std::strtod(decimal.c_str(), nullptr);
      if (k < c.exact_rows) {
        ASSERT_EQ(bits(values[k]), bits(nearest)) << decimal << " gave " << shortest(values[k]);
      } else {
        EXPECT_NEAR(values[k] / nearest, 1.0, 1e-14) << decimal;
      }
    }
  }
  Sweep sweep;
  std::string error;
  ASSERT_TRUE(parse_sweep(T, "250:600:0.1", sweep, error));
  EXPECT_EQ(shortest(sweep_values(sweep)[3499]), "599.9");
  ASSERT_TRUE(parse_sweep(R, "1=1e-8:1:10", sweep, error));
  EXPECT_EQ(shortest(sweep_values(sweep)[3]), "1e-05");
}

// The text table is for reading: four significant digits, the TOF in
// exponent form, no text wider than kReadableWidth.
TEST(Scan, NumbersForReading) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double x;
    const char *exponent, *plain;
  } cases[] = {{8.0513e-104, "8.051e-104", "0.0000"},
               {2.4634, "2.463e+00", "2.463"},
               {-103.0941, "-1.031e+02", "-103.1"},
               {0.5, "5.000e-01", "0.5000"},
               {0.012345, "1.235e-02", "0.0123"},   // at most four decimals
               {-0.00004, "-4.000e-05", "0.0000"},  // no sign on a rounded zero
               {0.0, "0.000e+00", "0.000"},
               {9.99996, "1.000e+01", "10.00"},  // digits counted after rounding
               {-12345.6, "-1.235e+04", "-12346"},
               {9999499.0, "9.999e+06", "9999499"},
               {9999999.6, "1.000e+07", "1.000e+07"},
               {std::nan(""), "NaN", "NaN"},
               {-inf, "-inf", "-inf"}};
  for (const auto& c : cases) {
    EXPECT_EQ(exponent_form(c.x), c.exponent);
    EXPECT_EQ(significant(c.x), c.plain);
    EXPECT_LE(std::string(c.plain).size(), kReadableWidth);
  }
}

// Rows that differ in every column, even in the widths their numbers need,
// keep the columns the header set: the widths are fixed before any row.
TEST(Scan, TextTableColumnsStayAlignedWhateverTheRowsHold) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  Sweep sweep;
  std::string error;
  ASSERT_TRUE(parse_sweep(T, "5:1000:293.15", sweep, error));
  const std::vector<double> values{5.0, 298.15, 1000.0};
  ScanWriter writer(sweep, values, 1234, false);
  const ScanRow rows[] = {{5.0,
                           8.0513e-104,
                           1,
                           1234,
                           20.0667,
                           false,
                           false,
                           false,
                           -103.0941,
                           EvaluationMethod::log_space,
                           20.0667,
                           103.2,
                           0.5,
                           {},
                           {}},
                          {298.15,
                           2.4634,
                           1234,
                           1234,
                           16.0,
                           false,
                           true,
                           false,
                           0.39157,
                           EvaluationMethod::direct,
                           nan,
                           17.5,
                           -12.3456,
                           {},
                           {}},
                          {1000.0,
                           -5.5e-05,
                           1234,
                           1,
                           1234567.8,
                           true,
                           false,
                           true,
                           -4.2596,
                           EvaluationMethod::direct,
                           1.5e8,
                           nan,
                           inf,
                           {},
                           {}}};
  std::string table = writer.header();
  for (std::size_t r = 0; r < 3; ++r)
    table += writer.line(rows[r], r == 0 ? nullptr : &rows[r - 1]);
  EXPECT_EQ(table,
            "   T/K     TOF/s^-1    log10 TOF    TDI    TDTS  span/(kcal/mol)  effective span  "
            "Ea/(kcal/mol)\n"
            "   5.0   8.051e-104       -103.1     I0  TS1234            20.07           20.07  "
            "       0.5000  log-space\n"
            "298.15    2.463e+00       0.3916  I1233  TS1234            16.00             NaN  "
            "       -12.35  TDI I0 -> I1233\n"
            "1000.0   -5.500e-05       -4.260  I1233     TS1          1234568       1.500e+08  "
            "          inf  TDTS TS1234 -> TS1, no positive driving force\n");

  // Concentration scans have no Ea column; their CSV keeps every digit.
  ASSERT_TRUE(parse_sweep(R, "2=1e-3:1:10", sweep, error));
  ScanWriter csv(sweep, {}, 3, true);
  EXPECT_EQ(csv.header(),
            "reactant_2,tof_per_s,tdi_step,tdts_step,energetic_span,warning,tdi_changed,"
            "tdts_changed,log10_tof,evaluation,effective_span,apparent_barrier,tdi,tdts,"
            "tdi_tie_steps,tdts_tie_steps\n");
  EXPECT_EQ(csv.line(rows[0], nullptr),
            "5.0,8.0513e-104,1,1234,20.0667,false,false,false,-103.0941,log-space,20.0667,103.2,"
            "I0,,,\n");
  EXPECT_EQ(ScanWriter(sweep, {1e-3}, 3, false).header(),
            "reactant 2     TOF/s^-1    log10 TOF  TDI  TDTS  span/(kcal/mol)  effective span\n");
}

// ln TOF of a one-step cycle without concentrations:
// ln(k_B T / h) - (G_ts - G_int)/RT + ln(1 - exp(DeltaG/RT)).
double one_step_ln_tof(double T, double barrier, double DeltaG) {
  const double RT = T * R_gas / (kcal_to_kJ * kJ_to_J);
  return std::log(k_B * T / h_Planck) - barrier / RT + std::log1p(-std::exp(DeltaG / RT));
}

// Below about 14 K the terms of these cycles overflow and the log-space
// evaluation takes over: log10 TOF runs on as the same smooth curve (for one
// step, the closed form), and the determining states do not switch.
TEST(Scan, TemperatureScanAcrossTheOverflowBoundary) {
  const struct {
    const char* input;
    bool closed_form;  // one step: log10 TOF from one_step_ln_tof
  } cases[] = {{"298.15\n1\n0.0 0.5 x x\n-15.0\n", true},
               {"298.15\n2\n0.0 0.5 x x\n0.1 0.3 x x\n-15.0\n", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    ScratchDir dir;
    const std::string file = dir.write("cold.txt", c.input);
    const std::string rest = std::string(c.input).substr(std::string(c.input).find('\n'));
    const auto records = checked_rows({"scan", file, "--temperatures", "5:300:5", "--csv"},
                                      [&](const std::string& T) { return T + rest; });
    ASSERT_EQ(records.size(), 61u);
    std::size_t log_space = 0;
    for (std::size_t r = 1; r < records.size(); ++r) {
      const std::vector<std::string>& row = records[r];
      SCOPED_TRACE(row[0]);
      const bool cold = r <= 2;  // 5 K and 10 K
      EXPECT_EQ(row[9], cold ? "log-space" : "direct");
      log_space += row[9] == "log-space";
      EXPECT_EQ(row[2], "1");
      EXPECT_EQ(row[3], "1");
      EXPECT_EQ(row[6], "false");
      EXPECT_EQ(row[7], "false");
      if (c.closed_form) {
        const double expected = one_step_ln_tof(real(row[0]), 0.5, -15.0) / std::log(10.0);
        EXPECT_NEAR(real(row[8]), expected, 1e-12 * std::fabs(expected));
      }
    }
    EXPECT_EQ(log_space, 2u);
    const std::string table = kinex_run({"scan", file, "--temperatures", "5:20:5"}).out;
    const std::vector<std::string> lines = test::lines_of(table);
    ASSERT_EQ(lines.size(), 5u) << table;
    for (std::size_t l = 1; l < lines.size(); ++l) {
      const bool noted =
          lines[l].size() > 9 && lines[l].substr(lines[l].size() - 11) == "  log-space";
      EXPECT_EQ(noted, l <= 2) << lines[l];
      EXPECT_EQ(lines[l].find("->"), std::string::npos) << lines[l];
    }
  }
}

// Ea = RT^2 d ln TOF / dT, against the central difference of ln TOF over
// 0.01 K either side, the log-space evaluation included.
TEST(Scan, ApparentActivationEnergyIsTheSlopeOfLnTof) {
  const struct {
    const char *input, *around;
  } cases[] = {{"298.15\n1\n0.0 0.5 x x\n-15.0\n", "9.99:10.01:0.01"},  // log space
               {"298.15\n1\n0.0 0.5 x x\n-15.0\n", "99.99:100.01:0.01"},
               {kSwitchCycle, "291.39:291.41:0.01"},  // where the TDTS switches
               {kSwitchCycle, "599.99:600.01:0.01"}};
  const double R_kcal = R_gas / (kcal_to_kJ * kJ_to_J);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.around);
    ScratchDir dir;
    const auto rows = read_csv(
        kinex_run({"scan", dir.write("c.txt", c.input), "--temperatures", c.around, "--csv"}).out);
    ASSERT_EQ(rows.size(), 4u);
    const double T = real(rows[2][0]);
    const double slope = std::log(10.0) * (real(rows[3][8]) - real(rows[1][8])) /
                         (real(rows[3][0]) - real(rows[1][0]));
    const double expected = R_kcal * T * T * slope;
    EXPECT_NEAR(real(rows[2][12]), expected, 1e-4 * std::fabs(expected));
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
      {{"--temperatures", "400:300:10"}, "kinex scan: --temperatures '400:300:10': FROM must not"},
      {{}, "Exactly 1 option"},
      {{"--temperatures", "300:400:10", "--reactant", "1=1:2:2"}, "Exactly 1 option"},
      {{missing, "--temperatures", "300:400:10"},
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

// Whole runs of large cycles: step numbers of three and four digits in the
// analysis, a span that wraps round the end of the cycle, and a thousand
// steps within the memory the model promises.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/support.h"
#include "kinex/types.h"

namespace kinex {
namespace {

struct StepRecord {
  double g_int = 0.0, g_ts = 10.0;
  bool reac = false, prod = false;
};

// A cycle at 298.15 K with DeltaG = -10 kcal/mol, every given concentration
// 1.0. The tests put a deep intermediate at the start of the TDI's step and a
// high transition state in the TDTS's, to make that pair the dominant term.
std::string input_text(const std::vector<StepRecord>& steps) {
  std::ostringstream file;
  file << "298.15\n" << steps.size() << "\n";
  for (const StepRecord& s : steps) {
    file << s.g_int << ' ' << s.g_ts << ' ' << (s.reac ? "1.0" : "x") << ' '
         << (s.prod ? "1.0" : "x") << '\n';
  }
  file << "-10.0\n";
  return file.str();
}

// The number of step rows in the section whose heading holds `title`.
std::size_t step_rows(const std::string& report, const std::string& title) {
  const std::vector<std::string> lines = test::lines_of(report);
  std::size_t i = 0, rows = 0;
  while (i < lines.size() && lines[i].find(title) == std::string::npos) ++i;
  for (i += 3; i < lines.size() && lines[i].find("!!!!!!!!") == std::string::npos; ++i) {
    rows += lines[i].rfind(" Step", 0) == 0;
  }
  return rows;
}

// The step numbers the advice names after `lead` up to `tail`, as printed.
std::vector<int64_t> advice_steps(const std::string& report, const std::string& lead,
                                  const std::string& tail) {
  std::vector<int64_t> steps;
  const std::size_t from = report.find(lead) + lead.size();
  if (from < lead.size()) return steps;
  std::istringstream list(report.substr(from, report.find(tail, from) - from));
  for (std::string word; list >> word;) {
    if (word[0] >= '0' && word[0] <= '9') steps.push_back(std::stoll(word));
  }
  return steps;
}

// Runs the cycle and checks the tables' rows, the determining states and
// the steps the advice names; returns the TOF per second.
double run_and_check(const std::vector<StepRecord>& steps, int64_t tdi, int64_t tdts,
                     const std::vector<int64_t>& reactants, const std::vector<int64_t>& products,
                     std::string& out) {
  test::ScratchDir dir;
  // The storage of a thousand steps stays well inside 100 MB.
  const test::Outcome o =
      test::run_kinex_exe({dir.write("cycle.txt", input_text(steps))}, std::size_t{100} << 20);
  EXPECT_EQ(o.status, kExitOk) << o.err;
  EXPECT_EQ(o.err, "");
  out = o.out;
  EXPECT_EQ(step_rows(out, "REPEAT OF THE INPUT"), steps.size());
  EXPECT_EQ(step_rows(out, "THE DEGREES OF TOF CONTROL"), steps.size());
  EXPECT_NE(out.find(" The TDI is the intermediate of step " + std::to_string(tdi) + ".\n"),
            std::string::npos);
  EXPECT_NE(out.find(" The TDTS is the transition state of step " + std::to_string(tdts) + ".\n"),
            std::string::npos);
  EXPECT_EQ(advice_steps(out, "entering in step", "in high"), reactants);
  EXPECT_EQ(advice_steps(out, "released in step", "from the"), products);
  const std::size_t at = out.find("TOF =");
  return at == std::string::npos ? NAN : std::strtod(out.c_str() + at + 5, nullptr);
}

TEST(LargeCycle, SpanWrappingPastStep120IsAdvisedInAscendingOrder) {
  std::vector<StepRecord> steps(120);
  steps[115 - 1].g_int = -20.0;
  steps[3 - 1].g_ts = 30.0;
  for (int64_t i : {2, 3, 4, 100, 115, 117}) steps[i - 1].reac = true;
  for (int64_t i : {1, 3, 116, 120}) steps[i - 1].prod = true;
  // The span is 115..120, 1..3; the product of the TDTS's own step (3) and
  // everything outside the span (4, 100) are left out.
  std::string out;
  const double tof = run_and_check(steps, 115, 3, {2, 3, 115, 117}, {1, 116, 120}, out);
  // The TDI's intermediate (row 115) and the TDTS (row 3) hold nearly all of
  // the control.
  EXPECT_NE(out.find(" Step**     1.00     0.00"), std::string::npos);
  EXPECT_NE(out.find(" Step 3     0.00     1.00"), std::string::npos);
  // One dominant term of span 40 kcal/mol (the TDTS lies in the next turn).
  const double span_estimate = 6.2e12 * std::exp(-40.0 * 1.6878);
  EXPECT_GT(tof, 0.5 * span_estimate);
  EXPECT_LT(tof, 2.0 * span_estimate);
}

TEST(LargeCycle, ThousandStepsWithEveryConcentrationComplete) {
  constexpr int64_t n = 1000;
  std::vector<StepRecord> steps(n);
  steps[700 - 1].g_int = -20.0;
  steps[250 - 1].g_ts = 30.0;
  for (int64_t i = 0; i < n; ++i) {
    // Some variety, so that no two terms tie by construction.
    steps[i].g_int += 0.001 * static_cast<double>(i % 7);
    steps[i].g_ts += 0.001 * static_cast<double>(i % 11);
    steps[i].reac = steps[i].prod = true;
  }
  std::vector<int64_t> reactants, products;  // the span 700..1000, 1..250
  for (int64_t i = 1; i <= n; ++i) {
    if (i <= 250 || i >= 700) reactants.push_back(i);
    if (i < 250 || i >= 700) products.push_back(i);
  }
  std::string out;
  const double tof = run_and_check(steps, 700, 250, reactants, products, out);
  EXPECT_TRUE(std::isfinite(tof));
  EXPECT_GT(tof, 0.0);
}

}  // namespace
}  // namespace kinex

// Whole runs of large cycles: step numbers of three and four digits in the
// analysis, a span that wraps round the end of the cycle, and a thousand
// steps within the memory the model promises.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"

namespace kinex {
namespace {

struct StepRecord {
  double g_int = 0.0, g_ts = 10.0;
  bool reac = false, prod = false;
};

// Writes a cycle at 298.15 K with DeltaG = -10 kcal/mol; every given
// concentration is 1.0. Returns the file's path.
std::string write_cycle(const std::string& name, const std::vector<StepRecord>& steps) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()) + ".txt");
  std::ofstream file(path);
  file << "298.15\n" << steps.size() << "\n";
  for (const StepRecord& s : steps) {
    file << s.g_int << ' ' << s.g_ts << ' ' << (s.reac ? "1.0" : "x") << ' '
         << (s.prod ? "1.0" : "x") << '\n';
  }
  file << "-10.0\n";
  return path.string();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines of the section whose boxed heading holds `title`, from the first
// line after the heading to the next heading.
std::vector<std::string> section(const std::vector<std::string>& lines, const std::string& title) {
  std::size_t i = 0;
  while (i < lines.size() && lines[i].find(title) == std::string::npos) ++i;
  std::vector<std::string> body;
  for (i += 3; i < lines.size() && lines[i].find("!!!!!!!!") == std::string::npos; ++i) {
    body.push_back(lines[i]);
  }
  return body;
}

std::vector<std::string> step_rows(const std::vector<std::string>& body) {
  std::vector<std::string> rows;
  for (const std::string& line : body) {
    if (line.rfind(" Step", 0) == 0) rows.push_back(line);
  }
  return rows;
}

// The step numbers the advice names after `lead` ("entering in step" or
// "released in step"), up to `tail`, in the order printed.
std::vector<int64_t> advice_steps(const std::string& report, const std::string& lead,
                                  const std::string& tail) {
  std::vector<int64_t> steps;
  std::size_t from = report.find(lead);
  if (from == std::string::npos) return steps;
  from = report.find(' ', from + lead.size());
  const std::string list = report.substr(from, report.find(tail, from) - from);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] >= '0' && list[i] <= '9') {
      std::size_t used = 0;
      steps.push_back(std::stoll(list.substr(i), &used));
      i += used;
    }
  }
  return steps;
}

double tof_per_second(const std::string& report) {
  const std::size_t at = report.find("TOF =");
  if (at == std::string::npos) return NAN;
  return std::strtod(report.c_str() + at + 5, nullptr);
}

// A deep intermediate at the start of step `tdi` and a high transition state
// in step `tdts` make that pair the one dominant term.
std::vector<StepRecord> cycle_with_span(int64_t n, int64_t tdi, int64_t tdts) {
  std::vector<StepRecord> steps(n);
  steps[tdi - 1].g_int = -20.0;
  steps[tdts - 1].g_ts = 30.0;
  return steps;
}

TEST(LargeCycle, SpanWrappingPastStep120IsAdvisedInAscendingOrder) {
  std::vector<StepRecord> steps = cycle_with_span(120, 115, 3);
  for (int64_t i : {2, 3, 4, 100, 115, 117}) steps[i - 1].reac = true;
  for (int64_t i : {1, 3, 116, 120}) steps[i - 1].prod = true;
  const std::string path = write_cycle("kinex_wrap120", steps);

  // The program as a user runs it, banner and all.
  std::FILE* pipe = popen((std::string(KINEX_EXE) + " " + path + " 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    out.append(buffer, got);
  const int status = pclose(pipe);
  std::filesystem::remove(path);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const std::vector<std::string> lines = lines_of(out);
  EXPECT_EQ(step_rows(section(lines, "REPEAT OF THE INPUT")).size(), 120u);
  const std::vector<std::string> degrees = step_rows(section(lines, "THE DEGREES OF TOF CONTROL"));
  ASSERT_EQ(degrees.size(), 120u);
  // Row 115 holds the TDI's intermediate, row 3 the TDTS; both take nearly
  // all of the control.
  EXPECT_EQ(degrees[114].substr(7, 9), "     1.00") << degrees[114];
  EXPECT_EQ(degrees[2].substr(16, 9), "     1.00") << degrees[2];

  EXPECT_NE(out.find(" The TDI is the intermediate of step 115.\n"), std::string::npos);
  EXPECT_NE(out.find(" The TDTS is the transition state of step 3.\n"), std::string::npos);
  // The span is 115..120, 1..3; the product of the TDTS's own step (3) and
  // everything outside the span (4, 100) are left out.
  EXPECT_EQ(advice_steps(out, "entering in step", "in high"),
            (std::vector<int64_t>{2, 3, 115, 117}));
  EXPECT_EQ(advice_steps(out, "released in step", "from the"), (std::vector<int64_t>{1, 116, 120}));
  // One dominant term of span 40 kcal/mol (the TDTS lies in the next turn).
  const double tof = tof_per_second(out);
  const double span_estimate = 6.2e12 * std::exp(-40.0 * 1.6878);
  EXPECT_GT(tof, 0.5 * span_estimate);
  EXPECT_LT(tof, 2.0 * span_estimate);
}

TEST(LargeCycle, ThousandStepsWithEveryConcentrationComplete) {
  constexpr int64_t n = 1000;
  std::vector<StepRecord> steps = cycle_with_span(n, 700, 250);
  for (int64_t i = 0; i < n; ++i) {
    // Some variety, so that no two terms tie by construction.
    steps[i].g_int += 0.001 * static_cast<double>(i % 7);
    steps[i].g_ts += 0.001 * static_cast<double>(i % 11);
    steps[i].reac = steps[i].prod = true;
  }
  const std::string path = write_cycle("kinex_1000", steps);
  std::string out, err;
  // The storage of a thousand steps stays well inside 100 MB.
  const int status = run_program({path, "l"}, out, err, std::size_t{100} << 20);
  std::filesystem::remove(path);
  ASSERT_EQ(status, 0) << err;
  EXPECT_EQ(err, "");

  const std::vector<std::string> lines = lines_of(out);
  EXPECT_EQ(step_rows(section(lines, "REPEAT OF THE INPUT")).size(), 1000u);
  EXPECT_EQ(step_rows(section(lines, "THE DEGREES OF TOF CONTROL")).size(), 1000u);
  EXPECT_NE(out.find(" The TDI is the intermediate of step 700.\n"), std::string::npos);
  EXPECT_NE(out.find(" The TDTS is the transition state of step 250.\n"), std::string::npos);

  std::vector<int64_t> reactants, products;  // the span 700..1000, 1..250
  for (int64_t i = 1; i <= n; ++i) {
    if (i <= 250 || i >= 700) reactants.push_back(i);
    if (i < 250 || i >= 700) products.push_back(i);
  }
  EXPECT_EQ(advice_steps(out, "entering in step", "in high"), reactants);
  EXPECT_EQ(advice_steps(out, "released in step", "from the"), products);

  const double tof = tof_per_second(out);
  EXPECT_TRUE(std::isfinite(tof));
  EXPECT_GT(tof, 0.0);
}

}  // namespace
}  // namespace kinex

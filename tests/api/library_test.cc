// The library's public header: cycles built in memory are checked, and a
// cycle built or read gives the numbers and the report of KINEX.exe bit for
// bit; the README's example is this project's own, compiled and run.
#include <gtest/gtest.h>
#include <kinex/kinex.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/support.h"

namespace kinex {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::vector<StepInput> kThreeSteps = {
    {0.0, 15.2, {}, {}}, {-5.1, 20.3, 0.5, {}}, {-2.0, 12.0, {}, 1.0e-3}};

TEST(Library, BuildingACycleRefusesWhatNoCycleCanHave) {
  const struct {
    const char* what;
    double T;
    std::vector<StepInput> steps;
    double DeltaG;
    std::string error;  // empty: built
  } cases[] = {
      {"the example", 298.15, kThreeSteps, -10.0, ""},
      {"no step", 298.15, {}, -10.0, "a cycle needs at least one step"},
      {"zero kelvin", 0.0, kThreeSteps, -10.0, "temperature 0 is not above 0"},
      {"a NaN temperature", kNaN, kThreeSteps, -10.0, "temperature nan is not finite"},
      {"an infinite DeltaG", 298.15, kThreeSteps, kInf, "DeltaG inf is not finite"},
      {"an infinite transition state",
       298.15,
       {{0.0, 15.0, {}, {}}, {1.0, kInf, {}, {}}},
       -1.0,
       "step 2: G_ts inf is not finite"},
      {"a negative reactant",
       298.15,
       {{0.0, 15.0, {}, {}}, {1.0, 9.0, -1.0, {}}},
       -1.0,
       "step 2: reactant concentration -1 is not above 0"},
      {"a zero product",
       298.15,
       {{0.0, 15.0, {}, 0.0}},
       -1.0,
       "step 1: product concentration 0 is not above 0"},
  };
  for (const auto& c : cases) {
    Cycle cycle;
    std::string error;
    EXPECT_EQ(build_cycle(c.T, c.steps, c.DeltaG, cycle, error), c.error.empty()) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
  }
}

TEST(Library, BuiltAndReadCyclesGiveTheReportOfKinexExeBitForBit) {
  Cycle built;
  std::string error;
  ASSERT_TRUE(build_cycle(298.15, kThreeSteps, -10.0, built, error)) << error;
  Cycle read;
  Failure failure;
  ASSERT_TRUE(read_cycle(KINEX_EXAMPLES "/three_step.txt", read, failure)) << failure.message;
  Evaluation from_memory, from_file, one_thread;
  ASSERT_TRUE(evaluate(built, from_memory, failure));
  ASSERT_TRUE(evaluate(read, from_file, failure));
  ASSERT_TRUE(evaluate(read, one_thread, failure, 1));
  for (const Evaluation* e : {&from_file, &one_thread}) {
    EXPECT_EQ(test::bits(e->results.TOF), test::bits(from_memory.results.TOF));
    EXPECT_EQ(e->results.xtof_reac, from_memory.results.xtof_reac);
    EXPECT_EQ(e->results.reac_steps, from_memory.results.reac_steps);
  }
  const test::Outcome program = test::run_kinex_exe({KINEX_EXAMPLES "/three_step.txt", "l"});
  report::Switches show;
  show.banner = false;
  EXPECT_EQ(report_text(KINEX_EXAMPLES "/three_step.txt", from_memory, show), program.out);
}

TEST(Library, ReadingNamesTheFileAndTheFault) {
  test::ScratchDir dir;
  const struct {
    const char* what;
    std::string path;
    int status;
    std::string message;
    int64_t line;  // and column, of the place
    std::string reason;
  } cases[] = {
      {"no such file", dir.file("none.txt"), kExitFailed,
       dir.file("none.txt") + ": No such file or directory\n", 0, "No such file or directory"},
      {"a bad value", dir.write("bad.txt", "298.15\n2x\n"), kExitFailed,
       dir.file("bad.txt") + ":2: Bad integer for item 1 in list input\n2x\n^\n", 2,
       "Bad integer for item 1 in list input"},
  };
  for (const auto& c : cases) {
    Cycle cycle;
    Failure failure;
    EXPECT_FALSE(read_cycle(c.path, cycle, failure)) << c.what;
    EXPECT_EQ(failure.status, c.status) << c.what;
    EXPECT_EQ(failure.message, c.message) << c.what;
    EXPECT_EQ(failure.place.file, c.path) << c.what;
    EXPECT_EQ(failure.place.line, c.line) << c.what;
    EXPECT_EQ(failure.place.column, c.line > 0 ? 1 : 0) << c.what;
    EXPECT_EQ(failure.place.reason, c.reason) << c.what;
  }
}

// Reading warnings come with the cycle, which is the cycle as read.
TEST(Library, ReadingGivesTheWarnings) {
  test::ScratchDir dir;
  Cycle cycle;
  Failure failure;
  std::vector<InputWarning> warnings;
  ASSERT_TRUE(read_cycle(dir.write("comma.txt", "298,15\n1\n0.0 10.0 x x\n-5\n"), cycle, failure,
                         warnings));
  EXPECT_EQ(cycle.T, 298.0);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].code, kLeftoverValues);
  EXPECT_EQ(warnings[0].line, 1);
  EXPECT_FALSE(read_cycle(dir.write("bad.txt", "298,15\n1\n0.0 10.0 x none\n-5\n"), cycle, failure,
                          warnings));
  EXPECT_TRUE(warnings.empty());
}

// The library's page shows examples/library_example.cc (included whole)
// and what it prints; the example must build (it is a target of this
// project) and print that.
TEST(Library, DocumentedExampleIsTheCompiledOneAndRuns) {
  const std::string page = test::read_file(KINEX_SOURCE "/docs/library.md");
  const std::string printed =
      "TOF = 7.4806e-07 s^-1, TDI 2, TDTS 2, X_TOF of the reactant of step 2 = 1.00\n"
      "the same as from the file: yes\n";
  EXPECT_NE(page.find("```{literalinclude} ../examples/library_example.cc\n"), std::string::npos)
      << "docs/library.md does not include the example";
  EXPECT_NE(page.find("It prints:\n\n```text\n" + printed + "```"), std::string::npos)
      << "docs/library.md does not show what the example prints";
  test::ScratchDir dir;
  const test::Outcome o = test::spawn(dir, KINEX_LIBRARY_EXAMPLE, {});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, printed);
}

}  // namespace
}  // namespace kinex

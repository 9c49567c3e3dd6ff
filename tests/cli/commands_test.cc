// The kinex command line: `kinex report` against KINEX.exe byte for byte,
// help and version, wrong command lines, the picture, and the program itself.
#include "cli/commands.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/cycle.h"
#include "common/cycle_files.h"
#include "figures/plot.h"
#include "kinex/types.h"

namespace kinex {
namespace {

using namespace cycle_files;
using test::Outcome;
using test::spawn;

void expect_same(const Outcome& got, const Outcome& expected, const std::string& what) {
  EXPECT_EQ(got.status, expected.status) << what;
  EXPECT_EQ(got.out, expected.out) << what;
  EXPECT_EQ(got.err, expected.err) << what;
}

TEST(Report, SameBytesAndStatusesAsKinexExe) {
  ScratchDir dir;
  std::vector<std::string> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(KINEX_EXAMPLES)) {
    if (entry.path().extension() == ".txt") inputs.push_back(entry.path().string());
  }
  std::sort(inputs.begin(), inputs.end());
  ASSERT_GE(inputs.size(), 2u);
  inputs.insert(inputs.end(), {KINEX_TEST_DATA "/warn_conc.txt",
                               dir.write("bad.txt", "298.15\n2\n0.0 15.0 none x\n"),
                               dir.file("missing.txt"), dir.path.string()});
  const std::vector<std::vector<std::string>> option_sets{
      {}, {"l"}, {"idh"}, {"-a", "t"}, {"--", "l"}, {"--help"}, {"i", "d", "a", "t", "h", "l"}};
  for (const std::string& input : inputs) {
    for (const auto& options : option_sets) {
      std::vector<std::string> args{input};
      args.insert(args.end(), options.begin(), options.end());
      const Outcome expected = spawn(dir, KINEX_EXE, args);
      args.insert(args.begin(), "report");
      std::string what;
      for (const std::string& arg : args) what += " " + arg;
      expect_same(kinex_run(args), expected, what);
      if (options.empty()) expect_same(spawn(dir, KINEX_TOOL, args), expected, what);
    }
  }
  // No file at all: KINEX.exe's usage lines.
  expect_same(kinex_run({"report"}), spawn(dir, KINEX_EXE, {}), "report");
}

TEST(CommandLine, HelpVersionAndWrongCommandLines) {
  // Every subcommand explains itself, on standard output, with status 0.
  const std::pair<std::vector<std::string>, std::string> help[] = {
      {{"--help"}, "Usage: kinex [OPTIONS] SUBCOMMAND"},
      {{"report", "--help"}, "Usage: kinex report FILE [OPTIONS...]"},
      {{"report", "-h"}, "Usage: kinex report FILE [OPTIONS...]"},
      {{"json", "--help"}, "Usage: kinex json [OPTIONS] [--] FILE..."},
      {{"csv", "--help"}, "Usage: kinex csv [OPTIONS] [--] FILE..."},
      {{"scan", "--help"}, "--temperatures FROM:TO:STEP"},
      {{"plot", "--help"}, "-o,--output OUT"},
      {{"check", "--help"}, "Usage: kinex check [OPTIONS] [--] FILE..."}};
  for (const auto& [args, expected] : help) {
    const Outcome o = kinex_run(args);
    EXPECT_EQ(o.status, kExitOk) << expected;
    EXPECT_NE(o.out.find(expected), std::string::npos) << o.out;
    EXPECT_EQ(o.err, "");
  }
  expect_same(kinex_run({"--version"}), {kExitOk, "kinex " KINEX_VERSION "\n", ""}, "--version");

  // A wrong command line: status 2, the reason and a pointer to --help.
  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{}, "kinex: A subcommand is required"},
      {{"frobnicate"}, "kinex: unknown subcommand 'frobnicate'"},
      {{"Json", "x.txt"}, "kinex: unknown subcommand 'Json'"},
      {{"json"}, "kinex: FILE is required"},
      {{"csv"}, "kinex: FILE is required"},
      {{"plot"}, "kinex: FILE is required"},
      {{"check"}, "kinex: FILE is required"},
      {{"json", "--compact", "x.txt"}, "--compact"},
      {{"check", "--strict", "x.txt"}, "--strict"},
      {{"plot", "--width", "0", "a.txt"}, "--width"},
      {{"plot", "--font-size", "big", "a.txt"}, "--font-size"}};
  for (const auto& [args, expected] : wrong) {
    const Outcome o = kinex_run(args);
    EXPECT_EQ(o.status, kExitFailed) << expected;
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find(expected), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("Run with --help"), std::string::npos) << o.err;
  }
}

TEST(Plot, WritesThePictureOfTheEvaluatedCycle) {
  ScratchDir dir;
  const std::string input = KINEX_EXAMPLES "/five_step.txt";
  kinex::Run run;
  Failure failure;
  ASSERT_TRUE(load_cycle(input, run, failure));
  evaluate_cycle(run, 0, Use::outputs);  // as kinex evaluates
  const std::string svg = render_profile_svg(run, input);

  expect_same(kinex_run({"plot", input}), {kExitOk, svg, ""}, "to standard output");
  expect_same(kinex_run({"plot", input, "-o", dir.file("profile.svg")}), {kExitOk, "", ""},
              "to file");
  EXPECT_EQ(read_file(dir.file("profile.svg")), svg);
  const std::string bad_output = dir.file("no/such.svg");
  expect_same(kinex_run({"plot", input, "-o", bad_output}),
              {kExitFailed, "", "kinex: " + bad_output + ": No such file or directory\n"},
              "bad output");
  const Outcome bad_input = kinex_run({"plot", dir.file("none.txt")});
  EXPECT_EQ(bad_input.status, kExitFailed);
  EXPECT_EQ(bad_input.out, "");
}

// The program itself, as a shell would start it: the same bytes as the
// functions, and a failed write to standard output seen.
TEST(Program, WritesWhatTheFunctionsWrite) {
  ScratchDir dir;
  const std::vector<std::vector<std::string>> cases{
      {"json", KINEX_EXAMPLES "/three_step.txt", KINEX_EXAMPLES "/five_step.txt"},
      {"csv", KINEX_EXAMPLES "/three_step.txt", dir.file("none.txt")},
      {"scan", KINEX_EXAMPLES "/tdts_switch.txt", "--temperatures", "280:300:5"},
      {}};
  for (const auto& args : cases) {
    std::vector<std::string> with_name{KINEX_TOOL};
    with_name.insert(with_name.end(), args.begin(), args.end());
    Outcome expected;
    expected.status = run_kinex(with_name, expected.out, expected.err);
    expect_same(spawn(dir, KINEX_TOOL, args), expected, args.empty() ? "(none)" : args[0]);
  }
  const std::string command = std::string(KINEX_TOOL) + " csv " + KINEX_EXAMPLES +
                              "/three_step.txt > /dev/full 2> " + dir.file("err");
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2);
  EXPECT_EQ(read_file(dir.file("err")),
            "kinex: error writing standard output: No space left on device\n");
}

}  // namespace
}  // namespace kinex

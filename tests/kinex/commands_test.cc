// The kinex command line: `kinex report` against KINEX.exe byte for byte,
// help and version, wrong command lines, the picture, and the program itself.
#include "kinex/commands.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cycle_files.h"
#include "kinex/cycle.h"
#include "kinex/plot.h"

namespace kinex {
namespace {

using cycle_files::read_file;
using cycle_files::ScratchDir;

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs a program with `args` (program name not included) and collects what
// it writes and its exit status.
Outcome spawn(const ScratchDir& dir, const std::string& program,
              const std::vector<std::string>& args) {
  const std::string out_file = (dir.path / "spawn.out").string();
  const std::string err_file = (dir.path / "spawn.err").string();
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  Outcome outcome;
  int wait_status = 0;
  if (pid > 0 && waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status)) {
    outcome.status = WEXITSTATUS(wait_status);
  }
  outcome.out = read_file(out_file);
  outcome.err = read_file(err_file);
  return outcome;
}

Outcome in_process(std::vector<std::string> args) {
  args.insert(args.begin(), "kinex");
  Outcome outcome;
  outcome.status = run_kinex(args, outcome.out, outcome.err);
  return outcome;
}

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
  inputs.push_back(KINEX_TEST_DATA "/warn_conc.txt");
  inputs.push_back(dir.write("bad.txt", "298.15\n2\n0.0 15.0 none x\n"));
  inputs.push_back((dir.path / "missing.txt").string());
  inputs.push_back(dir.path.string());

  const std::vector<std::vector<std::string>> option_sets{
      {}, {"l"}, {"idh"}, {"-a", "t"}, {"--", "l"}, {"--help"}, {"i", "d", "a", "t", "h", "l"}};
  for (const std::string& input : inputs) {
    for (const auto& options : option_sets) {
      std::vector<std::string> args{input};
      args.insert(args.end(), options.begin(), options.end());
      const Outcome expected = spawn(dir, KINEX_EXE, args);
      std::vector<std::string> report_args{"report"};
      report_args.insert(report_args.end(), args.begin(), args.end());
      std::string what = "report";
      for (const std::string& arg : args) what += " " + arg;
      expect_same(in_process(report_args), expected, what);
      if (options.empty()) expect_same(spawn(dir, KINEX_TOOL, report_args), expected, what);
    }
  }
  // No file at all: KINEX.exe's usage lines.
  expect_same(in_process({"report"}), spawn(dir, KINEX_EXE, {}), "report");
}

// Every subcommand explains itself, on standard output, with status 0.
TEST(CommandLine, HelpForEverySubcommand) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"--help"}, "Usage: kinex [OPTIONS] SUBCOMMAND"},
      {{"-h"}, "Usage: kinex [OPTIONS] SUBCOMMAND"},
      {{"report", "--help"}, "Usage: kinex report FILE [OPTIONS...]"},
      {{"report", "-h"}, "Usage: kinex report FILE [OPTIONS...]"},
      {{"json", "--help"}, "Usage: kinex json [OPTIONS] FILE..."},
      {{"csv", "--help"}, "Usage: kinex csv [OPTIONS] FILE..."},
      {{"scan", "--help"}, "--temperature FROM:TO:STEP"},
      {{"plot", "--help"}, "-o,--output OUT"},
  };
  for (const auto& [args, expected] : cases) {
    const Outcome got = in_process(args);
    EXPECT_EQ(got.status, 0) << args[0];
    EXPECT_NE(got.out.find(expected), std::string::npos) << got.out;
    EXPECT_EQ(got.err, "");
  }
  const Outcome version = in_process({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "kinex " KINEX_VERSION "\n");
}

TEST(CommandLine, WrongCommandLinesFailWithStatus2) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{}, "kinex: A subcommand is required"},
      {{"frobnicate"}, "kinex: unknown subcommand 'frobnicate'"},
      {{"Json", "x.txt"}, "kinex: unknown subcommand 'Json'"},
      {{"json"}, "kinex: FILE is required"},
      {{"csv"}, "kinex: FILE is required"},
      {{"plot"}, "kinex: FILE is required"},
      {{"json", "--compact", "x.txt"}, "--compact"},
      {{"plot", "a.txt", "b.txt"}, "b.txt"},
  };
  for (const auto& [args, expected] : cases) {
    const Outcome got = in_process(args);
    EXPECT_EQ(got.status, 2) << expected;
    EXPECT_EQ(got.out, "");
    EXPECT_NE(got.err.find(expected), std::string::npos) << got.err;
    EXPECT_NE(got.err.find("Run with --help"), std::string::npos) << got.err;
  }
}

TEST(Plot, WritesThePictureOfTheEvaluatedCycle) {
  ScratchDir dir;
  const std::string input = KINEX_EXAMPLES "/five_step.txt";
  kinex::Run run;
  Failure failure;
  ASSERT_TRUE(load_cycle(input, run, failure));
  evaluate_cycle(run);
  const std::string svg = render_profile_svg(run, input);

  const Outcome to_stdout = in_process({"plot", input});
  EXPECT_EQ(to_stdout.status, 0);
  EXPECT_EQ(to_stdout.out, svg);

  const std::string file = (dir.path / "profile.svg").string();
  const Outcome to_file = in_process({"plot", input, "-o", file});
  EXPECT_EQ(to_file.status, 0);
  EXPECT_EQ(to_file.out, "");
  EXPECT_EQ(read_file(file), svg);

  const Outcome bad_output = in_process({"plot", input, "-o", (dir.path / "no/such.svg").string()});
  EXPECT_EQ(bad_output.status, 2);
  EXPECT_EQ(bad_output.err,
            "kinex: " + (dir.path / "no/such.svg").string() + ": No such file or directory\n");

  const Outcome bad_input = in_process({"plot", (dir.path / "none.txt").string()});
  EXPECT_EQ(bad_input.status, 2);
  EXPECT_EQ(bad_input.out, "");
}

// The program itself, as a shell would start it: the same bytes as the
// functions, and a failed write to standard output seen.
TEST(Program, WritesWhatTheFunctionsWrite) {
  ScratchDir dir;
  const std::vector<std::vector<std::string>> cases{
      {"json", KINEX_EXAMPLES "/three_step.txt", KINEX_EXAMPLES "/five_step.txt"},
      {"csv", KINEX_EXAMPLES "/three_step.txt", (dir.path / "none.txt").string()},
      {"scan", KINEX_EXAMPLES "/tdts_switch.txt", "--temperature", "280:300:5"},
      {"--version"},
      {"scan", "--help"},
      {},
  };
  for (const auto& args : cases) {
    std::vector<std::string> with_name{KINEX_TOOL};
    with_name.insert(with_name.end(), args.begin(), args.end());
    Outcome expected;
    expected.status = run_kinex(with_name, expected.out, expected.err);
    expect_same(spawn(dir, KINEX_TOOL, args), expected, args.empty() ? "(none)" : args[0]);
  }
  if (std::filesystem::exists("/dev/full")) {
    const std::string command = std::string(KINEX_TOOL) + " csv " + KINEX_EXAMPLES +
                                "/three_step.txt > /dev/full 2> " + (dir.path / "err").string();
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(read_file((dir.path / "err").string()),
              "kinex: error writing standard output: No space left on device\n");
  }
}

}  // namespace
}  // namespace kinex

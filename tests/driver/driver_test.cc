// The command line, the existence test and the exit statuses of a run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver/driver.h"

namespace kinex {
namespace {

const char kUsage[] =
    " The specified input file does not exist.\n"
    " Program usage: KINEX.exe inputfile [options]\n";

struct SwitchCase {
  std::vector<std::string> args;
  int input, degrees, analysis, tof, headings, banner;
};

class SwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTest, OptionLettersClearTheirSwitches) {
  const SwitchCase& c = GetParam();
  kinex::Run run;
  read_command_line(run, c.args);
  EXPECT_EQ(run.show_input, c.input);
  EXPECT_EQ(run.show_degrees, c.degrees);
  EXPECT_EQ(run.show_analysis, c.analysis);
  EXPECT_EQ(run.show_tof, c.tof);
  EXPECT_EQ(run.show_headings, c.headings);
  EXPECT_EQ(run.show_banner, c.banner);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, SwitchTest,
    ::testing::Values(
        SwitchCase{{"f"}, 1, 1, 1, 1, 1, 1}, SwitchCase{{}, 1, 1, 1, 1, 1, 1},
        SwitchCase{{"f", "idh"}, 0, 0, 1, 1, 0, 1}, SwitchCase{{"f", "-i"}, 0, 1, 1, 1, 1, 1},
        SwitchCase{{"f", "+i"}, 0, 1, 1, 1, 1, 1}, SwitchCase{{"f", "I"}, 1, 1, 1, 1, 1, 1},
        SwitchCase{{"f", "idathl"}, 0, 0, 0, 0, 0, 0},
        SwitchCase{{"f", "i", "d", "a", "t", "h"}, 0, 0, 0, 0, 0, 1},
        // Argument 7 is never looked at.
        SwitchCase{{"f", "x", "x", "x", "x", "x", "l"}, 1, 1, 1, 1, 1, 1},
        SwitchCase{{"f", "i", "i", "ii"}, 0, 1, 1, 1, 1, 1},
        // Letters in the file name are not scanned.
        SwitchCase{{"idathl"}, 1, 1, 1, 1, 1, 1},
        // Only the first 20 characters of an option string count.
        SwitchCase{{"f", std::string(20, '-') + "t"}, 1, 1, 1, 1, 1, 1},
        SwitchCase{{"f", std::string(19, '-') + "t"}, 1, 1, 1, 0, 1, 1}));

TEST(CommandLine, FileNameIsKeptWholeWithoutTrailingBlanks) {
  kinex::Run run;
  const std::string long_name(150, 'a');
  read_command_line(run, {long_name + "   ", "i"});
  EXPECT_EQ(run.input_name, long_name);
  EXPECT_EQ(run.option_args[0], "i                   ");
  EXPECT_EQ(run.option_args[4], std::string(20, ' '));
}

struct MissingCase {
  const char* what;
  std::vector<std::string> args;
};

class MissingFileTest : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingFileTest, PrintsUsageOnStandardOutputAndFails) {
  std::string out, err;
  EXPECT_EQ(run_program(GetParam().args, out, err), 2);
  EXPECT_EQ(out, kUsage);
  EXPECT_EQ(err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Driver, MissingFileTest,
    ::testing::Values(MissingCase{"no arguments", {}}, MissingCase{"empty name", {""}},
                      MissingCase{"blank name", {"     "}},
                      MissingCase{"missing file", {"/nonexistent/kinex/input.txt", "i"}}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name) c = c == ' ' ? '_' : c;
      return name;
    });

TEST(Driver, DirectoryIsReportedOnStandardError) {
  std::string out, err;
  EXPECT_EQ(run_program({"/tmp"}, out, err), 2);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "KINEX.exe: /tmp: Is a directory\n");
}

TEST(Driver, UnreadableFileIsReportedOnStandardError) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const std::string path = ::testing::TempDir() + "kinex_unreadable.txt";
  std::ofstream(path) << "298.15\n";
  chmod(path.c_str(), 0);
  std::string out, err;
  EXPECT_EQ(run_program({path}, out, err), 2);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "KINEX.exe: " + path + ": Permission denied\n");
  std::remove(path.c_str());
}

// The program itself: statuses and where its text goes.
struct Process {
  int status;
  std::string out;
};

Process run_exe(const std::string& arguments) {
  const std::string command = std::string(KINEX_EXE) + " " + arguments + " 2>/dev/null";
  Process result{-1, ""};
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

TEST(Program, NoArgumentsPrintsUsageAndExitsTwo) {
  const Process p = run_exe("");
  EXPECT_EQ(p.status, 2);
  EXPECT_EQ(p.out, kUsage);
}

TEST(Program, NameWithTrailingBlanksOpensTheFile) {
  const std::string quoted = std::string("'") + KINEX_EXAMPLES + "/three_step.txt   '";
  const Process p = run_exe(quoted + " l");
  EXPECT_EQ(p.status, 0);
  EXPECT_NE(p.out.find("NAME OF THE INPUTFILE: " + std::string(KINEX_EXAMPLES) +
                       "/three_step.txt\n"),
            std::string::npos);
}

TEST(Program, WriteErrorOnStandardOutputExitsTwo) {
  const std::string command =
      std::string(KINEX_EXE) + " " + KINEX_EXAMPLES + "/three_step.txt > /dev/full 2>/dev/null";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 2);
}

}  // namespace
}  // namespace kinex

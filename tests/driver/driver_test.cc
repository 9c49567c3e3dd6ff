// The command line, the existence test and the exit statuses of a run.
#include "driver/driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/support.h"
#include "kinex/types.h"

namespace kinex {
namespace {

// The six switches, in the order input, degrees, analysis, TOF, headings,
// banner, after the command line `args`.
TEST(CommandLine, OptionLettersClearTheirSwitches) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"f"}, "111111"},
      {{}, "111111"},
      {{"f", "idh"}, "001101"},
      {{"f", "-i"}, "011111"},
      {{"f", "I"}, "111111"},
      {{"f", "idathl"}, "000000"},
      {{"f", "i", "d", "a", "t", "h"}, "000001"},
      {{"f", "x", "x", "x", "x", "x", "l"}, "111111"},  // argument 7 is never looked at
      {{"idathl"}, "111111"},                           // letters in the file name are not scanned
      // Only the first 20 characters of an option string count.
      {{"f", std::string(20, '-') + "t"}, "111111"},
      {{"f", std::string(19, '-') + "t"}, "111011"}};
  for (const auto& [args, expected] : cases) {
    const report::Switches show = read_command_line(args).show;
    std::string got;
    for (bool on :
         {show.input, show.degrees, show.analysis, show.tof, show.headings, show.banner}) {
      got += on ? '1' : '0';
    }
    EXPECT_EQ(got, expected) << ::testing::PrintToString(args);
  }
}

TEST(CommandLine, FileNameIsKeptWholeWithoutTrailingBlanks) {
  const std::string long_name(150, 'a');
  const CommandLine line = read_command_line({long_name + "   ", "i"});
  EXPECT_EQ(line.input_name, long_name);
  EXPECT_EQ(line.option_args[0], "i                   ");
  EXPECT_EQ(line.option_args[4], std::string(20, ' '));
}

using test::kUsage;

TEST(Driver, FilesThatCannotBeRead) {
  const std::string unreadable = ::testing::TempDir() + "kinex_unreadable.txt";
  std::ofstream(unreadable) << "298.15\n";
  chmod(unreadable.c_str(), 0);
  const struct {
    std::vector<std::string> args;
    const char *out, *err;
  } cases[] = {
      {{}, kUsage, ""},
      {{""}, kUsage, ""},
      {{"     "}, kUsage, ""},
      {{"/nonexistent/kinex/input.txt", "i"}, kUsage, ""},
      {{"/tmp"}, "", "KINEX.exe: /tmp: Is a directory\n"},
  };
  for (const auto& c : cases) {
    const test::Outcome o = test::run_kinex_exe(c.args);
    EXPECT_EQ(o.status, kExitFailed) << o.err;
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, c.err);
  }
  if (geteuid() != 0) {  // root reads every file
    const test::Outcome o = test::run_kinex_exe({unreadable});
    EXPECT_EQ(o.status, kExitFailed);
    EXPECT_EQ(o.err, "KINEX.exe: " + unreadable + ": Permission denied\n");
  }
  std::remove(unreadable.c_str());
}

TEST(Driver, HelpPrintsTheUsageAndTheOptionLetters) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"-h"}, {"--help"}, {"--help  ", "i"}}) {
    const test::Outcome o = test::run_kinex_exe(args);
    EXPECT_EQ(o.status, kExitOk) << args[0];
    EXPECT_EQ(o.out.rfind(" Program usage: KINEX.exe inputfile [options]\n", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("  l  the banner\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("does not exist"), std::string::npos) << o.out;
    EXPECT_EQ(o.err, "");
  }
}

TEST(Driver, NameWithTrailingBlanksOpensTheFile) {
  const std::string name = std::string(KINEX_EXAMPLES) + "/three_step.txt";
  const test::Outcome o = test::run_kinex_exe({name + "   ", "l"});
  EXPECT_EQ(o.status, kExitOk);
  EXPECT_NE(o.out.find("NAME OF THE INPUTFILE: " + name + "\n"), std::string::npos);
}

// The program itself: a failed write of its report is a failed run.
TEST(Program, WriteErrorOnStandardOutputExitsTwo) {
  const std::string command =
      std::string(KINEX_EXE) + " " + KINEX_EXAMPLES + "/three_step.txt > /dev/full 2>/dev/null";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 2);
}

}  // namespace
}  // namespace kinex

// Faults of KINEX.exe found under attack: failures of the existence test
// named wrongly, hostile file names, names with trailing blanks, reports that
// interleave, and the progress line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/support.h"
#include "driver/driver.h"
#include "kinex/types.h"
#include "platform/output.h"
#include "platform/progress.h"

namespace kinex {
namespace {

using test::shell_quoted;

const std::string kCycle = test::read_file(KINEX_EXAMPLES "/three_step.txt");

using test::kUsage;

TEST(Naming, ExistenceFailuresOtherThanAMissingFileGiveTheSystemsReason) {
  test::ScratchDir dir;
  const std::string loop = dir.file("loop");
  ASSERT_EQ(symlink("loop", loop.c_str()), 0);
  const std::string cycle = dir.write("cycle.txt", kCycle);
  const std::string too_long = dir.file(std::string(300, 'a'));
  const struct {
    const char* what;
    std::string name;
    std::string out, err;
  } cases[] = {
      {"no such file", dir.file("none.txt"), kUsage, ""},
      {"a file where a folder should be", cycle + "/x.txt", kUsage, ""},
      {"a loop of symbolic links", loop, "",
       "KINEX.exe: " + loop + ": Too many levels of symbolic links\n"},
      {"a name too long", too_long, "", "KINEX.exe: " + too_long + ": File name too long\n"},
  };
  for (const auto& c : cases) {
    const test::Outcome o = test::run_kinex_exe({c.name});
    EXPECT_EQ(o.status, kExitFailed) << c.what;
    EXPECT_EQ(o.out, c.out) << c.what;
    EXPECT_EQ(o.err, c.err) << c.what;
  }
}

TEST(Naming, ControlCharactersOfNamesAreEscapedInDiagnosticsAndTheReport) {
  test::ScratchDir dir;
  // A line feed would forge a second diagnostic line, an escape sequence
  // would reach the terminal; other bytes (UTF-8 here) stay as they are.
  const std::string hostile = "a\nKINEX.exe: forged\x1b[31m\t\x7f\xc3\xa9";
  const std::string shown = "a\\x0aKINEX.exe: forged\\x1b[31m\\t\\x7f\xc3\xa9";
  const struct {
    const char* what;
    std::string content;
    std::string expected;  // in standard error, or standard output for the report
    bool report;
  } cases[] = {
      {"the report's name line", kCycle, "NAME OF THE INPUTFILE: " + dir.file(shown) + "\n", true},
      {"a bad value", "298.15\n3x\n", "KINEX.exe: " + dir.file(shown) + ":2: Bad integer", false},
      {"an early end", "298.15\n", "KINEX.exe: " + dir.file(shown) + ": End of file\n", false},
      {"the memory check", "298.15\n99999999999\n",
       "KINEX.exe: " + dir.file(shown) + ": cannot hold the arrays", false},
  };
  for (const auto& c : cases) {
    const std::string name = dir.write(hostile, c.content);
    const test::Outcome o = test::run_kinex_exe({name, "l"});
    const std::string& text = c.report ? o.out : o.err;
    EXPECT_NE(text.find(c.expected), std::string::npos) << c.what << ":\n" << text;
    EXPECT_EQ(text.find(hostile), std::string::npos) << c.what;
    EXPECT_EQ((c.report ? o.err : o.out), "") << c.what;
  }
  std::filesystem::create_directory(dir.file(hostile + "d"));
  EXPECT_EQ(test::run_kinex_exe({dir.file(hostile + "d")}).err,
            "KINEX.exe: " + dir.file(shown) + "d: Is a directory\n");
}

TEST(Naming, FileWhoseExactNameEndsInBlanksIsRead) {
  test::ScratchDir dir;
  std::string warm = kCycle;
  warm.replace(0, 6, "350.00");
  dir.write("tb", kCycle);
  dir.write("tb  ", warm);
  const struct {
    const char* what;
    std::string arg;
    const char* temperature;
  } cases[] = {
      {"the exact name", dir.file("tb  "), "temperature = 350. K"},
      {"a name whose blanks no file has", dir.file("tb "), "temperature = 298.15 K"},
      {"the plain name", dir.file("tb"), "temperature = 298.15 K"},
  };
  for (const auto& c : cases) {
    const test::Outcome o = test::run_kinex_exe({c.arg, "l"});
    EXPECT_EQ(o.status, kExitOk) << c.what << o.err;
    EXPECT_NE(o.out.find(c.temperature), std::string::npos) << c.what;
    // The name line shows the name without its blanks either way.
    EXPECT_NE(o.out.find("NAME OF THE INPUTFILE: " + dir.file("tb") + "\n"), std::string::npos)
        << c.what;
  }
}

TEST(DataLoss, ReportsAppendedByParallelRunsDoNotInterleave) {
  test::ScratchDir dir;
  // 120 steps give a report of about 15 kB, far more than a stdio buffer.
  const std::string input = KINEX_TEST_DATA "/steps120.txt";
  const std::string report = test::spawn(dir, KINEX_EXE, {input}).out;
  ASSERT_GT(report.size(), 8192u);
  constexpr int kRuns = 8;
  std::string runs;
  for (int k = 0; k < kRuns; ++k) {
    runs += shell_quoted(KINEX_EXE) + " " + shell_quoted(input) + " >>" +
            shell_quoted(dir.file("all.txt")) + " & ";
  }
  for (int round = 0; round < 5; ++round) {
    std::filesystem::remove(dir.file("all.txt"));
    test::spawn_shell(dir, runs + "wait");
    std::string expected;
    for (int k = 0; k < kRuns; ++k) expected += report;
    ASSERT_TRUE(test::read_file(dir.file("all.txt")) == expected)
        << "the reports interleave in round " << round;
  }
}

TEST(Output, DeliveredPiecesArriveWholeAndAFailureIsKept) {
  test::ScratchDir dir;
  const std::string path = dir.file("out.txt");
  std::FILE* file = std::fopen(path.c_str(), "w");
  Output out;
  out.fd = fileno(file);
  int writes = 0;
  out.before_write = [&writes] { ++writes; };
  out.text = std::string(100000, 'a');
  EXPECT_TRUE(out.deliver());
  EXPECT_TRUE(out.deliver());  // nothing gathered: no write
  out.text = "b\n";
  EXPECT_TRUE(out.deliver());
  std::fclose(file);
  EXPECT_EQ(writes, 2);
  EXPECT_EQ(test::read_file(path), std::string(100000, 'a') + "b\n");

  Output full;
  full.fd = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full.fd, 0);
  full.text = "row\n";
  EXPECT_FALSE(full.deliver());
  full.text = "next row\n";
  EXPECT_FALSE(full.deliver());
  EXPECT_EQ(full.text, "");
  EXPECT_EQ(output_error("kinex", full.error),
            "kinex: error writing standard output: No space left on device\n");
  ::close(full.fd);
}

TEST(Cost, ProgressIsShownOnlyForWorkOfMoreThanAboutASecond) {
  const struct {
    double elapsed, fraction;
    bool shown;
  } cases[] = {
      {0.1, 0.01, false},  // too early to tell
      {0.6, 0.9, false},   // done in well under a second
      {0.6, 0.5, true},    // 1.2 s in all
      {0.6, 0.0, true},    // nothing done after half a second
      {5.0, 1.0, false},   // finished
  };
  for (const auto& c : cases) {
    EXPECT_EQ(progress_worth_showing(c.elapsed, c.fraction), c.shown)
        << c.elapsed << " s, " << c.fraction;
  }
  // Never a byte where standard error is not a terminal.
  test::ScratchDir dir;
  const std::string path = dir.file("err.txt");
  std::FILE* file = std::fopen(path.c_str(), "w");
  {
    ProgressLine line(fileno(file), "KINEX.exe: computing");
    EXPECT_FALSE(line.callback());
    for (int k = 0; k <= 100; ++k) line.update(k / 100.0);
  }
  std::fclose(file);
  EXPECT_EQ(test::read_file(path), "");
}

}  // namespace
}  // namespace kinex

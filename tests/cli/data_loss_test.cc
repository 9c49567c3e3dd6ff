// Faults that lost a user's data: an output naming the input, a write that
// fails part-way, writers that race.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "figures/plot_svg.h"
#include "kinex/types.h"
#include "platform/files.h"

namespace kinex {
namespace {

using namespace cycle_files;
using test::Outcome;
using test::shell_quoted;
using test::spawn_shell;

const std::string kInput = read_file(KINEX_EXAMPLES "/three_step.txt");

// The files in `dir` other than the test's own out and err.
std::vector<std::string> files_in(const ScratchDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
    const std::string name = entry.path().filename().string();
    if (name != "out" && name != "err") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DataLoss, PlotOutputNamingTheInputInAnyWayIsRefused) {
  ScratchDir dir;
  const std::string input = dir.write("cycle.txt", kInput);
  ASSERT_EQ(link(input.c_str(), dir.file("hard.txt").c_str()), 0);
  ASSERT_EQ(symlink("cycle.txt", dir.file("soft.txt").c_str()), 0);
  std::filesystem::create_directory(dir.file("sub"));
  const struct {
    const char* how;
    std::string output;
  } names[] = {{"the same name", input},
               {"through ./", (dir.path / "." / "cycle.txt").string()},
               {"through a folder and back", (dir.path / "sub" / ".." / "cycle.txt").string()},
               {"a hard link", dir.file("hard.txt")},
               {"a symbolic link", dir.file("soft.txt")}};
  for (const auto& [how, output] : names) {
    const Outcome o = kinex_run({"plot", input, "-o", output});
    EXPECT_EQ(o.status, kExitFailed) << how;
    EXPECT_NE(o.err.find("is the input file"), std::string::npos) << how << ": " << o.err;
    EXPECT_EQ(read_file(input), kInput) << how;
  }
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"cycle.txt", "hard.txt", "soft.txt", "sub"}));
}

TEST(DataLoss, FailedPlotWriteLeavesThePreviousPictureIntact) {
  ScratchDir dir;
  const std::string input = dir.write("cycle.txt", kInput);
  const std::string previous = "<svg>the picture of yesterday</svg>\n";
  dir.write("old.svg", previous);
  // A file-size limit of one block makes the write fail part-way; with
  // SIGXFSZ ignored the write returns an error instead of ending the run.
  const Outcome o =
      spawn_shell(dir, "ulimit -f 1; trap '' XFSZ; " + shell_quoted(KINEX_TOOL) + " plot " +
                           shell_quoted(input) + " -o " + shell_quoted(dir.file("old.svg")));
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("old.svg: File too large"), std::string::npos) << o.err;
  EXPECT_EQ(read_file(dir.file("old.svg")), previous);
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"cycle.txt", "old.svg"})) << "temporary left";
}

TEST(DataLoss, ParallelPlotWritersLeaveACompletePicture) {
  ScratchDir dir;
  const std::string input = dir.write("cycle.txt", kInput);
  const std::string expected = kinex_run({"plot", input}).out;
  std::string writers;
  for (int k = 0; k < 10; ++k) {
    writers += shell_quoted(KINEX_TOOL) + " plot " + shell_quoted(input) + " -o " +
               shell_quoted(dir.file("same.svg")) + " & ";
  }
  for (int round = 0; round < 5; ++round) {
    const Outcome o = spawn_shell(dir, writers + "wait");
    EXPECT_EQ(o.err, "");
    ASSERT_EQ(read_file(dir.file("same.svg")), expected) << "round " << round;
  }
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"cycle.txt", "same.svg"}));
}

TEST(DataLoss, ReplacedFileKeepsItsPermissionsAndItsSymbolicLink) {
  ScratchDir dir;
  dir.write("target.svg", "old");
  chmod(dir.file("target.svg").c_str(), 0640);
  ASSERT_EQ(symlink("target.svg", dir.file("link.svg").c_str()), 0);
  std::string reason;
  ASSERT_TRUE(replace_file(dir.file("link.svg"), "new", reason)) << reason;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.svg")));
  EXPECT_EQ(read_file(dir.file("target.svg")), "new");
  struct stat status;
  ASSERT_EQ(stat(dir.file("target.svg").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);

  // Nothing to replace into: the reason, and no file left behind.
  EXPECT_FALSE(replace_file(dir.file("none/x.svg"), "new", reason));
  EXPECT_EQ(reason, "No such file or directory");
  EXPECT_FALSE(replace_file(dir.path.string(), "new", reason));
  EXPECT_EQ(reason, "Is a directory");
  // A device is written to, not replaced.
  EXPECT_TRUE(replace_file("/dev/null", "new", reason)) << reason;
  EXPECT_FALSE(std::filesystem::is_regular_file("/dev/null"));
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"link.svg", "target.svg"}));
}

// Faults of the second attack on the data a user owns or is given.
using Strings = std::vector<std::string>;

TEST(DataLoss, HugePictureSizesAreRefusedAndNoFailedConversionIsCopied) {
  for (const Strings& size :
       {Strings{"--width", "1e100"}, Strings{"--height", "1e308"}, Strings{"--font-size", "1e6"}}) {
    Strings args{"plot", KINEX_EXAMPLES "/three_step.txt"};
    args.insert(args.end(), size.begin(), size.end());
    const Outcome o = kinex_run(args);
    EXPECT_EQ(o.status, kExitFailed) << size[0];
    EXPECT_TRUE(o.out.empty()) << size[0];
    EXPECT_NE(o.err.find(size[0] == "--font-size" ? " pt: a " : " px: a "), std::string::npos)
        << o.err;
  }
  // Every number an SVG can be handed is written in digits, whatever its size.
  for (const double x : {1e61, -1e100, 1e308, 5e-324, 123.456}) {
    const std::string text = plot::num(x);
    EXPECT_EQ(text.find_first_not_of("-0123456789."), std::string::npos) << x << ": " << text;
    EXPECT_NEAR(std::stod(text), x, 0.005 + 1e-15 * std::fabs(x)) << x;
  }
}

TEST(DataLoss, PlotOutputNamingTheSigmasFileIsRefused) {
  ScratchDir dir;
  const std::string sigmas = dir.write("s.txt", "TS2 2.5\n");
  const std::string named_svg = dir.write("s.svg", "TS2 2.5\n");
  ASSERT_EQ(symlink("s.txt", dir.file("link.svg").c_str()), 0);
  for (const auto& [file, output] :
       {std::pair{sigmas, dir.file("link.svg")}, std::pair{named_svg, named_svg}}) {
    const Outcome o = kinex_run(
        {"plot", KINEX_EXAMPLES "/three_step.txt", "--sigmas", file, "--sigma", "1", "-o", output});
    EXPECT_EQ(o.status, kExitFailed) << output;
    EXPECT_NE(o.err.find("is the input file"), std::string::npos) << o.err;
    EXPECT_EQ(read_file(file), "TS2 2.5\n");
  }
}

TEST(DataLoss, FileSizeLimitWithItsSignalAtTheDefaultEndsInTheMessageAndNoTemporary) {
  ScratchDir dir;
  const std::string input = dir.write("cycle.txt", kInput);
  const Outcome o =
      spawn_shell(dir, "ulimit -f 1; trap - XFSZ; " + shell_quoted(KINEX_TOOL) + " plot " +
                           shell_quoted(input) + " -o " + shell_quoted(dir.file("new.svg")));
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("kinex: " + dir.file("new.svg") + ": File too large"), std::string::npos)
      << o.err;
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"cycle.txt"})) << "temporary left";
}

TEST(DataLoss, EndlessDevicesAndEndlessLinesAsTablesAndSigmasFilesStopAtOnce) {
  ScratchDir dir;
  ASSERT_EQ(symlink("/dev/zero", dir.file("zero.csv").c_str()), 0);
  const std::string long_line = dir.write("long.csv", "Catalyst," + std::string(1 << 21, 'x'));
  const std::string long_sigma = dir.write("long.txt", std::string(1 << 17, ' ') + "TS2 1\n");
  const struct {
    Strings args;
    const char* reason;
  } cases[] = {
      {{"csv", dir.file("zero.csv")}, "zero.csv:1: holds a NUL byte"},
      {{"uncertainty", dir.file("zero.csv"), "--sigma", "1"}, "holds a NUL byte"},
      {{"uncertainty", KINEX_EXAMPLES "/three_step.txt", "--sigmas", "/dev/zero", "--sigma", "1"},
       "/dev/zero:1: holds a NUL byte"},
      {{"uncertainty", KINEX_EXAMPLES "/three_step.txt", "--sigmas", "/dev/urandom", "--sigma",
        "1"},
       "/dev/urandom:"},
      {{"json", long_line}, "long.csv:1: is longer than 1048576 bytes"},
      {{"uncertainty", KINEX_EXAMPLES "/three_step.txt", "--sigmas", long_sigma, "--sigma", "1"},
       "long.txt:1: is longer than 65536 bytes"},
  };
  for (const auto& c : cases) {
    const Outcome o = kinex_run(c.args);
    EXPECT_EQ(o.status, kExitFailed) << c.args[1];
    EXPECT_NE(o.err.find(c.reason), std::string::npos) << o.err;
  }
}

}  // namespace
}  // namespace kinex

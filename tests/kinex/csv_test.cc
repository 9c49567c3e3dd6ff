// kinex csv: the screening table read back as RFC 4180 has it and compared
// with the run KINEX.exe makes of each file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "cycle_files.h"
#include "kinex/commands.h"

namespace kinex {
namespace {

using cycle_files::bits;
using cycle_files::read_csv;
using cycle_files::reference_run;
using cycle_files::ScratchDir;

// A real as the table writes it, read back the way a script would.
void expect_real(const std::string& field, double expected, const std::string& what) {
  char* end = nullptr;
  const double x = std::strtod(field.c_str(), &end);
  EXPECT_EQ(*end, '\0') << what << ": " << field;
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(x)) << what << ": " << field;
  } else {
    EXPECT_EQ(bits(x), bits(expected)) << what << ": " << field;
  }
}

TEST(Csv, RowsReadBackMatchTheReportsRuns) {
  ScratchDir dir;
  const std::string three = cycle_files::read_file(KINEX_EXAMPLES "/three_step.txt");
  // Names that need quoting, and cycles with a warning, a wrapping span and
  // a temperature of 0 (not-a-number results).
  const std::vector<std::string> files{
      dir.write("plain.txt", three),
      dir.write("with,comma.txt", three),
      dir.write("with \"quotes\".txt", three),
      dir.write("line\nfeed, and \"all\".txt", three),
      dir.write("five.txt", cycle_files::read_file(KINEX_EXAMPLES "/five_step.txt")),
      dir.write("warn.txt", cycle_files::read_file(KINEX_TEST_DATA "/warn_deltag.txt")),
      dir.write("zero_T.txt", "0\n2\n0.0 15.0 x x\n-5.0 20.0 x x\n-10.0\n"),
  };
  std::vector<std::string> args{"kinex", "csv"};
  args.insert(args.end(), files.begin(), files.end());
  std::string out, err;
  ASSERT_EQ(run_kinex(args, out, err), 0) << err;
  EXPECT_EQ(err, "");

  const auto records = read_csv(out);
  ASSERT_EQ(records.size(), files.size() + 1);
  EXPECT_EQ(records[0], (std::vector<std::string>{"file", "T", "n", "DeltaG", "TOF_per_s", "TDI",
                                                  "TDTS", "energetic_span", "warning"}));
  for (std::size_t c = 0; c < files.size(); ++c) {
    SCOPED_TRACE(files[c]);
    const std::vector<std::string>& row = records[c + 1];
    ASSERT_EQ(row.size(), 9u);
    kinex::Run run;
    ASSERT_TRUE(reference_run(files[c], run));
    EXPECT_EQ(row[0], files[c]);
    expect_real(row[1], run.T, "T");
    EXPECT_EQ(row[2], std::to_string(run.n));
    expect_real(row[3], run.DeltaG, "DeltaG");
    expect_real(row[4], run.TOF, "TOF");
    EXPECT_EQ(row[5], std::to_string(run.TDI));
    EXPECT_EQ(row[6], std::to_string(run.TDTS));
    const double within_turn = run.G_ts[run.TDTS] - run.G_int[run.TDI - 1];
    expect_real(row[7], run.TDTS >= run.TDI ? within_turn : within_turn + run.DeltaG, "span");
    EXPECT_EQ(row[8], run.driving_force <= 0.0 ? "1" : "0");
  }
  EXPECT_EQ(records[6][8], "1");     // the DeltaG warning
  EXPECT_EQ(records[5][7], "30.0");  // the span of the five-step cycle wraps
}

TEST(Csv, BadFileIsReportedAndLeftOutTheOthersStillWritten) {
  ScratchDir dir;
  const std::string bad = dir.write("bad.txt", "298.15\nthree\n");
  std::string out, err;
  EXPECT_EQ(run_kinex({"kinex", "csv", bad, KINEX_EXAMPLES "/three_step.txt", dir.path.string()},
                      out, err),
            2);
  const auto records = read_csv(out);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1][0], KINEX_EXAMPLES "/three_step.txt");
  // The reader's diagnostic under kinex's name, then the directory's.
  EXPECT_EQ(err.rfind("kinex: " + bad + ":2: Bad integer", 0), 0u) << err;
  EXPECT_NE(err.find("kinex: " + dir.path.string() + ": Is a directory\n"), std::string::npos);
}

}  // namespace
}  // namespace kinex

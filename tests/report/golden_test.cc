// Whole reports, byte for byte: tests/data/NAME.txt run with an option
// string must print tests/data/NAME_SUFFIX.expected.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"

namespace kinex {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file.good()) << path;
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The report prints the file name as given, so the runs are made from the
// data directory with the bare name; the previous directory comes back after.
class InDataDirectory {
 public:
  InDataDirectory() {
    if (getcwd(previous_, sizeof previous_) == nullptr) previous_[0] = '\0';
    EXPECT_EQ(chdir(KINEX_TEST_DATA), 0);
  }
  ~InDataDirectory() {
    if (previous_[0] != '\0') {
      EXPECT_EQ(chdir(previous_), 0);
    }
  }
  InDataDirectory(const InDataDirectory&) = delete;
  InDataDirectory& operator=(const InDataDirectory&) = delete;

 private:
  char previous_[PATH_MAX];
};

struct GoldenCase {
  const char* input;  // file in tests/data
  std::vector<std::string> options;
  const char* expected;  // file in tests/data
};

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, PrintsTheExpectedReport) {
  const GoldenCase& c = GetParam();
  const std::string expected = read_file(std::string(KINEX_TEST_DATA) + "/" + c.expected);
  std::vector<std::string> args = {c.input};
  args.insert(args.end(), c.options.begin(), c.options.end());
  std::string out, err;
  int status;
  {
    InDataDirectory here;
    status = run_program(args, out, err);
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(err, "");
  EXPECT_EQ(out, expected);
}

INSTANTIATE_TEST_SUITE_P(Report, GoldenTest,
                         ::testing::Values(
                             // The three-step example with every option letter, alone and together.
                             GoldenCase{"input.txt", {}, "input.expected"},
                             GoldenCase{"input.txt", {"l"}, "input_l.expected"},
                             GoldenCase{"input.txt", {"i"}, "input_i.expected"},
                             GoldenCase{"input.txt", {"d"}, "input_d.expected"},
                             GoldenCase{"input.txt", {"a"}, "input_a.expected"},
                             GoldenCase{"input.txt", {"t"}, "input_t.expected"},
                             GoldenCase{"input.txt", {"h"}, "input_h.expected"},
                             GoldenCase{"input.txt", {"idh"}, "input_idh.expected"},
                             GoldenCase{"input.txt", {"idathl"}, "input_idathl.expected"},
                             GoldenCase{
                                 "input.txt", {"-l", "t", "a", "d", "ih"}, "input_idathl.expected"},
                             // DeltaG = 0: the warning ahead of the report, a zero TOF and
                             // infinite concentration cells.
                             GoldenCase{"warn_deltag.txt", {"l"}, "warn_deltag_l.expected"},
                             // A product concentration that outweighs DeltaG: a negative TOF and
                             // advice that opens with the product.
                             GoldenCase{"warn_conc.txt", {"l"}, "warn_conc_l.expected"},
                             // TDI 4, TDTS 2: the span wraps round, every step has both
                             // concentrations, so four reactants and three products are named.
                             GoldenCase{"five_step.txt", {"l"}, "five_step_l.expected"},
                             // Steps above 99: ** in the step fields of both tables, the full
                             // numbers in the advice.
                             GoldenCase{"steps120.txt", {"l"}, "steps120_l.expected"}),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                           std::string name = info.param.expected;
                           name = name.substr(0, name.find('.'));
                           if (info.index == 9)
                             name += "_spread";  // the same letters over five arguments
                           return name;
                         });

}  // namespace
}  // namespace kinex

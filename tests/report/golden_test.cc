// Whole reports, byte for byte: tests/data/NAME.txt run with an option
// string must print tests/data/NAME_SUFFIX.expected.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/support.h"
#include "kinex/types.h"

namespace kinex {
namespace {

struct GoldenCase {
  const char* input;  // file in tests/data
  std::vector<std::string> options;
  const char* expected;  // file in tests/data
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.expected; }

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, PrintsTheExpectedReport) {
  const GoldenCase& c = GetParam();
  std::vector<std::string> args = {c.input};
  args.insert(args.end(), c.options.begin(), c.options.end());
  // The report prints the file name as given: run from the data directory.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(KINEX_TEST_DATA);
  const test::Outcome o = test::run_kinex_exe(args);
  const std::string expected = test::read_file(c.expected);
  std::filesystem::current_path(previous);
  EXPECT_EQ(o.status, kExitOk);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, expected);
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
                         // The expected file's name, and the option strings when they are given
                         // one by one ("input_idathl_Options_Minusl_t_a_d_ih").
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                           const std::string expected = info.param.expected;
                           std::string name = expected.substr(0, expected.find('.'));
                           if (info.param.options.size() > 1) {
                             name += "_Options";
                             for (const std::string& option : info.param.options) {
                               name += '_';
                               name += test::spelt_as_name(option);
                             }
                           }
                           return name;
                         });

}  // namespace
}  // namespace kinex

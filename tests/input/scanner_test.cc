// The free-form scanner: number and text forms, separators, nulls, slashes,
// repeat counts, and the places and item numbers of its failures.
#include "input/scanner.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "common/support.h"

namespace kinex::input {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Outcome {
  bool ok = false;
  std::vector<Value> values;
  ScanFailure failure;
};

Outcome scan(const std::string& text, const std::vector<Kind>& kinds) {
  Source source = text_source(text);
  Outcome out;
  out.values.resize(kinds.size());
  out.ok = read_list(source, kinds, out.values, out.failure);
  return out;
}

const std::vector<Kind> kR{Kind::Real};
const std::vector<Kind> kI{Kind::Integer};
const std::vector<Kind> kStep{Kind::Real, Kind::Real, Kind::Text, Kind::Text};

TEST(Scanner, RealFormsReadExactly) {
  const struct {
    const char* text;
    double value;
  } cases[] = {{"298.15", 298.15},
               {"300", 300.0},
               {"+5.", 5.0},
               {".5", 0.5},
               {"-.5", -0.5},
               {"-0.0", -0.0},
               {"1.0e-3", 0.001},
               {"1.0E+3", 1000.0},
               {"1.0D+01", 10.0},
               {"1d1", 10.0},
               {"2.5d-1", 0.25},
               {"1.0-3", 0.001},
               {"1+3", 1000.0},
               {"0.000000000000000000012345", 1.2345e-20},
               {"1e400", kInf},
               {"-1e400", -kInf},
               {"1e-400", 0.0},
               {"4.9e-324", 4.9e-324},
               {"1.7976931348623159e308", kInf},
               {"Inf", kInf},
               {"-inf", -kInf},
               {"+INFINITY", kInf},
               {"NaN", NAN},
               {"-nan", NAN},
               // A value ends at a separator; what follows is not looked at.
               {"1.5/", 1.5},
               {"1.5,x", 1.5},
               {"  \n\t 7 K", 7.0},
               {"7\r\n", 7.0},
               {"3*2.5", 2.5},
               {"200000000*7", 7.0}};
  for (const auto& c : cases) {
    const Outcome out = scan(c.text, kR);
    ASSERT_TRUE(out.ok) << c.text << ": " << reason(out.failure);
    const double got = out.values[0].real;
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(got)) << c.text;
    } else {
      EXPECT_EQ(got, c.value) << c.text;
      EXPECT_EQ(std::signbit(got), std::signbit(c.value)) << c.text;
    }
  }
}

TEST(Scanner, LongMantissasRoundOnceFromAllTheirDigits) {
  // Just above the halfway point between two doubles only in the last digit.
  const std::string above = "9007199254740993." + std::string(1000, '0') + "1";
  EXPECT_EQ(scan(above, kR).values[0].real, 9007199254740994.0);
  const std::string halfway = "9007199254740993." + std::string(1000, '0');
  EXPECT_EQ(scan(halfway, kR).values[0].real, 9007199254740992.0);
  const std::string shifted = "0." + std::string(5000, '0') + "15e5001";
  EXPECT_EQ(scan(shifted, kR).values[0].real, 1.5);
}

struct FaultCase {
  const char* text;
  std::vector<Kind> kinds;
  Fault fault;
  int64_t item, line, column;  // not looked at for the end of the file
};

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, NameTheItemAndPlace) {
  const FaultCase& c = GetParam();
  const Outcome out = scan(c.text, c.kinds);
  ASSERT_FALSE(out.ok);
  EXPECT_EQ(out.failure.fault, c.fault) << reason(out.failure);
  if (c.fault != Fault::EndOfFile) {
    EXPECT_EQ(out.failure.item, c.item);
    EXPECT_EQ(out.failure.place.line, c.line);
    EXPECT_EQ(out.failure.place.column, c.column);
  }
}

using F = Fault;

const char* fault_name(Fault fault) {
  switch (fault) {
    case F::EndOfFile:
      return "EndOfFile";
    case F::ReadError:
      return "ReadError";
    case F::BadReal:
      return "BadReal";
    case F::BadInteger:
      return "BadInteger";
    case F::IntegerOverflow:
      return "IntegerOverflow";
    case F::ZeroRepeat:
      return "ZeroRepeat";
    case F::RepeatOverflow:
      return "RepeatOverflow";
    case F::BadInfinity:
      return "BadInfinity";
    case F::BadNotANumber:
      return "BadNotANumber";
    case F::NoValue:
      return "NoValue";
  }
  return "Unknown";
}

// "BadReal_298Dot15K": the fault, then the text that has it.
std::string fault_case_name(const ::testing::TestParamInfo<FaultCase>& info) {
  return std::string(fault_name(info.param.fault)) + "_" + test::spelt_as_name(info.param.text);
}

INSTANTIATE_TEST_SUITE_P(Scanner, Faults,
                         ::testing::ValuesIn(std::vector<FaultCase>{
                             {"298.15K", kR, F::BadReal, 1, 1, 0},
                             {"1.2.3", kR, F::BadReal, 1, 1, 0},
                             {"1.0;2.0", kR, F::BadReal, 1, 1, 0},
                             {"1e", kR, F::BadReal, 1, 1, 0},
                             {"1e+", kR, F::BadReal, 1, 1, 0},
                             {"1.0q3", kR, F::BadReal, 1, 1, 0},
                             {".", kR, F::BadReal, 1, 1, 0},
                             {"-", kR, F::BadReal, 1, 1, 0},
                             {"'1.0'", kR, F::BadReal, 1, 1, 0},
                             {"1.0\r2", kR, F::BadReal, 1, 1, 0},  // a CR not before LF
                             {"ix", kR, F::BadInfinity, 1, 1, 0},
                             {"-inx", kR, F::BadInfinity, 1, 1, 0},
                             {"infinityy", kR, F::BadInfinity, 1, 1, 0},
                             {"+nanx", kR, F::BadNotANumber, 1, 1, 0},
                             {"none", kR, F::BadNotANumber, 1, 1, 0},
                             {"3.0", kI, F::BadInteger, 1, 1, 0},
                             {"3e0", kI, F::BadInteger, 1, 1, 0},
                             {"+", kI, F::BadInteger, 1, 1, 0},
                             {"9223372036854775808", kI, F::IntegerOverflow, 1, 1, 0},
                             {"-9223372036854775809", kI, F::IntegerOverflow, 1, 1, 0},
                             // The whole value is looked at before it is converted.
                             {"99999999999999999999.", kI, F::BadInteger, 1, 1, 0},
                             {"", kR, F::EndOfFile, 0, 0, 0},
                             {" \n\t\n ", kR, F::EndOfFile, 0, 0, 0},
                             {"1 2 x", kStep, F::EndOfFile, 0, 0, 0},
                             {"1 2 'x", kStep, F::EndOfFile, 0, 0, 0},
                             // Item numbers and places within a record over several lines.
                             {"0.0\n  15.2K x x", kStep, F::BadReal, 2, 2, 2},
                             {"0.0 x x x", kStep, F::BadReal, 2, 1, 4},
                             {", 1 x x", kStep, F::NoValue, 1, 1, 0},
                             {"\n\n,1 2 x x", kStep, F::NoValue, 1, 3, 0},
                             {"1,,2 x x", kStep, F::NoValue, 2, 1, 2},
                             {"1 , \n , 2 x x", kStep, F::NoValue, 2, 2, 1},
                             {"1 2 x,,", kStep, F::NoValue, 4, 1, 6},
                             {"1 2/ x x", kStep, F::NoValue, 3, 1, 3},
                             {"1 2 x /", kStep, F::NoValue, 4, 1, 6},
                             {"/", kR, F::NoValue, 1, 1, 0},
                             {"1 3* x", kStep, F::NoValue, 2, 1, 2},
                             {"1 2*\n x", kStep, F::NoValue, 2, 1, 2},
                             {"1 0*2 x x", kStep, F::ZeroRepeat, 2, 1, 2},
                             {"1 00*2 x x", kStep, F::ZeroRepeat, 2, 1, 2},
                             {"0*x", {Kind::Text}, F::ZeroRepeat, 1, 1, 0},
                             {"1 200000001*2", kStep, F::RepeatOverflow, 2, 1, 2},
                             {"99999999999999999999999*2", kStep, F::RepeatOverflow, 1, 1, 0},
                             // A repeated value serves items of other kinds too.
                             {"1 3*x", kStep, F::BadReal, 2, 1, 2},
                             {"2*'0.5'", kStep, F::BadReal, 1, 1, 0}}),
                         fault_case_name);

TEST(Scanner, ReasonTexts) {
  const std::pair<Fault, std::string> cases[] = {
      {Fault::EndOfFile, "End of file"},
      {Fault::BadReal, "Bad real number in item 3 of list input"},
      {Fault::BadInteger, "Bad integer for item 3 in list input"},
      {Fault::IntegerOverflow, "Integer overflow while reading item 3"},
      {Fault::ZeroRepeat, "Zero repeat count in item 3 of list input"},
      {Fault::RepeatOverflow, "Repeat count overflow in item 3 of list input"},
      {Fault::BadInfinity, "Bad infinity in item 3 of list input"},
      {Fault::BadNotANumber, "Bad not-a-number in item 3 of list input"},
      {Fault::NoValue, "No value for item 3 of list input"}};
  for (const auto& [fault, text] : cases) {
    ScanFailure failure;
    failure.fault = fault;
    failure.item = 3;
    EXPECT_EQ(reason(failure), text);
  }
}

TEST(Scanner, StepRecords) {
  const struct {
    std::string text;
    double g_int, g_ts;
    std::string reac, prod;
  } cases[] = {{"-5.1\t20.3\r\n0.5\n\nx", -5.1, 20.3, "0.5", "x"},
               {"1 2 x y/", 1, 2, "x", "y"},
               {"1 2 x X a remark / ; 'ignored", 1, 2, "x", "X"},
               {"2*0.0 2*x", 0, 0, "x", "x"},
               {"4*1.50", 1.5, 1.5, "1.50", "1.50"},
               {"1 200000000*2.0", 1, 2, "2.0", "2.0"},
               {"1 2 'it''s' \"a \"\"q\"\" 'b'\"", 1, 2, "it's", "a \"q\" 'b'"},
               {"1 2 'a, b/c' ''", 1, 2, "a, b/c", ""},
               {"1 2 'a'b c", 1, 2, "a", "b"},
               {"1 2 'one\ntwo' 'three\r\nfour'", 1, 2, "onetwo", "threefour"},
               {"1 2 ab'c d\"e", 1, 2, "ab'c", "d\"e"},
               {"1 2 0.5mol\x01\xff x", 1, 2, "0.5mol\x01\xff", "x"},
               {"1 2 " + std::string(150, 'c') + " '" + std::string(150, 'q') + "'", 1, 2,
                std::string(100, 'c'), std::string(100, 'q')}};
  for (const auto& c : cases) {
    const Outcome out = scan(c.text, kStep);
    ASSERT_TRUE(out.ok) << c.text << ": " << reason(out.failure);
    EXPECT_EQ(out.values[0].real, c.g_int) << c.text;
    EXPECT_EQ(out.values[1].real, c.g_ts) << c.text;
    EXPECT_EQ(out.values[2].text, c.reac) << c.text;
    EXPECT_EQ(out.values[3].text, c.prod) << c.text;
  }
}

// Reading from a file: chunk boundaries and the rest of a line.
TEST(Scanner, CarriageReturnLineEndAcrossAChunkBoundary) {
  // The file is read in chunks of 65536 bytes: put the CR of the first line
  // end last in the first chunk, first in the second, and just before.
  for (std::size_t cr_at : {65534u, 65535u, 65536u}) {
    for (const std::string tail : {"2", "remark"}) {
      const std::string start = "1 " + tail;
      std::FILE* file =
          test::file_with(start + std::string(cr_at - start.size(), ' ') + "\r\n3\r\nK\n");
      Source source = file_source(file);
      std::array<Value, 1> one;
      ScanFailure failure;
      ASSERT_TRUE(read_list(source, std::array{Kind::Real}, one, failure));
      ASSERT_TRUE(skip_rest_of_line(source));
      // The line skipped is still there for a diagnostic.
      const LineExcerpt first = line_excerpt(source, 1);
      EXPECT_EQ(first.head.substr(0, start.size()), start);
      EXPECT_EQ(first.length, static_cast<int64_t>(cr_at)) << cr_at << tail;
      ASSERT_TRUE(read_list(source, std::array{Kind::Real}, one, failure));
      EXPECT_EQ(one[0].real, 3.0);
      EXPECT_EQ(one[0].place.line, 2);
      ASSERT_TRUE(skip_rest_of_line(source));
      EXPECT_FALSE(read_list(source, std::array{Kind::Real}, one, failure));
      EXPECT_EQ(failure.place.line, 3);
      std::fclose(file);
    }
  }
}

TEST(Scanner, ShowColumnNeverPrintsControlBytes) {
  const struct {
    std::string head;
    int64_t length;  // -1: longer than the head
    int64_t column;
    std::string shown;
  } cases[] = {{"0.0 15.2K x x", 13, 4, "0.0 15.2K x x\n    ^\n"},
               {"0.0\t15.2K\tx", 11, 4, "0.0     15.2K   x\n        ^\n"},
               {"a\x01"
                "b\xff",
                4, 2, "a\\x01b\\xff\n     ^\n"},
               {std::string(201, 'a'), 201, 1, std::string(120, 'a') + "...\n ^\n"},
               {std::string(240, 'a'), -1, 1, std::string(120, 'a') + "...\n ^\n"},
               {std::string(240, 'a'), -1, 130, ""}};
  for (const auto& c : cases) {
    const LineExcerpt excerpt{3, c.head, c.length, c.length >= 0};
    EXPECT_EQ(show_column(excerpt, c.column), c.shown) << c.head;
  }
}

}  // namespace
}  // namespace kinex::input

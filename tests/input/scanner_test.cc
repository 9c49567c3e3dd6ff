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

// ---------------------------------------------------------------------------

struct RealCase {
  const char* text;
  double value;
};

class RealForms : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealForms, ReadExactly) {
  const RealCase& c = GetParam();
  const Outcome out = scan(c.text, {Kind::Real});
  ASSERT_TRUE(out.ok) << reason(out.failure);
  const double got = out.values[0].real;
  if (std::isnan(c.value)) {
    EXPECT_TRUE(std::isnan(got));
  } else {
    EXPECT_EQ(got, c.value);
    EXPECT_EQ(std::signbit(got), std::signbit(c.value));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scanner, RealForms,
    ::testing::Values(RealCase{"298.15", 298.15}, RealCase{"300", 300.0}, RealCase{"+5.", 5.0},
                      RealCase{".5", 0.5}, RealCase{"-.5", -0.5}, RealCase{"-0.0", -0.0},
                      RealCase{"1.0e-3", 0.001}, RealCase{"1.0E+3", 1000.0},
                      RealCase{"1.0D+01", 10.0}, RealCase{"1d1", 10.0}, RealCase{"2.5d-1", 0.25},
                      RealCase{"1.0-3", 0.001}, RealCase{"1+3", 1000.0},
                      RealCase{"0.000000000000000000012345", 1.2345e-20},
                      RealCase{"1e400", kInf}, RealCase{"-1e400", -kInf},
                      RealCase{"1e-400", 0.0}, RealCase{"4.9e-324", 4.9e-324},
                      RealCase{"1.7976931348623159e308", kInf}, RealCase{"Inf", kInf},
                      RealCase{"-inf", -kInf}, RealCase{"+INFINITY", kInf},
                      RealCase{"NaN", NAN}, RealCase{"-nan", NAN},
                      // A value ends at a separator; what follows is not looked at.
                      RealCase{"1.5/", 1.5}, RealCase{"1.5,x", 1.5}, RealCase{"  \n\t 7 K", 7.0},
                      RealCase{"7\r\n", 7.0}, RealCase{"3*2.5", 2.5}));

TEST(Scanner, LongMantissasRoundOnceFromAllTheirDigits) {
  // Just above the halfway point between two doubles only in the last digit.
  const std::string above = "9007199254740993." + std::string(1000, '0') + "1";
  EXPECT_EQ(scan(above, {Kind::Real}).values[0].real, 9007199254740994.0);
  const std::string halfway = "9007199254740993." + std::string(1000, '0');
  EXPECT_EQ(scan(halfway, {Kind::Real}).values[0].real, 9007199254740992.0);
  const std::string shifted = "0." + std::string(5000, '0') + "15e5001";
  EXPECT_EQ(scan(shifted, {Kind::Real}).values[0].real, 1.5);
}

struct FaultCase {
  const char* text;
  std::vector<Kind> kinds;
  Fault fault;
  int64_t item;
  int64_t line;  // 0: none
  int64_t column;
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

const std::vector<Kind> kR{Kind::Real};
const std::vector<Kind> kI{Kind::Integer};
const std::vector<Kind> kStep{Kind::Real, Kind::Real, Kind::Text, Kind::Text};

INSTANTIATE_TEST_SUITE_P(
    Scanner, Faults,
    ::testing::Values(
        FaultCase{"298.15K", kR, Fault::BadReal, 1, 1, 0},
        FaultCase{"1.2.3", kR, Fault::BadReal, 1, 1, 0},
        FaultCase{"abc", kR, Fault::BadReal, 1, 1, 0},
        FaultCase{"1.0;2.0", kR, Fault::BadReal, 1, 1, 0},
        FaultCase{"1e", kR, Fault::BadReal, 1, 1, 0},
        FaultCase{"1e+", kR, Fault::BadReal, 1, 1, 0},
        FaultCase{"1.0q3", kR, Fault::BadReal, 1, 1, 0},
        FaultCase{".", kR, Fault::BadReal, 1, 1, 0}, FaultCase{"-", kR, Fault::BadReal, 1, 1, 0},
        FaultCase{"'1.0'", kR, Fault::BadReal, 1, 1, 0},
        FaultCase{"1.0\r2", kR, Fault::BadReal, 1, 1, 0},  // a CR not before LF
        FaultCase{"ix", kR, Fault::BadInfinity, 1, 1, 0},
        FaultCase{"-ix", kR, Fault::BadInfinity, 1, 1, 0},
        FaultCase{"infinityy", kR, Fault::BadInfinity, 1, 1, 0},
        FaultCase{"in", kR, Fault::BadInfinity, 1, 1, 0},
        FaultCase{"+nanx", kR, Fault::BadNotANumber, 1, 1, 0},
        FaultCase{"none", kR, Fault::BadNotANumber, 1, 1, 0},
        FaultCase{"3.0", kI, Fault::BadInteger, 1, 1, 0},
        FaultCase{"3e0", kI, Fault::BadInteger, 1, 1, 0},
        FaultCase{"three", kI, Fault::BadInteger, 1, 1, 0},
        FaultCase{"+", kI, Fault::BadInteger, 1, 1, 0},
        FaultCase{"9223372036854775808", kI, Fault::IntegerOverflow, 1, 1, 0},
        FaultCase{"-9223372036854775809", kI, Fault::IntegerOverflow, 1, 1, 0},
        // The whole value is looked at before it is converted.
        FaultCase{"99999999999999999999.", kI, Fault::BadInteger, 1, 1, 0},
        FaultCase{"", kR, Fault::EndOfFile, 0, 0, 0},
        FaultCase{" \n\t\n ", kR, Fault::EndOfFile, 0, 0, 0},
        FaultCase{"1 2 x", kStep, Fault::EndOfFile, 0, 0, 0},
        FaultCase{"1 2 'x", kStep, Fault::EndOfFile, 0, 0, 0},
        // Item numbers and places within a record over several lines.
        FaultCase{"0.0\n  15.2K x x", kStep, Fault::BadReal, 2, 2, 2},
        FaultCase{"0.0 x x x", kStep, Fault::BadReal, 2, 1, 4},
        FaultCase{", 1 x x", kStep, Fault::NoValue, 1, 1, 0},
        FaultCase{"\n\n,1 2 x x", kStep, Fault::NoValue, 1, 3, 0},
        FaultCase{"1,,2 x x", kStep, Fault::NoValue, 2, 1, 2},
        FaultCase{"1 , \n , 2 x x", kStep, Fault::NoValue, 2, 2, 1},
        FaultCase{"1 2 x,,", kStep, Fault::NoValue, 4, 1, 6},
        FaultCase{"1 2/ x x", kStep, Fault::NoValue, 3, 1, 3},
        FaultCase{"1 2 x /", kStep, Fault::NoValue, 4, 1, 6},
        FaultCase{"/", kR, Fault::NoValue, 1, 1, 0},
        FaultCase{"1 3* x", kStep, Fault::NoValue, 2, 1, 2},
        FaultCase{"1 2*\n x", kStep, Fault::NoValue, 2, 1, 2},
        FaultCase{"1 0*2 x x", kStep, Fault::ZeroRepeat, 2, 1, 2},
        FaultCase{"1 00*2 x x", kStep, Fault::ZeroRepeat, 2, 1, 2},
        FaultCase{"1 200000001*2", kStep, Fault::RepeatOverflow, 2, 1, 2},
        FaultCase{"99999999999999999999999*2", kStep, Fault::RepeatOverflow, 1, 1, 0},
        FaultCase{"0*x", {Kind::Text}, Fault::ZeroRepeat, 1, 1, 0},
        // A repeated value serves items of other kinds too.
        FaultCase{"1 3*x", kStep, Fault::BadReal, 2, 1, 2},
        FaultCase{"2*'0.5'", kStep, Fault::BadReal, 1, 1, 0}));

TEST(Scanner, ReasonTexts) {
  const std::vector<std::pair<Fault, std::string>> cases = {
      {Fault::EndOfFile, "End of file"},
      {Fault::BadReal, "Bad real number in item 3 of list input"},
      {Fault::BadInteger, "Bad integer for item 3 in list input"},
      {Fault::IntegerOverflow, "Integer overflow while reading item 3"},
      {Fault::ZeroRepeat, "Zero repeat count in item 3 of list input"},
      {Fault::RepeatOverflow, "Repeat count overflow in item 3 of list input"},
      {Fault::BadInfinity, "Bad infinity in item 3 of list input"},
      {Fault::BadNotANumber, "Bad not-a-number in item 3 of list input"},
      {Fault::NoValue, "No value for item 3 of list input"},
  };
  for (const auto& [fault, text] : cases) {
    ScanFailure failure;
    failure.fault = fault;
    failure.item = 3;
    EXPECT_EQ(reason(failure), text);
  }
}

// ---------------------------------------------------------------------------

struct StepCase {
  std::string text;
  double g_int, g_ts;
  std::string reac, prod;
};

class StepRecords : public ::testing::TestWithParam<StepCase> {};

TEST_P(StepRecords, Read) {
  const StepCase& c = GetParam();
  const Outcome out = scan(c.text, kStep);
  ASSERT_TRUE(out.ok) << reason(out.failure);
  EXPECT_EQ(out.values[0].real, c.g_int);
  EXPECT_EQ(out.values[1].real, c.g_ts);
  EXPECT_EQ(out.values[2].text, c.reac);
  EXPECT_EQ(out.values[3].text, c.prod);
}

INSTANTIATE_TEST_SUITE_P(
    Scanner, StepRecords,
    ::testing::Values(
        StepCase{"-5.1   20.3   0.5   x", -5.1, 20.3, "0.5", "x"},
        StepCase{"-5.1,20.3,0.5,x", -5.1, 20.3, "0.5", "x"},
        StepCase{"-5.1 , 20.3 ,\t0.5,  x", -5.1, 20.3, "0.5", "x"},
        StepCase{"-5.1\t20.3\r\n0.5\n\nx", -5.1, 20.3, "0.5", "x"},
        StepCase{"1 2 x X a remark / ; 'ignored", 1, 2, "x", "X"},
        StepCase{"2*0.0 2*x", 0, 0, "x", "x"}, StepCase{"4*1.50", 1.5, 1.5, "1.50", "1.50"},
        StepCase{"1 200000000*2.0", 1, 2, "2.0", "2.0"},
        StepCase{"1 2 'it''s' \"a \"\"q\"\" 'b'\"", 1, 2, "it's", "a \"q\" 'b'"},
        StepCase{"1 2 'a, b/c' ''", 1, 2, "a, b/c", ""},
        StepCase{"1 2 'one\ntwo' 'three\r\nfour'", 1, 2, "onetwo", "threefour"},
        StepCase{"1 2 'a'b c", 1, 2, "a", "b"},
        StepCase{"1 2 ab'c d\"e", 1, 2, "ab'c", "d\"e"},
        StepCase{"1 2 0.5mol\x01\xff x", 1, 2, "0.5mol\x01\xff", "x"},
        StepCase{"1 2 " + std::string(150, 'c') + " '" + std::string(150, 'q') + "'", 1, 2,
                 std::string(100, 'c'), std::string(100, 'q')}));

TEST(Scanner, SlashAfterTheLastValueIsHarmless) {
  EXPECT_TRUE(scan("1 2 x y/", kStep).ok);
  EXPECT_TRUE(scan("1.5/", kR).ok);
}

TEST(Scanner, HugeRepeatCountDoesNoWorkPerCopy) {
  const Outcome out = scan("200000000*7", kR);
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(out.values[0].real, 7.0);
}

// ---------------------------------------------------------------------------
// Reading from a file: chunk boundaries and the rest of a line.

std::FILE* file_with(const std::string& bytes) {
  std::FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  return file;
}

TEST(Scanner, CarriageReturnLineEndAcrossAChunkBoundary) {
  // The file is read in chunks of 65536 bytes: put the CR of the first line
  // end last in the first chunk, first in the second, and just before.
  for (std::size_t cr_at : {65534u, 65535u, 65536u}) {
    for (const char* tail : {"2", "remark"}) {
      const std::string start = std::string("1 ") + tail;
      const std::string bytes = start + std::string(cr_at - start.size(), ' ') + "\r\n3\r\n";
      std::FILE* file = file_with(bytes);
      Source source = file_source(file);
      std::array<Value, 1> one;
      ScanFailure failure;
      ASSERT_TRUE(read_list(source, std::array{Kind::Real}, one, failure));
      ASSERT_TRUE(skip_rest_of_line(source));
      ASSERT_TRUE(read_list(source, std::array{Kind::Real}, one, failure));
      EXPECT_EQ(one[0].real, 3.0);
      EXPECT_EQ(one[0].place.line, 2);
      const LineExcerpt first = line_excerpt(source, 1);
      EXPECT_EQ(first.length, static_cast<int64_t>(cr_at)) << cr_at << tail;
      std::fclose(file);
    }
  }
}

TEST(Scanner, SkippingTheRestOfALineKeepsItsHeadForDiagnostics) {
  std::FILE* file = file_with("1 tail\r\nK\n");
  Source source = file_source(file);
  std::array<Value, 1> one;
  ScanFailure failure;
  ASSERT_TRUE(read_list(source, std::array{Kind::Real}, one, failure));
  ASSERT_TRUE(skip_rest_of_line(source));
  const LineExcerpt excerpt = line_excerpt(source, 1);
  EXPECT_EQ(excerpt.head, "1 tail");
  EXPECT_TRUE(excerpt.complete);
  EXPECT_FALSE(read_list(source, std::array{Kind::Real}, one, failure));
  EXPECT_EQ(failure.place.line, 2);
  std::fclose(file);
}

// ---------------------------------------------------------------------------

struct ShowCase {
  std::string head;
  int64_t length;  // -1: longer than the head
  int64_t column;
  std::string shown;
};

class ShowColumn : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ShowColumn, NeverPrintsControlBytes) {
  const ShowCase& c = GetParam();
  const LineExcerpt excerpt{3, c.head, c.length, c.length >= 0};
  EXPECT_EQ(show_column(excerpt, c.column), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Scanner, ShowColumn,
    ::testing::Values(ShowCase{"0.0 15.2K x x", 13, 4, "0.0 15.2K x x\n    ^\n"},
                      ShowCase{"0.0\t15.2K\tx", 11, 4, "0.0     15.2K   x\n        ^\n"},
                      ShowCase{"a\x01" "b\xff", 4, 2, "a\\x01b\\xff\n     ^\n"},
                      ShowCase{std::string(201, 'a'), 201, 1, std::string(120, 'a') + "...\n ^\n"},
                      ShowCase{std::string(240, 'a'), -1, 1, std::string(120, 'a') + "...\n ^\n"},
                      ShowCase{std::string(240, 'a'), -1, 130, ""}));

}  // namespace
}  // namespace kinex::input

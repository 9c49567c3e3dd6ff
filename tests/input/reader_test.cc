// Reading whole input files into the run record, the concentration fields,
// and the diagnostics of files that cannot be read.
#include "input/reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/support.h"
#include "kinex/types.h"
#include "report/sections.h"

namespace kinex {
namespace {

const char kExample[] =
    "298.15\n"
    "3\n"
    "0.0    15.2   x     x\n"
    "-5.1   20.3   0.5   x\n"
    "-2.0   12.0   x     1.0e-3\n"
    "-10.0\n";

struct Read {
  bool ok = false;
  kinex::Run run;
  Failure failure;
};

Read read_bytes(const std::string& bytes) {
  Read r;
  r.run.input_name = "in.txt";
  r.run.memory_limit = std::size_t{1} << 28;
  std::FILE* file = test::file_with(bytes);
  r.ok = read_input(r.run, file, r.failure);
  std::fclose(file);
  return r;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Files that must read exactly like the example.
struct ExampleCase {
  const char* name;  // how the file differs from the example
  std::string file;
};

void PrintTo(const ExampleCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.file); }

class SameAsExample : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(SameAsExample, Reads) {
  const Read r = read_bytes(GetParam().file);
  ASSERT_TRUE(r.ok) << r.failure.message;
  const kinex::Run& run = r.run;
  EXPECT_EQ(run.cycle.T, 298.15);
  ASSERT_EQ(run.cycle.n, 3);
  EXPECT_EQ(run.cycle.DeltaG, -10.0);
  EXPECT_EQ(std::vector<double>(run.cycle.G_int.begin(), run.cycle.G_int.begin() + 3),
            (std::vector<double>{0.0, -5.1, -2.0}));
  EXPECT_EQ(std::vector<double>(run.cycle.G_ts.begin() + 1, run.cycle.G_ts.begin() + 4),
            (std::vector<double>{15.2, 20.3, 12.0}));
  EXPECT_EQ(run.cycle.has_reac, (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(run.cycle.has_prod, (std::vector<bool>{false, false, false, true}));
  EXPECT_EQ(run.cycle.conc_reac[1], 1.0);
  EXPECT_EQ(run.cycle.conc_reac[2], 0.5);
  EXPECT_EQ(run.cycle.conc_prod[3], 0.001);
  EXPECT_EQ(report::concentration_text(run.cycle.has_reac[1], run.cycle.conc_reac[1]), "x");
  EXPECT_EQ(report::concentration_text(run.cycle.has_reac[2], run.cycle.conc_reac[2]), "5.0E-01");
  EXPECT_EQ(report::concentration_text(run.cycle.has_prod[3], run.cycle.conc_prod[3]), "1.0E-03");
}

INSTANTIATE_TEST_SUITE_P(
    Reader, SameAsExample,
    ::testing::Values(
        ExampleCase{"TheExample", kExample},
        ExampleCase{"CrLfLineEnds", replace_all(kExample, "\n", "\r\n")},
        ExampleCase{"NoFinalLineEnd", std::string(kExample, sizeof kExample - 2)},
        ExampleCase{"UnitAfterTemperature", replace_all(kExample, "298.15\n", "298.15 K\n")},
        ExampleCase{"BlankLinesAndSingleBlanks",
                    "\n  \n\t\n298.15\n\n3\n\n0.0 15.2 x x\n \n-5.1 20.3 0.5 x\n-2.0 12.0 x "
                    "1.0e-3\n\n\n-10.0"},
        ExampleCase{"CommasBetweenValues",
                    replace_all(replace_all(kExample, "   ", ","), "    ", ", ")},
        ExampleCase{"RemarkAfterStep",
                    replace_all(kExample, "x     x\n", "x x   starting complex, no additives\n")},
        ExampleCase{"DExponents",
                    replace_all(replace_all(kExample, "15.2", "1.52D+01"), "-10.0", "-1.0d1")},
        ExampleCase{"QuotedConcentrationWithUnit",
                    replace_all(kExample, "0.5   x", "'0.5 mol/l' x")},
        ExampleCase{"StepOverSeveralLines",
                    replace_all(kExample, "0.0    15.2   x     x", "0.0 15.2\n x\n\n x")},
        ExampleCase{"RepeatCount", replace_all(kExample, "x     x", "2*x")},
        ExampleCase{"SlashEndsRecord", replace_all(kExample, "1.0e-3\n", "1.0e-3/ 'not read\n")},
        ExampleCase{"LinesAfterLastRecord",
                    replace_all(kExample, "-10.0\n",
                                "-10.0 kcal/mol\n1 2 3 what follows is never read 'x")}),
    [](const ::testing::TestParamInfo<ExampleCase>& info) { return info.param.name; });

TEST(Reader, ConcentrationFieldsGiveFlagValueAndText) {
  const struct {
    std::string field;
    int64_t has;
    double conc;
    std::string text;
  } cases[] = {{"x", 0, 1.0, "x"},
               {"X", 0, 1.0, "x"},
               {"'X  '", 0, 1.0, "x"},
               {"0.5", 1, 0.5, "5.0E-01"},
               {"1.0e-3", 1, 0.001, "1.0E-03"},
               {"2", 1, 2.0, "2.0E+00"},
               {"-0.5", 1, -0.5, "*******"},
               {"0", 1, 0.0, "0.0E+00"},
               {"'0.5 M'", 1, 0.5, "5.0E-01"},
               {"' 0.25,1'", 1, 0.25, "2.5E-01"},
               {"'2*4.0'", 1, 4.0, "4.0E+00"},
               {"'0.5\n mol'", 1, 0.5, "5.0E-01"}};
  for (const auto& c : cases) {
    const Read r = read_bytes("300\n1\n0 10 " + c.field + " x\n-1\n");
    ASSERT_TRUE(r.ok) << c.field << ": " << r.failure.message;
    EXPECT_EQ(r.run.cycle.has_reac[1], c.has != 0) << c.field;
    EXPECT_EQ(r.run.cycle.conc_reac[1], c.conc) << c.field;
    // As the repeat of the input shows the field.
    EXPECT_EQ(report::concentration_text(r.run.cycle.has_reac[1], r.run.cycle.conc_reac[1]), c.text)
        << c.field;
    EXPECT_FALSE(r.run.cycle.has_prod[1]) << c.field;
  }
}

struct FailureCase {
  const char* name;  // what is wrong with the file
  std::string file;
  std::string message;
  int status = kExitFailed;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.file); }

class Failures : public ::testing::TestWithParam<FailureCase> {};

// Whether `failure`'s place says what its message says: the first line is
// "FILE:LINE: reason" ("FILE: reason" for line 0) and the caret, two lines
// below, stands under the place's column. (The files here hold no tabs, and
// escaped bytes only at the start of a line.)
::testing::AssertionResult PlaceAgrees(const Failure& failure) {
  const ErrorPlace& place = failure.place;
  std::string first = place.file + ":";
  if (place.line > 0) first += std::to_string(place.line) + ":";
  first += " " + place.reason + "\n";
  if (!failure.message.starts_with(first)) {
    return ::testing::AssertionFailure() << "the message does not begin with " << first;
  }
  if (place.column == 0) return ::testing::AssertionSuccess();
  const std::vector<std::string> lines = test::lines_of(failure.message);
  if (lines.size() < 3 || lines[2].find('^') != static_cast<std::size_t>(place.column - 1)) {
    return ::testing::AssertionFailure() << "no caret at column " << place.column;
  }
  return ::testing::AssertionSuccess();
}

TEST_P(Failures, StopWithTheirDiagnostic) {
  const Read r = read_bytes(GetParam().file);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.failure.status, GetParam().status);
  EXPECT_EQ(r.failure.message, GetParam().message);
  EXPECT_TRUE(PlaceAgrees(r.failure));
}

const std::string kHead = "298.15\n1\n";
const std::string kBad = "in.txt:";
const std::string kEnd = "in.txt: End of file\n";
const std::string kAtLeastOne = "2: Number of steps must be at least 1 in item 1 of list input\n";

const std::string kNoRoom = "in.txt: cannot hold the arrays for n = ";

INSTANTIATE_TEST_SUITE_P(
    Reader, Failures,
    ::testing::ValuesIn(std::vector<FailureCase>{
        {"EmptyFile", "", kEnd + "The file ends before the temperature, its first value.\n"},
        {"OnlyBlanks", "  \n\t\n   ",
         kEnd + "The file ends before the temperature, its first value.\n"},
        {"UnitJoinedToTemperature", "298.15K\n",
         kBad + "1: Bad real number in item 1 of list input\n298.15K\n^\n"},
        {"StepCountInWords", "298.15\n  three\n",
         kBad + "2: Bad integer for item 1 in list input\n  three\n  ^\n"},
        {"NoSteps", "298.15\n0\n-10\n", kBad + kAtLeastOne + "0\n^\n"},
        {"NegativeStepCount", "298.15\n-3\n", kBad + kAtLeastOne + "-3\n^\n"},
        {"NoNumberOfSteps", "298.15\n",
         kEnd + "The file ends before the number of steps, its second value.\n"},
        {"SecondStepMissing", "298.15\n2\n0 10 x x\n-1\n",
         kEnd + "The file ends before the transition state's Gibbs energy (item 2) of the "
                "record of step 2 of 2.\n"},
        {"StepCutShort", kHead + "0 10 x\n",
         kEnd + "The file ends before the product's concentration or x (item 4) of the record "
                "of step 1 of 1.\n"},
        {"TwoCommasInAStep", kHead + "0\n\n  10,,x x\n-1\n",
         kBad + "5: No value for item 3 of list input\n  10,,x x\n     ^\n"},
        {"SlashBeforeLastItem", kHead + "0 10 x/\n-1\n",
         kBad + "3: No value for item 4 of list input\n0 10 x/\n      ^\n"},
        // Concentration fields: the line where the field stands, the item
        // within the field.
        {"BadFieldOnItsOwnLine", kHead + "0 10 x\n  xx\n-1\n",
         kBad + "4: Bad real number in item 1 of list input\n  xx\n  ^\n"},
        {"WordForConcentration", kHead + "0 10 none x\n-1\n",
         kBad + "3: Bad not-a-number in item 1 of list input\n0 10 none x\n     ^\n"},
        {"EmptyQuotedConcentration", kHead + "0 10 '' x\n-1\n", kEnd + "0 10 '' x\n     ^\n"},
        {"QuotedCommaFirst", kHead + "0 10 x ',5'\n-1\n",
         kBad + "3: No value for item 1 of list input\n0 10 x ',5'\n       ^\n"},
        {"UnitJoinedToConcentration", kHead + "0 10 300K x\n-1\n",
         kBad + "3: Bad real number in item 1 of list input\n0 10 300K x\n     ^\n"},
        // A failure of the file itself comes before one of a field.
        {"EndOfFileBeforeBadField", kHead + "0 10 300K x\n",
         kEnd + "The file ends before DeltaG, the value after the 1 step record.\n"},
        {"FirstOfTwoBadFields", "300\n2\n0 10 xx x\n0 10 x 1e\n-1\n",
         kBad + "3: Bad real number in item 1 of list input\n0 10 xx x\n     ^\n"},
        // Unprintable input is shown escaped, never raw.
        {"ByteOrderMark",
         "\xef\xbb\xbf"
         "298.15\n",
         kBad + "1: Bad real number in item 1 of list input\n\\xef\\xbb\\xbf298.15\n^\n" +
             "The file begins with a UTF-8 byte-order mark (the bytes \\xef\\xbb\\xbf), which "
             "some editors write when they save and do not show; KINEX reads plain text. Save the "
             "file as \"UTF-8\" without BOM, or as plain text (ASCII), and run again.\n"},
        {"LoneCarriageReturn", "298.15\r\n\r 1\r\n",
         kBad + "2: Bad integer for item 1 in list input\n\\x0d 1\n^\n"},
        // Storage that cannot be had ends the run with kExitNoMemory, promptly.
        {"TooManyStepsForMemory", "298.15\n1000000000000\n",
         kNoRoom + "1000000000000 steps\nMemory allocation failed\n", kExitNoMemory},
        {"LargestStepCount", "298.15\n9223372036854775807\n",
         kNoRoom + "9223372036854775807 steps\nMemory allocation failed\n", kExitNoMemory}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// The place of a failure, for callers that show it their own way.
TEST(Reader, FailurePlaceHasLineColumnAndReason) {
  const struct {
    const char* name;
    std::string file;
    int64_t line;
    int64_t column;  // 1-based, in bytes
    std::string reason;
  } cases[] = {
      {"BadNumberMidLine", kHead + "0  1x.5 x x\n-1\n", 3, 4,
       "Bad real number in item 2 of list input"},
      {"MissingValueAtEndOfFile", kHead + "0 10 x\n", 0, 0, "End of file"},
      {"StepCountBelowOne", "298.15\n  -3\n", 2, 3,
       "Number of steps must be at least 1 in item 1 of list input"},
      {"BadConcentrationField", kHead + "0 10 x 300K\n-1\n", 3, 8,
       "Bad real number in item 1 of list input"},
      {"EmptyQuotedField", kHead + "0 10 '' x\n-1\n", 0, 0, "End of file"},
      {"ByteOrderMark", "\xef\xbb\xbf 298.15\n", 1, 1, "Bad real number in item 1 of list input"},
      // Columns count bytes, whatever a terminal shows.
      {"TwoByteCharacterBeforeTheFault", kHead + "0 10 '0.5 \xc2\xb5M' 2q\n-1\n", 3, 16,
       "Bad real number in item 1 of list input"},
      {"TabBeforeTheValue", "298.15\n\t three\n", 2, 3, "Bad integer for item 1 in list input"},
      {"TooManyStepsForMemory", "298.15\n1000000000000\n", 0, 0,
       "cannot hold the arrays for n = 1000000000000 steps"},
  };
  for (const auto& c : cases) {
    const Read r = read_bytes(c.file);
    ASSERT_FALSE(r.ok) << c.name;
    EXPECT_EQ(r.failure.place.file, "in.txt") << c.name;
    EXPECT_EQ(r.failure.place.line, c.line) << c.name;
    EXPECT_EQ(r.failure.place.column, c.column) << c.name;
    EXPECT_EQ(r.failure.place.reason, c.reason) << c.name;
  }
}

// The Celsius hint names the temperature in kelvin that the remark meant.
TEST(Reader, CelsiusHintGivesTheTemperatureInKelvin) {
  const std::string celsius =
      "\xc2\xb0"
      "C";
  const struct {
    std::string temperature, kelvin;
  } cases[] = {{"25", "298.15"}, {"0", "273.15"}, {"-5", "268.15"}, {"37.5", "310.65"}};
  for (const auto& c : cases) {
    std::FILE* file = test::file_with(c.temperature + " " + celsius + "\n1\n0 15 x x\n-10\n");
    kinex::Run run;
    run.input_name = "in.txt";
    run.memory_limit = std::size_t{1} << 28;
    Failure failure;
    ReadNotes notes;
    const bool ok = read_input(run, file, failure, notes);
    std::fclose(file);
    ASSERT_TRUE(ok) << failure.message;
    ASSERT_EQ(notes.warnings.size(), 1u) << c.temperature;
    EXPECT_EQ(notes.warnings[0].text,
              "the temperature is read as " + c.temperature + " K, but its remark `" + celsius +
                  "` names degrees Celsius. KINEX takes the temperature in kelvin: for " +
                  c.temperature + " " + celsius + " write " + c.kelvin + ".");
  }
}

}  // namespace
}  // namespace kinex

// The reading warnings: each hazard of a file that reads, but perhaps not as
// meant, warns with its code and line; the report and the status are those
// of the file as KINEX reads it, byte for byte; remarks that are only
// remarks never warn.
#include "input/warnings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/support.h"
#include "input/reader.h"

namespace kinex {
namespace {

using test::file_with;
using test::lines_of;
using test::Outcome;
using test::run_kinex_exe;
using test::ScratchDir;
using test::spawn_shell;

struct Expected {
  std::string code;
  int64_t line;
};

struct Hazard {
  const char* name;
  std::string text;
  // The same cycle as KINEX reads `text`, written plainly.
  std::string as_read;
  std::vector<Expected> warnings;
};

const std::string kStep = "0.0 10.0 x x\n";

const Hazard kHazards[] = {
    {"DecimalCommaInTheTemperature",
     "298,15\n1\n" + kStep + "-5.0\n",
     "298\n1\n" + kStep + "-5.0\n",
     {{kLeftoverValues, 1}}},
    {"DecimalCommasInAStep",
     "298.15\n1\n0,0 15,2 x x\n-5.0\n",
     "298.15\n1\n0 0 15 2\n-5.0\n",
     {{kLeftoverValues, 3}}},
    {"DecimalCommaInDeltaG",
     "298.15\n1\n" + kStep + "-10,5\n",
     "298.15\n1\n" + kStep + "-10\n",
     {{kLeftoverValues, 4}}},
    {"DecimalCommaInTheNumberOfSteps",
     "298.15\n1,5\n" + kStep + "-5.0\n",
     "298.15\n1\n" + kStep + "-5.0\n",
     {{kLeftoverValues, 2}}},
    {"AValueTooMany",
     "298.15\n1\n0.0 10.0 x x 0.5\n-5.0\n",
     "298.15\n1\n" + kStep + "-5.0\n",
     {{kLeftoverValues, 3}}},
    {"AnXTooMany",
     "298.15\n1\n0.0 10.0 x x x\n-5.0\n",
     "298.15\n1\n" + kStep + "-5.0\n",
     {{kLeftoverValues, 3}}},
    {"ARecordSplitWrongly",
     "298.15\n1\n0.0 10.0 x\nx -2.0\n-5.0\n",
     "298.15\n1\n0.0 10.0 x x\n-5.0\n",
     {{kLeftoverValues, 4}}},
    {"CrLfLineEnds",
     "298,15\r\n1\r\n" + std::string("0.0 10.0 x x\r\n-5.0\r\n"),
     "298\r\n1\r\n0.0 10.0 x x\r\n-5.0\r\n",
     {{kLeftoverValues, 1}}},
    {"TooFewSteps",
     "298.15\n1\n" + kStep + "-2.0 12.0 x x\n-5.0\n",
     "298.15\n1\n" + kStep + "-2.0\n",
     {{kLeftoverValues, 4}, {kValuesAfterDeltaG, 5}}},
    {"ASecondCycleAfterDeltaG",
     "298.15\n1\n" + kStep + "-5.0\n\n! next catalyst\n300\n1\n",
     "298.15\n1\n" + kStep + "-5.0\n",
     {{kValuesAfterDeltaG, 7}}},
    {"DegreesCelsius",
     "25 \xc2\xb0"
     "C\n1\n" +
         kStep + "-5.0\n",
     "25\n1\n" + kStep + "-5.0\n",
     {{kCelsiusTemperature, 1}}},
    {"CelsiusAsC",
     "25 C\n1\n" + kStep + "-5.0\n",
     "25\n1\n" + kStep + "-5.0\n",
     {{kCelsiusTemperature, 1}}},
    {"CelsiusAsDegC",
     "25\tdegC\n1\n" + kStep + "-5.0\n",
     "25\n1\n" + kStep + "-5.0\n",
     {{kCelsiusTemperature, 1}}},
    {"CelsiusAsDegSpaceC",
     "25 deg C\n1\n" + kStep + "-5.0\n",
     "25\n1\n" + kStep + "-5.0\n",
     {{kCelsiusTemperature, 1}}},
    {"CelsiusSign",
     "25 \xe2\x84\x83\n1\n" + kStep + "-5.0\n",
     "25\n1\n" + kStep + "-5.0\n",
     {{kCelsiusTemperature, 1}}},
    {"CelsiusInWords",
     "25 Celsius\n1\n" + kStep + "-5.0\n",
     "25\n1\n" + kStep + "-5.0\n",
     {{kCelsiusTemperature, 1}}},
    {"SeveralAtOnce",
     "25,5 C\n1\n0,0 10,0 x x\n-5,0\n",
     "25\n1\n0 0 10 0\n-5\n",
     {{kLeftoverValues, 1}, {kLeftoverValues, 3}, {kLeftoverValues, 4}}},
};

// Remarks after the values that are only remarks.
const std::string kClean[] = {
    "298.15 K\n1\n" + kStep + "-5.0\n",
    "298.15 kelvin\n1\n" + kStep + "-5.0\n",
    "298.15 ! 25 C\n1\n" + kStep + "-5.0\n",
    "298.15\n3 steps\n0.0 15.2 x x ! step 1\n-5.1 20.3 0.5 x first step\n"
    "-2.0 12.0 x 1.0e-3 TS3\n-10.0 kcal/mol\n",
    "298.15\n1\n0.0 10.0 x x\tkcal/mol\n-5.0 / done\n",
    "298.15\n1\n0.0 10.0 x x  'text\n-5.0\n",
    "298.15\n1\n0.0 10.0 x x remark, with a comma\n-5.0\n",
    "298.15\n1\n0.0 10.0 x x / 12\n-5.0\n",
    "298.15\n1\n" + kStep + "-5.0\n\n   \n! notes\nfinal remark 12\n",
    "298.15\n1\n" + kStep + "-5.0",
    "  298.15  \n  1  \n" + kStep + "  -5.0  \n",
};

std::vector<Expected> warnings_of(const std::string& text) {
  std::FILE* file = file_with(text);
  kinex::Run run;
  run.input_name = "cycle.txt";
  Failure failure;
  ReadNotes notes;
  EXPECT_TRUE(read_input(run, file, failure, notes)) << failure.message;
  std::fclose(file);
  std::vector<Expected> found;
  for (const InputWarning& w : notes.warnings) found.push_back({w.code, w.line});
  return found;
}

int warning_lines(const std::string& err) {
  int count = 0;
  for (const std::string& line : lines_of(err)) {
    count += line.find(": warning: ") != std::string::npos ? 1 : 0;
  }
  return count;
}

class HazardTest : public ::testing::TestWithParam<Hazard> {};

TEST_P(HazardTest, WarnsWithItsCodeAndLine) {
  const Hazard& h = GetParam();
  const std::vector<Expected> found = warnings_of(h.text);
  ASSERT_EQ(found.size(), h.warnings.size());
  for (std::size_t k = 0; k < found.size(); ++k) {
    EXPECT_EQ(found[k].code, h.warnings[k].code) << "warning " << k;
    EXPECT_EQ(found[k].line, h.warnings[k].line) << "warning " << k;
  }
}

// The report of the file is that of the cycle as it is read, byte for byte
// and with the same status; only standard error gains the warnings, in the
// diagnostics' form.
TEST_P(HazardTest, LeavesTheReportAndStatusAsTheyAre) {
  const Hazard& h = GetParam();
  ScratchDir dir;
  const std::string path = dir.write("cycle.txt", h.text);
  const Outcome warned = run_kinex_exe({path});
  dir.write("cycle.txt", h.as_read);
  const Outcome plain = run_kinex_exe({path});
  EXPECT_EQ(warned.status, plain.status);
  EXPECT_EQ(warned.out, plain.out);
  EXPECT_EQ(plain.err, "");
  EXPECT_EQ(warning_lines(warned.err), static_cast<int>(h.warnings.size())) << warned.err;
  EXPECT_EQ(warned.err.rfind(
                "KINEX.exe: " + path + ":" + std::to_string(h.warnings[0].line) + ": warning: ", 0),
            0u)
      << warned.err;
}

INSTANTIATE_TEST_SUITE_P(Files, HazardTest, ::testing::ValuesIn(kHazards),
                         [](const ::testing::TestParamInfo<Hazard>& info) {
                           return std::string(info.param.name);
                         });

TEST(ReadingWarnings, RemarksThatAreOnlyRemarksNeverWarn) {
  for (const std::string& text : kClean) {
    EXPECT_TRUE(warnings_of(text).empty()) << text;
  }
}

// A file that fails gets its diagnostic, not the warnings of what was read
// before the fault.
TEST(ReadingWarnings, NoneForAFileThatFails) {
  ScratchDir dir;
  const Outcome o = run_kinex_exe({dir.write("cycle.txt", "298,15\n1\n0.0 10.0 x none\n-5\n")});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(warning_lines(o.err), 0) << o.err;
}

// The look past DeltaG is bounded: a long tail of numbers is counted only
// as far as the bound, and said to be "at least" that many.
TEST(ReadingWarnings, TheLookPastDeltaGIsBounded) {
  std::string text = "298.15\n1\n" + kStep + "-5.0\n";
  for (int k = 0; k < 100000; ++k) text += "1\n";
  std::FILE* file = file_with(text);
  kinex::Run run;
  run.input_name = "cycle.txt";
  Failure failure;
  ReadNotes notes;
  ASSERT_TRUE(read_input(run, file, failure, notes));
  std::fclose(file);
  ASSERT_EQ(notes.warnings.size(), 1u);
  EXPECT_NE(notes.warnings[0].text.find("at least 3276"), std::string::npos)
      << notes.warnings[0].text;
}

// A pipe that never ends (a cycle, then numbers without end): the report
// comes from what has been read, and the look past DeltaG takes only what
// is already at hand.
TEST(ReadingWarnings, APipeWithoutEndDoesNotKeepTheProgramReading) {
  ScratchDir dir;
  const std::string cycle = dir.write("cycle.txt", "298.15\n1\n" + kStep + "-5.0\n");
  const Outcome o = spawn_shell(dir, "{ cat " + test::shell_quoted(cycle) + "; yes 1; } | " +
                                         test::shell_quoted(KINEX_EXE) + " /dev/stdin l");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("TOF ="), std::string::npos);
  EXPECT_NE(o.err.find("warning: at least "), std::string::npos) << o.err;
}

// The byte-order mark's diagnostic keeps its reason and status, and says
// what the bytes are and how to save the file without them.
TEST(ReadingWarnings, AByteOrderMarkIsNamed) {
  ScratchDir dir;
  const Outcome o = run_kinex_exe({dir.write("cycle.txt",
                                             "\xef\xbb\xbf"
                                             "298.15\n1\n" +
                                                 kStep + "-5\n")});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
  EXPECT_NE(o.err.find(":1: Bad real number in item 1 of list input\n"), std::string::npos);
  EXPECT_NE(o.err.find("byte-order mark"), std::string::npos);
  EXPECT_NE(o.err.find("without BOM"), std::string::npos);
}

}  // namespace
}  // namespace kinex

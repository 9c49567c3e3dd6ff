// Reading whole input files into the run record, the concentration fields,
// and the diagnostics of files that cannot be read.
#include "input/reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

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
  Read result;
  result.run.input_name = "in.txt";
  result.run.memory_limit = std::size_t{1} << 28;
  std::FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  result.ok = read_input(result.run, file, result.failure);
  std::fclose(file);
  return result;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

void expect_example(const Read& r) {
  ASSERT_TRUE(r.ok) << r.failure.message;
  const kinex::Run& run = r.run;
  EXPECT_EQ(run.T, 298.15);
  ASSERT_EQ(run.n, 3);
  EXPECT_EQ(run.G_int[0], 0.0);
  EXPECT_EQ(run.G_int[1], -5.1);
  EXPECT_EQ(run.G_int[2], -2.0);
  EXPECT_EQ(run.G_ts[1], 15.2);
  EXPECT_EQ(run.G_ts[2], 20.3);
  EXPECT_EQ(run.G_ts[3], 12.0);
  EXPECT_EQ(run.DeltaG, -10.0);
  EXPECT_EQ(run.has_reac[1], 0);
  EXPECT_EQ(run.has_reac[2], 1);
  EXPECT_EQ(run.has_reac[3], 0);
  EXPECT_EQ(run.has_prod[1] + run.has_prod[2], 0);
  EXPECT_EQ(run.has_prod[3], 1);
  EXPECT_EQ(run.conc_reac[1], 1.0);
  EXPECT_EQ(run.conc_reac[2], 0.5);
  EXPECT_EQ(run.conc_prod[3], 0.001);
  EXPECT_EQ(run.reac_text[1], "x");
  EXPECT_EQ(run.reac_text[2], "5.0E-01");
  EXPECT_EQ(run.prod_text[3], "1.0E-03");
}

// Files that must read exactly like the example.
class SameAsExample : public ::testing::TestWithParam<std::string> {};

TEST_P(SameAsExample, Reads) { expect_example(read_bytes(GetParam())); }

INSTANTIATE_TEST_SUITE_P(
    Reader, SameAsExample,
    ::testing::Values(
        std::string(kExample), replace_all(kExample, "\n", "\r\n"),
        std::string(kExample, sizeof kExample - 2),  // no final line end
        replace_all(kExample, "298.15\n", "298.15 K\n"),
        "\n  \n\t\n298.15\n\n3\n\n0.0 15.2 x x\n \n-5.1 20.3 0.5 x\n-2.0 12.0 x 1.0e-3\n\n\n-10.0",
        replace_all(replace_all(kExample, "   ", ","), "    ", ", "),
        replace_all(kExample, "x     x\n", "x x   starting complex, no additives\n"),
        replace_all(replace_all(kExample, "15.2", "1.52D+01"), "-10.0", "-1.0d1"),
        replace_all(kExample, "0.5   x", "'0.5 mol/l' x"),
        replace_all(kExample, "0.0    15.2   x     x", "0.0 15.2\n x\n\n x"),
        replace_all(kExample, "x     x", "2*x"),
        replace_all(kExample, "-10.0\n", "-10.0 kcal/mol\n1 2 3 what follows is never read 'x")));

struct FieldCase {
  std::string field;
  int64_t has;
  double conc;
  std::string text;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.field); }

class ConcentrationFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ConcentrationFields, GiveFlagValueAndText) {
  const FieldCase& c = GetParam();
  const Read r = read_bytes("300\n1\n0 10 " + c.field + " x\n-1\n");
  ASSERT_TRUE(r.ok) << r.failure.message;
  EXPECT_EQ(r.run.has_reac[1], c.has);
  EXPECT_EQ(r.run.conc_reac[1], c.conc);
  EXPECT_EQ(r.run.reac_text[1], c.text);
  EXPECT_EQ(r.run.prod_text[1], "x");
}

INSTANTIATE_TEST_SUITE_P(
    Reader, ConcentrationFields,
    ::testing::Values(FieldCase{"x", 0, 1.0, "x"}, FieldCase{"X", 0, 1.0, "x"},
                      FieldCase{"'X  '", 0, 1.0, "x"}, FieldCase{"0.5", 1, 0.5, "5.0E-01"},
                      FieldCase{"1.0e-3", 1, 0.001, "1.0E-03"}, FieldCase{"2", 1, 2.0, "2.0E+00"},
                      FieldCase{"-0.5", 1, -0.5, "*******"}, FieldCase{"0", 1, 0.0, "0.0E+00"},
                      FieldCase{"'0.5 M'", 1, 0.5, "5.0E-01"},
                      FieldCase{"' 0.25,1'", 1, 0.25, "2.5E-01"},
                      FieldCase{"'2*4.0'", 1, 4.0, "4.0E+00"},
                      FieldCase{"'0.5\n mol'", 1, 0.5, "5.0E-01"}));

struct FailureCase {
  std::string file;
  std::string message;
  int status = 2;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.file); }

class Failures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(Failures, StopWithTheirDiagnostic) {
  const FailureCase& c = GetParam();
  const Read r = read_bytes(c.file);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.failure.status, c.status);
  EXPECT_EQ(r.failure.message, c.message);
}

const std::string kHead = "298.15\n1\n";

INSTANTIATE_TEST_SUITE_P(
    Reader, Failures,
    ::testing::Values(
        FailureCase{"", "KINEX.exe: in.txt: End of file\n"},
        FailureCase{"  \n\t\n   ", "KINEX.exe: in.txt: End of file\n"},
        FailureCase{"298.15K\n",
                    "KINEX.exe: in.txt:1: Bad real number in item 1 of list input\n"
                    "298.15K\n^\n"},
        FailureCase{"298.15\n3.0\n",
                    "KINEX.exe: in.txt:2: Bad integer for item 1 in list input\n3.0\n^\n"},
        FailureCase{"298.15\n  three\n",
                    "KINEX.exe: in.txt:2: Bad integer for item 1 in list input\n"
                    "  three\n  ^\n"},
        FailureCase{"298.15\n9223372036854775808\n",
                    "KINEX.exe: in.txt:2: Integer overflow while reading item 1\n"
                    "9223372036854775808\n^\n"},
        FailureCase{"298.15\n0\n-10\n",
                    "KINEX.exe: in.txt:2: Number of steps must be at least 1 in item 1 of list "
                    "input\n0\n^\n"},
        FailureCase{"298.15\n-3\n",
                    "KINEX.exe: in.txt:2: Number of steps must be at least 1 in item 1 of list "
                    "input\n-3\n^\n"},
        FailureCase{kHead + "0 10 x\n", "KINEX.exe: in.txt: End of file\n"},
        FailureCase{kHead + "0 10 x x\n", "KINEX.exe: in.txt: End of file\n"},
        FailureCase{kHead + "0 10 'x x\n-1\n", "KINEX.exe: in.txt: End of file\n"},
        FailureCase{kHead + "0 x x x\n-1\n",
                    "KINEX.exe: in.txt:3: Bad real number in item 2 of list input\n"
                    "0 x x x\n  ^\n"},
        FailureCase{kHead + "0\n\n  10,,x x\n-1\n",
                    "KINEX.exe: in.txt:5: No value for item 3 of list input\n"
                    "  10,,x x\n     ^\n"},
        FailureCase{kHead + "0 10 x/\n-1\n",
                    "KINEX.exe: in.txt:3: No value for item 4 of list input\n0 10 x/\n      ^\n"},
        FailureCase{kHead + "0 0*1\n", "KINEX.exe: in.txt:3: Zero repeat count in item 2 of list "
                                       "input\n0 0*1\n  ^\n"},
        FailureCase{kHead + "0 10 x x\n-inx\n",
                    "KINEX.exe: in.txt:4: Bad infinity in item 1 of list input\n-inx\n^\n"},
        // Concentration fields: the line where the field stands.
        FailureCase{kHead + "0 10 x\n  xx\n-1\n",
                    "KINEX.exe: in.txt:4: Bad real number in item 1 of list input\n  xx\n  ^\n"},
        FailureCase{kHead + "0 10 none x\n-1\n",
                    "KINEX.exe: in.txt:3: Bad not-a-number in item 1 of list input\n"
                    "0 10 none x\n     ^\n"},
        FailureCase{kHead + "0 10 '' x\n-1\n",
                    "KINEX.exe: in.txt: End of file\n0 10 '' x\n     ^\n"},
        FailureCase{kHead + "0 10 '\n' x\n-1\n", "KINEX.exe: in.txt: End of file\n0 10 '\n     ^\n"},
        FailureCase{kHead + "0 10 x ',5'\n-1\n",
                    "KINEX.exe: in.txt:3: No value for item 1 of list input\n"
                    "0 10 x ',5'\n       ^\n"},
        FailureCase{kHead + "0 10 x '0*5'\n-1\n",
                    "KINEX.exe: in.txt:3: Zero repeat count in item 1 of list input\n"
                    "0 10 x '0*5'\n       ^\n"},
        FailureCase{kHead + "0 10 300K x\n-1\n",
                    "KINEX.exe: in.txt:3: Bad real number in item 1 of list input\n"
                    "0 10 300K x\n     ^\n"},
        // A failure of the file itself comes before one of a field.
        FailureCase{kHead + "0 10 300K x\n", "KINEX.exe: in.txt: End of file\n"},
        FailureCase{"300\n2\n0 10 xx x\n0 10 x 1e\n-1\n",
                    "KINEX.exe: in.txt:3: Bad real number in item 1 of list input\n"
                    "0 10 xx x\n     ^\n"},
        // Unprintable input is shown escaped, never raw.
        FailureCase{std::string("\x7f" "ELF\x02\x01\x00\x00", 8) + "\n",
                    "KINEX.exe: in.txt:1: Bad real number in item 1 of list input\n"
                    "\\x7fELF\\x02\\x01\\x00\\x00\n^\n"},
        FailureCase{"\xef\xbb\xbf" "298.15\n",
                    "KINEX.exe: in.txt:1: Bad real number in item 1 of list input\n"
                    "\\xef\\xbb\\xbf298.15\n^\n"},
        FailureCase{"298.15\r\n\r 1\r\n", "KINEX.exe: in.txt:2: Bad integer for item 1 in list "
                                          "input\n\\x0d 1\n^\n"},
        FailureCase{"1e3\n" + std::string(300, ' ') + "1x",
                    "KINEX.exe: in.txt:2: Bad integer for item 1 in list input\n"},
        // Storage that cannot be had ends the run with status 1, promptly.
        FailureCase{"298.15\n1000000000000\n",
                    "KINEX.exe: in.txt: cannot hold the arrays for n = 1000000000000 steps\n"
                    "Memory allocation failed\n",
                    1},
        FailureCase{"298.15\n9223372036854775807\n",
                    "KINEX.exe: in.txt: cannot hold the arrays for n = 9223372036854775807 steps\n"
                    "Memory allocation failed\n",
                    1}));

TEST(Reader, ReadErrorGivesTheSystemReason) {
  kinex::Run run;
  run.input_name = "dir";
  std::FILE* file = std::fopen(".", "r");
  ASSERT_NE(file, nullptr);
  Failure failure;
  EXPECT_FALSE(read_input(run, file, failure));
  std::fclose(file);
  EXPECT_EQ(failure.status, 2);
  EXPECT_EQ(failure.message, "KINEX.exe: dir: Is a directory\n");
}

TEST(Reader, ValuesOverManyLinesAndRepeatsReachTheirSteps) {
  const Read r = read_bytes("1\n2\n3*-1.5 X\n 4 ,\n 5 'a''b' 0.1 / ignored\n1e1\n2*4.0\n");
  // Step 1 takes -1.5, -1.5, "-1.5" and "X"; step 2 runs over the next two
  // lines, and its field a'b is no number.
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.failure.message,
            "KINEX.exe: in.txt:5: Bad real number in item 1 of list input\n"
            " 5 'a''b' 0.1 / ignored\n   ^\n");
  const Read good = read_bytes("1\n2\n3*-1.5 X\n 4 ,\n 5 0.1 x/ ignored\n1e1\n2*4.0\n");
  ASSERT_TRUE(good.ok) << good.failure.message;
  EXPECT_EQ(good.run.G_int[0], -1.5);
  EXPECT_EQ(good.run.G_ts[1], -1.5);
  EXPECT_EQ(good.run.conc_reac[1], -1.5);
  EXPECT_EQ(good.run.reac_text[1], "*******");
  EXPECT_EQ(good.run.has_prod[1], 0);
  EXPECT_EQ(good.run.G_int[1], 4.0);
  EXPECT_EQ(good.run.G_ts[2], 5.0);
  EXPECT_EQ(good.run.reac_text[2], "1.0E-01");
  EXPECT_EQ(good.run.has_prod[2], 0);
  EXPECT_EQ(good.run.DeltaG, 10.0);
}

TEST(Reader, InfinitiesAndNotANumbersAreReadNotRejected) {
  const Read r = read_bytes("Infinity\n1\n-inf NaN 'nan' x\n+NAN\n");
  ASSERT_TRUE(r.ok) << r.failure.message;
  EXPECT_TRUE(std::isinf(r.run.T));
  EXPECT_TRUE(std::isinf(r.run.G_int[0]) && r.run.G_int[0] < 0);
  EXPECT_TRUE(std::isnan(r.run.G_ts[1]));
  EXPECT_TRUE(std::isnan(r.run.conc_reac[1]));
  EXPECT_TRUE(std::isnan(r.run.DeltaG));
}

}  // namespace
}  // namespace kinex

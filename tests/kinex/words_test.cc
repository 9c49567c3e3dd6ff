// Faults of the second attack in what kinex says: messages in the user's
// terms, and the README and the program agreeing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cycle_files.h"
#include "input/failure.h"

namespace kinex {
namespace {

using namespace cycle_files;

const std::string kThreeStep = KINEX_EXAMPLES "/three_step.txt";

TEST(Words, OptionValuesAreRefusedInTheUsersTerms) {
  const struct {
    std::vector<std::string> args;
    const char* words;
  } cases[] = {
      {{"uncertainty", kThreeStep, "--sigma", "1", "--threads", "-1"},
       "--threads: '-1' is not a whole number from 0 to 1024"},
      {{"uncertainty", kThreeStep, "--sigma", "1", "--correlation=nan"},
       "--correlation: 'nan' is not a number from 0 to 1"},
      {{"uncertainty", kThreeStep, "--sigma", "1e-400"},
       "--sigma: '1e-400' is not a sigma in kcal/mol: it is too small to be told from 0"},
      {{"uncertainty", kThreeStep, "--sigma", "1", "--samples", "abc"},
       "--samples: 'abc' is not a whole number from 1 to 100000000"},
      {{"volcano", KINEX_EXAMPLES "/volcano.csv", "--points", "1"},
       "--points: '1' is not a whole number from 2 to 100000"},
  };
  for (const auto& c : cases) {
    const test::Outcome o = kinex_run(c.args);
    EXPECT_EQ(o.status, kExitFailed) << c.words;
    EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("179769313486231570814527423731704356798070567525844996598917476803157"),
              std::string::npos)
        << o.err;
  }
}

// The README's word: a device such as /dev/stdout takes the picture as it is,
// whatever its name.
TEST(Words, PictureToADeviceIsWrittenAsTheReadmeSays) {
  ScratchDir dir;
  const test::Outcome o =
      test::spawn_shell(dir, test::shell_quoted(KINEX_TOOL) + " plot " +
                                 test::shell_quoted(kThreeStep) + " -o /dev/stdout");
  EXPECT_EQ(o.status, kExitOk) << o.err;
  EXPECT_EQ(o.out.rfind("<?xml", 0), 0u) << o.out.substr(0, 80);
  EXPECT_NE(o.out.find("</svg>"), std::string::npos);
}

TEST(Words, TableDiagnosticsNameAnOpenQuoteAndCutLongCells) {
  ScratchDir dir;
  const std::string head = "Catalyst,Cat,TS1,I1,TS2,Product\n";
  const struct {
    const char* name;
    std::string text;
    const char* words;
  } cases[] = {
      {"open.csv", head + "A,0,15,-5,20,-10\n\"B,0,15,-5,20,-10\nC,0,15,-5,20,-10\n",
       "open.csv:3:1: a quote opens a cell here and is never closed"},
      {"long.csv", head + "A,0," + std::string(1000000, 'x') + ",-5,20,-10\n",
       "xxxxxxxx... (1000000 bytes)' is not a number"},
  };
  for (const auto& c : cases) {
    const test::Outcome o = kinex_run({"csv", dir.write(c.name, c.text)});
    EXPECT_EQ(o.status, kExitFailed) << c.name;
    EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err.substr(0, 300);
    EXPECT_LT(o.err.size(), 400u) << c.name;
  }
}

}  // namespace
}  // namespace kinex

// Faults of the second attack in what kinex says: messages in the user's
// terms, and the README and the program agreeing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "kinex/types.h"

namespace kinex {
namespace {

using namespace cycle_files;

const std::string kThreeStepFile = KINEX_EXAMPLES "/three_step.txt";

TEST(Words, OptionValuesAreRefusedInTheUsersTerms) {
  const struct {
    std::vector<std::string> args;
    const char* words;
  } cases[] = {
      {{"uncertainty", kThreeStepFile, "--sigma", "1", "--threads", "-1"},
       "--threads: '-1' is not a whole number from 0 to 1024"},
      {{"uncertainty", kThreeStepFile, "--sigma", "1", "--correlation=nan"},
       "--correlation: 'nan' is not a number from 0 to 1"},
      {{"uncertainty", kThreeStepFile, "--sigma", "1e-400"},
       "--sigma: '1e-400' is not a sigma in kcal/mol: it is too small to be told from 0"},
      {{"uncertainty", kThreeStepFile, "--sigma", "1", "--samples", "abc"},
       "--samples: 'abc' is not a whole number from 1 to 100000000"},
      {{"volcano", KINEX_EXAMPLES "/volcano.csv", "--points", "1"},
       "--points: '1' is not a whole number from 2 to 100000"},
  };
  for (const auto& c : cases) {
    const test::Outcome o = kinex_run(c.args);
    EXPECT_EQ(o.status, kExitFailed) << c.words;
    EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
  }
}

// Every option's value is named once, in plain words: "--sigma S", not
// "--sigma S:S" or "--samples N:INT in [1 - 100000000]"; the help is short
// and sends the reader to the one reference rather than repeating it.
TEST(Words, HelpIsShortNamesEachValueOnceAndPointsToTheReference) {
  for (const char* command :
       {"report", "json", "csv", "check", "scan", "plot", "uncertainty", "volcano", "map"}) {
    const test::Outcome o = kinex_run({command, "--help"});
    EXPECT_EQ(o.status, kExitOk) << command;
    EXPECT_NE(o.out.find("The whole reference: man kinex"), std::string::npos) << command;
    EXPECT_LE(std::count(o.out.begin(), o.out.end(), '\n'), 40) << command;
    for (const char* noise : {"S:S", "K:K", ":INT", ":FLOAT", " in ["}) {
      EXPECT_EQ(o.out.find(noise), std::string::npos) << command << " --help shows " << noise;
    }
  }
}

// The README's word: a device such as /dev/stdout takes the picture as it is,
// whatever its name.
TEST(Words, PictureToADeviceIsWrittenAsTheReadmeSays) {
  ScratchDir dir;
  const test::Outcome o =
      test::spawn_shell(dir, test::shell_quoted(KINEX_TOOL) + " plot " +
                                 test::shell_quoted(kThreeStepFile) + " -o /dev/stdout");
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

// One guard in every CSV writer: a state a spreadsheet would take for a
// formula is warned of, or with --spreadsheet written as text.
TEST(Words, EveryCsvWriterGuardsFormulaNames) {
  ScratchDir dir;
  const std::string table = dir.write("formula.csv",
                                      "Catalyst,Descriptor d,Cat,TS1,@SUM(1+1),TS2,Product,sigma\n"
                                      "A,-3,0,15,-20,20,-10,1\n"
                                      "B,-2,0,14,-21,19,-10,1\n"
                                      "C,-1,0,16,-19,21,-10,1\n");
  const std::vector<std::vector<std::string>> commands = {
      {"csv"},
      {"scan", "--row", "B", "--temperatures", "300:310:10", "--csv"},
      {"uncertainty", "--csv", "--samples", "100"},
      {"volcano", "--csv", "--samples", "0"}};
  const std::string warning =
      "kinex: warning: @SUM(1+1): a spreadsheet takes this name for a formula; --spreadsheet "
      "writes it as text\n";
  for (const auto& command : commands) {
    for (const bool guarded : {false, true}) {
      std::vector<std::string> args{command[0]};
      if (guarded) args.push_back("--spreadsheet");
      args.push_back(table);
      args.insert(args.end(), command.begin() + 1, command.end());
      const test::Outcome o = kinex_run(args);
      SCOPED_TRACE(command[0] + (guarded ? " --spreadsheet" : ""));
      EXPECT_EQ(o.status, kExitOk) << o.err;
      const std::size_t warned = o.err.find(warning);
      EXPECT_EQ(warned != std::string::npos, !guarded) << o.err;
      if (!guarded) {
        EXPECT_EQ(o.err.find(warning, warned + 1), std::string::npos) << "once";
      }
      EXPECT_EQ(o.out.find(",'@SUM(1+1)") != std::string::npos, guarded);
      EXPECT_EQ(o.out.find(",@SUM(1+1)") != std::string::npos, !guarded);
    }
  }
}

}  // namespace
}  // namespace kinex

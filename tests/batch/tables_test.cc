// Screening tables through the subcommands: every row a cycle "FILE:NAME",
// a bad row left out with its diagnostic and status 2, the others written.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "batch/sources.h"
#include "common/cycle_files.h"

namespace kinex {
namespace {

using namespace cycle_files;
using test::Outcome;

// Rows a, c good; b has no TS1.
const std::string kMixed =
    "name,I0,TS1,I1,Product,Descriptor d\n"
    "a,0,15,-3,-8,0.5\n"
    "b,0,,-3,-8,0.7\n"
    "c,0,18,-4,-8,\n";
const std::string kBadRow =
    "kinex: TABLE:3:3: the energy of \"TS1\" is empty; every value "
    "must be given\n";

std::string with_table(std::string text, const std::string& table) {
  for (std::size_t at; (at = text.find("TABLE")) != std::string::npos;) text.replace(at, 5, table);
  return text;
}

// Each batch command: the good rows written, the bad one on standard error,
// status 2.
struct BatchCase {
  const char* label;
  std::vector<std::string> command;
  std::string out_holds;  // text of row c's output
};

class BadRowAmongGood : public testing::TestWithParam<BatchCase> {};

TEST_P(BadRowAmongGood, IsLeftOutWithItsDiagnosticAndStatus2) {
  ScratchDir dir;
  const std::string table = dir.write("mixed.csv", kMixed);
  std::vector<std::string> args = GetParam().command;
  args.push_back(table);
  const Outcome o = kinex_run(args);
  EXPECT_EQ(o.status, kExitFailed);
  EXPECT_EQ(o.err, with_table(kBadRow, table));
  EXPECT_NE(o.out.find(table + ":a"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find(with_table(GetParam().out_holds, table)), std::string::npos) << o.out;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, BadRowAmongGood,
    testing::Values(BatchCase{"Json", {"json"}, "\"file\": \"TABLE:c\""},
                    BatchCase{"Csv", {"csv"}, "TABLE:c,298.15,2,-8.0,"},
                    BatchCase{"Check", {"check"}, "TABLE:b: could not be read\nTABLE:c: "},
                    BatchCase{"CheckJson", {"check", "--json"}, "\"file\": \"TABLE:b\""}),
    [](const testing::TestParamInfo<BatchCase>& info) { return info.param.label; });

TEST(Tables, CsvAppendsDescriptorColumnsOnlyWhenThereAreAny) {
  ScratchDir dir;
  const std::string table = dir.write("t.csv", "name,I0,TS1,Product,Descriptor x\np,0,9,-2,3\n");
  const std::string file = KINEX_EXAMPLES "/three_step.txt";
  const Outcome both = kinex_run({"csv", file, table});
  ASSERT_EQ(both.status, kExitOk) << both.err;
  const auto records = read_csv(both.out);
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[0].back(), "Descriptor x");
  EXPECT_EQ(records[1].back(), "");  // the file has no descriptor
  EXPECT_EQ(records[2].back(), "3.0");
  EXPECT_EQ(records[1].size(), records[0].size());
  const Outcome alone = kinex_run({"csv", file});
  EXPECT_EQ(read_csv(alone.out)[0].size(), records[0].size() - 1);
}

TEST(Tables, JsonNamesTheTableRowAndDescriptors) {
  ScratchDir dir;
  const std::string table =
      dir.write("one.tsv", "name\tI0\tTS1\tProduct\tDescriptor x\np\t0\t9\t-2\t3\n");
  const Outcome o = kinex_run({"json", table});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  const nlohmann::json doc = nlohmann::json::parse(o.out);
  ASSERT_TRUE(doc.is_array());  // a table always gives an array
  ASSERT_EQ(doc.size(), 1u);
  EXPECT_EQ(doc[0]["file"], table + ":p");
  EXPECT_EQ(doc[0]["table"]["file"], table);
  EXPECT_EQ(doc[0]["table"]["row"], 2);
  EXPECT_EQ(doc[0]["table"]["name"], "p");
  EXPECT_EQ(doc[0]["descriptors"]["Descriptor x"], 3.0);
  EXPECT_EQ(doc[0]["input"]["G_ts"], nlohmann::json::array({9.0}));
}

TEST(Tables, TemperatureOptionServesRowsWithoutOneAndIsNoFile) {
  ScratchDir dir;
  const std::string table = dir.write("t.csv", "name,I0,TS1,Product\np,0,9,-2\n");
  const std::string with_column = dir.write("u.csv", "name,T,I0,TS1,Product\nq,310,0,9,-2\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"csv", "-T", "350", table, with_column},
        std::vector<std::string>{"csv", "--temperature=350", table, with_column}}) {
    const Outcome o = kinex_run(args);
    ASSERT_EQ(o.status, kExitOk) << o.err;
    const auto records = read_csv(o.out);
    EXPECT_EQ(records[1][1], "350.0");
    EXPECT_EQ(records[2][1], "310.0");  // the table's own column wins
  }
  const Outcome defaulted = kinex_run({"csv", table});
  EXPECT_EQ(read_csv(defaulted.out)[1][1], "298.15");
  const Outcome refused = kinex_run({"csv", "-T", "-4", table});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_TRUE(refused.out.empty());
}

// scan and plot take one cycle: a table's only row, or the one --row names.
struct OneCycleCase {
  const char* label;
  std::vector<std::string> args;  // TABLE for the two-row table
  int status;
  std::string err;
};

class OneCycle : public testing::TestWithParam<OneCycleCase> {};

TEST_P(OneCycle, PicksItsRow) {
  ScratchDir dir;
  const std::string table =
      dir.write("two.csv", "name,I0,TS1,Product\n\"p, q\",0,9,-2\nr,0,12,-2\nr,0,13,-2\n");
  std::vector<std::string> args;
  for (const std::string& arg : GetParam().args) args.push_back(with_table(arg, table));
  const Outcome o = kinex_run(args);
  EXPECT_EQ(o.status, GetParam().status);
  EXPECT_EQ(o.err, with_table(GetParam().err, table));
  if (GetParam().status == kExitOk) {
    EXPECT_FALSE(o.out.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, OneCycle,
    testing::Values(OneCycleCase{"ScanByName",
                                 {"scan", "TABLE", "--row", "p, q", "--temperatures", "300:310:10"},
                                 kExitOk,
                                 ""},
                    OneCycleCase{"PlotByName", {"plot", "TABLE", "--row", "p, q"}, kExitOk, ""},
                    OneCycleCase{"ScanWithoutRow",
                                 {"scan", "TABLE", "--temperatures", "300:310:10"},
                                 kExitFailed,
                                 "kinex: TABLE has 3 rows; pick one with --row NAME\n"},
                    OneCycleCase{"PlotUnknownRow",
                                 {"plot", "TABLE", "--row", "s"},
                                 kExitFailed,
                                 "kinex: TABLE has no row named 's'\n"},
                    OneCycleCase{"PlotAmbiguousRow",
                                 {"plot", "TABLE", "--row", "r"},
                                 kExitFailed,
                                 "kinex: TABLE has several rows named 'r'\n"}),
    [](const testing::TestParamInfo<OneCycleCase>& info) { return info.param.label; });

// A volcano tool's table row and the equivalent input file of KINEX.exe:
// kinex csv writes the same numbers, bit for bit (the shortest form reads
// back as the same double).
struct SameCycle {
  const char* label;
  std::string table;
  std::string input;
};

class TableRowAsInputFile : public testing::TestWithParam<SameCycle> {};

TEST_P(TableRowAsInputFile, GivesTheSameNumbers) {
  ScratchDir dir;
  const Outcome from_table = kinex_run({"csv", dir.write("v.csv", GetParam().table)});
  const Outcome from_file = kinex_run({"csv", dir.write("v.txt", GetParam().input)});
  ASSERT_EQ(from_table.status, kExitOk) << from_table.err;
  ASSERT_EQ(from_file.status, kExitOk) << from_file.err;
  auto a = read_csv(from_table.out), b = read_csv(from_file.out);
  ASSERT_GE(a.size(), 2u);
  ASSERT_GE(b.size(), 2u);
  // The cycle's name and its states' names differ (the table's header
  // names them); the numbers up to the names' columns do not.
  const std::size_t names_from = 14;
  ASSERT_EQ(a[0][names_from], "tdi");
  a[1].resize(names_from);
  b[1].resize(names_from);
  a[1][0] = b[1][0] = "";
  EXPECT_EQ(a[1], b[1]);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, TableRowAsInputFile,
    testing::Values(
        SameCycle{"ThreeSteps",
                  "Catalyst,I0,TS1,I1,TS2,I2,TS3,Product,[R2],[P3]\n"
                  "three step,0.0,15.2,-5.1,20.3,-2.0,12.0,-10.0,0.5,1.0e-3\n",
                  "298.15\n3\n0.0 15.2 x x\n-5.1 20.3 0.5 x\n-2.0 12.0 x 1.0e-3\n-10.0\n"},
        SameCycle{"ImpliedTransitionStates", "Catalyst,A,B,TS2,C,Product,T\nfe,0,3,18,1,-4,350\n",
                  "350\n3\n0 3 x x\n3 18 x x\n1 1 x x\n-4\n"},
        SameCycle{"DeltaGColumn", "Catalyst,I0,TS1,I1,TS2,DeltaG\nrh,2,12,-1,14,-7\n",
                  "298.15\n2\n2 12 x x\n-1 14 x x\n-7\n"}),
    [](const testing::TestParamInfo<SameCycle>& info) { return info.param.label; });

TEST(Tables, StrictRefusesARowWithFindingsAndPointsAtTheTable) {
  ScratchDir dir;
  // Row p's transition state lies below its intermediates.
  const std::string table = dir.write("s.csv", "name,I0,TS1,Product\np,0,-1,-2\nq,0,9,-2\n");
  const Outcome o = kinex_run({"csv", "--strict", table});
  EXPECT_EQ(o.status, kExitFailed);
  EXPECT_EQ(o.err, "kinex: " + table + ":p: 2 warnings; --strict takes only clean files (kinex " +
                       "check " + table + " lists them)\n");
  EXPECT_NE(o.out.find(table + ":q,"), std::string::npos);
}

TEST(Tables, LoadCyclesGivesEveryGoodCycleInOrder) {
  ScratchDir dir;
  const std::string table = dir.write("mixed.csv", kMixed);
  std::vector<kinex::Run> runs;
  std::vector<ReadNotes> notes;
  std::string err;
  EXPECT_FALSE(load_cycles({KINEX_EXAMPLES "/three_step.txt", table}, 298.15, runs, notes, err));
  EXPECT_EQ(err, with_table(kBadRow, table));
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(notes.size(), 3u);
  EXPECT_EQ(runs[1].input_name, table + ":a");
  EXPECT_EQ(runs[2].input_name, table + ":c");
  EXPECT_EQ(runs[1].names.transition[1], "TS1");
  EXPECT_EQ(runs[2].descriptors.size(), 0u);
}

TEST(Tables, TheShippedExampleReadsCleanly) {
  const Outcome o = kinex_run({"check", KINEX_EXAMPLES "/screening.csv"});
  EXPECT_EQ(o.status, kExitOk) << o.out << o.err;
  EXPECT_EQ(test::lines_of(o.out).size(), 4u);
}

}  // namespace
}  // namespace kinex

// Screening tables: the layout of volcano tables read into cycles, each bad
// cell named by its row and column.
#include "input/table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kinex {
namespace {

// The diagnostic `place` stands for: "FILE:LINE:COLUMN: reason", without
// the parts that are 0.
std::string diagnostic(const ErrorPlace& place) {
  std::string text = place.file + ":";
  if (place.line > 0) text += std::to_string(place.line) + ":";
  if (place.column > 0) text += std::to_string(place.column) + ":";
  return text + " " + place.reason;
}

std::vector<TableRow> good_rows(const std::string& text, double T = 298.15) {
  std::vector<TableRow> rows;
  std::string error;
  EXPECT_TRUE(parse_table("t.csv", text, T, rows, error)) << error;
  for (const TableRow& row : rows) EXPECT_TRUE(row.ok) << row.error;
  return rows;
}

// What a good table gives: the cycle's numbers and names.
struct GoodCase {
  const char* label;
  std::string text;
  std::string name;
  double T;
  std::vector<double> G_int;
  std::vector<double> G_ts;  // 1..n
  double DeltaG;
  std::vector<std::string> intermediates;
  std::vector<std::string> transitions;  // 1..n
  std::string final_state;
  int64_t line = 2;  // of the row
};

class GoodTable : public testing::TestWithParam<GoodCase> {};

TEST_P(GoodTable, GivesTheCycleAndItsNames) {
  const GoodCase& c = GetParam();
  const std::vector<TableRow> rows = good_rows(c.text);
  ASSERT_EQ(rows.size(), 1u);
  const TableRow& row = rows[0];
  EXPECT_EQ(row.name, c.name);
  EXPECT_EQ(row.row, c.line);
  EXPECT_EQ(row.cycle.T, c.T);
  EXPECT_EQ(row.cycle.G_int, c.G_int);
  std::vector<double> ts(row.cycle.G_ts.begin() + 1, row.cycle.G_ts.end());
  EXPECT_EQ(ts, c.G_ts);
  EXPECT_EQ(row.cycle.DeltaG, c.DeltaG);
  EXPECT_EQ(row.names.intermediate, c.intermediates);
  std::vector<std::string> names(row.names.transition.begin() + 1, row.names.transition.end());
  EXPECT_EQ(names, c.transitions);
  EXPECT_EQ(row.names.final_state, c.final_state);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, GoodTable,
    testing::Values(GoodCase{"Csv",
                             "cat,I0,TS1,I1,TS2,Product\nPd,0,15.2,-5.1,20.3,-10\n",
                             "Pd",
                             298.15,
                             {0, -5.1},
                             {15.2, 20.3},
                             -10,
                             {"I0", "I1"},
                             {"TS1", "TS2"},
                             "Product"},
                    GoodCase{"Tsv",
                             "cat\tA\tTS-OA\tB\tTS_2\tP\nNi\t1\t16\t-4\t22\t-9\n",
                             "Ni",
                             298.15,
                             {1, -4},
                             {16, 22},
                             -10,
                             {"A", "B"},
                             {"TS-OA", "TS_2"},
                             "P"},
                    GoodCase{"QuotedNameWithCommaAndQuote",
                             "name,I0,TS1,Product\n\"Pd(PPh3)2, \"\"L1\"\"\",0,10,-3\n",
                             "Pd(PPh3)2, \"L1\"",
                             298.15,
                             {0},
                             {10},
                             -3,
                             {"I0"},
                             {"TS1"},
                             "Product"},
                    GoodCase{"ByteOrderMarkAndCrLf",
                             "\xEF\xBB\xBFname,I0,TS1,Product\r\nCu,0,10,-3\r\n",
                             "Cu",
                             298.15,
                             {0},
                             {10},
                             -3,
                             {"I0"},
                             {"TS1"},
                             "Product"},
                    GoodCase{"EmptyRowsSkipped",
                             "name,I0,TS1,Product\n\n ,,,\nCu,0,10,-3\n,,,\n\n",
                             "Cu",
                             298.15,
                             {0},
                             {10},
                             -3,
                             {"I0"},
                             {"TS1"},
                             "Product",
                             4},
                    GoodCase{"DeltaGColumn",
                             "name,I0,TS1,I1,TS2,deltaG\nRh,2,12,-1,14,-7\n",
                             "Rh",
                             298.15,
                             {2, -1},
                             {12, 14},
                             -7,
                             {"I0", "I1"},
                             {"TS1", "TS2"},
                             ""},
                    GoodCase{"ImpliedTransitionStates",
                             "name,A,B,TS2,C,Product\nFe,0,3,18,1,-4\n",
                             "Fe",
                             298.15,
                             {0, 3, 1},
                             {3, 18, 1},
                             -4,
                             {"A", "B", "C"},
                             {"TS(A->B)", "TS2", "TS(C->Product)"},
                             "Product"},
                    GoodCase{"TemperatureColumn",
                             "name,T/K,I0,TS1,Product\nCo,350,0,10,-3\n",
                             "Co",
                             350,
                             {0},
                             {10},
                             -3,
                             {"I0"},
                             {"TS1"},
                             "Product"},
                    GoodCase{"TemperatureWithUnitInBrackets",
                             "name,I0,TS1,Product,Temperature (K)\nCo,0,10,-3,310\n",
                             "Co",
                             310,
                             {0},
                             {10},
                             -3,
                             {"I0"},
                             {"TS1"},
                             "Product"},
                    GoodCase{"NumberForms",
                             "name,I0,TS1,Product\nIr,+1.5,.5e1,-5.\n",
                             "Ir",
                             298.15,
                             {1.5},
                             {5},
                             -6.5,
                             {"I0"},
                             {"TS1"},
                             "Product"}),
    [](const testing::TestParamInfo<GoodCase>& info) { return info.param.label; });

TEST(Table, ConcentrationsDescriptorsAndDefaultTemperature) {
  const std::vector<TableRow> rows = good_rows(
      "name,I0,TS1,I1,TS2,Product,[R2],[P1],Descriptor dG(O)\n"
      "a,0,10,-1,12,-5,0.5,,1.25\n"
      "b,0,10,-1,12,-5,x,2e-3,\n",
      400);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cycle.T, 400);
  EXPECT_EQ(rows[0].cycle.has_reac, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(rows[0].cycle.conc_reac[2], 0.5);
  EXPECT_EQ(rows[0].cycle.has_prod, (std::vector<bool>{false, false, false}));
  ASSERT_EQ(rows[0].descriptors.size(), 1u);
  EXPECT_EQ(rows[0].descriptors[0].name, "Descriptor dG(O)");
  EXPECT_EQ(rows[0].descriptors[0].value, 1.25);
  EXPECT_EQ(rows[1].cycle.has_reac, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(rows[1].cycle.has_prod, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(rows[1].cycle.conc_prod[1], 2e-3);
  EXPECT_TRUE(rows[1].descriptors.empty());
  EXPECT_EQ(rows[1].row, 3);
}

// A bad row: its diagnostic, while the good rows around it still read.
struct BadCell {
  const char* label;
  std::string row;  // under "name,I0,TS1,I1,Product,T,[R1]"
  std::string diagnostic;
};

class BadRow : public testing::TestWithParam<BadCell> {};

TEST_P(BadRow, FailsWithRowAndColumnAndTheOthersRead) {
  const std::string text = "name,I0,TS1,I1,Product,T,[R1]\nok,0,9,1,-2,300,x\n" + GetParam().row +
                           "\nalso ok,0,9,1,-2,300,\n";
  std::vector<TableRow> rows;
  std::string error;
  ASSERT_TRUE(parse_table("s.csv", text, 298.15, rows, error)) << error;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(rows[0].ok);
  EXPECT_FALSE(rows[1].ok);
  EXPECT_EQ(rows[1].error, GetParam().diagnostic);
  EXPECT_EQ(diagnostic(rows[1].place), GetParam().diagnostic);
  EXPECT_TRUE(rows[2].ok);
  EXPECT_EQ(rows[2].row, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, BadRow,
    testing::Values(
        BadCell{"EmptyEnergy", "c,0,,1,-2,300,x",
                "s.csv:3:3: the energy of \"TS1\" is empty; every value must be given"},
        BadCell{"NotANumber", "c,0,9,abc,-2,300,x",
                "s.csv:3:4: the energy of \"I1\" 'abc' is not a number"},
        BadCell{"DecimalComma", "c,0,\"9,5\",1,-2,300,x",
                "s.csv:3:3: the energy of \"TS1\" '9,5' has a decimal comma; write it with a "
                "decimal point (9.5)"},
        BadCell{"NotFinite", "c,0,9,1,inf,300,x",
                "s.csv:3:5: the energy of \"Product\" 'inf' is not a finite number"},
        BadCell{"TooFewCells", "c,0,9,1",
                "s.csv:3:5: the row has 4 cells, the header 7 (\"Product\" and after are "
                "missing)"},
        BadCell{"TooManyCells", "c,0,9,1,-2,300,x,7",
                "s.csv:3:8: the row has 8 cells, the header only 7"},
        BadCell{"NoName", ",0,9,1,-2,300,x",
                "s.csv:3:1: the catalyst has no name (column 1 is empty)"},
        BadCell{"BadTemperature", "c,0,9,1,-2,warm,x",
                "s.csv:3:6: the temperature 'warm' is not a number (in K)"},
        BadCell{"EmptyTemperature", "c,0,9,1,-2,,x",
                "s.csv:3:6: the temperature is empty; every value must be given (in K)"},
        BadCell{"BadConcentration", "c,0,9,1,-2,300,none",
                "s.csv:3:7: the reactant concentration \"[R1]\" 'none' is not a number (or x "
                "for none)"}),
    [](const testing::TestParamInfo<BadCell>& info) { return info.param.label; });

// A header that no row can be read under fails the whole table.
struct BadHeader {
  const char* label;
  std::string header;
  std::string error;
};

class BadTableHeader : public testing::TestWithParam<BadHeader> {};

TEST_P(BadTableHeader, FailsTheWholeTable) {
  std::vector<TableRow> rows;
  std::string error;
  ErrorPlace place;
  EXPECT_FALSE(
      parse_table("h.csv", GetParam().header + "\nx,1,2,3,4,5\n", 298.15, rows, error, place));
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(diagnostic(place), GetParam().error);
  EXPECT_EQ(place.line, 1);
  EXPECT_TRUE(rows.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tables, BadTableHeader,
    testing::Values(
        BadHeader{"TwoTransitionStatesInARow", "name,I0,TS1,TS2,I1,Product",
                  "h.csv:1:4: two transition states in a row, \"TS1\" (column 3) and \"TS2\" "
                  "(column 4); an intermediate must come between them"},
        BadHeader{"StartsWithATransitionState", "name,TS1,I1,TS2,I2,Product",
                  "h.csv:1:2: \"TS1\" is a transition state, but the cycle starts with an "
                  "intermediate"},
        BadHeader{"EndsWithATransitionState", "name,I0,TS1,I1,TS2",
                  "h.csv:1:5: \"TS2\" is a transition state, but the last state column is the "
                  "final state (or DeltaG)"},
        BadHeader{"ConcentrationOfAStepBeyondTheCycle", "name,I0,TS1,Product,[P2],T",
                  "h.csv:1:5: \"[P2]\" names step 2, but the cycle has 1 steps"},
        BadHeader{"EmptyHeader", "name,I0,,TS1,Product", "h.csv:1:3: the column has no header"},
        BadHeader{"TooFewColumns", "name,I0",
                  "h.csv:1: the header needs the catalyst's name and at least two states (an "
                  "intermediate and the final state)"},
        BadHeader{"OneStateOnly", "name,I0,Descriptor a,T",
                  "h.csv:1:4: the table needs at least two state columns (an intermediate and "
                  "the final state)"}),
    [](const testing::TestParamInfo<BadHeader>& info) { return info.param.label; });

TEST(Table, WithoutRowsFails) {
  std::vector<TableRow> rows;
  std::string error;
  EXPECT_FALSE(parse_table("e.csv", "name,I0,TS1,Product\n", 298.15, rows, error));
  EXPECT_EQ(error, "e.csv: the table has no rows under its header");
  EXPECT_FALSE(parse_table("e.csv", "name,I0,TS1,Product\n,,,\n", 298.15, rows, error));
  EXPECT_EQ(error, "e.csv: the table has no rows under its header");
  EXPECT_FALSE(parse_table("e.csv", "", 298.15, rows, error));
}

// A table that fails as a whole: the place of its diagnostic.
TEST(Table, FailurePlaceHasLineColumnAndReason) {
  const struct {
    const char* label;
    std::string text;  // of e.csv; none: the file does not exist
    int64_t line;
    int64_t column;
    std::string reason;
  } cases[] = {
      {"EmptyTable", "", 0, 0, "the table is empty; it needs a header row and a row per catalyst"},
      {"OnlyEmptyRows", "name,I0,TS1,Product\n,,,\n", 0, 0,
       "the table has no rows under its header"},
      {"HeaderBelowBlankLines", "\n\nname,I0,TS1,TS2,Product\nPd,0,1,2,3\n", 3, 4,
       "two transition states in a row, \"TS1\" (column 3) and \"TS2\" (column 4); an "
       "intermediate must come between them"},
  };
  for (const auto& c : cases) {
    std::vector<TableRow> rows;
    std::string error;
    ErrorPlace place;
    EXPECT_FALSE(parse_table("e.csv", c.text, 298.15, rows, error, place)) << c.label;
    EXPECT_EQ(place.file, "e.csv") << c.label;
    EXPECT_EQ(place.line, c.line) << c.label;
    EXPECT_EQ(place.column, c.column) << c.label;
    EXPECT_EQ(place.reason, c.reason) << c.label;
    EXPECT_EQ(diagnostic(place), error) << c.label;
  }
  std::vector<TableRow> rows;
  std::string error;
  ErrorPlace place;
  EXPECT_FALSE(read_table("no/such/table.csv", 298.15, rows, error, place));
  EXPECT_EQ(diagnostic(place), "no/such/table.csv: cannot be opened");
  EXPECT_EQ(error, "no/such/table.csv: cannot be opened");
}

TEST(Table, NamesEndingInCsvOrTsvAreTables) {
  for (const char* name : {"a.csv", "b.TSV", "dir/c.Csv"}) EXPECT_TRUE(is_table_name(name));
  for (const char* name : {"a.txt", "csv", "a.csv.txt"}) EXPECT_FALSE(is_table_name(name));
}

}  // namespace
}  // namespace kinex

namespace kinex {
namespace {

// Sigma columns: the uncertainty of the energies, per row, never taken for
// states; a state may still be called "sigma-complex".
TEST(TableSigmas, ColumnsGiveEachRowsSigmasAndAreNoStates) {
  const std::vector<TableRow> rows = good_rows(
      "name,I0,TS1,sigma-complex,TS2,Product,sigma,sigma(TS2),\xcf\x83 (final)\n"
      "A,0,15,-5,20,-10,1.5,2.5,0\n"
      "B,0,15,-5,20,-10,,3,\n");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cycle.n, 2);
  EXPECT_EQ(rows[0].names.intermediate, (std::vector<std::string>{"I0", "sigma-complex"}));
  ASSERT_EQ(rows[0].sigmas.size(), 3u);
  EXPECT_EQ(rows[0].sigmas[0].state, "");
  EXPECT_EQ(rows[0].sigmas[0].sigma, 1.5);
  EXPECT_EQ(rows[0].sigmas[1].state, "TS2");
  EXPECT_EQ(rows[0].sigmas[2].state, "final");
  EXPECT_EQ(rows[0].sigmas[2].sigma, 0.0);
  ASSERT_EQ(rows[1].sigmas.size(), 1u);  // empty cells give none
  EXPECT_EQ(rows[1].sigmas[0].sigma, 3.0);
}

struct BadSigma {
  const char* label;
  std::string text;
  std::string diagnostic;
};

class TableSigmaErrors : public ::testing::TestWithParam<BadSigma> {};

TEST_P(TableSigmaErrors, AreNamedByRowAndColumn) {
  std::vector<TableRow> rows;
  std::string error;
  const bool read = parse_table("t.csv", GetParam().text, 298.15, rows, error);
  if (read) {
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_FALSE(rows[0].ok);
    error = rows[0].error;
  }
  EXPECT_EQ(error.substr(0, GetParam().diagnostic.size()), GetParam().diagnostic) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableSigmaErrors,
    ::testing::Values(BadSigma{"of_no_state", "name,I0,TS1,Product,sigma(TS9)\nA,0,10,-5,1\n",
                               "t.csv:1:5: \"sigma(TS9)\" is of \"TS9\", which is no state column"},
                      BadSigma{"negative", "name,I0,TS1,Product,sigma\nA,0,10,-5,-1\n",
                               "t.csv:2:5: the sigma \"sigma\" is -1; a sigma is at least 0"},
                      BadSigma{"not_a_number", "name,I0,TS1,Product,sigma(TS1)\nA,0,10,-5,abc\n",
                               "t.csv:2:5: the sigma \"sigma(TS1)\""}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kinex

// One naming scheme in every output of kinex: the states by their names
// (I0.., TS1.. by default, or the names set on the run), escaped or quoted
// as each output needs, and the states with the largest X_TOF beside the
// TDI and TDTS.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "outputs/check.h"
#include "outputs/csv_output.h"
#include "outputs/json_output.h"
#include "scan/scan.h"

namespace kinex {
namespace {

using namespace cycle_files;
using nlohmann::json;

// Three steps; TDI step 2 (I1), TDTS step 2 (TS2).
const char kThreeStep[] = "298.15\n3\n0.0 15.2 x x\n-5.1 20.3 0.5 x\n-2.0 12.0 x 1e-3\n-10.0\n";

// The cycle of `input` evaluated as kinex evaluates it, with `names` set
// before (none: the defaults); `notes` gets the reader's notes.
Run named_run(const std::string& input, const StateNames& names, ReadNotes* notes = nullptr) {
  ScratchDir dir;
  Run run;
  Failure failure;
  ReadNotes ignored;
  EXPECT_TRUE(load_cycle(dir.write("cycle.txt", input), run, failure, notes ? *notes : ignored))
      << failure.message;
  run.names = names;
  evaluate_cycle(run, 0, Use::outputs);
  return run;
}

// The document as `kinex json` writes it, parsed back.
json written_json(const Run& run) {
  std::string text;
  write_json(cycle_json(run, {}, {}), text);
  return json::parse(text);
}

// The row of `kinex csv`, read back.
std::vector<std::string> written_row(const Run& run, bool for_spreadsheet = false) {
  CsvNames guard(for_spreadsheet);
  const auto rows = read_csv(csv_header() + csv_row(run, guard, 0));
  EXPECT_EQ(rows.size(), 2u);
  return rows.back();
}

StateNames catalyst_names() {
  StateNames names;
  names.intermediate = {"Ni-OAc", "Ni-Ar", "Ni-H"};
  names.transition = {"", "TS-OA", "TS-TM", "TS-RE"};
  names.final_state = "Product";
  return names;
}

// The scan's line of a row at 300 K whose TDI (and TDTS, with
// `tdts_switches`) moved from step 1 to step 2 since the row at 290 K.
std::string switched_scan_row(const StateNames& names, bool csv, bool tdts_switches) {
  Sweep sweep;
  std::string error;
  EXPECT_TRUE(parse_sweep(Sweep::Kind::Temperature, "290:300:10", sweep, error)) << error;
  ScanRow first, second;
  first.TDI = first.TDTS = 1;
  second.TDI = second.TDTS = 2;
  second.tdi_changed = true;
  second.tdts_changed = tdts_switches;
  return ScanWriter(sweep, {290.0, 300.0}, names, csv).line(second, &first);
}

TEST(Names, SetOnTheRunTheyNameTheStatesOfJsonCsvScanAndCheck) {
  const kinex::Run run = named_run(kThreeStep, catalyst_names());
  const json doc = written_json(run);
  const json& results = doc.at("results");
  // The step numbers stay for scripts that read them.
  EXPECT_EQ(results.at("tdi_step"), 2);
  EXPECT_EQ(results.at("tdts_step"), 2);
  EXPECT_EQ(results.at("tdi"), "Ni-Ar");
  EXPECT_EQ(results.at("tdts"), "TS-TM");
  EXPECT_EQ(results.at("largest_xtof_int"), "Ni-Ar");
  EXPECT_EQ(results.at("largest_xtof_ts"), "TS-TM");
  std::vector<std::string> order;
  for (const json& state : doc.at("/input/states"_json_pointer)) order.push_back(state.at("name"));
  EXPECT_EQ(order, (std::vector<std::string>{"Ni-OAc", "TS-OA", "Ni-Ar", "TS-TM", "Ni-H", "TS-RE",
                                             "Product"}));
  EXPECT_EQ(doc.at("/input/states/6/G"_json_pointer), -10.0);  // G(I0) + DeltaG
  const json& by_state = results.at("xtof_by_state");
  EXPECT_EQ(by_state.at("int").at("Ni-Ar"), results.at("/xtof_int/1"_json_pointer));
  EXPECT_EQ(by_state.at("ts").at("TS-RE"), results.at("/xtof_ts/2"_json_pointer));
  EXPECT_EQ(by_state.at("reactant"), json({{"2", results.at("/xtof_reactant/1"_json_pointer)}}));
  EXPECT_EQ(by_state.at("product"), json({{"3", results.at("/xtof_product/2"_json_pointer)}}));

  const std::vector<std::string> row = written_row(run);
  EXPECT_EQ(std::vector<std::string>(row.begin() + 14, row.begin() + 18),
            (std::vector<std::string>{"Ni-Ar", "TS-TM", "Ni-Ar", "TS-TM"}));

  const std::string text = switched_scan_row(run.names, false, true);
  EXPECT_NE(text.find("  Ni-Ar  TS-TM  "), std::string::npos);
  EXPECT_NE(text.find("TDI Ni-OAc -> Ni-Ar, TDTS TS-OA -> TS-TM"), std::string::npos);
  const auto switched = read_csv(switched_scan_row(run.names, true, true))[0];
  EXPECT_EQ(switched[switched.size() - 3], "TS-TM");

  // A negative barrier on both sides, the last step's against the final state.
  ReadNotes notes;
  const kinex::Run low =
      named_run("298.15\n3\n0 -1 x x\n20 25 x x\n15 5 x x\n10\n", catalyst_names(), &notes);
  std::vector<std::string> texts;
  for (const InputWarning& finding : findings(low, notes)) texts.push_back(finding.text);
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0],
            "TS-OA (-1.0 kcal/mol) lies below Ni-OAc (0.0 kcal/mol) before it: a "
            "negative barrier");
  EXPECT_EQ(texts[1],
            "TS-OA (-1.0 kcal/mol) lies below Ni-Ar (20.0 kcal/mol) after it: a "
            "negative barrier");
  EXPECT_EQ(texts[2],
            "TS-RE (5.0 kcal/mol) lies below Ni-H (15.0 kcal/mol) before it: a "
            "negative barrier");
  EXPECT_EQ(texts[3],
            "TS-RE (5.0 kcal/mol) lies below Product (10.0 kcal/mol, Ni-OAc of the "
            "next turn) after it: a negative barrier");
}

// A name that repeats keeps its value under a key of its own.
TEST(Names, RepeatedNamesLoseNoDegreeOfControl) {
  StateNames names = catalyst_names();
  names.intermediate = {"Ni", "Ni", "Ni"};
  const json by_state =
      written_json(named_run(kThreeStep, names)).at("/results/xtof_by_state"_json_pointer);
  std::vector<std::string> keys;
  for (const auto& member : by_state.at("int").items()) keys.push_back(member.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"Ni", "Ni (step 2)", "Ni (step 3)"}));
}

// Names a table may bring: each output takes them as it must, JSON
// escaped (invalid UTF-8 replaced by U+FFFD), CSV quoted, the scan's text
// and check's findings with control characters escaped.
TEST(Names, HostileNamesAreEscapedOrQuotedInEachOutput) {
  struct Case {
    const char* label;
    std::string name;
    std::string in_json;
    std::string shown;  // in the scan's text and check's findings
  };
  const Case cases[] = {
      {"comma", "Ni,Ar", "Ni,Ar", "Ni,Ar"},
      {"quotes", "say \"Ni\"", "say \"Ni\"", "say \"Ni\""},
      {"line feed", "two\nlines", "two\nlines", "two\\x0alines"},
      {"carriage return and tab", "a\r\tb", "a\r\tb", "a\\x0d\\tb"},
      {"escape sequence", "\x1b[31mred", "\x1b[31mred", "\\x1b[31mred"},
      {"markup", "</svg><script>", "</svg><script>", "</svg><script>"},
      {"not UTF-8", "Ni\xff\xfe", "Ni\xef\xbf\xbd\xef\xbf\xbd", "Ni\xff\xfe"},
      {"Unicode", "Ni\u2013H\u2082\u2021", "Ni\u2013H\u2082\u2021", "Ni\u2013H\u2082\u2021"},
      {"long", std::string(300, 'N'), std::string(300, 'N'), std::string(300, 'N')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    StateNames names = catalyst_names();
    names.intermediate[1] = c.name;  // the TDI
    names.transition[2] = c.name;    // the TDTS
    const kinex::Run run = named_run(kThreeStep, names);

    const json doc = written_json(run);
    EXPECT_EQ(doc.at("/results/tdi"_json_pointer), c.in_json);
    EXPECT_EQ(doc.at("/results/largest_xtof_ts"_json_pointer), c.in_json);
    EXPECT_TRUE(doc.at("/results/xtof_by_state/int"_json_pointer).contains(c.in_json));

    const std::vector<std::string> row = written_row(run);
    ASSERT_EQ(row.size(), 20u);
    EXPECT_EQ(row[14], c.name);
    EXPECT_EQ(row[17], c.name);

    const std::string line = switched_scan_row(names, false, false);
    EXPECT_EQ(test::lines_of(line).size(), 1u) << line;
    EXPECT_NE(line.find("TDI Ni-OAc -> " + c.shown), std::string::npos) << line;
    for (const char byte : line.substr(0, line.size() - 1)) {
      EXPECT_FALSE(static_cast<unsigned char>(byte) < 0x20 || byte == 0x7f) << line;
    }
    const auto switched = read_csv(switched_scan_row(names, true, false))[0];
    EXPECT_EQ(switched[switched.size() - 3], c.name);

    ReadNotes notes;
    const kinex::Run low =
        named_run("298.15\n3\n0 15 x x\n10 8 x x\n-5 20 x x\n-10\n", names, &notes);
    const std::vector<InputWarning> found = findings(low, notes);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].line, 4);
    EXPECT_EQ(found[0].text, c.shown + " (8.0 kcal/mol) lies below " + c.shown +
                                 " (10.0 kcal/mol) before it: a negative barrier");
  }
  // A spreadsheet takes a name that starts like a formula as text.
  StateNames names = catalyst_names();
  names.intermediate[1] = "=HYPERLINK(\"x\")";
  EXPECT_EQ(written_row(named_run(kThreeStep, names), true)[14], "'=HYPERLINK(\"x\")");
}

// TDI and TDTS name the largest term of the TOF's denominator; the largest
// X_TOF names the states whose energies the TOF depends on most. They part
// where a state takes part in several terms of about the same size.
TEST(Names, LargestXtofBesideTheTdiAndTdts) {
  struct Case {
    const char* label;
    const char* input;
    std::vector<std::string> expected;  // TDI, TDTS, largest X_TOF int and TS
  };
  const Case cases[] = {
      {"one term outweighs the rest", kThreeStep, {"I1", "TS2", "I1", "TS2"}},
      // (I0, TS1) is the largest term, but TS3 is 0.1 kcal/mol lower in
      // three terms, one with each intermediate.
      {"a transition state in three comparable terms",
       "298.15\n3\n0 20 x x\n0 5 x x\n0 19.9 x x\n-30\n",
       {"I0", "TS1", "I0", "TS3"}},
      // (I1, TS2) is the largest term, but I0 lies in three terms of about
      // its size, I1 in two.
      {"an intermediate in three comparable terms",
       "298.15\n3\n0 19.9 x x\n-0.1 19.95 x x\n5 19.9 x x\n-30\n",
       {"I1", "TS2", "I0", "TS2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const kinex::Run run = named_run(c.input, {});
    const json results = written_json(run).at("results");
    EXPECT_EQ(
        (std::vector<std::string>{results.at("tdi"), results.at("tdts"),
                                  results.at("largest_xtof_int"), results.at("largest_xtof_ts")}),
        c.expected);
    const std::vector<std::string> row = written_row(run);
    EXPECT_EQ(std::vector<std::string>(row.begin() + 14, row.begin() + 18), c.expected);
  }
}

}  // namespace
}  // namespace kinex

// kinex check and the warnings the other subcommands state: each hazard
// found with its code and line, clean files left alone, the exit statuses,
// and --strict refusing a warned file while keeping the clean ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "common/cycle_files.h"
#include "kinex/types.h"

namespace kinex {
namespace {

using namespace cycle_files;
using nlohmann::json;
using Found = std::vector<std::pair<std::string, int64_t>>;  // code, line (0: none)

struct Hazard {
  const char* name;
  const char* input;
  Found expected;
};

// The codes and lines that `kinex check --json` gives for one file.
Found checked(const std::string& file, int expected_status) {
  const test::Outcome o = kinex_run({"check", "--json", file});
  EXPECT_EQ(o.status, expected_status) << o.out << o.err;
  EXPECT_EQ(o.err, "");
  const json docs = json::parse(o.out);
  EXPECT_EQ(docs.size(), 1u);
  Found found;
  for (const json& w : docs.at(0).at("warnings")) {
    found.emplace_back(w.at("code"), w.at("line").is_null() ? 0 : w.at("line").get<int64_t>());
  }
  return found;
}

TEST(Check, EachHazardWithItsCodeAndLine) {
  const Hazard hazards[] = {
      {"decimal comma",
       "298,15\n2\n0.0 15.2 x x\n-5.1 20.3 x x\n-10.0\n",
       {{"leftover-values", 1}}},
      {"steps too few",
       "298.15\n1\n0 15 x x\n-5 20 x x\n-10\n",
       {{"leftover-values", 4}, {"values-after-DeltaG", 5}}},
      {"Celsius",
       "25 \xc2\xb0"
       "C\n1\n0 15 x x\n-10\n",
       {{"celsius-temperature", 1}}},
      {"barrier below before",
       "298.15\n3\n0 15 x x\n10 8 x x\n5 12 x x\n-10\n",
       {{"negative-barrier", 4}}},
      {"barrier below after",
       "298.15\n3\n0 15 x x\n-5 8 x x\n10 20 x x\n-10\n",
       {{"negative-barrier", 4}}},
      {"last step below the next turn",
       "298.15\n2\n20 30 x x\n0 5 x x\n-10\n",
       {{"negative-barrier", 4}}},
      {"last step below the next turn raised by DeltaG",
       "298.15\n2\n0 20 x x\n-5 3 x x\n5\n",
       {{"negative-barrier", 4}, {"no-driving-force", 5}}},
      {"both sides and the TOF above k_B T/h",
       "298.15\n1\n0 -15 x x\n-10\n",
       {{"negative-barrier", 3}, {"negative-barrier", 3}, {"TOF-above-limit", 0}}},
      {"T negative",
       "-5\n1\n0 15 x x\n-10\n",
       {{"temperature-not-positive", 1},
        {"no-driving-force", 4},
        {"result-not-finite", 0},
        {"result-not-finite", 0}}},
      {"T zero",
       "0\n1\n0 15 x x\n-10\n",
       {{"temperature-not-positive", 1}, {"result-not-finite", 0}, {"result-not-finite", 0}}},
      {"reactant 0",
       "298.15\n2\n0 15 0 x\n-5 20 x x\n-10\n",
       {{"concentration-not-positive", 3}, {"no-driving-force", 5}}},
      {"product negative",
       "298.15\n2\n0 15 x x\n-5 20 x -1e-3\n-10\n",
       {{"concentration-not-positive", 4}}},
      {"no driving force", "298.15\n2\n0 15 x x\n-5 20 x x\n5\n", {{"no-driving-force", 5}}},
      {"degrees Celsius without the unit",
       "25\n2\n0 15 x x\n-5 20 x x\n-10\n",
       {{"temperature-looks-celsius", 1}}},
      {"199 K, but not 200 K", "199\n1\n0 15 x x\n-10\n", {{"temperature-looks-celsius", 1}}},
      {"energies in kJ/mol", "298.15\n2\n0 63 x x\n-21 84 x x\n-42\n", {{"energies-look-kJ", 4}}},
  };
  ScratchDir dir;
  for (const Hazard& hazard : hazards) {
    SCOPED_TRACE(hazard.name);
    EXPECT_EQ(checked(dir.write("cycle.txt", hazard.input), kExitWarned), hazard.expected);
  }
}

// A finding is shown as a warning once: the report's "WARNING! " is not
// repeated after "warning: "; the limits of the unit findings themselves
// find nothing.
TEST(Check, WordsOfTheFindingsAndTheirLimits) {
  ScratchDir dir;
  const std::string uphill = dir.write("uphill.txt", "298.15\n2\n0 15 x x\n-5 20 x x\n5\n");
  EXPECT_EQ(kinex_run({"check", uphill}).out,
            uphill +
                ":5: warning: There is no positive driving force. That's because DeltaG is "
                "not negative.\n" +
                uphill + ": 1 warning\n");
  const std::string limits = dir.write("limits.txt", "200\n2\n0 59.9 x x\n-5 20 x x\n-10\n");
  EXPECT_EQ(kinex_run({"check", limits}).out, limits + ": no warnings\n");
}

TEST(Check, NamesTheStatesByNameAndKeepsTheLines) {
  ScratchDir dir;
  const std::string after =
      dir.write("after.txt", "298.15\n3\n0 15 x x\n-5 8 x x\n10 20 x x\n-10\n");
  const std::string wrap = dir.write("wrap.txt", "298.15\n2\n20 30 x x\n0 5 x x\n-10\n");
  const test::Outcome o = kinex_run({"check", after, wrap});
  EXPECT_EQ(o.out, after +
                       ":4: warning: TS2 (8.0 kcal/mol) lies below I2 (10.0 kcal/mol) after it: "
                       "a negative barrier\n" +
                       after + ": 1 warning\n" + wrap +
                       ":4: warning: TS2 (5.0 kcal/mol) lies below I0\u2032 (10.0 kcal/mol, I0 of "
                       "the next turn) after it: a negative barrier\n" +
                       wrap + ": 1 warning\n");
}

// Remarks after the values, and a TOF at k_B T/h itself (no barrier at
// all, which rounding puts a hair above it), are no cause for a warning.
TEST(Check, CleanFilesPass) {
  ScratchDir dir;
  const std::vector<std::string> files{
      KINEX_EXAMPLES "/three_step.txt", KINEX_EXAMPLES "/five_step.txt",
      dir.write("remarks.txt",
                "298.15 K\n2 steps\n0.0 15.0 x x ! first step\n-5.0 20.0 0.5 x ! step 2\n"
                "-10.0 kcal/mol\n"),
      dir.write("flat.txt", "1000\n1\n0 0 x x\n-1000\n"),
      // Above the next turn's first intermediate, which DeltaG lowers.
      dir.write("wrap.txt", "298.15\n2\n10 30 x x\n0 5 x x\n-10\n")};
  std::string expected;
  for (const std::string& file : files) expected += file + ": no warnings\n";
  std::vector<std::string> args{"check"};
  args.insert(args.end(), files.begin(), files.end());
  const test::Outcome o = kinex_run(args);
  EXPECT_EQ(o.status, kExitOk);
  EXPECT_EQ(o.out, expected);
  EXPECT_EQ(o.err, "");
}

TEST(Check, StatusAndJsonOverSeveralFiles) {
  ScratchDir dir;
  const std::string clean = KINEX_EXAMPLES "/three_step.txt";
  const std::string warned = dir.write("warned.txt", "298.15\n1\n0 -5 x x\n-10\n");
  const std::string missing = dir.file("missing.txt");
  EXPECT_EQ(kinex_run({"check", clean, warned}).status, kExitWarned);
  const test::Outcome with_missing = kinex_run({"check", clean, missing, warned});
  EXPECT_EQ(with_missing.status, kExitFailed);
  EXPECT_EQ(with_missing.err, "kinex: " + missing + ": No such file or directory\n");
  EXPECT_NE(with_missing.out.find(missing + ": could not be read\n"), std::string::npos);
  EXPECT_NE(with_missing.out.find(warned + ": 2 warnings\n"), std::string::npos);

  const test::Outcome o = kinex_run({"check", "--json", clean, missing, warned});
  EXPECT_EQ(o.status, kExitFailed);
  const json docs = json::parse(o.out);
  ASSERT_EQ(docs.size(), 3u);
  const auto document = [](const std::string& file, bool read) {
    return json({{"schema_version", 2},
                 {"document", "check"},
                 {"file", file},
                 {"read", read},
                 {"warnings", json::array()}});
  };
  EXPECT_EQ(docs[0], document(clean, true));
  EXPECT_EQ(docs[1], document(missing, false));
  const json& found = docs[2].at("warnings");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].at("line"), 3);
  EXPECT_TRUE(found[1].at("line").is_null());
  EXPECT_EQ(found[1].at("code"), "TOF-above-limit");
  EXPECT_TRUE(found[1].at("text").is_string());
}

// The reading warnings reach standard error as KINEX.exe writes them, under
// kinex's name; --strict refuses the warned file and keeps the clean ones.
TEST(Strict, RefusesWarnedFilesAndKeepsCleanOnes) {
  ScratchDir dir;
  const std::string clean = KINEX_EXAMPLES "/three_step.txt";
  const std::string comma = dir.write("comma.txt", "298,15\n1\n0 15 x x\n-10\n");
  std::string reading = test::run_kinex_exe({comma, "l"}).err;
  for (std::size_t at = 0; (at = reading.find("KINEX.exe: ", at)) != std::string::npos;) {
    reading.replace(at, 11, "kinex: ");
  }
  ASSERT_NE(reading, "");
  const std::string refusal = "kinex: " + comma +
                              ": 1 warning; --strict takes only clean files (kinex check " + comma +
                              " lists them)\n";

  for (const std::string command : {"json", "csv"}) {
    SCOPED_TRACE(command);
    const test::Outcome lenient = kinex_run({command, clean, comma});
    EXPECT_EQ(lenient.status, kExitOk);
    EXPECT_EQ(lenient.err, reading);
    const test::Outcome strict = kinex_run({command, "--strict", comma, clean});
    EXPECT_EQ(strict.status, kExitFailed);
    EXPECT_EQ(strict.err, reading + refusal);
    std::vector<std::string> named;
    if (command == "json") {
      const json docs = json::parse(lenient.out);
      EXPECT_EQ(docs[0].at("warnings"), json::array());
      EXPECT_EQ(docs[1].at("warnings"),
                json::parse(kinex_run({"check", "--json", comma}).out)[0].at("warnings"));
      for (const json& doc : json::parse(strict.out)) named.push_back(doc.at("file"));
    } else {
      const auto rows = read_csv(lenient.out);
      EXPECT_EQ(rows[0].at(13), "warning_count");
      EXPECT_EQ(rows[1].at(13), "0");
      EXPECT_EQ(rows[2].at(13), "1");
      for (const auto& row : read_csv(strict.out)) named.push_back(row.at(0));
      named.erase(named.begin());
    }
    EXPECT_EQ(named, std::vector<std::string>{clean});
    // After the first file, --strict is a file.
    EXPECT_NE(kinex_run({command, clean, "--strict"}).err.find("--strict: No such file"),
              std::string::npos);
  }
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"plot", comma}, {"scan", comma, "--temperatures", "280:300:10"}}) {
    SCOPED_TRACE(args[0]);
    std::vector<std::string> strict = args;
    strict.push_back("--strict");
    EXPECT_EQ(kinex_run(args).err, reading);
    const test::Outcome refused = kinex_run(strict);
    EXPECT_EQ(refused.status, kExitFailed);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, reading + refusal);
    strict[1] = clean;
    EXPECT_EQ(kinex_run(strict).status, kExitOk);
  }
}

}  // namespace
}  // namespace kinex

// kinex json and kinex csv: every document read back by nlohmann's parser,
// every table read back as RFC 4180 has it, and each compared, bit for bit,
// with the run KINEX.exe makes of the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "cli/commands.h"
#include "common/cycle_files.h"
#include "kinex/types.h"
#include "model/profile.h"
#include "outputs/format.h"
#include "outputs/json_output.h"

namespace kinex {
namespace {

using namespace cycle_files;
using nlohmann::json;

// log10 |TOF| as the outputs state it agrees with the TOF wherever that is
// a normal double.
void expect_log10_of_tof(double log10_TOF, double TOF) {
  if (!std::isnormal(TOF)) return;
  const double expected = std::log10(std::fabs(TOF));
  EXPECT_NEAR(log10_TOF, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << TOF;
}

// A default name: I0, TS2, ...
std::string state_name(std::string prefix, int64_t k) {
  prefix += std::to_string(k);
  return prefix;
}

// Compares one parsed document with the reference run: every real bitwise,
// a non-finite one as null listed in "non_finite", a step without that
// concentration as null and not listed. The figures from the logarithms
// come from `logs`, kinex's own run, which evaluates them always; the
// evaluation that gave the results is the report's.
void expect_matches(const json& doc, const Run& run, const Run& logs) {
  const json& flags = doc.at("non_finite");
  std::size_t non_finite_seen = 0;
  auto real = [&](const std::string& pointer, double expected) {
    const json& value = doc.at(json::json_pointer(pointer));
    if (std::isfinite(expected)) {
      ASSERT_TRUE(value.is_number_float()) << pointer << " = " << value.dump();
      EXPECT_EQ(bits(value.get<double>()), bits(expected))
          << pointer << ": " << value.get<double>() << " vs " << expected;
      EXPECT_FALSE(flags.contains(pointer)) << pointer;
    } else {
      ++non_finite_seen;
      EXPECT_TRUE(value.is_null()) << pointer;
      const char* kind = std::isnan(expected) ? "NaN" : expected > 0 ? "Infinity" : "-Infinity";
      ASSERT_TRUE(flags.contains(pointer)) << pointer;
      EXPECT_EQ(flags.at(pointer), kind) << pointer;
    }
  };
  // A concentration and its degree of control; null for a step without it.
  auto given = [&](bool has, const std::string& pointer, double expected) {
    if (has) return real(pointer, expected);
    EXPECT_TRUE(doc.at(json::json_pointer(pointer)).is_null()) << pointer;
    EXPECT_FALSE(flags.contains(pointer)) << pointer;
  };

  EXPECT_EQ(doc.at("file"), run.input_name);
  EXPECT_EQ(doc.at("/input/n"_json_pointer), run.cycle.n);
  for (const auto& [pointer, expected] : std::initializer_list<std::pair<const char*, double>>{
           {"/input/T", run.cycle.T},
           {"/input/DeltaG", run.cycle.DeltaG},
           {"/constants/k_B", k_B},
           {"/constants/h", h_Planck},
           {"/constants/N_A", N_A},
           {"/constants/R", R_gas},
           {"/constants/inv_RT", run.profile.inv_RT},
           {"/results/tof_per_s", run.results.TOF},
           {"/results/tof_per_h", run.results.TOF * 3600.0},
           {"/results/tof_per_day", run.results.TOF * 3600.0 * 24.0},
           {"/results/driving_force", run.profile.driving_force},
           {"/results/log10_tof", logs.results.log10_TOF},
           {"/results/effective_span", logs.results.effective_span},
           {"/results/apparent_barrier", logs.results.apparent_barrier}}) {
    real(pointer, expected);
  }
  EXPECT_EQ(doc.at("/results/evaluation"_json_pointer), evaluation_name(run.results.evaluation));
  if (doc.at("/results/log10_tof"_json_pointer).is_number()) {
    expect_log10_of_tof(doc.at("/results/log10_tof"_json_pointer).get<double>(), run.results.TOF);
  }
  EXPECT_EQ(doc.at("/results/warning"_json_pointer), run.profile.driving_force <= 0.0);
  EXPECT_EQ(doc.at("/results/tdi_step"_json_pointer), run.results.TDI);
  EXPECT_EQ(doc.at("/results/tdts_step"_json_pointer), run.results.TDTS);
  // The same states by their default names.
  EXPECT_EQ(doc.at("/results/tdi"_json_pointer), state_name("I", run.results.TDI - 1));
  EXPECT_EQ(doc.at("/results/tdts"_json_pointer), state_name("TS", run.results.TDTS));
  const double within_turn =
      run.cycle.G_ts[run.results.TDTS] - run.cycle.G_int[run.results.TDI - 1];
  real("/results/energetic_span",
       run.results.TDTS >= run.results.TDI ? within_turn : within_turn + run.cycle.DeltaG);

  const auto n = static_cast<std::size_t>(run.cycle.n);
  for (const char* list :
       {"/input/G_int", "/input/G_ts", "/input/reactant", "/input/product", "/results/xtof_int",
        "/results/xtof_ts", "/results/xtof_reactant", "/results/xtof_product"}) {
    EXPECT_EQ(doc.at(json::json_pointer(list)).size(), n) << list;
  }
  for (std::size_t i = 1; i <= n; ++i) {
    const std::string k = std::to_string(i - 1);
    real("/input/G_int/" + k, run.cycle.G_int[i - 1]);
    real("/input/G_ts/" + k, run.cycle.G_ts[i]);
    real("/results/xtof_int/" + k, run.results.xtof_int[i - 1]);
    real("/results/xtof_ts/" + k, run.results.xtof_ts[i]);
    given(run.cycle.has_reac[i], "/input/reactant/" + k, run.cycle.conc_reac[i]);
    given(run.cycle.has_reac[i], "/results/xtof_reactant/" + k, run.results.xtof_reac[i]);
    given(run.cycle.has_prod[i], "/input/product/" + k, run.cycle.conc_prod[i]);
    given(run.cycle.has_prod[i], "/results/xtof_product/" + k, run.results.xtof_prod[i]);
    // Keyed by name and step number; reactants and products only where given.
    const std::string by_state = "/results/xtof_by_state/";
    const std::string step = std::to_string(i);
    real(by_state + "int/" + state_name("I", i - 1), run.results.xtof_int[i - 1]);
    real(by_state + "ts/" + state_name("TS", i), run.results.xtof_ts[i]);
    for (const auto& [kind, has, xtof] :
         {std::tuple{"reactant/", run.cycle.has_reac[i], run.results.xtof_reac[i]},
          std::tuple{"product/", run.cycle.has_prod[i], run.results.xtof_prod[i]}}) {
      if (has) {
        real(by_state + kind + step, xtof);
      } else {
        EXPECT_FALSE(doc.contains(json::json_pointer(by_state + kind + step))) << kind << step;
      }
    }
    // The states in cycle order with their energies.
    const json& states = doc.at("/input/states"_json_pointer);
    EXPECT_EQ(states.at(2 * (i - 1)).at("name"), state_name("I", i - 1));
    EXPECT_EQ(states.at(2 * (i - 1) + 1).at("name"), state_name("TS", i));
    real("/input/states/" + std::to_string(2 * (i - 1)) + "/G", run.cycle.G_int[i - 1]);
    real("/input/states/" + std::to_string(2 * (i - 1) + 1) + "/G", run.cycle.G_ts[i]);
  }
  const json& last = doc.at("/input/states"_json_pointer).back();
  EXPECT_EQ(last.at("name"), "I0\u2032");
  EXPECT_EQ(last.at("kind"), "final");
  real("/input/states/" + std::to_string(2 * n) + "/G", run.cycle.G_int[0] + run.cycle.DeltaG);
  EXPECT_EQ(flags.size(), non_finite_seen) << flags.dump();
}

// Compares one row of the screening table with the reference run (and
// kinex's own run `logs` for the figures from the logarithms), each real
// read back the way a script would.
void expect_row(const std::vector<std::string>& row, const Run& run, const Run& logs) {
  auto real = [&](const std::string& field, double expected, const char* what) {
    char* end = nullptr;
    const double x = std::strtod(field.c_str(), &end);
    EXPECT_EQ(*end, '\0') << what << ": " << field;
    EXPECT_TRUE(std::isnan(expected) ? std::isnan(x) : bits(x) == bits(expected))
        << what << ": " << field;
  };
  ASSERT_EQ(row.size(), 20u);
  EXPECT_EQ(row[0], run.input_name);
  real(row[1], run.cycle.T, "T");
  EXPECT_EQ(row[2], std::to_string(run.cycle.n));
  real(row[3], run.cycle.DeltaG, "DeltaG");
  real(row[4], run.results.TOF, "TOF");
  EXPECT_EQ(row[5], std::to_string(run.results.TDI));
  EXPECT_EQ(row[6], std::to_string(run.results.TDTS));
  const double within_turn =
      run.cycle.G_ts[run.results.TDTS] - run.cycle.G_int[run.results.TDI - 1];
  real(row[7], run.results.TDTS >= run.results.TDI ? within_turn : within_turn + run.cycle.DeltaG,
       "span");
  EXPECT_EQ(row[8], run.profile.driving_force <= 0.0 ? "true" : "false");
  real(row[9], logs.results.log10_TOF, "log10_TOF");
  expect_log10_of_tof(std::strtod(row[9].c_str(), nullptr), run.results.TOF);
  EXPECT_EQ(row[10], evaluation_name(run.results.evaluation));
  real(row[11], logs.results.effective_span, "effective_span");
  real(row[12], logs.results.apparent_barrier, "apparent_barrier");
  EXPECT_EQ(row[14], state_name("I", run.results.TDI - 1));
  EXPECT_EQ(row[15], state_name("TS", run.results.TDTS));
}

// `kinex COMMAND files...`.
test::Outcome run_command(const std::string& command, std::vector<std::string> files) {
  files.insert(files.begin(), command);
  return kinex_run(files);
}

json run_json(const std::vector<std::string>& files) {
  const test::Outcome o = run_command("json", files);
  EXPECT_EQ(o.status, kExitOk) << o.err;
  EXPECT_EQ(o.err, "");
  const json doc = json::parse(o.out, nullptr, false);
  EXPECT_FALSE(doc.is_discarded()) << o.out;
  return doc;
}

std::string cycle(const std::string& T, const std::vector<std::string>& steps,
                  const std::string& DeltaG) {
  std::string text = T + "\n" + std::to_string(steps.size()) + "\n";
  for (const std::string& step : steps) text += step + "\n";
  return text + DeltaG + "\n";
}

// The shipped cycles under names that need quoting or escaping, made ones
// with signed zeros, an infinite inv_RT (T = 0), non-finite input and huge
// energies, and random cycles: one batch, in the order of the files.
TEST(Outputs, EveryDocumentAndRowMatchesTheReportsRunBitForBit) {
  ScratchDir dir;
  const std::string three = read_file(KINEX_EXAMPLES "/three_step.txt");
  std::vector<std::string> files{KINEX_EXAMPLES "/three_step.txt",
                                 KINEX_EXAMPLES "/five_step.txt",
                                 KINEX_TEST_DATA "/warn_deltag.txt",
                                 KINEX_TEST_DATA "/warn_conc.txt",
                                 KINEX_TEST_DATA "/steps120.txt",
                                 dir.write("with,comma.txt", three),
                                 dir.write("quote\" back\\slash\ttab.txt", three),
                                 dir.write("line\nfeed, and \"all\".txt", three),
                                 dir.write("lone\rreturn.txt", three),
                                 dir.write("return at the end\r", three),
                                 dir.write("caf\xc3\xa9.txt", three)};
  for (const std::string& content :
       {cycle("300", {"0.0 12.5 2.0 0.5"}, "-3.0"),
        cycle("298.15", {"-0.0 10.0 x x", "-0.0 -0.0 x x"}, "-0.0"),
        cycle("0", {"0.0 15.0 1.0 x", "-5.0 20.0 x 1.0"}, "-10"),
        cycle("298.15", {"0.0 Inf NaN x", "-Inf 20.0 x -Infinity"}, "NaN"),
        cycle("298.15", {"0.0 1e300 x x", "-1e300 20.0 x x"}, "-1e300"),
        cycle("1e-300", {"0.0 15.0 x x"}, "-5.0"),
        // The direct terms overflow at 10 K: the log-space evaluation.
        cycle("10", {"0.0 0.5 x x"}, "-15.0")}) {
    files.push_back(dir.write("made" + std::to_string(files.size()) + ".txt", content));
  }
  const std::size_t at_10_K = files.size() - 1;
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> energy(-40.0, 40.0), temperature(150.0, 900.0),
      log_conc(-8.0, 3.0), coin(0.0, 1.0);
  auto concentration = [&] {
    return coin(random) < 0.4 ? std::string("x") : shortest(std::pow(10.0, log_conc(random)));
  };
  for (int c = 0; c < 200; ++c) {
    std::vector<std::string> records(std::uniform_int_distribution<int>(1, 9)(random));
    for (std::string& record : records) {
      const double g_int = energy(random);
      record = shortest(g_int) + " " + shortest(g_int + std::fabs(energy(random))) + " " +
               concentration() + " " + concentration();
    }
    files.push_back(dir.write(
        "random" + std::to_string(c) + ".txt",
        cycle(shortest(temperature(random)), records, shortest(-std::fabs(energy(random))))));
  }
  const json docs = run_json(files);
  ASSERT_TRUE(docs.is_array());
  ASSERT_EQ(docs.size(), files.size());
  const test::Outcome csv = run_command("csv", files);
  EXPECT_EQ(csv.status, kExitOk) << csv.err;
  const auto rows = read_csv(csv.out);
  ASSERT_EQ(rows.size(), files.size() + 1);
  // The columns of earlier versions first, so that scripts reading by
  // position keep working.
  EXPECT_EQ(rows[0], (std::vector<std::string>{"file",
                                               "T",
                                               "n",
                                               "DeltaG",
                                               "tof_per_s",
                                               "tdi_step",
                                               "tdts_step",
                                               "energetic_span",
                                               "warning",
                                               "log10_tof",
                                               "evaluation",
                                               "effective_span",
                                               "apparent_barrier",
                                               "warning_count",
                                               "tdi",
                                               "tdts",
                                               "largest_xtof_int",
                                               "largest_xtof_ts",
                                               "tdi_tie_steps",
                                               "tdts_tie_steps"}));
  for (std::size_t c = 0; c < files.size(); ++c) {
    SCOPED_TRACE(files[c]);
    kinex::Run run, logs;
    ASSERT_TRUE(reference_run(files[c], run));
    ASSERT_TRUE(kinex_evaluation(files[c], logs));
    expect_matches(docs[c], run, logs);
    // Each document names the command that gives it alone, not the batch.
    EXPECT_EQ(docs[c].at("command_line"), json({"kinex", "json", files[c]}));
    expect_row(rows[c + 1], run, logs);
    // The table counts the warnings that the document lists.
    EXPECT_EQ(rows[c + 1][13], std::to_string(docs[c].at("warnings").size()));
  }
  // The shipped cycles lie well within the range of doubles.
  for (std::size_t c = 0; c < 2; ++c) {
    EXPECT_EQ(docs[c].at("/results/evaluation"_json_pointer), "direct");
    EXPECT_EQ(rows[c + 1][10], "direct");
  }
  EXPECT_EQ(docs[at_10_K].at("/results/evaluation"_json_pointer), "log-space");
  EXPECT_EQ(rows[at_10_K + 1][10], "log-space");
  EXPECT_EQ(run_json({files[0]}), docs[0]);  // one file: the document alone
  EXPECT_EQ(rows[2][7], "30.0");             // the span of the five-step cycle wraps
  EXPECT_EQ(rows[3][8], "true");             // the DeltaG warning

  // Invalid UTF-8 in a name becomes the replacement character.
  const json broken = run_json({dir.write("broken\xff\xfe.txt", three)});
  EXPECT_NE(broken.value("file", "").find("broken\xef\xbf\xbd"), std::string::npos);
}

// Figures whose values are known from the report of the same file.
TEST(Outputs, AdviceAndWarningAsTheReportStatesThem) {
  // TDI 4, TDTS 2: the span reaches into the next turn, so DeltaG counts.
  const json five = run_json({KINEX_EXAMPLES "/five_step.txt"});
  EXPECT_EQ(five.at("/results/energetic_span"_json_pointer), 30.0);  // 20 - (-15) + (-5)
  EXPECT_EQ(five.at("/results/advice_reactant_steps"_json_pointer), json({1, 2, 4, 5}));
  EXPECT_EQ(five.at("/results/advice_product_steps"_json_pointer), json({1, 4, 5}));
  EXPECT_EQ(five.at("/results/advice"_json_pointer),
            "Using the reactants entering in steps 1, 2, 4 and 5 in high concentration and "
            "removing the products released in steps 1, 4 and 5 from the reaction mixture "
            "will speed up the reaction more efficiently than manipulating the other "
            "concentrations.");
  EXPECT_EQ(five.at("/results/warning_text"_json_pointer), nullptr);
  EXPECT_EQ(five.at("version"), KINEX_VERSION);

  const json warned = run_json({KINEX_TEST_DATA "/warn_deltag.txt"});
  EXPECT_EQ(warned.at("/results/warning"_json_pointer), true);
  EXPECT_EQ(warned.at("/results/warning_text"_json_pointer),
            "WARNING! There is no positive driving force. That's because DeltaG is not "
            "negative.");
}

// A bad, a missing file and a directory in a batch: each reported under
// kinex's name and left out, the others still written.
TEST(Outputs, BadFilesAreReportedAndLeftOut) {
  ScratchDir dir;
  const std::string bad = dir.write("bad.txt", "298.15\nthree\n");
  const std::vector<std::string> files{KINEX_EXAMPLES "/three_step.txt", bad,
                                       dir.file("missing.txt"), dir.path.string(),
                                       KINEX_EXAMPLES "/five_step.txt"};
  for (const std::string command : {"json", "csv"}) {
    SCOPED_TRACE(command);
    const test::Outcome o = run_command(command, files);
    EXPECT_EQ(o.status, kExitFailed);
    EXPECT_EQ(o.err, "kinex: " + bad + ":2: Bad integer for item 1 in list input\nthree\n^\n" +
                         "kinex: " + files[2] + ": No such file or directory\n" +
                         "kinex: " + files[3] + ": Is a directory\n");
    std::vector<std::string> named;
    if (command == "json") {
      for (const json& doc : json::parse(o.out)) named.push_back(doc.at("file"));
    } else {
      for (const auto& row : read_csv(o.out)) named.push_back(row.at(0));
      named.erase(named.begin());
    }
    EXPECT_EQ(named, (std::vector<std::string>{files[0], files[4]}));
  }
  // One file named, and it fails: no document at all.
  EXPECT_EQ(run_command("json", {bad}).out, "");
}

// Reals as the shortest text that reads back bit for bit; ".0" keeps a
// whole number a real for readers that tell integers from reals.
TEST(Outputs, RealsInShortestRoundTripForm) {
  const std::pair<double, std::string> cases[] = {
      {100.0, "100.0"},
      {-0.0, "-0.0"},
      {1e-07, "1e-07"},
      {1e22, "1e+22"},
      // Printed with one digit more by some double-to-text methods.
      {5.790836934036617e-21, "5.790836934036617e-21"},
      {-2.522923758208279e-228, "-2.522923758208279e-228"}};
  for (const auto& [x, expected] : cases) {
    std::string text;
    write_json(Json(x), text);
    EXPECT_EQ(text, expected + "\n");
  }
}

}  // namespace
}  // namespace kinex

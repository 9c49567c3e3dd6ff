// kinex uncertainty: the sigmas of the states (a common one, a file of
// pairs), the command line, and the outputs against the engine's numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "common/cycle_files.h"
#include "kinex/types.h"
#include "outputs/format.h"
#include "uncertainty/screening.h"

namespace kinex {
namespace {

using namespace cycle_files;

const std::string kExamples = KINEX_EXAMPLES;

struct SigmaFileCase {
  const char* name;
  const char* text;
  // The sigmas of the three-step example's states I0 TS1 I1 TS2 I2 TS3 I0′
  // with a common sigma of 1, or the words of the error.
  std::vector<double> sigma;
  const char* error;
};

class SigmaFiles : public ::testing::TestWithParam<SigmaFileCase> {};

TEST_P(SigmaFiles, ReadAndResolved) {
  const SigmaFileCase& c = GetParam();
  ScratchDir dir;
  SigmaSpec spec;
  spec.has_common = true;
  spec.common = 1.0;
  std::string error;
  bool ok = read_sigma_file(dir.write("s.txt", c.text), spec, error);
  std::vector<double> sigma;
  if (ok) ok = resolve_sigmas(spec, {}, 3, sigma, error);
  if (c.error[0] == '\0') {
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(sigma, c.sigma);
    for (const double x : sigma) EXPECT_FALSE(std::signbit(x));  // -0 is written 0
  } else {
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SigmaFiles,
    ::testing::Values(
        SigmaFileCase{"blanks", "TS2 2.5\nI1   0.5\n", {1, 1, 0.5, 2.5, 1, 1, 1}, ""},
        SigmaFileCase{"commas_header_comments",
                      "state,sigma\n# the barrier\nTS2,2.5\n\n\"I1\",0.5\r\n",
                      {1, 1, 0.5, 2.5, 1, 1, 1},
                      ""},
        SigmaFileCase{"final_state_by_alias_and_name",
                      "final 0\nI0\xe2\x80\xb2\t0.2\n",
                      {},
                      "s.txt:2: I0\xe2\x80\xb2 is given a sigma twice (first on line 1 as final)"},
        SigmaFileCase{"final_state_by_alias", "TS1 2\nfinal 0.2\n", {1, 2, 1, 1, 1, 1, 0.2}, ""},
        SigmaFileCase{"a_pair_with_more_after_the_number",
                      "TS2 1 extra\nTS1 1\n",
                      {},
                      "s.txt:1: TS2 1 extra is no pair of a state's name and its sigma"},
        SigmaFileCase{"minus_zero_is_zero", "TS2 -0\n", {1, 1, 1, 0, 1, 1, 1}, ""},
        SigmaFileCase{"unknown_state", "TS7 1\n", {}, "s.txt:1: TS7 is no state of the cycle"},
        SigmaFileCase{"negative", "TS1 -1\n", {}, "s.txt:1: the sigma of TS1 is -1.0"},
        SigmaFileCase{"not_a_number_after_the_first_line",
                      "TS1 1\nTS2 abc\n",
                      {},
                      "s.txt:2: the sigma abc of TS2 is no number"},
        SigmaFileCase{"twice", "TS1 1\nTS1 2\n", {}, "s.txt:2: TS1 is given a sigma twice"},
        SigmaFileCase{"infinite", "TS1 inf\n", {}, "must be finite"},
        SigmaFileCase{"no_name", "2.0\n", {}, "a state's name and its sigma"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SigmaFiles, EveryStateNeedsASigmaWithoutACommonOne) {
  SigmaSpec spec;
  spec.named = {{"TS2", 2.0, 1}};
  std::vector<double> sigma;
  std::string error;
  EXPECT_FALSE(resolve_sigmas(spec, {}, 3, sigma, error));
  EXPECT_EQ(error, "no sigma for I0, TS1, I1, I2, TS3, I0\xe2\x80\xb2");
}

// The engine's distribution of the cycle of `file` with one sigma for all.
Distribution engine_distribution(const std::string& file, double sigma, int64_t samples,
                                 uint64_t seed, double correlation) {
  kinex::Run run;
  Distribution d;
  if (!kinex_evaluation(file, run)) return d;
  UncertaintyModel model;
  model.sigma.assign(static_cast<std::size_t>(uncertainty_states(run.cycle.n)), sigma);
  model.samples = samples;
  model.seed = seed;
  model.correlation = correlation;
  std::string error;
  EXPECT_TRUE(sample_uncertainty(run.cycle, model, 1, d, error)) << error;
  return d;
}

// The numbers of the outputs are the engine's, whatever the form.
TEST(UncertaintyCommand, TextJsonAndCsvStateTheEnginesNumbers) {
  const std::string file = kExamples + "/three_step.txt";
  const test::Outcome json = kinex_run({"uncertainty", file, "--sigma", "1.5", "--samples", "2000",
                                        "--seed", "7", "--correlation", "0.25", "--json"});
  ASSERT_EQ(json.status, kExitOk) << json.err;
  const nlohmann::json doc = nlohmann::json::parse(json.out);

  const Distribution d = engine_distribution(file, 1.5, 2000, 7, 0.25);

  EXPECT_EQ(doc["method"], "monte-carlo");
  EXPECT_EQ(bits(doc["log10_tof_median"].get<double>()), bits(d.median));
  EXPECT_EQ(bits(doc["log10_tof_sd"].get<double>()), bits(d.sd));
  EXPECT_EQ(bits(doc["log10_tof_first_order_sd"].get<double>()), bits(d.first_order_sd));
  EXPECT_EQ(bits(doc["log10_tof_interval_95"][1].get<double>()), bits(d.high95));
  EXPECT_EQ(bits(doc["tdts_probability"]["TS2"].get<double>()), bits(d.TDTS_probability[2]));
  EXPECT_EQ(bits(doc["xtof_reactant"]["2"]["mean"].get<double>()), bits(d.xtof_reac_mean[2]));
  EXPECT_EQ(doc["sigma"]["I0\xe2\x80\xb2"], 1.5);
  EXPECT_EQ(doc["central_tdts"], "TS2");

  const test::Outcome csv = kinex_run({"uncertainty", file, "--sigma", "1.5", "--samples", "2000",
                                       "--seed", "7", "--correlation", "0.25", "--csv"});
  const auto rows = read_csv(csv.out);
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[0].size(), rows[1].size());
  EXPECT_EQ(rows[1][7], shortest(d.median));
  EXPECT_EQ(rows[1][17], "TS2");

  const test::Outcome text = kinex_run({"uncertainty", file, "--sigma", "1.5", "--samples", "2000",
                                        "--seed", "7", "--correlation", "0.25", "--threads", "1"});
  EXPECT_NE(text.out.find("median " + significant(d.median)), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("first-order estimate " + significant(d.first_order_sd)),
            std::string::npos);
  // The same numbers on two threads, bit for bit.
  const test::Outcome two = kinex_run({"uncertainty", file, "--sigma", "1.5", "--samples", "2000",
                                       "--seed", "7", "--correlation", "0.25", "--threads", "2"});
  EXPECT_EQ(two.out, text.out);
}

TEST(UncertaintyCommand, AnEnsembleTableIsItsMembersEvaluatedExactly) {
  ScratchDir dir;
  const std::string table = dir.write("functionals.csv",
                                      "Functional,I0,TS1,I1,TS2,Product,[R2]\n"
                                      "B3LYP,0,15.2,-5.1,20.3,-10,0.5\n"
                                      "PBE0,0,14.1,-6.0,19.0,-10,0.5\n"
                                      "M06,0,16.0,-4.2,21.5,-10,0.5\n");
  const test::Outcome o = kinex_run({"uncertainty", table, "--ensemble", "--json"});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  const nlohmann::json doc = nlohmann::json::parse(o.out);
  EXPECT_EQ(doc["method"], "ensemble");
  EXPECT_EQ(doc["samples"], 3);
  EXPECT_EQ(doc["members"], nlohmann::json({"B3LYP", "PBE0", "M06"}));
  // The median of three is the middle member's own log10 TOF.
  const test::Outcome members = kinex_run({"json", table});
  const nlohmann::json each = nlohmann::json::parse(members.out);
  std::vector<double> logs;
  for (const auto& m : each) logs.push_back(m["results"]["log10_tof"].get<double>());
  std::sort(logs.begin(), logs.end());
  EXPECT_EQ(bits(doc["log10_tof_median"].get<double>()), bits(logs[1]));
  EXPECT_EQ(bits(doc["central_log10_tof"].get<double>()),
            bits(each[0]["results"]["log10_tof"].get<double>()));
}

// Messages about an ensemble name its members by their rows, in plain
// words for one member as for several.
TEST(UncertaintyCommand, EnsembleMessagesNameTheRowsInPlainWords) {
  ScratchDir dir;
  const std::string differ = dir.write("differ.csv",
                                       "Functional,I0,TS1,I1,TS2,Product,T\n"
                                       "B3LYP,0,15.2,-5.1,20.3,-10,300\n"
                                       "PBE0,0,14.1,-6.0,19.0,-10,310\n");
  const test::Outcome o = kinex_run({"uncertainty", differ, "--ensemble"});
  EXPECT_EQ(o.status, kExitFailed);
  EXPECT_NE(o.err.find("member PBE0 is at T 310 K, member B3LYP at 300"), std::string::npos)
      << o.err;
  const std::string one = dir.write("one.csv",
                                    "Functional,I0,TS1,I1,TS2,Product\n"
                                    "B3LYP,0,15.2,-5.1,20.3,-10\n");
  const test::Outcome alone = kinex_run({"uncertainty", one, "--ensemble"});
  EXPECT_EQ(alone.status, kExitOk) << alone.err;
  EXPECT_NE(alone.out.find("an ensemble of 1 member\n"), std::string::npos) << alone.out;
}

// The text's first line names the sigma: one for every state, or "per
// state" when a sigmas file gives the states different ones.
TEST(UncertaintyCommand, TextHeadingNamesTheSigma) {
  ScratchDir dir;
  const std::string file = kExamples + "/three_step.txt";
  const struct {
    std::vector<std::string> sigma;
    std::string heading;
  } cases[] = {
      {{"--sigma", "1.5"}, "sigma 1.500 kcal/mol"},
      {{"--sigmas", dir.write("same.txt", "TS2 1.5\n"), "--sigma", "1.5"}, "sigma 1.500 kcal/mol"},
      {{"--sigmas", dir.write("apart.txt", "TS2 2.5\n"), "--sigma", "1"}, "sigma per state"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"uncertainty", file, "--samples", "100", "--seed", "3"};
    args.insert(args.end(), c.sigma.begin(), c.sigma.end());
    const test::Outcome o = kinex_run(args);
    ASSERT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(o.out.substr(0, o.out.find('\n')),
              file + ": 100 samples of the energies, " + c.heading + ", correlation 0.0, seed 3")
        << c.heading;
  }
}

struct BadLine {
  const char* name;
  std::vector<std::string> args;  // after "kinex uncertainty"
  const char* words;
};

class UncertaintyCommandLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(UncertaintyCommandLine, IsRefusedWithAReason) {
  std::vector<std::string> args{"uncertainty"};
  for (const std::string& a : GetParam().args) {
    args.push_back(a == "EXAMPLE" ? kExamples + "/three_step.txt"
                   : a == "TABLE" ? kExamples + "/screening.csv"
                                  : a);
  }
  const test::Outcome o = kinex_run(args);
  EXPECT_EQ(o.status, kExitFailed);
  EXPECT_TRUE(o.out.empty() || o.out.find("file,method") == 0) << o.out;
  EXPECT_NE(o.err.find(GetParam().words), std::string::npos) << o.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UncertaintyCommandLine,
    ::testing::Values(
        BadLine{"no_sigma", {"EXAMPLE"}, "--sigma S or --sigmas FILE is needed"},
        BadLine{"negative_sigma", {"EXAMPLE", "--sigma", "-1"}, "--sigma"},
        BadLine{"correlation_above_one",
                {"EXAMPLE", "--sigma", "1", "--correlation", "1.5"},
                "--correlation"},
        BadLine{"no_samples", {"EXAMPLE", "--sigma", "1", "--samples", "0"}, "--samples"},
        BadLine{"json_and_csv", {"EXAMPLE", "--sigma", "1", "--json", "--csv"}, "excludes"},
        BadLine{"sigma_with_an_ensemble", {"TABLE", "--ensemble", "--sigma", "1"}, "excludes"},
        BadLine{"an_ensemble_of_an_input_file", {"EXAMPLE", "--ensemble"}, "takes tables"},
        BadLine{"missing_sigma_file", {"EXAMPLE", "--sigmas", "/no/such/file"}, "cannot be opened"},
        BadLine{"missing_input", {"/no/such/cycle.txt", "--sigma", "1"}, "/no/such/cycle.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kinex

namespace kinex {
namespace {

using namespace cycle_files;

// Each state's bar and error bar as the picture draws them, and the texts
// of the probability labels.
const char kErrorBars[] = R"(
import json, sys, xml.etree.ElementTree as ET
ns = {"s": "http://www.w3.org/2000/svg"}
root = ET.parse(sys.argv[1]).getroot()
states = {}
for g in root.iter("{http://www.w3.org/2000/svg}g"):
    if "state" not in g.get("class", ""):
        continue
    bar = [l for l in g.findall("s:line", ns) if l.get("class") == "bar"]
    err = [l for l in g.findall("s:line", ns) if l.get("class") == "error-bar"]
    texts = ["".join(t.itertext()) for t in g.findall("s:text", ns)]
    states[g.get("id")] = {
        "bar": [float(bar[0].get("y1")), float(bar[0].get("x1")), float(bar[0].get("x2"))] if bar else None,
        "error": [[float(l.get(k)) for k in ("x1", "y1", "x2", "y2")] for l in err],
        "probabilities": [t for t in texts if t.startswith("P(")],
    }
print(json.dumps(states))
)";

TEST(UncertaintyPlot, ErrorBarsOfSigmaAndTheSampledProbabilities) {
  const std::string file = kExamples + "/tdts_switch.txt";
  const test::Outcome o =
      kinex_run({"plot", file, "--sigma", "2", "--samples", "4000", "--seed", "3"});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  const nlohmann::json states = python_on_picture(kErrorBars, o.out);

  const Distribution d = engine_distribution(file, 2.0, 4000, 3, 0.0);

  double length = -1.0;  // of every error bar alike: 2 sigma at one scale
  for (const auto& [id, s] : states.items()) {
    SCOPED_TRACE(id);
    ASSERT_FALSE(s["bar"].is_null());
    ASSERT_EQ(s["error"].size(), 3u);  // the bar and its two caps
    const auto& v = s["error"][0];
    const double bar_y = s["bar"][0], left = s["bar"][1], right = s["bar"][2];
    EXPECT_DOUBLE_EQ(v[0].get<double>(), v[2].get<double>());  // upright
    // At an end of the bar, or just beside it where the labels are wide.
    EXPECT_GT(v[0].get<double>(), left - 10);
    EXPECT_LT(v[0].get<double>(), right + 10);
    const double top = v[1], bottom = v[3];
    EXPECT_NEAR(bar_y - top, bottom - bar_y, 0.02);  // centred on the bar
    if (length < 0) length = bottom - top;
    EXPECT_NEAR(bottom - top, length, 0.02);
  }
  const auto percent = [](double p) {
    return std::to_string(static_cast<int>(std::lround(100.0 * p))) + " %";
  };
  const std::vector<std::string> tdi_labels = states["int-0"]["probabilities"];
  const std::vector<std::string> tdts_labels = states["ts-2"]["probabilities"];
  EXPECT_EQ(tdi_labels, std::vector<std::string>{"P(TDI) " + percent(d.TDI_probability[1])});
  EXPECT_EQ(tdts_labels, std::vector<std::string>{"P(TDTS) " + percent(d.TDTS_probability[2])});
  EXPECT_TRUE(states["int-0-next"]["probabilities"].empty());
  EXPECT_NE(o.out.find("share of 4000"), std::string::npos);

  // Without --sigma nothing of it.
  const test::Outcome plain = kinex_run({"plot", file});
  EXPECT_EQ(plain.out.find("error-bar"), std::string::npos);
  EXPECT_EQ(plain.out.find("P(TD"), std::string::npos);
}

TEST(UncertaintyPlot, TheSamplingOptionsGoWithOneCycleAndASigma) {
  const std::string file = kExamples + "/three_step.txt";
  const test::Outcome alone = kinex_run({"plot", file, "--samples", "100"});
  EXPECT_EQ(alone.status, kExitFailed);
  EXPECT_NE(alone.err.find("--sigma"), std::string::npos) << alone.err;
  const test::Outcome two = kinex_run({"plot", file, file, "--sigma", "1"});
  EXPECT_EQ(two.status, kExitFailed);
  EXPECT_NE(two.err.find("one cycle"), std::string::npos) << two.err;
}

}  // namespace
}  // namespace kinex

namespace kinex {
namespace {

using namespace cycle_files;

// What a chemist must not be left to guess: a cycle that runs backward, a
// TOF beyond the range of doubles, a file of pairs that holds none, a table
// named twice.
TEST(UncertaintyCommand, SaysWhatTheNumbersAreOf) {
  ScratchDir dir;
  const std::string backward = dir.write("backward.txt", "298.15\n2\n0 15 x x\n-5 20 x x\n5\n");
  const test::Outcome b = kinex_run({"uncertainty", backward, "--sigma", "1", "--json"});
  ASSERT_EQ(b.status, kExitOk) << b.err;
  const nlohmann::json doc = nlohmann::json::parse(b.out);
  EXPECT_GT(doc["backward_share"].get<double>(), 0.99);
  EXPECT_EQ(doc["central_tof_sign"], -1);
  EXPECT_NE(doc["central_warning"].get<std::string>().find("no positive driving force"),
            std::string::npos);
  const test::Outcome text = kinex_run({"uncertainty", backward, "--sigma", "1"});
  EXPECT_NE(text.out.find("|TOF| (1/s)"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("backward (a negative TOF"), std::string::npos);

  // 1350 kcal/mol: far beyond the range of doubles, never a false 0.
  const std::string huge = dir.write("huge.txt", "298.15\n1\n0 1350 x x\n-10\n");
  const test::Outcome h = kinex_run({"uncertainty", huge, "--sigma", "5", "--json"});
  const nlohmann::json hd = nlohmann::json::parse(h.out);
  EXPECT_TRUE(hd["tof_per_s_median"].is_null());
  EXPECT_LT(hd["log10_tof_median"].get<double>(), -900);
  const test::Outcome ht = kinex_run({"uncertainty", huge, "--sigma", "5"});
  EXPECT_NE(ht.out.find("e-9"), std::string::npos) << ht.out;
  EXPECT_EQ(ht.out.find("0.000e+00"), std::string::npos) << ht.out;

  const std::string header_only = dir.write("pairs.txt", "TS1 abc\n");
  const test::Outcome p =
      kinex_run({"uncertainty", kExamples + "/three_step.txt", "--sigmas", header_only});
  EXPECT_EQ(p.status, kExitFailed);
  EXPECT_NE(p.err.find("holds no state's sigma"), std::string::npos) << p.err;

  const std::string table = dir.write("e.csv",
                                      "Functional,I0,TS1,I1,TS2,Product\n"
                                      "A,0,15,-5,20,-10\nB,0,14,-6,19,-10\nC,0,16,-4,21,-10\n");
  const test::Outcome twice = kinex_run({"uncertainty", table, table, "--ensemble", "--json"});
  const nlohmann::json both = nlohmann::json::parse(twice.out);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0]["samples"], 3);
  EXPECT_EQ(both[1], both[0]);
  EXPECT_EQ(both[0]["central_member"], "A");
}

TEST(UncertaintyPlot, TakesTheTablesSigmasAndAFileOfPairs) {
  ScratchDir dir;
  const std::string table = dir.write("s.csv",
                                      "name,I0,TS1,I1,TS2,Product,sigma,sigma(TS2)\n"
                                      "A,0,15,-5,20,-10,1,3\n");
  const std::string pairs = dir.write("pairs.txt", "TS1 2\n");
  const test::Outcome o =
      kinex_run({"plot", table, "--sigmas", pairs, "--samples", "200", "-o", dir.file("p.svg")});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  const std::string svg = read_file(dir.file("p.svg"));
  EXPECT_NE(svg.find("\u03c3 per state"), std::string::npos);
  // Three lengths of error bars: 2 sigma of 1, 2 (the file's) and 3 (the column's).
  const nlohmann::json states = python_on_picture(kErrorBars, svg);
  const auto length = [&](const char* id) {
    const auto& v = states[id]["error"][0];
    return v[3].get<double>() - v[1].get<double>();
  };
  EXPECT_NEAR(length("ts-1") / length("int-0"), 2.0, 1e-3);
  EXPECT_NEAR(length("ts-2") / length("int-0"), 3.0, 1e-3);
  const test::Outcome no_sigma = kinex_run({"plot", table, "--samples", "200"});
  EXPECT_EQ(no_sigma.status, kExitFailed);
  EXPECT_NE(no_sigma.err.find("go with --sigma S or --sigmas FILE"), std::string::npos);
}

}  // namespace
}  // namespace kinex

// kinex json: every document read back by nlohmann's parser and compared, bit
// for bit, with the run KINEX.exe makes of the same file.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "cycle_files.h"
#include "kinex/commands.h"
#include "kinex/format.h"
#include "kinex/json_output.h"
#include "model/profile.h"

namespace kinex {
namespace {

using cycle_files::bits;
using cycle_files::reference_run;
using cycle_files::ScratchDir;
using nlohmann::json;

// Compares one parsed document with the reference run: every real bitwise,
// a non-finite one as null listed in "non_finite", a step without that
// concentration as null and not listed.
void expect_matches(const json& doc, const Run& run) {
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
  auto absent = [&](const std::string& pointer) {
    EXPECT_TRUE(doc.at(json::json_pointer(pointer)).is_null()) << pointer;
    EXPECT_FALSE(flags.contains(pointer)) << pointer;
  };

  EXPECT_EQ(doc.at("file"), run.input_name);
  real("/input/T", run.T);
  EXPECT_EQ(doc.at("/input/n"_json_pointer), run.n);
  real("/input/DeltaG", run.DeltaG);
  real("/constants/k_B", k_B);
  real("/constants/h", h_Planck);
  real("/constants/N_A", N_A);
  real("/constants/R", R_gas);
  real("/constants/inv_RT", run.inv_RT);
  real("/results/TOF/per_second", run.TOF);
  real("/results/TOF/per_hour", run.TOF * 3600.0);
  real("/results/TOF/per_day", run.TOF * 3600.0 * 24.0);
  real("/results/driving_force", run.driving_force);
  EXPECT_EQ(doc.at("/results/warning"_json_pointer), run.driving_force <= 0.0);
  EXPECT_EQ(doc.at("/results/TDI"_json_pointer), run.TDI);
  EXPECT_EQ(doc.at("/results/TDTS"_json_pointer), run.TDTS);
  const double within_turn = run.G_ts[run.TDTS] - run.G_int[run.TDI - 1];
  real("/results/energetic_span", run.TDTS >= run.TDI ? within_turn : within_turn + run.DeltaG);

  const auto n = static_cast<std::size_t>(run.n);
  for (const char* name : {"G_int", "G_ts", "reactant", "product"}) {
    EXPECT_EQ(doc.at("input").at(name).size(), n) << name;
  }
  for (const char* name : {"intermediates", "transition_states", "reactants", "products"}) {
    EXPECT_EQ(doc.at("/results/X_TOF"_json_pointer).at(name).size(), n) << name;
  }
  for (std::size_t i = 1; i <= n; ++i) {
    const std::string k = std::to_string(i - 1);
    real("/input/G_int/" + k, run.G_int[i - 1]);
    real("/input/G_ts/" + k, run.G_ts[i]);
    real("/results/X_TOF/intermediates/" + k, run.xtof_int[i - 1]);
    real("/results/X_TOF/transition_states/" + k, run.xtof_ts[i]);
    if (run.has_reac[i]) {
      real("/input/reactant/" + k, run.conc_reac[i]);
      real("/results/X_TOF/reactants/" + k, run.xtof_reac[i]);
    } else {
      absent("/input/reactant/" + k);
      absent("/results/X_TOF/reactants/" + k);
    }
    if (run.has_prod[i]) {
      real("/input/product/" + k, run.conc_prod[i]);
      real("/results/X_TOF/products/" + k, run.xtof_prod[i]);
    } else {
      absent("/input/product/" + k);
      absent("/results/X_TOF/products/" + k);
    }
  }
  EXPECT_EQ(flags.size(), non_finite_seen) << flags.dump();
}

// The whole of `kinex json` on `files`, parsed.
json run_json(const std::vector<std::string>& files, int expected_status = 0) {
  std::vector<std::string> args{"kinex", "json"};
  args.insert(args.end(), files.begin(), files.end());
  std::string out, err;
  EXPECT_EQ(run_kinex(args, out, err), expected_status) << err;
  if (expected_status == 0) {
    EXPECT_EQ(err, "");
  }
  try {
    return json::parse(out);
  } catch (const json::exception& e) {
    ADD_FAILURE() << e.what() << "\n" << out;
    return json();
  }
}

std::string cycle(const std::string& T, const std::vector<std::string>& steps,
                  const std::string& DeltaG) {
  std::string text = T + "\n" + std::to_string(steps.size()) + "\n";
  for (const std::string& step : steps) text += step + "\n";
  return text + DeltaG + "\n";
}

struct FileCase {
  const char* name;
  std::string content;
};

class JsonFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(JsonFileTest, DocumentMatchesTheReportsRunBitForBit) {
  ScratchDir dir;
  const std::string file = dir.write(std::string(GetParam().name) + ".txt", GetParam().content);
  kinex::Run run;
  ASSERT_TRUE(reference_run(file, run));
  const json doc = run_json({file});
  ASSERT_TRUE(doc.is_object());
  expect_matches(doc, run);
  EXPECT_EQ(doc.at("command_line"), json({"kinex", "json", file}));
}

INSTANTIATE_TEST_SUITE_P(
    Cycles, JsonFileTest,
    ::testing::Values(
        FileCase{"three_step", cycle_files::read_file(KINEX_EXAMPLES "/three_step.txt")},
        FileCase{"five_step_span_wraps", cycle_files::read_file(KINEX_EXAMPLES "/five_step.txt")},
        FileCase{"warning_deltag", cycle_files::read_file(KINEX_TEST_DATA "/warn_deltag.txt")},
        FileCase{"warning_concentrations",
                 cycle_files::read_file(KINEX_TEST_DATA "/warn_conc.txt")},
        FileCase{"steps120", cycle_files::read_file(KINEX_TEST_DATA "/steps120.txt")},
        FileCase{"one_step", cycle("300", {"0.0 12.5 2.0 0.5"}, "-3.0")},
        FileCase{"negative_zeros", cycle("298.15", {"-0.0 10.0 x x", "-0.0 -0.0 x x"}, "-0.0")},
        // inv_RT is infinite: the scaled energies, the TOF and the degrees of
        // control are not finite.
        FileCase{"zero_temperature", cycle("0", {"0.0 15.0 1.0 x", "-5.0 20.0 x 1.0"}, "-10")},
        FileCase{"non_finite_input",
                 cycle("298.15", {"0.0 Inf NaN x", "-Inf 20.0 x -Infinity"}, "NaN")},
        FileCase{"huge_energies", cycle("298.15", {"0.0 1e300 x x", "-1e300 20.0 x x"}, "-1e300")},
        FileCase{"tiny_temperature", cycle("1e-300", {"0.0 15.0 x x"}, "-5.0")}),
    [](const auto& info) { return std::string(info.param.name); });

// Figures whose values are known from the report of the same file.
TEST(JsonFigures, SpanAdviceAndWarningAsTheReportStatesThem) {
  const json three = run_json({KINEX_EXAMPLES "/three_step.txt"});
  EXPECT_EQ(three.at("/results/energetic_span"_json_pointer), 25.4);  // 20.3 - (-5.1)
  EXPECT_EQ(three.at("/results/advice/reactant_steps"_json_pointer), json({2}));
  EXPECT_EQ(three.at("/results/advice/product_steps"_json_pointer), json::array());
  EXPECT_EQ(three.at("/results/advice/text"_json_pointer),
            "Using the reactant entering in step 2 in high concentration will speed up the "
            "reaction more efficiently than manipulating the other concentrations.");
  EXPECT_EQ(three.at("/results/warning_text"_json_pointer), nullptr);
  EXPECT_EQ(three.at("version"), KINEX_VERSION);

  // TDI 4, TDTS 2: the span reaches into the next turn, so DeltaG counts.
  const json five = run_json({KINEX_EXAMPLES "/five_step.txt"});
  EXPECT_EQ(five.at("/results/energetic_span"_json_pointer), 30.0);  // 20 - (-15) + (-5)
  EXPECT_EQ(five.at("/results/advice/reactant_steps"_json_pointer), json({1, 2, 4, 5}));
  EXPECT_EQ(five.at("/results/advice/product_steps"_json_pointer), json({1, 4, 5}));
  EXPECT_EQ(five.at("/results/advice/text"_json_pointer),
            "Using the reactants entering in steps 1, 2, 4 and 5 in high concentration and "
            "removing the products released in steps 1, 4 and 5 from the reaction mixture "
            "will speed up the reaction more efficiently than manipulating the other "
            "concentrations.");

  const json warned = run_json({KINEX_TEST_DATA "/warn_deltag.txt"});
  EXPECT_EQ(warned.at("/results/warning"_json_pointer), true);
  EXPECT_EQ(warned.at("/results/warning_text"_json_pointer),
            "WARNING! There is no positive driving force. That's because DeltaG is not "
            "negative.");
}

// Random cycles in one batch: an array in the order of the files.
TEST(JsonBatch, RandomCyclesMatchTheirRunsBitForBit) {
  ScratchDir dir;
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> energy(-40.0, 40.0), temperature(150.0, 900.0),
      log_conc(-8.0, 3.0), coin(0.0, 1.0);
  std::uniform_int_distribution<int> steps(1, 9);
  auto concentration = [&] {
    return coin(random) < 0.4 ? std::string("x") : shortest(std::pow(10.0, log_conc(random)));
  };
  std::vector<std::string> files;
  for (int c = 0; c < 300; ++c) {
    std::vector<std::string> records;
    const int n = steps(random);
    for (int i = 0; i < n; ++i) {
      const double g_int = energy(random);
      const double g_ts = g_int + std::fabs(energy(random));
      records.push_back(shortest(g_int) + " " + shortest(g_ts) + " " + concentration() + " " +
                        concentration());
    }
    files.push_back(dir.write(
        "cycle" + std::to_string(c) + ".txt",
        cycle(shortest(temperature(random)), records, shortest(-std::fabs(energy(random))))));
  }
  const json docs = run_json(files);
  ASSERT_TRUE(docs.is_array());
  ASSERT_EQ(docs.size(), files.size());
  for (std::size_t c = 0; c < files.size(); ++c) {
    SCOPED_TRACE(files[c]);
    kinex::Run run;
    ASSERT_TRUE(reference_run(files[c], run));
    expect_matches(docs[c], run);
  }
}

TEST(JsonBatch, BadFileIsReportedAndLeftOutTheOthersStillWritten) {
  ScratchDir dir;
  const std::string bad = dir.write("bad.txt", "298.15\n2\n0.0 15.0 x x\n");
  const std::string missing = (dir.path / "missing.txt").string();
  const std::vector<std::string> files{KINEX_EXAMPLES "/three_step.txt", bad, missing,
                                       KINEX_EXAMPLES "/five_step.txt"};
  std::string out, err;
  std::vector<std::string> args{"kinex", "json"};
  args.insert(args.end(), files.begin(), files.end());
  EXPECT_EQ(run_kinex(args, out, err), 2);
  EXPECT_EQ(err.rfind("kinex: " + bad + ":", 0), 0u) << err;
  EXPECT_NE(err.find("kinex: " + missing + ": No such file or directory\n"), std::string::npos);
  EXPECT_EQ(err.find("KINEX.exe"), std::string::npos) << err;
  const json docs = json::parse(out);
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(docs[0].at("file"), files[0]);
  EXPECT_EQ(docs[1].at("file"), files[3]);
  // Each document names the command that gives it alone, not the batch.
  EXPECT_EQ(docs[1].at("command_line"), json({"kinex", "json", files[3]}));

  // One file named, and it fails: no document at all.
  out.clear();
  err.clear();
  EXPECT_EQ(run_kinex({"kinex", "json", bad}, out, err), 2);
  EXPECT_EQ(out, "");
}

TEST(JsonText, NamesAreEscapedAndInvalidUtf8Replaced) {
  ScratchDir dir;
  const std::string content = cycle_files::read_file(KINEX_EXAMPLES "/three_step.txt");
  for (const std::string name :
       {"quote\" back\\slash\ttab", "line\nfeed", "caf\xc3\xa9", "broken\xff\xfe"}) {
    const std::string file = dir.write(name + ".txt", content);
    const json doc = run_json({file});
    if (name.find('\xff') == std::string::npos) {
      EXPECT_EQ(doc.at("file"), file);
      EXPECT_EQ(doc.at("command_line")[2], file);
    } else {
      EXPECT_NE(doc.at("file").get<std::string>().find("broken\xef\xbf\xbd"), std::string::npos);
    }
  }
}

// Reals as the shortest text that reads back bit for bit; ".0" keeps a
// whole number a real for readers that tell integers from reals.
TEST(JsonText, RealsInShortestRoundTripForm) {
  struct Case {
    double x;
    const char* text;
  };
  const Case cases[] = {{0.1, "0.1"},
                        {298.15, "298.15"},
                        {100.0, "100.0"},
                        {-0.0, "-0.0"},
                        {0.0, "0.0"},
                        {1e-07, "1e-07"},
                        {1e22, "1e+22"},
                        {5e-324, "5e-324"},
                        {-2.5, "-2.5"},
                        {1.7976931348623157e308, "1.7976931348623157e+308"},
                        // Printed with one digit more by some double-to-text methods.
                        {5.790836934036617e-21, "5.790836934036617e-21"},
                        {-2.522923758208279e-228, "-2.522923758208279e-228"}};
  for (const Case& c : cases) {
    std::string text;
    write_json(Json(c.x), text);
    EXPECT_EQ(text, std::string(c.text) + "\n");
  }
  for (double x : {NAN, INFINITY, -INFINITY}) {
    std::string text;
    write_json(Json::array({x}), text);
    EXPECT_EQ(text, "[null]\n");
  }

  // Random bit patterns: each parsed back identical, and no shorter text
  // than std::to_chars's (which is the shortest) is possible.
  std::mt19937_64 random(7);
  Json values = Json::array();
  std::vector<double> expected;
  while (expected.size() < 20000) {
    const uint64_t b = random();
    double x;
    std::memcpy(&x, &b, sizeof x);
    if (!std::isfinite(x)) continue;
    values.push_back(x);
    expected.push_back(x);
  }
  std::string text;
  write_json(values, text);
  const json parsed = json::parse(text);
  ASSERT_EQ(parsed.size(), expected.size());
  std::size_t start = 1;
  for (std::size_t k = 0; k < expected.size(); ++k) {
    ASSERT_EQ(bits(parsed[k].get<double>()), bits(expected[k])) << k;
    const std::size_t end = text.find_first_of(",]", start);
    char shortest_text[64];
    const auto r = std::to_chars(shortest_text, shortest_text + 64, expected[k]);
    std::string token = text.substr(start, end - start);
    if (token.back() == '0' && token.size() >= 2 && token[token.size() - 2] == '.' &&
        token.find('e') == std::string::npos) {
      token.resize(token.size() - 2);
    }
    EXPECT_EQ(token, std::string(shortest_text, r.ptr));
    start = end + 2;
  }
}

}  // namespace
}  // namespace kinex

// kinex network: what it writes and refuses, and cycles through
// --from-cycle against kinex json of the same files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/support.h"

namespace kinex {
namespace {

using test::Outcome;
using test::ScratchDir;
using test::spawn;

const char* const kNetwork =
    "temperature 298.15\nspecies ArX 0.5\nspecies lin 0.001\nspecies br 0.001\n"
    "state Pd0 0\nstate OA -8.2\nstate dimer -11\n"
    "step Pd0 OA ts 14.2 consumes ArX\nstep OA Pd0 ts 11 releases lin shift -25\n"
    "step OA Pd0 ts 12.5 releases br shift -24\nstep Pd0 dimer ts 3\n";

TEST(NetworkCommand, WritesAndRefuses) {
  ScratchDir dir;
  const std::string net = dir.write("heck.net", kNetwork);
  const std::string cycle = std::string(KINEX_EXAMPLES) + "/three_step.txt";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string out, err;  // each found in its stream
  };
  const std::vector<Case> cases = {
      {"text", {net}, 0, "turnover", ""},
      {"json", {net, "--json"}, 0, "\"document\": \"network\"", ""},
      {"csv", {net, "--csv"}, 0, "file,rate,tof_per_s", ""},
      {"from a cycle",
       {"--from-cycle", cycle},
       0,
       "step I2 I0 ts 12.0 releases P3 shift -10.0",
       ""},
      {"nothing given", {}, 2, "", "give a network FILE"},
      {"both given", {net, "--from-cycle", cycle}, 2, "", "give a network FILE"},
      {"a picture", {net, "-o", dir.file("heck.svg")}, 0, "turnover", ""},
      {"a picture of no format", {net, "-o", dir.file("x")}, 2, "", "name the picture .svg"},
      {"a picture over the input", {net, "-o", net}, 2, "", "it is not overwritten"},
      {"json of a conversion", {"--from-cycle", cycle, "--json"}, 2, "", "--json and --csv go"},
      {"the input overwritten",
       {"--from-cycle", cycle, "-o", cycle},
       2,
       "",
       "it is not overwritten"},
      {"a cycle file as a network", {cycle}, 2, "", ":1: unknown statement '298.15'"},
      {"no such file", {dir.file("none.net")}, 2, "", "none.net"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"network"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome got = spawn(dir, KINEX_TOOL, args);
    EXPECT_EQ(got.status, c.status) << c.name << "\n" << got.err;
    EXPECT_NE(got.out.find(c.out), std::string::npos) << c.name << "\n" << got.out;
    EXPECT_NE(got.err.find(c.err), std::string::npos) << c.name << "\n" << got.err;
  }
}

// Every example cycle through a network file gives its TOF and every X_TOF.
TEST(NetworkCommand, CyclesThroughANetworkFileKeepTheirResults) {
  ScratchDir dir;
  for (const auto& entry : std::filesystem::directory_iterator(KINEX_EXAMPLES)) {
    if (entry.path().extension() != ".txt") continue;
    const std::string cycle = entry.path().string(), net = dir.file("cycle.net");
    ASSERT_EQ(spawn(dir, KINEX_TOOL, {"network", "--from-cycle", cycle, "-o", net}).status, 0);
    const auto doc = nlohmann::json::parse(spawn(dir, KINEX_TOOL, {"network", net, "--json"}).out);
    const auto expected = nlohmann::json::parse(spawn(dir, KINEX_TOOL, {"json", cycle}).out);
    const auto& turnover = doc["results"]["turnover"];
    const auto& results = expected["results"];
    EXPECT_NEAR(turnover["log10_tof"].get<double>(), results["log10_tof"].get<double>(), 1e-12)
        << cycle;
    int i = 0;
    for (const auto& [name, x] : turnover["xtof_ts"].items()) {
      EXPECT_NEAR(x.get<double>(), results["xtof_ts"][i++].get<double>(), 1e-12) << name;
    }
    i = 0;
    for (const auto& [name, x] : turnover["xtof_state"].items()) {
      EXPECT_NEAR(x.get<double>(), results["xtof_int"][i++].get<double>(), 1e-12) << name;
    }
  }
}

}  // namespace
}  // namespace kinex

namespace kinex {
namespace {

// kinex check takes network files (.net) beside cycles, each finding on its
// line.
TEST(NetworkCommand, CheckFindsWhatANetworkShows) {
  ScratchDir dir;
  const std::string odd = dir.write("odd.NET",
                                    "temperature 25\nspecies P 1\nstate A 0\nstate B -3\n"
                                    "step A B ts -1 releases P\nstep B A ts 70 shift 5\n");
  const std::string clean = dir.write("heck.net", kNetwork);
  const Outcome got = spawn(dir, KINEX_TOOL, {"check", odd, clean});
  EXPECT_EQ(got.status, 1) << got.err;
  for (const std::string& expected :
       {odd + ":1: warning: the temperature is 25.0 K", odd + ":5: warning: TS1 (-1.000 kcal/mol)",
        odd + ": warning: product P runs backwards", odd + ": warning: the apparent barrier",
        odd + ": 5 warnings", clean + ": no warnings"}) {
    EXPECT_NE(got.out.find(expected), std::string::npos) << expected << "\n" << got.out;
  }
  const std::string broken = dir.write("broken.net", "temperature 300\n");
  const Outcome unread = spawn(dir, KINEX_TOOL, {"check", clean, broken});
  EXPECT_EQ(unread.status, 2);
  EXPECT_NE(unread.err.find("no state"), std::string::npos) << unread.err;
}

}  // namespace
}  // namespace kinex

namespace kinex {
namespace {

TEST(NetworkCommand, UncertaintyOfANetwork) {
  ScratchDir dir;
  const std::string net = dir.write("heck.net", kNetwork);
  const std::string cycle = std::string(KINEX_EXAMPLES) + "/three_step.txt";
  const Outcome got =
      spawn(dir, KINEX_TOOL, {"uncertainty", net, "--sigma", "1", "--samples", "300"});
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(got.out.rfind(net + ": 300 samples of the energies, sigma 1.000 kcal/mol", 0), 0u)
      << got.out;
  for (const char* rate : {"\n  lin\n", "\n  br\n", "\n  turnover\n"}) {
    EXPECT_NE(got.out.find(rate), std::string::npos) << rate;
  }
  const Outcome mixed = spawn(dir, KINEX_TOOL, {"uncertainty", net, cycle, "--sigma", "1"});
  EXPECT_EQ(mixed.status, 2);
  EXPECT_NE(mixed.err.find("network files (.net) go alone"), std::string::npos) << mixed.err;
}

}  // namespace
}  // namespace kinex

// kinex map: planes through exact tables, the map over the temperature
// against a scan of the same cycles, and the inputs it refuses.
#include "map/map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "input/table.h"
#include "model/figures.h"
#include "model/storage.h"
#include "outputs/format.h"
#include "scan/scan.h"
#include "volcano/volcano.h"
#include "volcano/volcano_internal.h"

namespace kinex {
namespace {

// G = a + b x + c y of each state column.
struct Plane {
  const char* state;
  double a, b, c;
};

// I0 the reference, TS(I2->P) implied; coefficients of quarters, so that
// every energy of the lattice below is exact in the table.
const std::vector<Plane> kPlanes = {{"I0", 0.0, 0.0, 0.0},   {"TS1", 14.0, 0.75, 0.5},
                                    {"I1", 0.0, 1.0, -0.25}, {"TS2", 20.0, -0.5, 1.25},
                                    {"I2", -6.0, 0.25, 0.5}, {"P", -12.0, 0.0, 0.0}};
// Catalysts on the integer lattice 0..4 x 0..2, the descriptors independent.
const std::vector<std::pair<double, double>> kLattice = {{0, 0}, {1, 2}, {2, 1}, {3, 0},
                                                         {4, 2}, {0, 2}, {4, 0}, {2, 2}};

std::string table_text(const std::vector<Plane>& planes,
                       const std::vector<std::pair<double, double>>& at, bool with_y = true) {
  std::string text = with_y ? "Catalyst,Descriptor x,Descriptor y" : "Catalyst,Descriptor x";
  for (const Plane& plane : planes) text.append(",").append(plane.state);
  text += "\n";
  for (std::size_t r = 0; r < at.size(); ++r) {
    const auto [x, y] = at[r];
    text.append("cat").append(std::to_string(r)).append(",").append(shortest(x));
    if (with_y) text.append(",").append(shortest(y));
    for (const Plane& plane : planes) {
      text.append(",").append(shortest(plane.a + plane.b * x + plane.c * y));
    }
    text += "\n";
  }
  return text;
}

std::vector<TableRow> rows_of(const std::string& text) {
  std::vector<TableRow> rows;
  std::string error;
  EXPECT_TRUE(parse_table("t.csv", text, 298.15, rows, error)) << error;
  return rows;
}

MapOptions lattice_options() {
  MapOptions options;
  options.x = "Descriptor x";
  options.y = "Descriptor y";
  options.has_x_range = options.has_y_range = true;
  options.x_from = 0.0, options.x_to = 4.0, options.nx = 5;
  options.y_from = 0.0, options.y_to = 2.0, options.ny = 3;
  return options;
}

TEST(MapExactPlanes, TheGridPassesThroughEveryCatalystsOwnLog10Tof) {
  const std::vector<TableRow> rows = rows_of(table_text(kPlanes, kLattice));
  Map map;
  std::string error;
  for (int threads : {1, 2}) {
    MapOptions options = lattice_options();
    options.threads = threads;
    ASSERT_TRUE(features::build_map(rows, options, map, error)) << error;
    ASSERT_EQ(map.fits.size(), kPlanes.size());
    for (std::size_t s = 0; s < kPlanes.size(); ++s) {
      SCOPED_TRACE(kPlanes[s].state);
      EXPECT_EQ(map.fits[s].state, kPlanes[s].state);
      EXPECT_NEAR(map.fits[s].intercept, kPlanes[s].a, 1e-12);
      EXPECT_NEAR(map.fits[s].slope_x, kPlanes[s].b, 1e-12);
      EXPECT_NEAR(map.fits[s].slope_y, kPlanes[s].c, 1e-12);
      EXPECT_NEAR(map.fits[s].r2, 1.0, 1e-12);
    }
    ASSERT_EQ(map.points.size(), kLattice.size());
    for (const MapPoint& point : map.points) {
      SCOPED_TRACE(point.name);
      const auto k = static_cast<std::size_t>(point.y) * 5 + static_cast<std::size_t>(point.x);
      EXPECT_NEAR(map.log10_TOF[k], point.log10_TOF, 1e-9);
      EXPECT_NEAR(point.fitted_log10_TOF, point.log10_TOF, 1e-9);
      EXPECT_EQ(map.TDI_names[static_cast<std::size_t>(map.TDI[k])], point.TDI);
      EXPECT_EQ(map.TDTS_names[static_cast<std::size_t>(map.TDTS[k])], point.TDTS);
    }
    EXPECT_TRUE(map.warnings.empty()) << map.warnings.front();
  }
}

// The energetic span over the same lattice: each catalyst's own span at its
// grid point, and the top where the span is lowest.
TEST(MapExactPlanes, TheSpanMapPassesThroughEveryCatalystsOwnSpan) {
  const std::vector<TableRow> rows = rows_of(table_text(kPlanes, kLattice));
  MapOptions options = lattice_options();
  options.quantity = MapQuantity::energetic_span;
  Map map;
  std::string error;
  ASSERT_TRUE(features::build_map(rows, options, map, error)) << error;
  ASSERT_EQ(map.energetic_span.size(), map.log10_TOF.size());
  EXPECT_EQ(&quantity_values(map), &map.energetic_span);
  for (std::size_t r = 0; r < kLattice.size(); ++r) {
    SCOPED_TRACE(rows[r].name);
    Evaluation own;
    ASSERT_TRUE(volcano_detail::evaluated(rows[r].cycle, own, error)) << error;
    const auto k = static_cast<std::size_t>(kLattice[r].second) * 5 +
                   static_cast<std::size_t>(kLattice[r].first);
    EXPECT_NEAR(map.energetic_span[k], energetic_span(own.cycle, own.results), 1e-9);
  }
  const auto lowest = std::min_element(map.energetic_span.begin(), map.energetic_span.end());
  EXPECT_EQ(map.top, lowest - map.energetic_span.begin());
}

TEST(MapOverTemperature, IsAScanOfTheFittedCycleAtEveryDescriptorValue) {
  std::vector<std::pair<double, double>> at;
  for (double x : {-4.0, -2.5, -1.0, 0.0, 1.5, 3.0, 5.0}) at.push_back({x, 0.0});
  const std::vector<TableRow> rows = rows_of(table_text(kPlanes, at, false));
  MapOptions options;
  options.x = "Descriptor x";
  options.T_from = 250.0, options.T_to = 650.0;
  options.nx = 9, options.ny = 41;
  Map map;
  std::string error;
  ASSERT_TRUE(features::build_map(rows, options, map, error)) << error;
  EXPECT_EQ(map.y_name, "T");
  VolcanoFits fits;
  ASSERT_TRUE(fit_volcano(rows, "Descriptor x", fits, error)) << error;
  for (std::size_t i = 0; i < map.x.size(); ++i) {
    kinex::Run run;
    run.cycle.n = fits.conditions.n;
    Failure failure;
    ASSERT_TRUE(allocate_storage(run, failure));
    run.cycle = fitted_cycle(fits, map.x[i]);
    std::size_t j = 0;
    const auto take = [&](const ScanRow& row) {
      const std::size_t k = j * map.x.size() + i;
      EXPECT_EQ(std::memcmp(&row.log10_TOF, &map.log10_TOF[k], sizeof(double)), 0)
          << "x " << map.x[i] << ", T " << map.y[j];
      EXPECT_EQ(row.TDI, map.TDI[k]);
      EXPECT_EQ(row.TDTS, map.TDTS[k]);
      ++j;
      return true;
    };
    Sweep sweep;
    sweep.kind = Sweep::Kind::Temperature;
    ASSERT_TRUE(run_scan(run, sweep, map.y, take, {}, failure)) << failure.message;
    EXPECT_EQ(j, map.y.size());
  }
  for (const MapPoint& point : map.points) EXPECT_EQ(point.y, 298.15);
}

// A map of examples/map.csv whose boundaries are checked.
struct TracedMap {
  const char* name;
  std::string y;  // empty: over the temperature from 250 to 650 K
  int64_t nx, ny;
};

class MapBoundaries : public ::testing::TestWithParam<TracedMap> {};

// Each switch lies where the fitted cycle's region changes: a millionth of
// its edge before it the region of the edge's start, a millionth after
// another; and every switch is on a boundary line.
TEST_P(MapBoundaries, EverySwitchLiesWhereTheRegionChangesAlongItsEdge) {
  const TracedMap& c = GetParam();
  std::vector<TableRow> rows;
  std::string error;
  ASSERT_TRUE(read_table(KINEX_EXAMPLES "/map.csv", 298.15, rows, error)) << error;
  MapOptions options;
  options.x = "Descriptor dG(OA)";
  options.y = c.y;
  options.T_from = 250.0, options.T_to = 650.0;
  options.nx = c.nx, options.ny = c.ny;
  Map map;
  ASSERT_TRUE(features::build_map(rows, options, map, error)) << error;
  VolcanoFits fits;
  ASSERT_TRUE(fit_volcano(rows, options.x, fits, error)) << error;
  ASSERT_GE(map.switches.size(), 4u);
  const auto region_at = [&](double x, double y) {
    Evaluation run;
    EXPECT_TRUE(
        volcano_detail::evaluated(map_detail::fitted_map_cycle(map, fits, x, y), run, error))
        << error;
    return std::pair{run.results.TDI, run.results.TDTS};
  };
  std::size_t on_lines = 0;
  for (const MapSwitch& s : map.switches) {
    const auto i = static_cast<std::size_t>(s.i), j = static_cast<std::size_t>(s.j);
    const std::size_t start = j * map.x.size() + i;
    const double hx = s.along_x ? 1e-6 * (map.x[i + 1] - map.x[i]) : 0.0;
    const double hy = s.along_x ? 0.0 : 1e-6 * (map.y[j + 1] - map.y[j]);
    SCOPED_TRACE("switch at (" + shortest(s.x) + ", " + shortest(s.y) + ")");
    EXPECT_EQ(s.along_x ? s.y : s.x, s.along_x ? map.y[j] : map.x[i]);
    EXPECT_EQ(region_at(s.x - hx, s.y - hy), std::pair(map.TDI[start], map.TDTS[start]));
    EXPECT_NE(region_at(s.x + hx, s.y + hy), std::pair(map.TDI[start], map.TDTS[start]));
    for (const auto& line : map.boundaries) {
      on_lines += std::count(line.begin(), line.end(), std::array{s.x, s.y}) > 0 ? 1 : 0;
    }
  }
  EXPECT_EQ(on_lines, map.switches.size());
  // Untraced, the same grid without them.
  options.boundaries = false;
  Map plain;
  ASSERT_TRUE(features::build_map(rows, options, plain, error)) << error;
  EXPECT_TRUE(plain.switches.empty() && plain.boundaries.empty());
  EXPECT_EQ(plain.log10_TOF, map.log10_TOF);
  EXPECT_EQ(plain.TDI, map.TDI);
}

INSTANTIATE_TEST_SUITE_P(Cases, MapBoundaries,
                         ::testing::Values(TracedMap{"two_descriptors", "Descriptor dG(RE)", 40,
                                                     30},
                                           TracedMap{"coarse_grid", "Descriptor dG(RE)", 7, 5},
                                           TracedMap{"over_the_temperature", "", 30, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

// A table the map refuses, what is asked of it, and the words of the reason.
struct BadMap {
  const char* name;
  std::string text;
  std::function<void(MapOptions&)> ask;
  const char* error;
};

class MapBadInputs : public ::testing::TestWithParam<BadMap> {};

TEST_P(MapBadInputs, AreRefusedWithAReasonNamingTheArgumentOrRow) {
  const BadMap& c = GetParam();
  std::vector<TableRow> rows;
  std::string error;
  ASSERT_TRUE(parse_table("t.csv", c.text, 298.15, rows, error)) << error;
  MapOptions options = lattice_options();
  options.has_x_range = options.has_y_range = false;
  options.nx = options.ny = 60;
  if (c.ask) c.ask(options);
  Map map;
  EXPECT_FALSE(features::build_map(rows, options, map, error));
  EXPECT_NE(error.find(c.error), std::string::npos) << error;
}

const std::string kGood = table_text(kPlanes, kLattice);

INSTANTIATE_TEST_SUITE_P(
    Cases, MapBadInputs,
    ::testing::Values(
        BadMap{"one_descriptor_column",
               table_text(kPlanes, kLattice, false),
               {},
               "--y \"Descriptor y\" is no Descriptor column of the table (it has Descriptor x)"},
        BadMap{"same_descriptor_twice", kGood, [](MapOptions& o) { o.y = o.x; },
               "--x and --y both name \"Descriptor x\""},
        BadMap{"unknown_x", kGood, [](MapOptions& o) { o.x = "G(O)"; },
               "\"G(O)\" is neither a Descriptor column nor a state column"},
        BadMap{"two_rows",
               table_text(kPlanes, {{0, 0}, {1, 2}}),
               {},
               "a plane per state needs at least 3 catalysts"},
        BadMap{"collinear",
               table_text(kPlanes, {{0, 0}, {1, 2}, {2, 4}, {3, 6}}),
               {},
               "vary together over the rows (correlation 1"},
        BadMap{"constant_y",
               table_text(kPlanes, {{0, 1}, {1, 1}, {2, 1}}),
               {},
               "\"Descriptor y\" is 1.0 in every row"},
        BadMap{"bad_row",
               "Catalyst,Descriptor x,Descriptor y,I0,TS1,I1,P\na,1,0,0,10,,-5\nb,2,1,0,11,2,-5\n",
               {},
               "t.csv:2:6: the energy of \"I1\" is empty"},
        BadMap{"other_conditions",
               "Catalyst,Descriptor x,Descriptor y,I0,TS1,I1,P,T\na,0,0,0,10,1,-5,300\n"
               "b,1,1,0,11,2,-5,300\nc,2,0,0,12,2,-5,350\n",
               {},
               "a map is for one set of conditions"},
        BadMap{"one_point", kGood, [](MapOptions& o) { o.nx = 1; },
               "--points 1,60: each from 2 to 100000"},
        BadMap{"reversed_x_range", kGood,
               [](MapOptions& o) {
                 o.has_x_range = true;
                 o.x_from = 2.0, o.x_to = -1.0;
               },
               "--x-range 2.0:-1.0: FROM must be below TO"},
        BadMap{"infinite_y_range", kGood,
               [](MapOptions& o) {
                 o.has_y_range = true;
                 o.y_from = 0.0, o.y_to = INFINITY;
               },
               "--y-range 0.0:"},
        BadMap{"reversed_temperatures", kGood,
               [](MapOptions& o) {
                 o.y.clear();
                 o.T_from = 400.0, o.T_to = 300.0;
               },
               "--y T=400.0:300.0: the temperatures FROM and TO must be finite"},
        BadMap{"grid_beyond_memory", kGood,
               [](MapOptions& o) {
                 o.nx = o.ny = 100000;
                 o.has_x_range = true;
                 o.x_from = 0, o.x_to = 1;
               },
               "--points 100000,100000: a grid of 10000000000 points of 3 steps takes about"},
        BadMap{"energies_beyond_doubles", kGood,
               [](MapOptions& o) {
                 o.has_x_range = true;
                 o.x_from = -1.7e308, o.x_to = -1e308;
               },
               "beyond what can be evaluated"}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string kExample = KINEX_EXAMPLES "/map.csv";

TEST(MapCommand, WritesTextJsonAndCsvOfTheSameGrid) {
  const std::vector<std::string> map = {
      "map", kExample, "--x", "Descriptor dG(OA)", "--y", "Descriptor dG(RE)", "--points", "7,5"};
  const auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = map;
    args.insert(args.end(), more.begin(), more.end());
    return cycle_files::kinex_run(args);
  };
  const test::Outcome text = with({}), json = with({"--json"}), csv = with({"--csv"});
  for (const test::Outcome* o : {&text, &json, &csv}) ASSERT_EQ(o->status, kExitOk) << o->err;
  EXPECT_NE(text.out.find("Grid: 7 x 5 points"), std::string::npos) << text.out;
  const nlohmann::json doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["document"], "map");
  ASSERT_EQ(doc["grid"]["log10_tof"].size(), 5u);
  ASSERT_EQ(doc["grid"]["log10_tof"][0].size(), 7u);
  EXPECT_EQ(doc["points"].size(), 12u);
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 1 + 7 * 5);
  // The CSV's fourth row is the JSON's point (3, 0), to the last bit.
  std::string line = csv.out;
  for (int k = 0; k < 4; ++k) line = line.substr(line.find('\n') + 1);
  line = line.substr(0, line.find('\n'));
  const double x = doc["grid"]["x"][3], y = doc["grid"]["y"][0], v = doc["grid"]["log10_tof"][0][3];
  EXPECT_EQ(line, shortest(x) + "," + shortest(y) + "," + shortest(v) + "," +
                      doc["grid"]["tdi"][0][3].get<std::string>() + "," +
                      doc["grid"]["tdts"][0][3].get<std::string>() + ",false");
}

// -o - puts the picture in place of the text, its axes titled as asked,
// the warnings on standard error.
TEST(MapCommand, WritesThePictureToStandardOutputWithTheAxesTitlesAsked) {
  const test::Outcome o = cycle_files::kinex_run(
      {"map", kExample, "--x", "Descriptor dG(OA)", "--y", "T=250:450", "--points", "9,7", "-o",
       "-", "--xlabel", "G(OA) & more", "--ylabel", "temperature (K)"});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  EXPECT_EQ(o.out.rfind("<svg", 0) == 0 || o.out.rfind("<?xml", 0) == 0, true)
      << o.out.substr(0, 80);
  EXPECT_NE(o.out.find(">G(OA) &amp; more<"), std::string::npos);
  EXPECT_NE(o.out.find(">temperature (K)<"), std::string::npos);
  EXPECT_EQ(o.out.find("Map of"), std::string::npos);
  EXPECT_NE(o.err.find("kinex map: warning: "), std::string::npos) << o.err;
}

TEST(MapCommand, RefusesWhatItCannotReadInTheUsersWords) {
  const struct {
    std::vector<std::string> args;
    std::string words;
  } cases[] = {
      {{"map", kExample, "--x", "Descriptor dG(OA)", "--y", "T=cold"},
       "--y T=cold: T=FROM:TO, the temperatures in K"},
      {{"map", kExample, "--x", "Descriptor dG(OA)", "--y", "Descriptor dG(RE)", "--points", "9"},
       "--points 9: NX,NY, two whole numbers"},
      {{"map", kExample, "--x", "Descriptor dG(OA)", "--y", "Descriptor dG(RE)", "--x-range", "1"},
       "--x-range 1: FROM:TO, two numbers"},
      {{"map", KINEX_EXAMPLES "/volcano.csv", "--x", "Descriptor dG(OA)", "--y", "dG(RE)"},
       "--y \"dG(RE)\" is no Descriptor column of the table"},
      {{"map", KINEX_EXAMPLES "/three_step.txt", "--x", "a", "--y", "b"}, "is no table"},
      {{"map", kExample, "--x", "Descriptor dG(OA)", "--y", "T=250:450", "-o", kExample},
       "is the input file " + kExample + "; it is not overwritten"},
      {{"map", kExample, "--x", "Descriptor dG(OA)", "--y", "T=250:450", "--size", "column"},
       "--size and --font-size go with the picture"},
      {{"map", kExample, "--x", "Descriptor dG(OA)", "--y", "T=250:450", "--ylabel", "T"},
       "--xlabel, --ylabel, --size and --font-size go with the picture"},
      {{"map", kExample, "--x", "Descriptor dG(OA)", "--y", "T=250:450", "-o", "-", "--csv"},
       "-o - puts the picture on standard output in place of the text"},
      {{"map", kExample, "--x", "Descriptor dG(OA)", "--y", "T=250:450", "--quantity", "tof"},
       "--quantity tof: log10_tof (log10 TOF) or energetic_span"},
  };
  for (const auto& c : cases) {
    const test::Outcome o = cycle_files::kinex_run(c.args);
    EXPECT_EQ(o.status, kExitFailed) << c.words;
    EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
    EXPECT_TRUE(o.out.empty()) << o.out;
  }
}

}  // namespace
}  // namespace kinex

// kinex volcano: the fits of a table against its descriptor, the curves
// and regions against single evaluations, the band, and the command line.
#include "volcano/volcano.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "model/evaluate.h"
#include "model/storage.h"
#include "outputs/format.h"
#include "outputs/state_names.h"

namespace kinex {
namespace {

using namespace cycle_files;

// The lines of the constructed tables: G = a + b d of each state column.
struct Line {
  const char* state;
  double a, b;
};

// I0 a constant reference, TS(I2->P) implied: a volcano over d in -4..5.
const std::vector<Line> kLines = {{"I0", 0.0, 0.0},    {"TS1", 14.0, 0.8}, {"I1", 0.0, 1.0},
                                  {"TS2", 20.0, -0.4}, {"I2", -6.0, 0.3},  {"P", -12.0, 0.0}};
const std::vector<double> kDescriptors = {-4.0, -2.5, -1.0, 0.0, 1.5, 3.0, 5.0};

// The table of `lines` at the descriptor values, each energy moved by
// noise(row, state); with a "T" column when `temperatures` is given.
std::string table_text(const std::vector<Line>& lines, const std::vector<double>& d,
                       const std::function<double(std::size_t, std::size_t)>& noise = {},
                       const std::vector<double>& temperatures = {}) {
  std::string text = "Catalyst,Descriptor d";
  for (const Line& line : lines) text.append(",").append(line.state);
  if (!temperatures.empty()) text += ",T";
  text += "\n";
  for (std::size_t r = 0; r < d.size(); ++r) {
    text.append("cat").append(std::to_string(r)).append(",").append(shortest(d[r]));
    for (std::size_t s = 0; s < lines.size(); ++s) {
      const double e = noise ? noise(r, s) : 0.0;
      text.append(",").append(shortest(lines[s].a + lines[s].b * d[r] + e));
    }
    if (!temperatures.empty()) text.append(",").append(shortest(temperatures[r]));
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

// evaluate_cycle(Use::outputs) of a cycle, as the curve makes it.
Run evaluated_run(const Cycle& cycle, const StateNames& names) {
  Run run;
  run.cycle.n = cycle.n;
  Failure failure;
  EXPECT_TRUE(allocate_storage(run, failure));
  run.cycle = cycle;
  run.names = names;
  evaluate_cycle(run, 1, Use::outputs);
  return run;
}

Volcano built(const std::string& text, VolcanoOptions options = {}) {
  Volcano volcano;
  std::string error;
  EXPECT_TRUE(build_volcano(rows_of(text), options, volcano, error)) << error;
  return volcano;
}

TEST(VolcanoExactLines, TheCurvePassesThroughEveryCatalystAndTheBandCollapses) {
  VolcanoOptions options;
  options.samples = 200;
  const Volcano v = built(table_text(kLines, kDescriptors), options);
  EXPECT_EQ(v.fits.descriptor, "Descriptor d");
  EXPECT_FALSE(v.fits.descriptor_is_state);
  ASSERT_EQ(v.fits.fits.size(), kLines.size());  // the implied TS is not fitted
  for (std::size_t s = 0; s < kLines.size(); ++s) {
    EXPECT_NEAR(v.fits.fits[s].slope, kLines[s].b, 1e-12) << kLines[s].state;
    EXPECT_NEAR(v.fits.fits[s].intercept, kLines[s].a, 1e-12) << kLines[s].state;
    EXPECT_NEAR(v.fits.fits[s].r2, 1.0, 1e-12) << kLines[s].state;
    EXPECT_TRUE(v.fits.fits[s].warning.empty()) << v.fits.fits[s].warning;
  }
  ASSERT_EQ(v.points.size(), kDescriptors.size());
  for (const VolcanoPoint& point : v.points) {
    const kinex::Run at = evaluated_run(fitted_cycle(v.fits, point.x), v.fits.names);
    EXPECT_NEAR(at.results.log10_TOF, point.log10_TOF, 1e-9) << point.name;
    EXPECT_FALSE(point.outlier) << point.name;
  }
  ASSERT_EQ(v.x.size(), 200u);
  EXPECT_DOUBLE_EQ(v.from, -4.0 - 0.9);
  EXPECT_DOUBLE_EQ(v.to, 5.0 + 0.9);
  for (std::size_t p = 0; p < v.x.size(); ++p) {
    EXPECT_NEAR(v.log10_TOF_band.low[p], v.log10_TOF[p], 1e-9);
    EXPECT_NEAR(v.log10_TOF_band.high[p], v.log10_TOF[p], 1e-9);
    EXPECT_NEAR(v.energetic_span_band.high[p], v.energetic_span[p], 1e-9);
    EXPECT_NEAR(v.endergonic_step_band.low[p], v.endergonic_step[p], 1e-9);
  }
  EXPECT_TRUE(v.warnings.empty());
}

TEST(VolcanoExactLines, ADescriptorThatIsAStateFitsItselfExactly) {
  VolcanoOptions options;
  options.descriptor = "I1";
  options.samples = 0;
  const Volcano v = built(table_text(kLines, kDescriptors), options);
  EXPECT_TRUE(v.fits.descriptor_is_state);
  const LineFit& own = v.fits.fits[2];
  ASSERT_EQ(own.state, "I1");
  EXPECT_EQ(own.slope, 1.0);
  EXPECT_EQ(own.intercept, 0.0);
  EXPECT_EQ(own.r2, 1.0);
  EXPECT_EQ(own.residual_sd, 0.0);
  EXPECT_EQ(v.fits.x, kDescriptors);  // I1 = d
}

TEST(VolcanoExactLines, RegionsAreTheRunsOfTheSingleEvaluationsTdiAndTdts) {
  VolcanoOptions options;
  options.samples = 0;
  options.points = 57;
  const Volcano v = built(table_text(kLines, kDescriptors), options);
  ASSERT_GE(v.regions.size(), 2u) << "the constructed table should give a volcano";
  int64_t next = 0;
  for (std::size_t g = 0; g < v.regions.size(); ++g) {
    const VolcanoRegion& region = v.regions[g];
    EXPECT_EQ(region.first, next);
    EXPECT_LE(region.from, v.x[static_cast<std::size_t>(region.first)]);
    EXPECT_GE(region.to, v.x[static_cast<std::size_t>(region.last)]);
    if (g > 0) {
      const VolcanoRegion& before = v.regions[g - 1];
      EXPECT_TRUE(region.TDI != before.TDI || region.TDTS != before.TDTS);
      // The boundary is exact: the double below it still belongs to the
      // region before, the boundary itself no longer does.
      EXPECT_EQ(region.from, before.to);
      EXPECT_GT(region.from, v.x[static_cast<std::size_t>(before.last)]);
      const auto names_at = [&](double x) {
        const kinex::Run run = evaluated_run(fitted_cycle(v.fits, x), v.fits.names);
        return tdi_state(run_names(run), run.results.TDI) + "/" +
               tdts_state(run_names(run), run.results.TDTS);
      };
      EXPECT_EQ(names_at(std::nextafter(region.from, -INFINITY)), before.TDI + "/" + before.TDTS);
      EXPECT_NE(names_at(region.from), before.TDI + "/" + before.TDTS);
    } else {
      EXPECT_EQ(region.from, v.from);
    }
    for (int64_t p = region.first; p <= region.last; ++p) {
      const kinex::Run run =
          evaluated_run(fitted_cycle(v.fits, v.x[static_cast<std::size_t>(p)]), v.fits.names);
      EXPECT_EQ(tdi_state(run_names(run), run.results.TDI), region.TDI) << "point " << p;
      EXPECT_EQ(tdts_state(run_names(run), run.results.TDTS), region.TDTS) << "point " << p;
    }
    next = region.last + 1;
  }
  EXPECT_EQ(next, 57);
  // The top lies between the ends: the curve rises and falls.
  EXPECT_GT(v.top, 0);
  EXPECT_LT(v.top, 56);
}

TEST(VolcanoExactLines, TheTopIsTheHighestLog10TofOfTheFittedCycle) {
  VolcanoOptions options;
  options.samples = 0;
  options.points = 9;  // coarse, so that the top lies between two points
  const Volcano v = built(table_text(kLines, kDescriptors), options);
  for (const double y : v.log10_TOF) EXPECT_GE(v.top_log10_TOF, y);
  const double step = (v.to - v.from) / 8.0;
  EXPECT_LE(std::abs(v.top_x - v.x[static_cast<std::size_t>(v.top)]), step);
  for (const double dx : {-1e-3, 1e-3, -1e-6, 1e-6}) {
    const kinex::Run run = evaluated_run(fitted_cycle(v.fits, v.top_x + dx), v.fits.names);
    EXPECT_LE(run.results.log10_TOF, v.top_log10_TOF + 1e-12) << "dx " << dx;
  }
}

TEST(VolcanoExactLines, NoRegionIsLostBetweenTwoPoints) {
  // Two points only, or a range far wider than the data: every region of a
  // fine curve is still found, with the same ends.
  VolcanoOptions fine;
  fine.samples = 0;
  fine.points = 20001;
  const Volcano reference = built(table_text(kLines, kDescriptors), fine);
  ASSERT_GE(reference.regions.size(), 3u);
  VolcanoOptions coarse = fine;
  coarse.points = 2;
  const Volcano v = built(table_text(kLines, kDescriptors), coarse);
  ASSERT_EQ(v.regions.size(), reference.regions.size());
  for (std::size_t r = 0; r < v.regions.size(); ++r) {
    EXPECT_EQ(v.regions[r].TDI, reference.regions[r].TDI);
    EXPECT_EQ(v.regions[r].TDTS, reference.regions[r].TDTS);
    EXPECT_EQ(v.regions[r].from, reference.regions[r].from) << r;
  }
  EXPECT_EQ(v.regions[1].first, v.regions[1].last + 1);  // between the two points
}

TEST(VolcanoExactLines, ATopAtTheEndOfTheRangeIsNoTop) {
  VolcanoOptions options;
  options.samples = 0;
  options.has_range = true;
  for (const auto& [from, to, inside] : std::vector<std::tuple<double, double, bool>>{
           {-4.0, 5.0, true}, {4.0, 5.0, true}, {-4.0, -3.0, false}, {-3.0, 0.0, false}}) {
    options.from = from;
    options.to = to;
    const Volcano v = built(table_text(kLines, kDescriptors), options);
    EXPECT_EQ(v.top_inside, inside) << from << ".." << to;
    if (!inside) {
      EXPECT_EQ(v.top_x, to);  // log10 TOF rises towards the top near d = 4.7
    }
  }
}

// Tables at the edges the region search and the top's search met: the
// curve of a table of intermediates only is made of barrier-free steps,
// whose terms tie with others everywhere; a range of 1e100 puts the top
// some 1e98 from the nearest points.
TEST(VolcanoEdges, TiedTermsAndHugeRangesGiveTheRegionsAndTopAChemistSees) {
  // Intermediates only: every transition state is implied.
  const std::string intermediates =
      "Catalyst,Descriptor d,S0,S1,S2,S3,Product\n"
      "c0,-13.53,0.0,-14.0,-24.3,-17.9,-30.0\nc1,-8.55,0.0,-13.0,-3.3,-10.1,-30.0\n"
      "c2,-19.86,0.0,-19.6,-5.1,-20.3,-30.0\nc3,-4.35,0.0,-5.3,-6.6,-11.8,-30.0\n"
      "c4,-13.88,0.0,-1.9,-18.4,-9.7,-30.0\nc5,-0.92,0.0,-1.6,-2.9,-6.8,-30.0\n"
      "c6,-9.88,0.0,-9.4,-11.0,-10.5,-30.0\nc7,-0.81,0.0,0.9,0.9,-0.4,-30.0\n";
  VolcanoOptions options;
  options.samples = 0;
  const Volcano v = built(intermediates, options);
  ASSERT_EQ(v.regions.size(), 2u);
  EXPECT_EQ(v.regions[0].TDI + " " + v.regions[0].TDTS, "S1 TS(S1->S2)");
  EXPECT_EQ(v.regions[1].TDI + " " + v.regions[1].TDTS, "S0 TS(S0->S1)");
  EXPECT_NEAR(v.regions[1].from, -15.57, 0.01);
  // Both implied transition states after S1 lie at S2: they tie.
  EXPECT_EQ(v.regions[0].TDTS_ties, std::vector<std::string>{"TS(S2->S3)"});

  // The top of the constructed lines, from the usual range and from one of
  // 1e100 either way, where it is first bracketed some 1e98 wide.
  const Volcano usual = built(table_text(kLines, kDescriptors), options);
  ASSERT_TRUE(usual.top_inside);
  options.has_range = true;
  options.from = -1e100;
  options.to = 1e100;
  const Volcano wide = built(table_text(kLines, kDescriptors), options);
  EXPECT_TRUE(wide.top_inside);
  // At a smooth top the values of neighbours agree to rounding within a
  // distance of about the square root of it.
  EXPECT_NEAR(wide.top_x, usual.top_x, 1e-6);
  EXPECT_NEAR(wide.top_log10_TOF, usual.top_log10_TOF, 1e-12);
  EXPECT_EQ(top_descriptor_text(wide.top_x, wide.from, wide.to), significant(usual.top_x));
}

TEST(VolcanoMostEndergonicStep, IsTheLargestRiseFromOneIntermediateToTheNext) {
  Cycle cycle;
  cycle.n = 3;
  cycle.G_int = {0.0, 4.0, -2.0};
  cycle.DeltaG = -5.0;  // the final state at -5: steps +4, -6, -3
  EXPECT_EQ(most_endergonic_step(cycle), 4.0);
  cycle.G_int = {0.0, -4.0, -9.0};  // steps -4, -5, +4
  EXPECT_EQ(most_endergonic_step(cycle), 4.0);
}

// A deterministic scatter in -amplitude..amplitude, unrelated from state to
// state and row to row.
double scatter(std::size_t r, std::size_t s, double amplitude) {
  std::mt19937_64 engine(1000 * r + s);
  return amplitude * (2.0 * static_cast<double>(engine() >> 11) * 0x1p-53 - 1.0);
}

TEST(VolcanoOutliers, APlantedErrorIsFlaggedAndItsNeighboursAreNot) {
  // 10 catalysts with a small scatter; 4 kcal/mol added to TS2 of cat6.
  std::vector<double> d;
  for (int k = 0; k < 10; ++k) d.push_back(-4.0 + k);
  const auto noise = [](std::size_t r, std::size_t s) {
    return scatter(r, s, 0.3) + (r == 6 && s == 3 ? 4.0 : 0.0);
  };
  VolcanoOptions options;
  options.samples = 0;
  const Volcano v = built(table_text(kLines, d, noise), options);
  for (const VolcanoPoint& point : v.points) {
    if (point.name == "cat6") {
      EXPECT_TRUE(point.outlier);
      EXPECT_EQ(point.outlier_states, std::vector<std::string>{"TS2"});
    } else {
      EXPECT_FALSE(point.outlier) << point.name;
    }
  }
}

TEST(VolcanoOutliers, StudentsTailProbabilityMatchesTabulatedQuantiles) {
  // The two-sided 5 % and 1 % points of Student's t.
  for (const auto& [t, nu, p] :
       std::vector<std::tuple<double, int64_t, double>>{{12.706205, 1, 0.05},
                                                        {4.302653, 2, 0.05},
                                                        {2.570582, 5, 0.05},
                                                        {2.228139, 10, 0.05},
                                                        {3.169273, 10, 0.01},
                                                        {2.085963, 20, 0.05},
                                                        {2.861, 19, 0.01},
                                                        {1.983972, 100, 0.05}}) {
    EXPECT_NEAR(student_t_two_sided(t, nu), p, 2e-6 * p / 0.01) << "t " << t << ", nu " << nu;
    EXPECT_NEAR(student_t_two_sided(-t, nu), p, 2e-6 * p / 0.01);
  }
  EXPECT_EQ(student_t_two_sided(0.0, 7), 1.0);
  EXPECT_EQ(student_t_two_sided(INFINITY, 7), 0.0);
  EXPECT_TRUE(std::isnan(student_t_two_sided(1.0, 0)));
}

TEST(VolcanoAuto, ChoosesTheStateTheOthersFollow) {
  // Every state follows I1; each has scatter of its own, I1 none, so the
  // lines against I1 fit best.
  const auto noise = [](std::size_t r, std::size_t s) {
    return s == 2 || s == 0 || s == 5 ? 0.0 : scatter(r, s, 0.6);
  };
  VolcanoOptions options;
  options.descriptor = "auto";
  options.samples = 0;
  const Volcano v = built(table_text(kLines, kDescriptors, noise), options);
  EXPECT_EQ(v.fits.descriptor, "I1");
  EXPECT_TRUE(v.fits.descriptor_is_state);
  EXPECT_EQ(v.fits.chosen_by.rfind("auto: I1", 0), 0u) << v.fits.chosen_by;
}

struct BadTable {
  const char* name;
  std::string text;
  const char* descriptor;
  const char* error;
};

class VolcanoBadTables : public ::testing::TestWithParam<BadTable> {};

TEST_P(VolcanoBadTables, AreRefusedWithAClearReason) {
  const BadTable& c = GetParam();
  std::vector<TableRow> rows;
  std::string error;
  ASSERT_TRUE(parse_table("t.csv", c.text, 298.15, rows, error)) << error;
  VolcanoOptions options;
  options.descriptor = c.descriptor;
  Volcano v;
  EXPECT_FALSE(build_volcano(rows, options, v, error));
  EXPECT_NE(error.find(c.error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VolcanoBadTables,
    ::testing::Values(
        BadTable{"one_row", table_text(kLines, {1.0}), "", "at least two catalysts"},
        BadTable{"constant_descriptor", table_text(kLines, {1.0, 1.0, 1.0}), "",
                 "is 1.0 in every row"},
        BadTable{"missing_cell", "Catalyst,Descriptor d,I0,TS1,I1,P\na,1,0,10,,-5\nb,2,0,11,2,-5\n",
                 "", "t.csv:2:5: the energy of \"I1\" is empty"},
        BadTable{"temperatures_differ",
                 table_text(kLines, {1.0, 2.0, 3.0}, {}, {298.15, 298.15, 350}), "",
                 "has temperature 350.0 K, not 298.15 K"},
        BadTable{"concentrations_differ",
                 "Catalyst,Descriptor d,I0,TS1,I1,P,[R1]\na,1,0,10,1,-5,1\nb,2,0,11,2,-5,0.5\n", "",
                 "has reactant concentration 0.5 at step 1, not 1.0 as row 2 (a)"},
        BadTable{"unknown_descriptor", table_text(kLines, {1.0, 2.0}), "G(O)",
                 "\"G(O)\" is neither a Descriptor column nor a state column"},
        BadTable{"deltag_is_no_state",
                 "Catalyst,Descriptor d,I0,TS1,I1,TS2,DeltaG\na,1,0,10,1,12,-5\nb,2,0,11,2,13,-6\n",
                 "deltag",
                 "DeltaG is the reaction energy, no state; the final state of the DeltaG "
                 "column is I0\u2032"},
        BadTable{"no_state_varies", "Catalyst,I0,TS1,P\na,0,10,-5\nb,0,10,-5\n", "auto",
                 "no state varies"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VolcanoRows, RowsOfDifferentCyclesAreRefused) {
  std::vector<TableRow> rows = rows_of(table_text(kLines, {1.0, 2.0}));
  for (TableRow& row : rows_of("Catalyst,Descriptor d,I0,TS1,P\nz,3,0,10,-5\n")) {
    rows.push_back(std::move(row));
  }
  Volcano v;
  std::string error;
  EXPECT_FALSE(build_volcano(rows, {}, v, error));
  EXPECT_NE(error.find("row 2 (z) has other states or another number of steps than row 2 (cat0)"),
            std::string::npos)
      << error;
}

TEST(VolcanoRows, ARowWithoutTheDescriptorIsLeftOutWithAWarning) {
  const std::string text =
      "Catalyst,Descriptor "
      "d,I0,TS1,I1,P\na,1,0,10,1,-5\nb,,0,11,2,-5\nc,2,0,11,2,-5\nd,3,0,12,3,-5\n";
  VolcanoOptions options;
  options.samples = 0;
  const Volcano v = built(text, options);
  EXPECT_EQ(v.fits.rows, (std::vector<std::string>{"a", "c", "d"}));
  ASSERT_EQ(v.warnings.size(), 1u);
  EXPECT_NE(v.warnings[0].find("left out: b"), std::string::npos) << v.warnings[0];
}

TEST(VolcanoFitWarnings, TwoRowsAndAPoorFitAreNamed) {
  VolcanoOptions options;
  options.samples = 0;
  const Volcano two = built(table_text(kLines, {1.0, 2.0}), options);
  EXPECT_NE(two.fits.fits[1].warning.find("only 2 rows"), std::string::npos);
  // TS2 pure scatter of 3 kcal/mol, no trend: R2 far below 0.5.
  const auto noise = [](std::size_t r, std::size_t s) { return s == 3 ? scatter(r, s, 3.0) : 0.0; };
  std::vector<Line> lines = kLines;
  lines[3].b = 0.0;
  const Volcano poor = built(table_text(lines, kDescriptors, noise), options);
  EXPECT_NE(poor.fits.fits[3].warning.find("below 0.5"), std::string::npos) << poor.fits.fits[3].r2;
}

double mean_band_width(const Volcano& v) {
  double sum = 0.0;
  for (std::size_t p = 0; p < v.x.size(); ++p) {
    sum += v.log10_TOF_band.high[p] - v.log10_TOF_band.low[p];
  }
  return sum / static_cast<double>(v.x.size());
}

TEST(VolcanoBand, GrowsWithTheNoiseAndIsTheSameForTheSameSeedOnAnyThreads) {
  VolcanoOptions options;
  options.samples = 300;
  options.points = 21;
  options.threads = 1;
  double previous = 0.0;
  for (const double amplitude : {0.1, 0.4, 1.2}) {
    const auto noise = [&](std::size_t r, std::size_t s) { return scatter(r, s, amplitude); };
    const std::string text = table_text(kLines, kDescriptors, noise);
    const Volcano v = built(text, options);
    const double width = mean_band_width(v);
    EXPECT_GT(width, previous) << "noise " << amplitude;
    previous = width;
    VolcanoOptions three = options;
    three.threads = 3;
    const Volcano again = built(text, three);
    EXPECT_EQ(again.log10_TOF_band.low, v.log10_TOF_band.low);
    EXPECT_EQ(again.energetic_span_band.high, v.energetic_span_band.high);
    EXPECT_EQ(again.endergonic_step_band.low, v.endergonic_step_band.low);
  }
}

TEST(VolcanoBand, IsTheSameWhereverTheDescriptorLies) {
  // The same table with the descriptor moved by an offset (an absolute
  // energy in hartree, say): the lines' draws are taken about the mean
  // descriptor, so the band moves with it and does not collapse.
  const auto noise = [](std::size_t r, std::size_t s) { return scatter(r, s, 0.6); };
  VolcanoOptions options;
  options.samples = 400;
  options.points = 9;
  const Volcano here = built(table_text(kLines, kDescriptors, noise), options);
  for (const double offset : {1e3, -2654.3, 1e6}) {
    std::vector<double> moved;
    for (const double d : kDescriptors) moved.push_back(d + offset);
    // The same lines in the moved descriptor: a + b d = (a - b offset) + b (d + offset).
    std::vector<Line> lines = kLines;
    for (Line& line : lines) line.a -= line.b * offset;
    const Volcano there = built(table_text(lines, moved, noise), options);
    ASSERT_EQ(there.x.size(), here.x.size());
    for (std::size_t p = 0; p < here.x.size(); ++p) {
      const double width = here.log10_TOF_band.high[p] - here.log10_TOF_band.low[p];
      EXPECT_GT(width, 0.05);
      EXPECT_NEAR(there.log10_TOF_band.low[p], here.log10_TOF_band.low[p], 1e-3 * width)
          << "offset " << offset << ", point " << p;
      EXPECT_NEAR(there.log10_TOF_band.high[p], here.log10_TOF_band.high[p], 1e-3 * width);
    }
  }
}

TEST(VolcanoBand, IsNoneWithoutDrawsOrWithTwoRows) {
  const auto noise = [](std::size_t r, std::size_t s) { return scatter(r, s, 0.6); };
  VolcanoOptions none;
  none.samples = 0;
  VolcanoOptions some;
  some.samples = 50;
  for (const Volcano& v : {built(table_text(kLines, kDescriptors, noise), none),
                           built(table_text(kLines, {1.0, 2.0}, noise), some)}) {
    for (const double low : v.log10_TOF_band.low) EXPECT_TRUE(std::isnan(low));
    EXPECT_TRUE(std::isnan(v.top_band_low));
  }
}

TEST(VolcanoBand, OfOneNoisyLineIsItsPredictionInterval) {
  // Only TS1 varies: the energetic span is TS1 itself, so its band is the
  // fitted line +- 1.96 sd of the line at x, sd^2 = var_i + 2 x cov + x^2 var_s
  // (to 4 % of sd: the quantiles of 50000 draws scatter by about 1.2 %).
  const std::vector<Line> lines = {{"I0", 0.0, 0.0}, {"TS1", 14.0, 0.8}, {"P", -12.0, 0.0}};
  const auto noise = [](std::size_t r, std::size_t s) { return s == 1 ? scatter(r, s, 1.0) : 0.0; };
  VolcanoOptions options;
  options.samples = 50000;
  options.points = 5;
  const Volcano v = built(table_text(lines, kDescriptors, noise), options);
  const LineFit& ts = v.fits.fits[1];
  const double kT975 = 2.570582;  // Student's t, 5 degrees of freedom (7 rows), 97.5 %
  for (std::size_t p = 0; p < v.x.size(); ++p) {
    const double x = v.x[p];
    const double sd =
        std::sqrt(ts.var_intercept + 2.0 * x * ts.cov_intercept_slope + x * x * ts.var_slope);
    const double centre = ts.intercept + ts.slope * x;
    EXPECT_NEAR(v.energetic_span[p], centre, 1e-12);
    EXPECT_NEAR(v.energetic_span_band.low[p], centre - kT975 * sd, 0.04 * sd) << "x " << x;
    EXPECT_NEAR(v.energetic_span_band.high[p], centre + kT975 * sd, 0.04 * sd) << "x " << x;
  }
}

TEST(VolcanoBand, CoversTheTrueCurveForMostNoisyTables) {
  // Normal noise of 0.5 kcal/mol on every state of 12 catalysts; the true
  // curve should lie within the 95 % band for 95 % of the tables (94.6 %
  // over 400 tables at 2000 draws; 100 tables keep the test short, so the
  // bounds leave room for their scatter; a band far too wide fails the
  // upper one).
  std::mt19937_64 engine(11);
  const auto normal = [&] {
    const double u1 = (static_cast<double>(engine() >> 11) + 0.5) * 0x1p-53;
    const double u2 = (static_cast<double>(engine() >> 11) + 0.5) * 0x1p-53;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
  };
  std::vector<double> d;
  for (int k = 0; k < 12; ++k) d.push_back(-4.0 + 0.8 * k);
  VolcanoOptions options;
  options.samples = 1000;
  options.points = 3;
  options.has_range = true;
  options.from = -2.0;
  options.to = 2.0;
  int covered = 0, total = 0;
  for (int table = 0; table < 100; ++table) {
    std::vector<std::vector<double>> e(d.size(), std::vector<double>(kLines.size()));
    for (auto& row : e) {
      for (std::size_t s = 1; s < row.size(); ++s) row[s] = 0.5 * normal();
    }
    const Volcano v = built(
        table_text(kLines, d, [&](std::size_t r, std::size_t s) { return e[r][s]; }), options);
    Volcano truth = built(table_text(kLines, d), options);
    for (std::size_t p = 0; p < v.x.size(); ++p) {
      ++total;
      if (truth.log10_TOF[p] >= v.log10_TOF_band.low[p] &&
          truth.log10_TOF[p] <= v.log10_TOF_band.high[p]) {
        ++covered;
      }
    }
  }
  const double share = static_cast<double>(covered) / total;
  EXPECT_GT(share, 0.90);
  EXPECT_LT(share, 0.99) << "a band far wider than 95 %";
}

TEST(VolcanoCommand, WritesCsvJsonAndTextAndRefusesWhatItCannotDo) {
  ScratchDir dir;
  const std::string table = dir.write("s.csv", table_text(kLines, kDescriptors));
  test::Outcome csv = kinex_run({"volcano", table, "--csv", "--points", "11", "--samples", "50"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out.rfind("x,log10_tof,log10_tof_low,log10_tof_high,", 0), 0u);
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 12);

  test::Outcome json = kinex_run({"volcano", table, "--json", "--descriptor", "I1", "--range=-1:2",
                                  "--points", "4", "--samples", "10"});
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["descriptor"]["name"], "I1");
  EXPECT_EQ(doc["curve"]["x"], nlohmann::json::parse("[-1.0, 0.0, 1.0, 2.0]"));
  EXPECT_EQ(doc["points"].size(), kDescriptors.size());
  EXPECT_EQ(doc["band"]["log10_tof"]["low"].size(), 4u);

  test::Outcome far = kinex_run({"volcano", table, "--csv", "--range=-4:9", "--samples", "0"});
  EXPECT_EQ(far.status, 0);
  EXPECT_NE(far.err.find("warning: the range -4.0 .. 9.0 reaches beyond the rows' Descriptor d"),
            std::string::npos)
      << far.err;
  EXPECT_EQ(kinex_run({"volcano", table, "--csv", "--samples", "0"}).err, "");

  test::Outcome text = kinex_run({"volcano", table, "--samples", "0"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Descriptor: Descriptor d, the table's only descriptor column"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("Top: log10 TOF"), std::string::npos);

  for (const auto& [args, words] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"volcano", table, "--curve", "span"}, "give -o OUT.svg"},
           {{"volcano", table, "--range=2:1"}, "FROM below TO"},
           {{"volcano", table, "--range=-1e308:1e308"}, "TO - FROM within the range of doubles"},
           {{"volcano", table, "--csv", "--json"}, "excludes"},
           {{"volcano", dir.write("c.txt", "x")}, "is no table"}}) {
    const test::Outcome o = kinex_run(args);
    EXPECT_EQ(o.status, kExitFailed) << words;
    EXPECT_NE(o.err.find(words), std::string::npos) << o.err;
  }
}

}  // namespace
}  // namespace kinex

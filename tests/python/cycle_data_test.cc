// The state that pickling carries: every field back bit for bit, and bytes
// that were not written by it (cut short, damaged, of another kind) refused
// without reading past them.
#include "python/src/cycle_data.h"

#include <gtest/gtest.h>
#include <kinex/kinex.h>

#include <random>

#include "figures/map_svg.h"
#include "figures/volcano_svg.h"
#include "input/table.h"
#include "map/map.h"
#include "outputs/json_output.h"
#include "volcano/volcano.h"

namespace kinex::python {
namespace {

// A cycle with something in every field: names, descriptors, a table row,
// reading warnings with their lines, concentrations and their absence.
std::shared_ptr<const CycleData> full_cycle() {
  auto data = std::make_shared<CycleData>();
  std::string error;
  EXPECT_TRUE(build_cycle(298.15,
                          {{0.0, 15.2, {}, {}}, {-5.1, 20.3, 0.5, {}}, {-2.0, 12.0, {}, 1e-3}},
                          -10.0, data->cycle, error));
  data->name = "screen.csv:Pd \"A\"";
  data->names.intermediate = {"Cat", "OA", "Int"};
  data->names.transition = {"", "TS-OA", "TS2", "TS-RE"};
  data->names.final_state = "Product";
  data->descriptors = {{"Descriptor dG(O*)", -1.2}};
  data->sigmas = {{"", 1.5}, {"TS-OA", 2.0}};
  data->notes.warnings = {{"leftover-values", 3, "a value is left over", "0 1 2\n    ^\n"}};
  data->notes.lines = {1, 2, 6, {0, 3, 4, 5}};
  data->from_table = true;
  data->table_file = "screen.csv";
  data->table_row.row = 2;
  data->table_row.name = "Pd \"A\"";
  data->table_row.ok = true;
  data->table_row.descriptors = data->descriptors;
  return data;
}

std::string document(const EvaluatedData& e) {
  std::string text;
  write_json(cycle_json(e.run, {"kinex", "json", "x"}, e.findings), text);
  return text;
}

std::string report(const EvaluatedData& e) {
  Evaluation evaluation{e.run.cycle, e.run.profile, e.run.results};
  return report_text(e.run.input_name, evaluation);
}

TEST(PickledState, EveryFieldComesBackBitForBit) {
  EvaluatedData evaluated;
  Failure failure;
  ASSERT_TRUE(evaluate_data(full_cycle(), 1, evaluated, failure));
  const std::string bytes = to_bytes(evaluated);
  EvaluatedData back;
  ASSERT_TRUE(from_bytes(bytes, back));
  EXPECT_EQ(to_bytes(back), bytes);
  EXPECT_EQ(document(back), document(evaluated));
  EXPECT_EQ(report(back), report(evaluated));
  EXPECT_EQ(back.run.names.final_state, "Product");
  EXPECT_EQ(back.source->notes.lines.step, (std::vector<int64_t>{0, 3, 4, 5}));

  CycleData cycle;
  ASSERT_TRUE(from_bytes(to_bytes(*full_cycle()), cycle));
  EXPECT_EQ(to_bytes(cycle), to_bytes(*full_cycle()));
}

// A text that is no UTF-8 would load and fail later, in Python's str: the
// state is refused on load instead, whichever text holds it.
TEST(PickledState, TextThatIsNoUtf8IsRefusedOnLoad) {
  for (const char* bad : {"Ni\xff", "\xc3", "\xed\xa0\x80", "\xc0\xaf"}) {
    CycleData named = *full_cycle();
    named.name = bad;
    CycleData back;
    EXPECT_FALSE(from_bytes(to_bytes(named), back)) << "the name";
    CycleData state = *full_cycle();
    state.names.intermediate.assign(static_cast<std::size_t>(state.cycle.n), "I");
    state.names.intermediate[0] = bad;
    EXPECT_FALSE(from_bytes(to_bytes(state), back)) << "a state's name";
  }
  CycleData fine = *full_cycle();
  fine.name = "Ni\xe2\x80\x93H\xe2\x82\x82";  // Ni–H₂
  CycleData back;
  EXPECT_TRUE(from_bytes(to_bytes(fine), back));
}

TEST(PickledState, BytesNotWrittenByItAreRefused) {
  EvaluatedData evaluated;
  Failure failure;
  ASSERT_TRUE(evaluate_data(full_cycle(), 1, evaluated, failure));
  const std::string bytes = to_bytes(evaluated);
  const std::string cycle_bytes = to_bytes(*full_cycle());

  // Cut short anywhere, or with bytes after it; but a state pickled before
  // the tied states were (without their two empty lists) still reads.
  ASSERT_TRUE(evaluated.run.results.TDI_ties.empty() && evaluated.run.results.TDTS_ties.empty());
  const std::size_t earlier = bytes.size() - 2 * sizeof(uint64_t);
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    EvaluatedData back;
    EXPECT_EQ(from_bytes(bytes.substr(0, size), back), size == earlier) << size;
  }
  EvaluatedData back;
  EXPECT_FALSE(from_bytes(bytes + '\0', back));
  // A cycle's state is no result's, and a result's no cycle's.
  EXPECT_FALSE(from_bytes(cycle_bytes, back));
  CycleData cycle;
  EXPECT_FALSE(from_bytes(bytes, cycle));

  // Damaged bytes: refused, or read into arrays that fit their steps (the
  // sanitizers see any read past the bytes or the arrays).
  std::mt19937 random(7);
  for (int trial = 0; trial < 3000; ++trial) {
    std::string damaged = bytes;
    const std::size_t at = random() % damaged.size();
    damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
    EvaluatedData read;
    if (!from_bytes(damaged, read)) continue;
    const auto n = static_cast<std::size_t>(read.run.cycle.n);
    ASSERT_EQ(read.run.results.xtof_ts.size(), n + 1);
    ASSERT_EQ(read.run.cycle.G_int.size(), n);
    ASSERT_LE(read.run.results.TDTS, read.run.cycle.n);
    report(read);
    document(read);
  }
  for (int trial = 0; trial < 1000; ++trial) {
    std::string damaged = cycle_bytes;
    const std::size_t at = random() % damaged.size();
    damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
    auto read = std::make_shared<CycleData>();
    if (!from_bytes(damaged, *read)) continue;
    EvaluatedData evaluated;
    ASSERT_TRUE(evaluate_data(read, 1, evaluated, failure));
    report(evaluated);
    document(evaluated);
  }
}

// A cycle's state whose arrays fit its number of steps is refused all the
// same when that number is below 1: no cycle has no steps.
TEST(PickledState, ACycleOfNoStepsIsRefused) {
  for (const int64_t n : {1, 0}) {
    CycleData data;
    std::string error;
    ASSERT_TRUE(build_cycle(298.15, {{0.0, 15.2, {}, {}}}, -10.0, data.cycle, error)) << error;
    Cycle& c = data.cycle;
    c.n = n;
    const auto size = static_cast<std::size_t>(n);
    c.G_int.resize(size);
    c.G_ts.resize(size + 1), c.conc_reac.resize(size + 1), c.conc_prod.resize(size + 1);
    c.has_reac.resize(size + 1), c.has_prod.resize(size + 1);
    CycleData back;
    EXPECT_EQ(from_bytes(to_bytes(data), back), n == 1) << n;
  }
}

// A volcano with a band, a row left out, an outlier and warnings.
VolcanoData full_volcano() {
  const std::string table =
      "Catalyst,Descriptor d,Cat,TS1,Int,TS2,Product,[R1]\n"
      "A,-1.0,0,14.1,-4.9,12.2,-10,0.5\n"
      "B,-0.5,0,15.6,-3.6,13.1,-10,0.5\n"
      "C,0.0,0,17.2,-2.4,13.9,-10,0.5\n"
      "D,0.5,0,18.3,-0.6,17.0,-10,0.5\n"
      "E,,0,19.0,0.0,15.0,-10,0.5\n"
      "F,1.0,0,20.4,0.4,15.8,-10,0.5\n";
  std::vector<TableRow> rows;
  std::string error;
  EXPECT_TRUE(parse_table("volcano.csv", table, 298.15, rows, error)) << error;
  VolcanoOptions options;
  options.points = 7;
  options.samples = 50;
  VolcanoData data;
  data.file = "volcano.csv";
  EXPECT_TRUE(build_volcano(rows, options, data.volcano, error)) << error;
  return data;
}

std::string volcano_document(const VolcanoData& v) {
  std::string text;
  write_json(volcano_json(v.file, v.volcano), text);
  return text + volcano_csv(v.volcano) + volcano_text(v.file, v.volcano);
}

TEST(PickledState, AVolcanoComesBackWholeAndDamagedBytesAreRefused) {
  const VolcanoData volcano = full_volcano();
  ASSERT_FALSE(volcano.volcano.warnings.empty());
  const std::string bytes = to_bytes(volcano);
  VolcanoData back;
  ASSERT_TRUE(from_bytes(bytes, back));
  EXPECT_EQ(to_bytes(back), bytes);
  EXPECT_EQ(volcano_document(back), volcano_document(volcano));
  // Its curve drawn again from the fits read back is the one it carries.
  EXPECT_EQ(fitted_cycle(back.volcano.fits, 0.25).G_ts,
            fitted_cycle(volcano.volcano.fits, 0.25).G_ts);

  for (std::size_t size = 0; size < bytes.size(); size += 7) {
    EXPECT_FALSE(from_bytes(bytes.substr(0, size), back)) << size;
  }
  EXPECT_FALSE(from_bytes(bytes + '\0', back));
  EXPECT_FALSE(from_bytes(to_bytes(*full_cycle()), back));
  CycleData cycle;
  EXPECT_FALSE(from_bytes(bytes, cycle));

  std::mt19937 random(11);
  for (int trial = 0; trial < 2000; ++trial) {
    std::string damaged = bytes;
    const std::size_t at = random() % damaged.size();
    damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
    VolcanoData read;
    if (!from_bytes(damaged, read)) continue;
    volcano_document(read);
    volcano_svg(read.file, read.volcano, {});
    for (double x : {read.volcano.from, read.volcano.to}) fitted_cycle(read.volcano.fits, x);
  }
}

// The map of examples/map.csv by `quantity`, over a second descriptor or
// (`y` empty) the temperature.
MapData example_map(const std::string& y, MapQuantity quantity) {
  const std::string table =
      "Catalyst,Descriptor dG(OA),Descriptor dG(RE),Cat,TS-OA,OA,TS-TM,TM,TS-RE,Product\n"
      "Pd(PtBu3)2,-13.38,-19.2,0.0,14.7,-13.7,6.6,-5.7,12.5,-25.0\n"
      "Ni(PCy3)2,-14.12,-21.5,0.0,13.5,-14.1,7.2,-3.1,14.2,-25.0\n"
      "Pd(PCy3)2,-11.83,-18.4,0.0,16.3,-11.8,7.4,-6.3,12.5,-25.0\n"
      "Ni(dppe),-11.13,-22.3,0.0,16.6,-11.3,8.7,-3.0,13.9,-25.0\n"
      "Pd(dppf),-9.98,-20.1,0.0,17.8,-10.4,8.4,-5.1,12.7,-25.0\n"
      "Pd(XPhos),-8.79,-17.6,0.0,18.3,-9.0,8.2,-7.4,12.3,-25.0\n"
      "Pd(SPhos),-8.41,-21.0,0.0,18.8,-8.9,9.0,-4.0,13.2,-25.0\n"
      "Ni(IMes),-6.59,-19.8,0.0,19.8,-6.8,10.6,-5.6,12.9,-25.0\n"
      "Pd(PPh3)2,-5.75,-22.9,0.0,21.0,-5.8,11.2,-1.9,14.7,-25.0\n"
      "Pd(IPr),-2.97,-18.9,0.0,22.7,-2.9,10.7,-5.9,12.9,-25.0\n"
      "Pt(PPh3)2,-3.11,-20.6,0.0,22.8,-3.2,11.4,-4.1,14.0,-25.0\n"
      "Ni(PPh3)2,-2.24,-17.9,0.0,23.9,-2.3,11.5,-7.1,13.0,-25.0\n";
  std::vector<TableRow> rows;
  std::string error;
  EXPECT_TRUE(parse_table("map.csv", table, 298.15, rows, error)) << error;
  MapOptions options;
  options.x = "Descriptor dG(OA)";
  options.y = y;
  options.T_from = 250.0, options.T_to = 450.0;
  options.nx = 9, options.ny = 7;
  options.quantity = quantity;
  MapData data;
  data.file = "map.csv";
  EXPECT_TRUE(features::build_map(rows, options, data.map, error)) << error;
  return data;
}

std::string map_document(const MapData& m) {
  std::string text;
  write_json(map_json(m.file, m.map), text);
  CsvNames names(false);
  return text + map_csv(m.map, names) + map_text(m.file, m.map) + map_svg(m.file, m.map, {});
}

TEST(PickledState, AMapComesBackWholeAndDamagedBytesAreRefused) {
  for (const MapData& map : {example_map("Descriptor dG(RE)", MapQuantity::log10_tof),
                             example_map("", MapQuantity::log10_tof),
                             example_map("Descriptor dG(RE)", MapQuantity::energetic_span)}) {
    SCOPED_TRACE(map.map.y_name + " " + quantity_name(map.map.quantity));
    ASSERT_FALSE(map.map.boundaries.empty());
    const std::string bytes = to_bytes(map);
    MapData back;
    ASSERT_TRUE(from_bytes(bytes, back));
    EXPECT_EQ(to_bytes(back), bytes);
    EXPECT_EQ(map_document(back), map_document(map));
    for (std::size_t size = 0; size < bytes.size(); size += 7) {
      EXPECT_FALSE(from_bytes(bytes.substr(0, size), back)) << size;
    }
    EXPECT_FALSE(from_bytes(bytes + '\0', back));
    VolcanoData volcano;
    EXPECT_FALSE(from_bytes(bytes, volcano));
    std::mt19937 random(11);
    for (int trial = 0; trial < 500; ++trial) {
      std::string damaged = bytes;
      const std::size_t at = random() % damaged.size();
      damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
      MapData read;
      if (from_bytes(damaged, read)) map_document(read);
    }
  }
}

}  // namespace
}  // namespace kinex::python

// The state that pickling carries: every field back bit for bit, and bytes
// that were not written by it (cut short, damaged, of another kind) refused
// without reading past them.
#include "python/src/cycle_data.h"

#include <gtest/gtest.h>

#include <random>

#include "api/kinex.h"
#include "kinex/json_output.h"

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

TEST(PickledState, BytesNotWrittenByItAreRefused) {
  EvaluatedData evaluated;
  Failure failure;
  ASSERT_TRUE(evaluate_data(full_cycle(), 1, evaluated, failure));
  const std::string bytes = to_bytes(evaluated);
  const std::string cycle_bytes = to_bytes(*full_cycle());

  // Cut short anywhere, or with bytes after it.
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    EvaluatedData back;
    EXPECT_FALSE(from_bytes(bytes.substr(0, size), back)) << size;
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

}  // namespace
}  // namespace kinex::python

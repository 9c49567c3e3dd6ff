// The features through the public headers: the documents a JsonVisitor
// receives are the documents kinex writes, and a table read row by row is
// the table read whole.
#include <gtest/gtest.h>
#include <kinex/kinex.h>
#include <kinex/outputs.h>
#include <kinex/run.h>
#include <kinex/table.h>
#include <kinex/uncertainty.h>
#include <kinex/volcano.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "library/json_visit.h"
#include "outputs/check.h"
#include "outputs/json_output.h"
#include "uncertainty/screening.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

// The document rebuilt from what the visitor receives.
class Rebuilt : public JsonVisitor {
 public:
  Json doc;
  void null() override { add(nullptr); }
  void boolean(bool value) override { add(value); }
  void integer(int64_t value) override { add(value); }
  void unsigned_integer(uint64_t value) override { add(value); }
  void real(double value) override { add(value); }
  void text(const std::string& value) override { add(value); }
  void begin_array(std::size_t) override { open_.push_back(add(Json::array())); }
  void end_array() override { open_.pop_back(); }
  void begin_object() override { open_.push_back(add(Json::object())); }
  void key(const std::string& name) override { key_ = name; }
  void end_object() override { open_.pop_back(); }

 private:
  Json* add(Json value) {
    if (open_.empty()) return &(doc = std::move(value));
    Json& into = *open_.back();
    if (into.is_array()) return &into.emplace_back(std::move(value));
    return &(into[key_] = std::move(value));
  }
  std::vector<Json*> open_;
  std::string key_;
};

std::string text_of(const Json& doc) {
  return doc.dump(1, ' ', false, Json::error_handler_t::replace);
}

Run evaluated(const std::string& path) {
  Run run;
  Failure failure;
  EXPECT_TRUE(read_cycle(path, run.cycle, failure)) << failure.message;
  run.input_name = path;
  const Cycle cycle = run.cycle;
  EXPECT_TRUE(features::allocate_storage(run, failure)) << failure.message;
  run.cycle = cycle;
  features::evaluate_for_outputs(run, 1);
  return run;
}

struct DocumentCase {
  std::string name;
  std::function<Json()> written;              // as kinex writes it
  std::function<void(JsonVisitor&)> visited;  // through the public header
};

TEST(Library, VisitedDocumentsAreTheWrittenOnes) {
  const std::string examples = KINEX_EXAMPLES;
  const kinex::Run run = evaluated(examples + "/three_step.txt");
  const std::vector<InputWarning> found = findings(run, {});
  const std::vector<std::string> command{"kinex", "json", run.input_name};
  std::vector<TableRow> rows;
  std::string error;
  ErrorPlace place;
  ASSERT_TRUE(features::read_table(examples + "/volcano.csv", 298.15, rows, error, place));
  VolcanoOptions options;
  options.points = 20;
  options.samples = 50;
  Volcano volcano;
  ASSERT_TRUE(features::build_volcano(rows, options, volcano, error)) << error;
  UncertaintyModel model;
  model.sigma.assign(static_cast<std::size_t>(uncertainty_states(run.cycle.n)), 1.0);
  model.samples = 300;
  Distribution d;
  ASSERT_TRUE(features::sample_uncertainty(run.cycle, model, 1, d, error)) << error;
  const UncertaintySource source{run.input_name, &run, &model, {}};
  const std::vector<std::string> states = uncertainty_state_names(run.names, run.cycle.n);
  // Every kind of value, the edges of each, and text that is no UTF-8.
  const Json values = Json::parse(R"({"a": [null, true, false, -9223372036854775808,
      18446744073709551615, 0.5, -0.0, 1e308, "", {}, []], "b": {"c": [[1.0], {"d": 2}]}})");
  Json bytes = Json::object();
  bytes["x\xff"] = Json::array({"\xc3\x28", std::numeric_limits<double>::quiet_NaN()});

  const std::vector<DocumentCase> cases{
      {"Cycle", [&] { return cycle_json(run, command, found); },
       [&](JsonVisitor& to) { features::cycle_json(run, command, found, to); }},
      {"TableRow", [&] { return with_table(cycle_json(run, command, found), "t.csv", rows[0]); },
       [&](JsonVisitor& to) {
         features::table_row_json(run, command, found, "t.csv", rows[0], to);
       }},
      {"Volcano", [&] { return volcano_json("v.csv", volcano); },
       [&](JsonVisitor& to) { features::volcano_json("v.csv", volcano, to); }},
      {"Uncertainty", [&] { return uncertainty_json(source, d); },
       [&](JsonVisitor& to) { features::uncertainty_json(source, d, to); }},
      {"Probabilities", [&] { return state_probabilities(states, d.TDTS_probability, false); },
       [&](JsonVisitor& to) {
         features::state_probabilities(states, d.TDTS_probability, false, to);
       }},
      {"EveryValue", [&] { return values; },
       [&](JsonVisitor& to) { features::visit_json(values, to); }},
      {"NoUtf8", [&] { return bytes; }, [&](JsonVisitor& to) { features::visit_json(bytes, to); }},
  };
  for (const DocumentCase& c : cases) {
    Rebuilt rebuilt;
    c.visited(rebuilt);
    EXPECT_EQ(text_of(rebuilt.doc), text_of(c.written())) << c.name;
  }
}

TEST(Library, TableRowByRowIsTheTableReadWhole) {
  const std::string examples = KINEX_EXAMPLES;
  for (const std::string& path : {examples + "/screening.csv", examples + "/volcano.csv",
                                  examples + "/three_step.txt", examples + "/none.csv"}) {
    std::vector<TableRow> whole;
    std::string error;
    ErrorPlace place;
    const bool read = features::read_table(path, 300.0, whole, error, place);
    features::TableRows table;
    std::vector<TableRow> rows;
    if (table.open(path, 300.0)) {
      for (TableRow row; table.next(row);) rows.push_back(row);
    }
    ASSERT_EQ(!table.failed() && table.error().empty(), read) << path;
    EXPECT_EQ(table.error(), error) << path;
    EXPECT_EQ(table.place().line, place.line) << path;
    ASSERT_EQ(rows.size(), whole.size()) << path;
    for (std::size_t k = 0; k < rows.size(); ++k) {
      EXPECT_EQ(rows[k].name, whole[k].name) << path;
      EXPECT_EQ(rows[k].ok, whole[k].ok) << path;
      EXPECT_EQ(rows[k].cycle.G_ts, whole[k].cycle.G_ts) << path;
      EXPECT_EQ(rows[k].descriptors.size(), whole[k].descriptors.size()) << path;
    }
  }
}

}  // namespace
}  // namespace kinex

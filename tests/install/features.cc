// The volcano of the example table through the installed kinex::features:
// the rows read one at a time, the volcano built and its document visited.
// Prints what it found; fails (1) where anything is missing.
#include <kinex/table.h>
#include <kinex/volcano.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Counts the values of a document and keeps its top-level keys.
class Counter : public kinex::JsonVisitor {
 public:
  int values = 0;
  int depth = 0;
  std::vector<std::string> keys;
  void null() override { ++values; }
  void boolean(bool) override { ++values; }
  void integer(int64_t) override { ++values; }
  void unsigned_integer(uint64_t) override { ++values; }
  void real(double) override { ++values; }
  void text(const std::string&) override { ++values; }
  void begin_array(std::size_t) override { ++depth; }
  void end_array() override { --depth; }
  void begin_object() override { ++depth; }
  void key(const std::string& name) override {
    if (depth == 1) keys.push_back(name);
  }
  void end_object() override { --depth; }
};

}  // namespace

int main() {
  const std::string path = std::string(KINEX_EXAMPLES) + "/volcano.csv";
  kinex::features::TableRows table;
  if (!table.open(path, 298.15)) {
    std::printf("cannot read the table: %s\n", table.error().c_str());
    return 1;
  }
  std::vector<kinex::TableRow> rows;
  for (kinex::TableRow row; table.next(row);) rows.push_back(row);
  if (table.failed() || rows.size() < 3) {
    std::printf("rows: %zu, %s\n", rows.size(), table.error().c_str());
    return 1;
  }
  kinex::VolcanoOptions options;
  options.points = 50;
  options.samples = 0;
  kinex::Volcano volcano;
  std::string error;
  if (!kinex::features::build_volcano(rows, options, volcano, error)) {
    std::printf("no volcano: %s\n", error.c_str());
    return 1;
  }
  Counter document;
  kinex::features::volcano_json(path, volcano, document);
  const bool whole = document.depth == 0 && !document.keys.empty() &&
                     document.keys.front() == "schema_version" && volcano.x.size() == 50;
  std::printf("volcano of %zu rows, top log10 TOF %.3f, %d values: %s\n", rows.size(),
              volcano.top_log10_TOF, document.values, whole ? "whole" : "broken");
  return whole ? 0 : 1;
}

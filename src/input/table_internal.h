// The pieces of the table reader, shared by its files: the layout of the
// columns and the reading of a row (table_layout.cc), and the reader of
// records (table_reader.cc). Private to them: table.h is the interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "input/table.h"

namespace kinex::table_detail {

// One record of the table: its cells and the line on which it begins.
struct Record {
  int64_t line = 0;
  std::vector<std::string> cells;
};

// What a column holds.
enum class Kind {
  name,
  state,
  transition,
  final_state,
  deltaG,
  temperature,
  reactant,
  product,
  descriptor,
  sigma
};

struct Column {
  Kind kind = Kind::state;
  std::string header;
  int64_t step = 0;   // reactant / product: the step
  std::string state;  // sigma: the state it is of; empty: of every state
};

// The layout the header gives.
struct Layout {
  std::vector<Column> columns;
  std::vector<std::size_t> states;  // the state columns in order, the final/DeltaG last
  std::optional<std::size_t> temperature;
  int64_t n = 0;
};

// The diagnostic "FILE:LINE:COLUMN: reason", without COLUMN where `column`
// is 0 and without LINE and COLUMN where `line` is 0, and the same in
// `place` (`column` the 1-based column of cells).
std::string located(const std::string& path, int64_t line, int64_t column,
                    const std::string& reason, ErrorPlace& place);

// The layout the header row `header` gives; false with the diagnostic in
// `error` and `place`.
bool read_header(const std::string& path, const Record& header, Layout& layout, std::string& error,
                 ErrorPlace& place);

// The row `record` under `layout`; false with the diagnostic in row.error.
bool read_row(const std::string& path, const Layout& layout, const Record& record, double default_T,
              TableRow& row);

}  // namespace kinex::table_detail

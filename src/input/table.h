// Screening tables: one cycle per row of a CSV or TSV table, laid out as
// energetic-span volcano tables are. Standard library only.
//
// The layout: a header row; column 1 the catalyst's name; then the states in
// cycle order, starting with an intermediate. A header containing "TS" marks
// a transition state. The last state column is the final state (the first
// intermediate of the next turn, DeltaG = its energy minus the first
// intermediate's), or, when headed "DeltaG" (any case), DeltaG itself.
// Between two intermediates in a row (and between the last intermediate and
// the final state) the step's transition state is the higher of the two.
// Besides the states: a column whose header contains "Descriptor" (any case)
// holds a descriptor; "T" or "Temperature" (any case, bare or with "/K",
// "(K)" or "[K]") the temperature in K; "[Rk]" / "[Pk]" the concentration of the reactant entering
// / the product leaving step k ("x" or an empty cell: none).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kinex/table.h"
#include "kinex/types.h"
#include "model/run.h"
#include "text/text_file.h"

namespace kinex {

// Whether `path` names a table: it ends in ".csv" or ".tsv" (any case).
bool is_table_name(const std::string& path);

// The bounds of a table read row by row, as the streaming commands and
// Python read one: lines bounded, the whole not (it is never held).
inline constexpr TextLimits kRowByRow{1 << 20, 0};

// A table read row by row: one record in memory at a time, so that a table
// of any length, or a pipe whose rows never end, is read in bounded memory
// and its rows can be answered as they come.
//
// TSV when the first line holds a tab, else CSV (RFC 4180 quoting). A
// leading UTF-8 byte-order mark is skipped; lines may end in CR LF; rows
// whose cells are all empty are skipped. `default_T` is every row's
// temperature where the table has no temperature column. The file is read
// with the bounds of a text file (input/text_file.h): a NUL byte, a line
// longer than the limit or, where limits.file_bytes is above 0, a file
// larger than it fails the table where it is met; so does a quoted cell
// still open when the record reaches the line limit or the file its end.
class TableReader {
 public:
  TableReader();
  ~TableReader();
  TableReader(TableReader&&) noexcept;
  TableReader& operator=(TableReader&&) noexcept;

  // Opens the file `path` and reads its header. False when the file cannot
  // be opened or read, or the header is wrong: failed(), error() and
  // place() say why.
  bool open_file(const std::string& path, double default_T, const TextLimits& limits);

  // The same for the table in `text`; `path` only names it in diagnostics.
  bool open_text(const std::string& path, std::string text, double default_T);

  // The next data row: true with it in `row` (a bad one with ok false and
  // its diagnostic). False at the end of the table, or when the table fails
  // there (failed()); a table without any row fails ("the table has no rows
  // under its header").
  bool next(TableRow& row);

  bool failed() const;
  // "FILE:ROW:COLUMN: reason" or "FILE: reason", and its parts.
  const std::string& error() const;
  const ErrorPlace& place() const;

  // The headers of the descriptor columns, in column order, each once.
  const std::vector<std::string>& descriptor_names() const;

  // How much of the file has been read, from 0 to 1 (0 where its size is
  // not known: a pipe, a device, a text).
  double fraction() const;

  // Whether the table is a regular file, which can be opened anew.
  bool regular_file() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Reads the table in `text` whole: each data row goes into `rows`, a bad
// one with ok false and its diagnostic. Returns false with `error`
// ("FILE:ROW:COLUMN: reason" or "FILE: reason") when the table fails
// (see TableReader); `rows` is then empty.
bool parse_table(const std::string& path, const std::string& text, double default_T,
                 std::vector<TableRow>& rows, std::string& error);

// The same, with the parts of `error` in `place`: the path, the line and
// column (0 where `error` names none) and the reason.
bool parse_table(const std::string& path, const std::string& text, double default_T,
                 std::vector<TableRow>& rows, std::string& error, ErrorPlace& place);

// The same for the file `path`, read with the default TextLimits; a file
// that cannot be read fails the table.
bool read_table(const std::string& path, double default_T, std::vector<TableRow>& rows,
                std::string& error);
bool read_table(const std::string& path, double default_T, std::vector<TableRow>& rows,
                std::string& error, ErrorPlace& place);

// The run of a good row: named "PATH:NAME", the cycle, names and descriptors
// moved in and the storage allocated for the model. False with `failure`
// (kExitNoMemory) when the storage cannot be had.
bool table_run(const std::string& path, TableRow&& row, Run& run, Failure& failure);

}  // namespace kinex

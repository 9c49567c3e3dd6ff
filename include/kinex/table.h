// Screening tables, one cycle per row of a CSV or TSV table (the layout is
// that of kinex's tables: a header row, column 1 the catalyst's name, then
// the states in cycle order, descriptor, temperature, concentration and
// sigma columns): the row as read, and reading a table whole or row by row.
#pragma once

#include <kinex/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kinex {

// The sigma of a state's Gibbs energy (kcal/mol) from a table's column
// "sigma(NAME)" or "\u03c3(NAME)", the state named by its header; from a
// column "sigma" or "\u03c3" every state's (`state` empty).
struct StateSigma {
  std::string state;
  double sigma = 0.0;
};

// One row of a table, read.
struct TableRow {
  int64_t row = 0;                      // the 1-based line of the file on which the row begins
  std::string name;                     // column 1
  bool ok = false;                      // false: `error` says why, the rest is not filled
  std::string error;                    // "FILE:ROW:COLUMN: reason" (COLUMN the 1-based column)
  ErrorPlace place;                     // of a bad row: the path, ROW, COLUMN and reason of `error`
  Cycle cycle;                          // arrays sized as the reader's, 1.0 where no concentration
  StateNames names;                     // from the header; implied transition states "TS(A->B)"
  std::vector<Descriptor> descriptors;  // those of the row's non-empty cells
  std::vector<StateSigma> sigmas;       // those of the row's non-empty sigma cells
};

namespace features {

// A table read row by row, one record in memory at a time, so that a table
// of any length is read in bounded memory (a line at most 1 MiB, the whole
// unbounded), its rows answered as they come.
class TableRows {
 public:
  TableRows();
  ~TableRows();
  TableRows(TableRows&&) noexcept;
  TableRows& operator=(TableRows&&) noexcept;

  // Opens the file `path` and reads its header; `default_T` is every row's
  // temperature where the table has no temperature column. False when the
  // file cannot be opened or read, or the header is wrong: error() and
  // place() say why.
  bool open(const std::string& path, double default_T);

  // The next data row: true with it in `row` (a bad one with ok false and
  // its diagnostic). False at the end of the table, or when the table fails
  // there (failed()).
  bool next(TableRow& row);

  bool failed() const;
  // "FILE:ROW:COLUMN: reason" or "FILE: reason", and its parts.
  const std::string& error() const;
  const ErrorPlace& place() const;

 private:
  struct Reader;
  std::unique_ptr<Reader> reader_;
};

// Reads the table file `path` whole: each data row goes into `rows`, a bad
// one with ok false and its diagnostic. False with `error` and its parts in
// `place` when the table fails (it cannot be read, a wrong header, no
// rows); `rows` is then empty.
bool read_table(const std::string& path, double default_T, std::vector<TableRow>& rows,
                std::string& error, ErrorPlace& place);

}  // namespace features

}  // namespace kinex

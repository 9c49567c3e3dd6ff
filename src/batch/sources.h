// The cycles a kinex command line names: each input file of KINEX.exe is one
// cycle, each row of a table (an argument ending in .csv or .tsv, any case;
// see input/table.h) one cycle named "FILE:NAME". Every subcommand takes its
// cycles from here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "input/table.h"
#include "input/warnings.h"
#include "kinex/types.h"
#include "model/run.h"
#include "platform/progress.h"

namespace kinex {

// The temperature of a table's rows where it has no temperature column.
inline constexpr double kTableTemperature = 298.15;

// How tables are read: the temperature of rows without one (K), and, for the
// commands that take one cycle, the name of the row to take (empty: the
// table must have one row).
struct TableOptions {
  double default_T = kTableTemperature;
  std::string row;
};

// One cycle of the command line, not yet read (a file) or read (a table's
// row, good or bad).
struct Source {
  std::string file;  // the argument
  bool from_table = false;
  TableRow row;       // from_table: the row (row.ok false: row.error says why)
  std::string error;  // from_table: the whole table failed (then no row)
};

// The source's name in the outputs: the file, "FILE:NAME" for a table's row
// ("FILE:ROW" when the row has no name), the file for a failed table.
std::string source_name(const Source& source);

// The cycles of a command line in order, one at a time: a file is one
// source, a table one per row, read as they are asked for, so that a table
// of any length (or a pipe whose rows never end) takes the memory of one
// row. A table that cannot be read or whose header is wrong is one source
// that fails; so is a table that fails part-way, after the rows before it.
class SourceStream {
 public:
  SourceStream(std::vector<std::string> args, double default_T);

  // The next source into `source`; false after the last.
  bool next(Source& source);

  // The part of the work done before the source next() gave and after it,
  // from 0 to 1: a file one argument's share, a table's row none (the table
  // advances by the part of it read).
  double done_before() const { return before_; }
  double done_after() const { return after_; }

  // The headers of every table's descriptor columns in the order first met
  // (the extra CSV columns of a batch with tables). Reads the header of
  // every table now; a table that is no regular file (a pipe) is kept open
  // for its turn rather than read twice.
  std::vector<std::string> descriptor_names();

 private:
  bool open_table(std::size_t k);
  double share(std::size_t k, double part) const;

  std::vector<std::string> args_;
  double default_T_;
  std::size_t arg_ = 0;                             // the argument next() is at
  bool reading_ = false;                            // arg_ is a table whose rows are being read
  TableReader reader_;                              // its reader
  std::vector<std::unique_ptr<TableReader>> kept_;  // tables opened ahead, by argument
  double before_ = 0.0, after_ = 0.0;
};

// Every source of `args` at once, for the commands that need them all
// (an overlay of profiles).
std::vector<Source> expand_sources(const std::vector<std::string>& args, double default_T);

// Reads `source` into the fresh `run` (storage allocated, not evaluated) and
// the reader's notes (empty for a table's row). A file that cannot be read,
// a bad row or a failed table fills `failure` with the diagnostic, "kinex: "
// first, and returns false.
bool load_source(const Source& source, Run& run, Failure& failure, ReadNotes& notes);

// Reads `source` as load_source does and takes it through the model, the
// logarithms always evaluated so that log10_TOF comes from them (progress
// to `progress`), the reader's notes in `notes`; false with the diagnostic
// on `err` when it cannot be read.
bool evaluated(const Source& source, Run& run, ReadNotes& notes, std::string& err,
               const ProgressFn& progress = {});

// The reading warnings of the cycle named `file` on `err`, as KINEX.exe
// writes them, under kinex's name.
void warn_reading(const std::string& file, const ReadNotes& notes, std::string& err);

// The one cycle of a command that takes one (scan, plot): `arg` itself when
// it is a file; the row of a table named `row`, or its only row. False with
// the diagnostic on `err` when the table fails, has no such row, or has
// several rows and no `row` is named.
bool single_source(const std::string& arg, const TableOptions& options, Source& source,
                   std::string& err);

// Every cycle `args` names, read (not evaluated), with its reader's notes
// (runs[k] with notes[k]); the diagnostic of each one that cannot be read on
// `err`, and false when any could not.
bool load_cycles(const std::vector<std::string>& args, double default_T, std::vector<Run>& runs,
                 std::vector<ReadNotes>& notes, std::string& err);

}  // namespace kinex

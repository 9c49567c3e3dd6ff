// The cycles a kinex command line names: each input file of KINEX.exe is one
// cycle, each row of a table (an argument ending in .csv or .tsv, any case;
// see input/table.h) one cycle named "FILE:NAME". Every subcommand takes its
// cycles from here.
#pragma once

#include <string>
#include <vector>

#include "driver/progress.h"
#include "input/failure.h"
#include "input/table.h"
#include "input/warnings.h"
#include "model/run.h"

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

// The cycles of `args` in order: a file is one source, a table one per row;
// a table that cannot be read or whose header is wrong is one source that
// fails. Reads the tables now; never fails itself.
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

// The names of the descriptors of `sources` in the order first seen (the
// extra CSV columns of a batch with tables).
std::vector<std::string> descriptor_names(const std::vector<Source>& sources);

}  // namespace kinex

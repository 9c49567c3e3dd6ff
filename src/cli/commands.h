// The kinex program: its subcommands, each a function that writes standard
// output through `out` as its results come (so that a long batch or scan
// shows and keeps what is done), gathers standard error in `err` and returns
// the exit status. `progress`, when set, hears the share of the work done.
#pragma once

#include <string>
#include <vector>

#include "batch/sources.h"
#include "cli/shared.h"
#include "figures/plot.h"
#include "figures/volcano_svg.h"
#include "platform/output.h"
#include "platform/progress.h"
#include "scan/scan.h"
#include "uncertainty/screening.h"
#include "volcano/volcano.h"

namespace kinex {

// A whole run of kinex: `args` is the command line with the program name
// first. Reads the subcommand and its options, runs it and returns the exit
// status: kExitOk when everything went well, kExitFailed on a bad command
// line, when any input failed or when standard output could not be written
// (`report` keeps the statuses of KINEX.exe; `check` gives kExitWarned for
// files read with findings). --help and --version write to `out`. Never
// exits the process.
int run_kinex(const std::vector<std::string>& args, Output& out, std::string& err,
              const ProgressFn& progress = {});

// The same, with standard output gathered in `out` (in-process runs, tests).
int run_kinex(const std::vector<std::string>& args, std::string& out, std::string& err);

// KINEX.exe's own run: `args` are its arguments (file and option strings).
int command_report(const std::vector<std::string>& args, std::string& out, std::string& err,
                   const ProgressFn& progress = {});

// The findings of each file (see kinex/check.h): as text, a line per
// finding and a summary line per file; `as_json`, one array with an object
// per file (file, read, warnings). A file that cannot be read gets its
// diagnostic on `err`. Returns kExitOk when every file was read and is
// clean, kExitWarned when every file was read and some have findings,
// kExitFailed when a file could not be read or the output not written.
int command_check(const std::vector<std::string>& files, bool as_json, Output& out,
                  std::string& err, const ProgressFn& progress = {},
                  const TableOptions& tables = {});

// Each of the following takes tables beside input files (see
// kinex/sources.h): every row of a table is a cycle "FILE:NAME", read with
// `tables`; a bad row gets its diagnostic on `err` and is left out, and the
// exit status is then kExitFailed, as for a file that cannot be read.
//
// Each of the following writes the reading warnings of its files on `err`
// (as KINEX.exe does, under kinex's name), and with Strict::yes refuses the
// files with findings.

// One JSON document per file (an array when `files` has more than one), each
// written as soon as its file is done. Each document records the command
// line that gives it on its own: `program`, "json" and its file. (The whole
// command line of a batch in every document would make the output grow with
// the square of the files.)
// A table's row's document has, after "file", "table" ({file, row, name})
// and "descriptors" ({name: value}); a table always gives an array.
int command_json(const std::vector<std::string>& files, const std::string& program, Strict strict,
                 Output& out, std::string& err, const ProgressFn& progress = {},
                 const TableOptions& tables = {});

// The screening table: a header row and one row per file that could be read,
// each written as soon as its file is done. Names that a spreadsheet would
// take for formulas are guarded with `for_spreadsheet`, and warned about on
// `err` without it.
// When the tables have descriptors, a column per descriptor follows the
// fixed ones (empty for a cycle without it).
int command_csv(const std::vector<std::string>& files, bool for_spreadsheet, Strict strict,
                Output& out, std::string& err, const ProgressFn& progress = {},
                const TableOptions& tables = {});

// The scan of one file, as a text table or as CSV, a row at a time. With
// Strict::yes the file is first evaluated as it stands, and refused when
// that has findings.
// A table gives its row named tables.row, or its only row.
// `for_spreadsheet`: CSV names a spreadsheet would take for formulas are
// written as text (see CsvNames); else each is warned of.
int command_scan(const std::string& file, const Sweep& sweep, bool csv, Strict strict, Output& out,
                 std::string& err, const ProgressFn& progress = {}, const TableOptions& tables = {},
                 bool for_spreadsheet = false);

// The energy profile of one cycle, or those of several overlaid, into
// `output` ("-" or empty: `out`, as SVG). A table gives all its rows, or the
// one named tables.row. The output's extension chooses SVG, PDF or PNG (at
// `dpi`; picture_file_format); another name is refused, and so is an input
// file; the file is replaced whole or not at all.
// With `sigmas` (--sigma, --sigmas), one cycle only, drawn with error bars
// and its TDI and TDTS probabilities, its sigmas resolved as kinex
// uncertainty resolves them (a table's sigma columns included).
int command_plot(const std::vector<std::string>& files, const std::string& output,
                 const PlotOptions& options, Strict strict, Output& out, std::string& err,
                 const ProgressFn& progress = {}, const TableOptions& tables = {},
                 const SigmaSpec* sigmas = nullptr, double dpi = kPictureDpi);

// What `kinex uncertainty` is asked for.
struct UncertaintyOptions {
  SigmaSpec sigmas;
  int64_t samples = 10000;
  uint64_t seed = 0;
  double correlation = 0.0;
  bool ensemble = false;  // each table is one cycle, its rows the members
  bool json = false;
  bool csv = false;
  bool for_spreadsheet = false;  // CSV names as text where a spreadsheet takes formulas
  int threads = 0;
};

// The whole subcommand over `files` (input files and tables; with
// options.ensemble each must be a table). A cycle that cannot be read or
// sampled gets its diagnostic on `err` and is left out; the status is then
// kExitFailed.
int command_uncertainty(const std::vector<std::string>& files, const UncertaintyOptions& options,
                        Output& out, std::string& err, const ProgressFn& progress,
                        const TableOptions& tables);

// What `kinex volcano` writes besides the curve's options.
struct VolcanoOutput {
  bool json = false, csv = false;
  bool for_spreadsheet = false;  // CSV names as text where a spreadsheet takes formulas
  // The picture's file (.svg, .pdf or .png), written whole or not at all
  // and never over the table; "-": the SVG picture on standard output
  // instead of the text.
  std::string file;
  double dpi = kPictureDpi;  // of a PNG
  VolcanoPicture picture;
};

// The whole subcommand over one table.
int command_volcano(const std::string& file, const VolcanoOptions& options,
                    const VolcanoOutput& output, Output& out, std::string& err,
                    const TableOptions& tables);

}  // namespace kinex

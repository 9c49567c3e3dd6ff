// The kinex program: its subcommands, each a function that writes standard
// output through `out` as its results come (so that a long batch or scan
// shows and keeps what is done), gathers standard error in `err` and returns
// the exit status. `progress`, when set, hears the share of the work done.
#pragma once

#include <string>
#include <vector>

#include "driver/output.h"
#include "driver/progress.h"
#include "kinex/scan.h"

namespace kinex {

// A whole run of kinex: `args` is the command line with the program name
// first. Reads the subcommand and its options, runs it and returns the exit
// status: kExitOk when everything went well, kExitFailed on a bad command
// line, when any input failed or when standard output could not be written
// (`report` keeps the statuses of KINEX.exe). --help and --version write to `out`. Never
// exits the process.
int run_kinex(const std::vector<std::string>& args, Output& out, std::string& err,
              const ProgressFn& progress = {});

// The same, with standard output gathered in `out` (in-process runs, tests).
int run_kinex(const std::vector<std::string>& args, std::string& out, std::string& err);

// KINEX.exe's own run: `args` are its arguments (file and option strings).
int command_report(const std::vector<std::string>& args, std::string& out, std::string& err,
                   const ProgressFn& progress = {});

// One JSON document per file (an array when `files` has more than one), each
// written as soon as its file is done. Each document records the command
// line that gives it on its own: `program`, "json" and its file. (The whole
// command line of a batch in every document would make the output grow with
// the square of the files.)
int command_json(const std::vector<std::string>& files, const std::string& program, Output& out,
                 std::string& err, const ProgressFn& progress = {});

// The screening table: a header row and one row per file that could be read,
// each written as soon as its file is done. Names that a spreadsheet would
// take for formulas are guarded with `for_spreadsheet`, and warned about on
// `err` without it.
int command_csv(const std::vector<std::string>& files, bool for_spreadsheet, Output& out,
                std::string& err, const ProgressFn& progress = {});

// The scan of one file, as a text table or as CSV, a row at a time.
int command_scan(const std::string& file, const Sweep& sweep, bool csv, Output& out,
                 std::string& err, const ProgressFn& progress = {});

// The SVG energy profile of one file, into `output` ("-" or empty: `out`).
// Refuses an output that is the input file itself; the file is replaced
// whole or not at all.
int command_plot(const std::string& file, const std::string& output, Output& out, std::string& err,
                 const ProgressFn& progress = {});

}  // namespace kinex

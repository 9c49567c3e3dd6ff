// The kinex program: its subcommands, each a function that appends standard
// output to `out` and standard error to `err` and returns the exit status.
#pragma once

#include <string>
#include <vector>

#include "kinex/scan.h"

namespace kinex {

// A whole run of kinex: `args` is the command line with the program name
// first. Reads the subcommand and its options, runs it and returns the exit
// status: 0 when everything went well, 2 on a bad command line or when any
// input failed (`report` keeps the statuses of KINEX.exe). --help and
// --version write to `out`. Never exits the process.
int run_kinex(const std::vector<std::string>& args, std::string& out, std::string& err);

// KINEX.exe's own run: `args` are its arguments (file and option strings).
int command_report(const std::vector<std::string>& args, std::string& out, std::string& err);

// One JSON document per file (an array when `files` has more than one).
// Each document records the command line that gives it on its own:
// `program`, "json" and its file. (The whole command line of a batch in
// every document would make the output grow with the square of the files.)
int command_json(const std::vector<std::string>& files, const std::string& program,
                 std::string& out, std::string& err);

// The screening table: a header row and one row per file that could be read.
int command_csv(const std::vector<std::string>& files, std::string& out, std::string& err);

// The scan of one file, as a text table or as CSV.
int command_scan(const std::string& file, const Sweep& sweep, bool csv, std::string& out,
                 std::string& err);

// The SVG energy profile of one file, into `output` ("-" or empty: `out`).
int command_plot(const std::string& file, const std::string& output, std::string& out,
                 std::string& err);

}  // namespace kinex

// The order of one run of KINEX, from the command line to the exit status.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "input/warnings.h"
#include "kinex/types.h"
#include "model/run.h"
#include "platform/progress.h"
#include "report/sections.h"

namespace kinex {

// The command line of KINEX.exe.
struct CommandLine {
  std::string input_name;                  // argument 1 in full, trailing blanks removed
  std::array<std::string, 5> option_args;  // arguments 2..6, each cut or padded to 20
  report::Switches show;                   // cleared by the option letters
};

// Reads `args` (argument 1, the input file name, and after it the option
// strings; the program name is not included). Only arguments 2..6 are
// scanned for option letters.
CommandLine read_command_line(const std::vector<std::string>& args);

// Runs the phases over an input file that is already open: reading,
// energy profile, TOF, degrees of control, report. Appends the standard
// output of the run to `out`; on failure fills `failure` and returns false
// (`out` then holds at most the driving-force warning).
bool run_phases(Run& run, const report::Switches& show, std::FILE* file, std::string& out,
                Failure& failure);

// The same, with the reader's notes (the lines of the values and its
// warnings) in `notes`.
bool run_phases(Run& run, const report::Switches& show, std::FILE* file, std::string& out,
                Failure& failure, ReadNotes& notes);

// One whole run: the command line, the existence test, opening the file and
// the phases. Appends standard output to `out` and standard error to `err`;
// returns the exit status (input/failure.h). Never exits the process.
// `memory_limit` bounds the run's storage (0: what the system has room for);
// `progress`, when set, hears how far the model's work has come.
int run_program(const std::vector<std::string>& args, std::string& out, std::string& err,
                std::size_t memory_limit = 0, const ProgressFn& progress = {});

}  // namespace kinex

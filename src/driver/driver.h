// The order of one run of KINEX, from the command line to the exit status.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/progress.h"
#include "driver/run.h"

namespace kinex {

// Takes `args` (argument 1, the input file name, and after it the option
// strings; the program name is not included) into run.input_name,
// run.option_args and the six report switches. Only arguments 2..6 are
// scanned for option letters.
void read_command_line(Run& run, const std::vector<std::string>& args);

// Runs the phases over an input file that is already open: reading,
// energy profile, TOF, degrees of control, report. Appends the standard
// output of the run to `out`; on failure fills `failure` and returns false
// (`out` then holds at most the driving-force warning).
bool run_phases(Run& run, std::FILE* file, std::string& out, Failure& failure);

// One whole run: the command line, the existence test, opening the file and
// the phases. Appends standard output to `out` and standard error to `err`;
// returns the exit status (report/status.h). Never exits the process.
// `memory_limit` bounds the run's storage (0: what the system has room for);
// `progress`, when set, hears how far the model's work has come.
int run_program(const std::vector<std::string>& args, std::string& out, std::string& err,
                std::size_t memory_limit = 0, const ProgressFn& progress = {});

}  // namespace kinex

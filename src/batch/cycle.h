// One cycle for the kinex subcommands: read with the reader of KINEX.exe and
// taken through the same model phases, so that every number is the one
// behind the report.
#pragma once

#include <string>

#include "input/warnings.h"
#include "kinex/types.h"
#include "model/evaluate.h"
#include "model/run.h"

namespace kinex {

// Reads the input file `name` into the fresh record `run` (run.input_name is
// set to it). A missing, unreadable or bad file fills `failure` (kExitFailed;
// kExitNoMemory when the storage cannot be had) with the reader's diagnostic,
// whose first line starts "kinex: <name>:", and returns false.
bool load_cycle(const std::string& name, Run& run, Failure& failure);

// The same, with the reader's notes (the lines of the values and the
// reading warnings of a file read to the end) in `notes`.
bool load_cycle(const std::string& name, Run& run, Failure& failure, ReadNotes& notes);

}  // namespace kinex

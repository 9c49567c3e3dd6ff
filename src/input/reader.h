// Reading the input file into the run record.
#pragma once

#include <cstdio>

#include "driver/run.h"

namespace kinex {

// Reads the whole input format from `file` (already open, named
// run.input_name in diagnostics): T, n, the n step records and DeltaG; the
// storage of the run is created right after n. Then interprets the
// concentration fields (has_*, conc_*, *_text). Does not close `file`.
// On a bad or missing value, an n below 1 or a read error fills `failure`
// (kExitFailed; kExitNoMemory when the storage cannot be had) and returns false; the
// message starts "KINEX.exe: <file>:<line>: <reason>" and may go on with the
// line and a caret under the fault.
bool read_input(Run& run, std::FILE* file, Failure& failure);

}  // namespace kinex

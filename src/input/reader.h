// Reading the input file into the run record.
#pragma once

#include <cstdio>
#include <string>

#include "input/warnings.h"
#include "kinex/types.h"
#include "model/run.h"

namespace kinex {

// Reads the whole input format from `file` (already open, named
// run.input_name in diagnostics): T, n, the n step records and DeltaG; the
// storage of the run is created right after n. Then interprets the
// concentration fields (has_*, conc_*, *_text). Does not close `file`.
// On a bad or missing value, an n below 1 or a read error fills `failure`
// (kExitFailed; kExitNoMemory when the storage cannot be had) and returns false; the
// message starts "<file>:<line>: <reason>" (the program puts its name in
// front) and may go on with the
// line and a caret under the fault. failure.place holds the same file, line
// and reason, and the 1-based byte column of the caret (line and column 0
// where the message names no line, as at the end of the file).
bool read_input(Run& run, std::FILE* file, Failure& failure);

// The same, and into `notes` the lines of the values and the warnings about
// a file read to the end whose ignored parts hold values (see
// input/warnings.h); a file that fails gets no warnings. Past DeltaG a
// regular file is looked at for at most 64 KiB, a pipe or device only as
// far as it has been read.
bool read_input(Run& run, std::FILE* file, Failure& failure, ReadNotes& notes);

// Opens the input file `path` for reading. Returns the open file, or nullptr
// with the system's reason in `error` (EISDIR for a directory, which the
// system would open).
std::FILE* open_input(const std::string& path, int& error);

}  // namespace kinex

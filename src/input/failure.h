// The exit statuses of KINEX.exe and kinex, and the failures that end a run.
#pragma once

#include <string>

namespace kinex {

// Everything was read, computed and written (and --help or --version).
constexpr int kExitOk = 0;
// The storage of the run could not be had.
constexpr int kExitNoMemory = 1;
// A bad command line, or an input or output that failed (the usage included).
constexpr int kExitFailed = 2;
// kinex check: every file was read, and some have findings. (A file whose
// storage cannot be had counts there as one that cannot be read.)
constexpr int kExitWarned = 1;

// A failure that ends the run: the text for standard error (every line ended
// by a line feed; the program puts its name in front of the first) and the
// exit status (kExitNoMemory or kExitFailed).
struct Failure {
  int status = kExitOk;
  std::string message;
};

}  // namespace kinex

// The exit statuses of KINEX.exe and kinex, and the failures that end a run.
#pragma once

#include <cstdint>
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

// Where an input went wrong, for callers that present it their own way: the
// file as named, the 1-based line and column (0 where none applies) and the
// reason alone (the words after "FILE:LINE: " of the diagnostic's first line,
// without a trailing line feed). In a screening table the column counts
// cells, as its diagnostic does.
struct ErrorPlace {
  std::string file;
  int64_t line = 0;
  int64_t column = 0;
  std::string reason;
};

// A failure that ends the run: the text for standard error (every line ended
// by a line feed; the program puts its name in front of the first) and the
// exit status (kExitNoMemory or kExitFailed).
struct Failure {
  int status = kExitOk;
  std::string message;
  // Where it went wrong, when it is a bad or unreadable input (else empty);
  // `message` says the same in words.
  ErrorPlace place;
};

}  // namespace kinex

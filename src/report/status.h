// The exit statuses of KINEX.exe and kinex, and the status a Failure carries.
#pragma once

namespace kinex {

// Everything was read, computed and written (and --help or --version).
constexpr int kExitOk = 0;
// The storage of the run could not be had.
constexpr int kExitNoMemory = 1;
// A bad command line, or an input or output that failed (the usage included).
constexpr int kExitFailed = 2;

}  // namespace kinex

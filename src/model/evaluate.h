// The whole model over a cycle that has been read: the one sequence of
// phases every caller uses (KINEX.exe, kinex, the tests, the benchmarks and
// the fuzzer).
#pragma once

#include "model/run.h"

namespace kinex {

// The energy profile and driving force, the terms and the TOF, the degrees
// of TOF control, TDI, TDTS and the advice's steps, in this order, on at most
// `threads` threads (0: as many as pay off; the results do not depend on the
// number). Reads the cycle data of `run` (n >= 1); pure arithmetic, never
// fails.
void evaluate_cycle(Run& run, int threads = 0);

}  // namespace kinex

// The whole model over a cycle that has been read: the one sequence of
// phases every caller uses (KINEX.exe, kinex, the tests, the benchmarks and
// the fuzzer).
#pragma once

#include "model/run.h"

namespace kinex {

// When the evaluation over the logarithms of the terms runs: only where the
// direct numbers are not sound and it can take their place (what KINEX.exe
// needs), or also to give ln_TOF and log10_TOF from the logarithms where the
// direct numbers stand (what the outputs of kinex state). It costs about as
// much as the direct evaluation.
enum class LogSpace { when_needed, always };

// The energy profile and driving force, the terms and the TOF, the degrees
// of TOF control, TDI, TDTS and the advice's steps, in this order; where the
// direct numbers are not sound, those of the logarithms; then the figures
// (spans, barriers, log10 TOF). On at most `threads` threads (0: as many as
// pay off; the results do not depend on the number). Reads the cycle data
// of `run` (n >= 1); pure arithmetic, never fails.
void evaluate_cycle(Run& run, int threads = 0, LogSpace log_space = LogSpace::when_needed);

}  // namespace kinex

// The whole model over a cycle that has been read: the one sequence of
// phases every caller uses (KINEX.exe, kinex, the tests, the benchmarks and
// the fuzzer).
#pragma once

#include "model/run.h"

namespace kinex {

// Whose results evaluate_cycle gives.
// - report: those of KINEX.exe's report. The evaluation over the
//   logarithms of the terms runs only where the direct numbers are not
//   sound and it can take their place; the TDI and TDTS are those of the
//   single largest term (the first in column order where terms are equal).
// - outputs: those the outputs of kinex and the library state. The
//   evaluation over the logarithms also runs where the direct numbers
//   stand, to give ln_TOF and log10_TOF from the logarithms (it costs about
//   as much as the direct one); where terms tie (see resolve_ties), the TDI
//   and TDTS are those of the earliest tied term, the same at every point
//   of a scan whatever the rounding, and the tied states are listed.
enum class Use { report, outputs };

// The energy profile and driving force, the terms and the TOF, the degrees
// of TOF control, TDI, TDTS and the advice's steps, in this order; where the
// direct numbers are not sound, those of the logarithms; then the figures
// (spans, barriers, log10 TOF); for Use::outputs with tied terms resolved. On at most `threads`
// threads (0: as many as pay off; the results do not depend on the number). Reads the cycle data of
// `run` (n >= 1); pure arithmetic, never fails.
void evaluate_cycle(Run& run, int threads = 0, Use use = Use::report);

}  // namespace kinex

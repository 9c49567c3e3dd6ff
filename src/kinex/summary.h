// Figures derived from a finished run that the kinex outputs share, so that
// every output states them alike.
#pragma once

#include "driver/run.h"

namespace kinex {

// The energetic span in kcal/mol: G_ts[TDTS] - G_int[TDI-1] when the TDTS
// follows the TDI within one turn (TDTS >= TDI); otherwise the TDTS lies in
// the next turn and DeltaG is added to that difference. Reads G_int, G_ts,
// DeltaG, TDI and TDTS (after compute_control, n >= 1).
double energetic_span(const Run& run);

}  // namespace kinex

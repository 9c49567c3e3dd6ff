// Degrees of TOF control, the TDI and TDTS, and the steps the advice names.
#pragma once

#include "model/run.h"

namespace kinex {

// Fills dominant_a/b (the largest term; on ties the first in column order,
// smallest b then smallest a), TDI, TDTS, xtof_int, xtof_ts, reac_steps
// and prod_steps (steps from the TDI
// through the TDTS, resp. up to the step before the TDTS, that have the
// concentration; ascending), and sum_reac/xtof_reac (sum_prod/xtof_prod) of
// the steps that have a reactant (product) concentration; those of the
// other steps are left as they are. Reads complete_matrix, driving_force,
// denominator and concproduct_prod (n >= 1). Pure arithmetic; never fails.
void compute_control(Run& run);
// The same on at most `threads` threads (0: as many as pay off); the
// results do not depend on the number.
void compute_control(Run& run, int threads);

}  // namespace kinex

// Degrees of TOF control, the TDI and TDTS, and the steps the advice names.
#pragma once

#include "driver/run.h"

namespace kinex {

// Fills dominant_a/b, TDI, TDTS, xtof_int, xtof_ts, sum_reac, sum_prod,
// xtof_reac, xtof_prod, n_reac_in_span, n_prod_in_span, reac_step_text and
// prod_step_text. Pure arithmetic; never fails.
void compute_control(Run& run);

}  // namespace kinex

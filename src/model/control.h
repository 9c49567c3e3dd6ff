// Degrees of TOF control, the TDI and TDTS, and the steps the advice names.
#pragma once

#include <functional>

#include "model/run.h"

namespace kinex {

// Into `results`: dominant_a/b (the largest term; on ties the first in
// column order, smallest b then smallest a), TDI, TDTS, xtof_int, xtof_ts,
// reac_steps and prod_steps (steps from the TDI through the TDTS, resp. up
// to the step before the TDTS, that have the concentration; ascending), and
// sum_reac/xtof_reac (sum_prod/xtof_prod) of the steps that have a reactant
// (product) concentration; those of the other steps are left as they are.
// Reads the cycle's flags, the profile's driving force and concentration
// products, the terms and results.denominator (n >= 1). The same on at most
// `threads` threads (0: as many as pay off); `progress`, when set, hears the
// share done. Pure arithmetic; never fails.
void compute_control(const Cycle& cycle, const Profile& profile, const Terms& terms,
                     Results& results, int threads = 0,
                     const std::function<void(double)>& progress = {});

}  // namespace kinex

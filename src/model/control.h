// Degrees of TOF control, the TDI and TDTS, and the steps the advice names.
#pragma once

#include <cstdint>
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

// The same from the terms on, for terms whose dominant term is known
// (results.dominant_a/b) and whose sum is `denominator`: xtof_int, xtof_ts,
// next_turn_share, TDI, TDTS, the advice's steps, sum_reac/sum_prod and
// xtof_reac = reac_share - sum_reac / denominator (xtof_prod likewise with
// prod_share) of the steps that have the concentration. No progress is
// reported.
void compute_control_of(const Cycle& cycle, const Terms& terms, double denominator,
                        double reac_share, double prod_share, Results& results, int threads = 0);

// The dominant term of the n x n `matrix` (element (a,b) at (a-1)*n + (b-1))
// by the rule of compute_control: the largest value that is not NaN, on
// ties the smallest b, then the smallest a; (1,1) when that is NaN.
void find_dominant_term(int64_t n, const double* matrix, int64_t& a, int64_t& b);

}  // namespace kinex

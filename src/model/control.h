// Degrees of TOF control, the TDI and TDTS, and the steps the advice names.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

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

// Terms within a relative kTieTolerance of the largest are tied: equal in
// exact arithmetic and told apart by rounding alone (a barrier-free step,
// for one, gives the same span as another pair of states).
inline constexpr double kTieTolerance = 1e-12;

// The earliest of the tied terms of the n x n `matrix` (element (a,b) at
// (a-1)*n + (b-1)): of the terms not below (1 - kTieTolerance) times the
// largest, the one with the smallest TDI (its row a) and, within that row,
// the smallest TDTS ((a + b - 2) mod n + 1); and the TDIs and TDTSs of the
// other tied terms, ascending and without those of the one found.
// a = b = 0 where the largest term (NaN left aside) is not finite and above
// 0.
struct TiedTerms {
  int64_t a = 0, b = 0;
  std::vector<int64_t> TDI_ties, TDTS_ties;
};
TiedTerms earliest_tied_term(int64_t n, const double* matrix);

// TDI, TDTS and the advice's steps (reac_steps, prod_steps) of term (a,b).
void set_determining_states(const Cycle& cycle, int64_t a, int64_t b, Results& results);

// The TDI and TDTS as the outputs of kinex state them, after the model:
// where terms tie, TDI, TDTS and the advice's steps are those of the
// earliest tied term, and the states it ties with go into TDI_ties and
// TDTS_ties. dominant_a/b stay the report's single largest term. Reads the terms as
// the model left them (the terms or, after the log-space evaluation, the
// terms over the largest); leaves everything as it is where the largest
// term is not finite and above 0. The degrees of control do not change.
void resolve_ties(const Cycle& cycle, const Terms& terms, Results& results);

}  // namespace kinex

// The partition matrix of the cycle and its turnover frequency.
#pragma once

#include <functional>

#include "model/run.h"

namespace kinex {

// The terms of the TOF's denominator into terms.complete_matrix (term (a,b)
// at (a-1)*n + (b-1)), and results.prefactor (s^-1), results.denominator and
// results.TOF (s^-1: the driving force times the prefactor over the
// denominator), from the cycle's concentrations and the profile. Every sum
// and product runs in the order of the term-by-term definition, so the
// results are bitwise reproducible, on at most `threads` threads (0: as
// many as pay off) alike. `progress`, when set, hears the share done. Pure
// arithmetic; never fails.
void compute_tof(const Cycle& cycle, const Profile& profile, Terms& terms, Results& results,
                 int threads = 0, const std::function<void(double)>& progress = {});

}  // namespace kinex

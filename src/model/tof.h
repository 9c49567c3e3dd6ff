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

// The logarithms l(a,b) of the terms into terms.complete_matrix, laid out
// as compute_tof lays out the terms: (g_ts - g_int) of term (a,b), the same
// two energies as its term, plus the sum, from 0.0, of the natural
// logarithms of its concentration factors in the order in which
// compute_tof multiplies them (a step without a concentration adds
// nothing). Needs every given concentration above 0 for finite values. On
// at most `threads` threads, bitwise alike. Pure arithmetic; never fails.
void compute_log_terms(const Cycle& cycle, const Profile& profile, Terms& terms, int threads = 0);

}  // namespace kinex

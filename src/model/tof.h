// The partition matrix of the cycle and its turnover frequency.
#pragma once

#include "model/run.h"

namespace kinex {

// Fills complete_matrix (term (a,b) of the denominator at (a-1)*n + (b-1)),
// prefactor (s^-1), denominator and TOF (s^-1, the driving force times the
// prefactor over the denominator) from the scaled profile and the
// concentrations. Every sum and
// product runs in the order of the term-by-term definition, so the results
// are bitwise reproducible. Pure arithmetic; never fails.
void compute_tof(Run& run);
// The same on at most `threads` threads (0: as many as pay off); the
// results do not depend on the number.
void compute_tof(Run& run, int threads);

}  // namespace kinex

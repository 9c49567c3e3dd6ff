// The partition matrix of the cycle and its turnover frequency.
#pragma once

#include "driver/run.h"

namespace kinex {

// Fills complete_matrix, prefactor, numerator, denominator and TOF from the
// scaled profile. Pure arithmetic, bitwise reproducible; never fails.
void compute_tof(Run& run);

}  // namespace kinex

// The kinetic model evaluated the long way, with the full index arrays of
// rate constants and every loop in its defining order. Slow (n^4) and meant
// only as the yardstick for the production code on small cycles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/run.h"

namespace kinex::testing {

struct LiteralResult {
  std::vector<double> G_int;  // 0..2n-1
  std::vector<double> g_int;  // 0..2n-1
  std::vector<double> g_ts;   // 1..n
  double inv_RT = 0, dG = 0, concproduct_reac = 0, concproduct_prod = 0, driving_force = 0;
  std::vector<double> complete;  // (a-1)*n + (b-1)
  double prefactor = 0, numerator = 0, denominator = 0, TOF = 0;
  int64_t dominant_a = 0, dominant_b = 0, TDI = 0, TDTS = 0;
  std::vector<double> xtof_int;                     // 0..n-1
  std::vector<double> xtof_ts, sum_reac, sum_prod;  // 1..n
  std::vector<double> xtof_reac, xtof_prod;         // 1..n, every step
  int64_t n_reac_in_span = 0, n_prod_in_span = 0;
  std::vector<int64_t> reac_steps, prod_steps;  // ascending
  double ln_TOF = 0;                            // log-space only
};

// Reads n, T, DeltaG, G_int[0..n-1], G_ts, conc_*, has_* of `run` (n >= 1).
// With `log_space`, the TOF, terms, denominator (S) and degrees of control
// are those of the evaluation over the terms' logarithms, shifted by the
// largest (every given concentration above 0, no net flux of 0).
LiteralResult literal_model(const kinex::Run& run, bool log_space = false);

}  // namespace kinex::testing

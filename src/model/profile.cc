#include "model/profile.h"

#include <cmath>
#include <cstdint>

namespace kinex {

void compute_profile(Run& run) {
  const int64_t n = run.n;

  // The next turn is built on the unscaled energies, before the scaling, so
  // that its scaled values round exactly as the published results do.
  for (int64_t k = n; k <= 2 * n - 1; ++k) run.G_int[k] = run.DeltaG + run.G_int[k - n];

  run.inv_RT = (kcal_to_kJ * kJ_to_J) / (run.T * R_gas);
  run.dG = run.DeltaG * run.inv_RT;
  for (int64_t i = 1; i <= n; ++i) run.g_ts[i] = run.G_ts[i] * run.inv_RT;
  for (int64_t k = 0; k <= 2 * n - 1; ++k) run.g_int[k] = run.G_int[k] * run.inv_RT;

  run.concproduct_reac = 1.0;
  run.concproduct_prod = 1.0;
  for (int64_t i = 1; i <= n; ++i) {
    run.concproduct_reac = run.concproduct_reac * run.conc_reac[i];
    run.concproduct_prod = run.concproduct_prod * run.conc_prod[i];
  }
  run.driving_force = std::exp(-run.dG) * run.concproduct_reac - run.concproduct_prod;
}

}  // namespace kinex

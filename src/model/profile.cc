#include "model/profile.h"

#include <cmath>
#include <cstdint>

namespace kinex {

void compute_profile(Run& run) {
  const int64_t n = run.cycle.n;

  // The next turn is built on the unscaled energies, before the scaling, so
  // that its scaled values round exactly as the published results do.
  for (int64_t k = 0; k < n; ++k) run.profile.G_int[k] = run.cycle.G_int[k];
  for (int64_t k = n; k <= 2 * n - 1; ++k)
    run.profile.G_int[k] = run.cycle.DeltaG + run.cycle.G_int[k - n];

  run.profile.inv_RT = (kcal_to_kJ * kJ_to_J) / (run.cycle.T * R_gas);
  run.profile.dG = run.cycle.DeltaG * run.profile.inv_RT;
  for (int64_t i = 1; i <= n; ++i) run.profile.g_ts[i] = run.cycle.G_ts[i] * run.profile.inv_RT;
  for (int64_t k = 0; k <= 2 * n - 1; ++k)
    run.profile.g_int[k] = run.profile.G_int[k] * run.profile.inv_RT;

  run.profile.concproduct_reac = 1.0;
  run.profile.concproduct_prod = 1.0;
  for (int64_t i = 1; i <= n; ++i) {
    run.profile.concproduct_reac = run.profile.concproduct_reac * run.cycle.conc_reac[i];
    run.profile.concproduct_prod = run.profile.concproduct_prod * run.cycle.conc_prod[i];
  }
  run.profile.driving_force =
      std::exp(-run.profile.dG) * run.profile.concproduct_reac - run.profile.concproduct_prod;
}

}  // namespace kinex

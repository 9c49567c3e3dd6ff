#include "model/profile.h"

#include <cmath>
#include <cstdint>

namespace kinex {

double driving_force_of(double dG, double reac, double prod) {
  const double forward = std::exp(-dG) * reac;
  const double direct = forward - prod;
  const bool both = std::isfinite(forward) && std::isfinite(prod) && forward > 0.0 && prod > 0.0;
  if (!both || std::fabs(direct) > 0x1p-20 * std::fmax(forward, prod)) return direct;
  // Near equilibrium: the two terms cancel in most of their bits, so the
  // difference is taken from their logarithms. The quotient of the products
  // may leave the range of doubles where exp(-dG) is tiny or huge; their
  // logarithms then stand in for its own.
  const double ratio = reac / prod;
  const double ln_ratio =
      std::isfinite(ratio) && ratio > 0.0 ? std::log(ratio) : std::log(reac) - std::log(prod);
  return prod * std::expm1(ln_ratio - dG);
}

void compute_profile(const Cycle& cycle, Profile& profile) {
  const int64_t n = cycle.n;

  // The next turn is built on the unscaled energies, before the scaling, so
  // that its scaled values round exactly as the published results do.
  for (int64_t k = 0; k < n; ++k) profile.G_int[k] = cycle.G_int[k];
  for (int64_t k = n; k <= 2 * n - 1; ++k) profile.G_int[k] = cycle.DeltaG + cycle.G_int[k - n];

  profile.inv_RT = inverse_RT(cycle.T);
  profile.dG = cycle.DeltaG * profile.inv_RT;
  for (int64_t i = 1; i <= n; ++i) profile.g_ts[i] = cycle.G_ts[i] * profile.inv_RT;
  for (int64_t k = 0; k <= 2 * n - 1; ++k) profile.g_int[k] = profile.G_int[k] * profile.inv_RT;

  profile.concproduct_reac = 1.0;
  profile.concproduct_prod = 1.0;
  for (int64_t i = 1; i <= n; ++i) {
    profile.concproduct_reac = profile.concproduct_reac * cycle.conc_reac[i];
    profile.concproduct_prod = profile.concproduct_prod * cycle.conc_prod[i];
  }
  profile.driving_force =
      driving_force_of(profile.dG, profile.concproduct_reac, profile.concproduct_prod);
}

}  // namespace kinex

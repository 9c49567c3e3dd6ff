#include "model/figures.h"

#include <cmath>
#include <cstdint>

#include "model/log_space.h"
#include "model/profile.h"

namespace kinex {
namespace {

// RT in kcal/mol.
double rt_kcal(const Cycle& cycle) { return (cycle.T * R_gas) / (kcal_to_kJ * kJ_to_J); }

}  // namespace

double energetic_span(const Cycle& cycle, const Results& results) {
  const double span = cycle.G_ts[results.TDTS] - cycle.G_int[results.TDI - 1];
  return results.TDTS >= results.TDI ? span : span + cycle.DeltaG;
}

void compute_figures(const Cycle& cycle, bool logarithms, Results& results,
                     const FormedLogarithms& formed) {
  const int64_t n = cycle.n;
  if (n < 1) return;
  const double RT = rt_kcal(cycle);
  if (!std::isfinite(results.ln_TOF)) {
    results.ln_TOF = std::log(std::fabs(results.TOF));
    results.TOF_sign = results.TOF > 0.0 ? 1 : (results.TOF < 0.0 ? -1 : 0);
  }
  results.log10_TOF = results.ln_TOF / std::log(10.0);

  if (logarithms) {
    const double LR = std::isnan(formed.LR) ? ln_reactant_product(cycle) : formed.LR;
    const double moved =
        term_concentration_logarithm(cycle, results.dominant_a, results.dominant_b) - LR;
    const double span = energetic_span(cycle, results);
    results.effective_span = moved == 0.0 ? span : span + RT * moved;
  }

  if (results.TOF_sign > 0) {
    const double ln_prefactor =
        std::isnan(formed.ln_prefactor) ? std::log(results.prefactor) : formed.ln_prefactor;
    results.apparent_barrier = -RT * (results.ln_TOF - ln_prefactor);
  }

  double energy = 0.0;
  for (int64_t i = 1; i <= n; ++i) {
    energy =
        energy + results.xtof_ts[i] * cycle.G_ts[i] - results.xtof_int[i - 1] * cycle.G_int[i - 1];
  }
  results.apparent_activation_energy =
      RT + cycle.DeltaG * (1.0 + results.q) + energy - cycle.DeltaG * results.next_turn_share;
}

}  // namespace kinex

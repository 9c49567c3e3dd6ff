// Figures a chemist reads off the results: the spans, the apparent barrier
// and the apparent activation energy, and the TOF's logarithm.
#pragma once

#include "model/run.h"

namespace kinex {

// The energetic span in kcal/mol: G_ts[TDTS] - G_int[TDI-1] when the TDTS
// follows the TDI within one turn (TDTS >= TDI); otherwise the TDTS lies in
// the next turn and DeltaG is added to that difference. Needs TDI and TDTS
// (n >= 1).
double energetic_span(const Cycle& cycle, const Results& results);

// Into `results`, after the TOF and the degrees of control (whichever
// evaluation gave them):
// - ln_TOF and log10_TOF, TOF_sign: kept where the log-space evaluation
//   set them, else from the TOF itself;
// - the effective span, the energetic span plus RT times the dominant
//   term's concentration logarithms less those of all given reactants (the
//   same as DeltaG + RT (l - LR), and exactly the energetic span when no
//   concentration is given); NaN unless `logarithms` (the cycle's
//   logarithms exist);
// - the apparent barrier -RT (ln_TOF - ln(k_B T / h)) where the TOF is
//   positive;
// - the apparent activation energy RT^2 d ln TOF / dT, from the degrees of
//   control: RT + DeltaG (1 + q) + sum X_TOF(ts) G_ts - sum X_TOF(int)
//   G_int - DeltaG next_turn_share.
// `formed` gives logarithms the evaluation formed already, taken as they are
// instead of being formed again (the same values).
struct FormedLogarithms {
  double ln_prefactor = Results::kNone;  // std::log(results.prefactor); NaN: not formed
  double LR = Results::kNone;            // ln_reactant_product(cycle); NaN: not formed
};
void compute_figures(const Cycle& cycle, bool logarithms, Results& results,
                     const FormedLogarithms& formed = {});

}  // namespace kinex

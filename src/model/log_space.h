// The evaluation over the logarithms of the terms. The direct evaluation
// overflows or underflows once a span, less DeltaG, exceeds about 709.78 RT
// or the driving force exceeds the range of doubles; its results are then
// not finite, or a TOF of 0 that is not true. Where the cycle's logarithms
// exist, the same results follow from the logarithms of the terms, shifted
// by the largest of them, without leaving the range of doubles.
#pragma once

#include <cstdint>

#include "model/run.h"

namespace kinex {

// Whether the direct results can stand: the TOF is finite, and 0 only when
// the driving force is 0, and every X_TOF of an intermediate, a transition
// state and a given reactant or product is finite.
bool direct_results_sound(const Cycle& cycle, const Profile& profile, const Results& results);

// Whether the cycle's logarithms exist: 1/RT is finite and above 0, every
// scaled energy (g_int of both turns, g_ts, dG) is finite, and every given
// concentration is finite and above 0.
bool logarithms_exist(const Cycle& cycle, const Profile& profile);

// The sum, from 0.0 over the steps in ascending order, of the natural
// logarithms of the given reactant (product) concentrations.
double ln_reactant_product(const Cycle& cycle);
double ln_product_product(const Cycle& cycle);

// The sum of the logarithms of the concentration factors of term (a,b), as
// compute_log_terms forms it, bit for bit.
double term_concentration_logarithm(const Cycle& cycle, int64_t a, int64_t b);

// ln(1 - e^d) for d < 0, without cancellation: the logarithm of a
// difference of two terms from their logarithms.
double ln_one_minus_exp(double d);

// ln(Π[products] / Π[reactants]) over the given concentrations, with every
// value that stands among both the reactants and the products cancelled
// before the rest is summed (in ascending order of the values), so that
// equal concentrations on both sides give exactly 0 in any order of steps.
double ln_concentration_ratio(const Cycle& cycle);

// The numerator e^(-dG + LR) - e^LP from its logarithms, LR and LP the sums
// of the logarithms of the given reactant and product concentrations and
// ln_ratio their difference LP - LR as ln_concentration_ratio forms it:
// sign +1 (forward), -1 (backward) or 0 (no net flux, or a difference that
// is not a number), and ln the logarithm of its magnitude, formed without
// cancellation. The two logarithms are told apart by ln_ratio + dG, so
// that equal concentration logarithms cancel exactly before dG is added.
struct NetFlux {
  int sign = 0;
  double ln = 0.0;
};
NetFlux net_flux(double dG, double LR, double LP, double ln_ratio);

// The log-space evaluation of a cycle whose logarithms exist. Overwrites
// the terms with t(a,b) = exp(l(a,b) - m), m the largest l, and fills
// `results` as the direct evaluation does (TOF, dominant term, TDI, TDTS,
// every X_TOF, the advice's steps, next_turn_share, q) from them and their
// sum S, with ln_TOF and TOF_sign; prefactor and denominator are left as
// they are. With lnN and sign the numerator's net_flux:
//   TOF = sign * exp(((ln(prefactor) + lnN) - m) - ln(S)),
//   q = sign * exp(LP - lnN), X_TOF of a reactant (1 + q) - sum/S, of a
//   product (-q) - sum/S.
// Returns false, with `results` partly written, when there is no
// log-space result: no net flux, or one of its values (m, S, the
// TOF, an X_TOF) is not finite.
bool compute_log_space(const Cycle& cycle, const Profile& profile, Terms& terms, Results& results,
                       int threads = 0);

// The first part of compute_log_space, all that the TOF's logarithm needs,
// for a TOF prefactor `prefactor` (s^-1): the terms shifted as there, and
// into `parts` the dominant term (a, b), ln_TOF and TOF_sign, the sum S of
// the shifted terms, the logarithms LR and LP (of the reactant and of the
// product concentrations), lnN (of the numerator) and ln(prefactor), from
// which compute_log_space goes on with the TOF and q. False where
// compute_log_space finds no result before those (no net flux, m or S not
// finite); what was not formed by then is left as it was.
struct LogTof {
  int64_t a = 1, b = 1;
  double ln_TOF = Results::kNone;
  int TOF_sign = 0;
  double S = 0.0, LR = Results::kNone, LP = 0.0, lnN = 0.0, ln_prefactor = Results::kNone;
};
bool compute_log_tof(const Cycle& cycle, const Profile& profile, double prefactor, Terms& terms,
                     LogTof& parts, int threads = 0);

}  // namespace kinex

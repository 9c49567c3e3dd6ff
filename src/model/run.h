// The values of one run of KINEX, one per concern, carried from phase to
// phase. Each phase fills its own value once and only reads those of the
// phases before it.
//
// Index conventions (they follow the formulas of the model, not C++):
//   steps i = 1..n; step i leads from intermediate i-1 over transition state i
//   to intermediate i; intermediates n..2n-1 are intermediates 0..n-1 of the
//   next turn of the cycle, raised by DeltaG.
//   A per-step vector has n+1 elements and index 0 is unused, so that
//   `G_ts[i]` is the transition state of step i. A vector over intermediates
//   starts at index 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "model/names.h"

namespace kinex {

// The cycle as read from the input file.
struct Cycle {
  double T = 0.0;                 // kelvin
  int64_t n = 0;                  // number of steps
  double DeltaG = 0.0;            // kcal/mol, one turn of the cycle
  std::vector<double> G_int;      // kcal/mol, intermediates 0..n-1
  std::vector<double> G_ts;       // kcal/mol, 1..n
  std::vector<double> conc_reac;  // 1..n; 1.0 where the step has none
  std::vector<double> conc_prod;  // 1..n; 1.0 where the step has none
  std::vector<bool> has_reac;     // 1..n; true when a concentration is given
  std::vector<bool> has_prod;     // 1..n
};

// Where the conditions of two cycles first differ: the number of steps, the
// temperature, then step by step whether a reactant and then a product
// concentration is given and its value. `step` names the step of a
// concentration.
struct ConditionDifference {
  enum class What { none, steps, temperature, reactant, product } what = What::none;
  int64_t step = 0;
};

inline ConditionDifference condition_difference(const Cycle& a, const Cycle& b) {
  using What = ConditionDifference::What;
  if (a.n != b.n) return {What::steps, 0};
  if (a.T != b.T) return {What::temperature, 0};
  for (int64_t i = 1; i <= a.n; ++i) {
    const auto I = static_cast<std::size_t>(i);
    if (a.has_reac[I] != b.has_reac[I] || (a.has_reac[I] && a.conc_reac[I] != b.conc_reac[I])) {
      return {What::reactant, i};
    }
    if (a.has_prod[I] != b.has_prod[I] || (a.has_prod[I] && a.conc_prod[I] != b.conc_prod[I])) {
      return {What::product, i};
    }
  }
  return {};
}

// The energy profile in units of RT and the driving force.
struct Profile {
  // kcal/mol, intermediates 0..2n-1: those of the cycle, then those of the
  // next turn (n..2n-1), raised by DeltaG.
  std::vector<double> G_int;
  double inv_RT = 0.0;        // mol/kcal
  double dG = 0.0;            // DeltaG * inv_RT
  std::vector<double> g_int;  // 0..2n-1, energies in units of RT
  std::vector<double> g_ts;   // 1..n
  double concproduct_reac = 1.0;
  double concproduct_prod = 1.0;
  double driving_force = 0.0;
};

// The terms M(a,b) of the TOF's denominator, a, b = 1..n, element (a,b)
// stored at (a-1)*n + (b-1). Allocated (uninitialised) together with the
// other arrays right after n is read.
struct Terms {
  std::unique_ptr<double[]> complete_matrix;
};

// Which evaluation gave the TOF, the degrees of TOF control, TDI and TDTS:
// the direct one over the terms themselves, or the one over their
// logarithms, which takes over where the direct numbers overflow or
// underflow (see compute_log_space).
enum class EvaluationMethod { direct, log_space };

// "direct" or "log-space", as the outputs of kinex name them.
inline const char* evaluation_name(EvaluationMethod evaluation) {
  return evaluation == EvaluationMethod::direct ? "direct" : "log-space";
}

// What the model finds: the TOF, the degrees of TOF control, TDI and TDTS
// and the steps of the advice.
struct Results {
  double prefactor = 0.0;  // s^-1
  double denominator = 0.0;
  double TOF = 0.0;        // s^-1
  int64_t dominant_a = 0;  // position (a,b) of the largest term
  int64_t dominant_b = 0;
  int64_t TDI = 0;                // step whose starting intermediate is the TDI
  int64_t TDTS = 0;               // step whose transition state is the TDTS
  std::vector<double> xtof_int;   // 0..n-1
  std::vector<double> xtof_ts;    // 1..n
  std::vector<double> sum_reac;   // 1..n; only steps with a reactant
  std::vector<double> sum_prod;   // 1..n; only steps with a product
  std::vector<double> xtof_reac;  // 1..n; meaningful where has_reac is 1
  std::vector<double> xtof_prod;  // 1..n; meaningful where has_prod is 1
  // The steps the advice names, ascending: those with a reactant from the
  // TDI through the TDTS, those with a product from the TDI up to the step
  // before the TDTS (cyclic).
  std::vector<int64_t> reac_steps;
  std::vector<int64_t> prod_steps;
  // The steps of the other intermediates and transition states whose terms
  // tie with the dominant one (see resolve_ties), ascending; empty in the
  // report's evaluation, which takes the single largest term.
  std::vector<int64_t> TDI_ties;
  std::vector<int64_t> TDTS_ties;

  EvaluationMethod evaluation = EvaluationMethod::direct;
  // The share of the denominator held by the terms whose intermediate lies
  // in the next turn of the cycle (their transition state comes at or after
  // their intermediate's step).
  double next_turn_share = 0.0;
  // The backward over the net flux of the numerator: concproduct_prod over
  // the driving force. X_TOF of a reactant is 1 + q less its share of the
  // terms, that of a product -q less its share.
  double q = 0.0;

  // Figures from the logarithms of the cycle (see compute_figures); NaN
  // where they are not defined.
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  // ln and log10 of the TOF's magnitude: from the logarithms of the terms
  // whenever they exist, so right far beyond the range of doubles; else
  // from the TOF itself (-inf for a TOF of 0).
  double ln_TOF = kNone;
  double log10_TOF = kNone;
  // The sign of the TOF: +1 forward, -1 backward, 0 without a net flux or
  // when it is not known.
  int TOF_sign = 0;
  // kcal/mol: the effective span, DeltaG + RT (l - LR) with l the
  // logarithm of the dominant term and LR the sum of the logarithms of the
  // given reactant concentrations, which counts the concentrations (the
  // energetic span without them; NaN where the logarithms do not exist);
  // the apparent barrier -RT ln(TOF h / (k_B T)) where the TOF is
  // positive; and the apparent activation energy RT^2 d ln TOF / dT.
  double effective_span = kNone;
  double apparent_barrier = kNone;
  double apparent_activation_energy = kNone;
};

// One run: the file's name, its limits and the values of each phase.
struct Run {
  // The input file's name as the report and the diagnostics show it:
  // argument 1 in full, trailing blanks removed.
  std::string input_name;
  // Largest number of bytes the run's storage may take; 0 means "what the
  // machine and the process's limits have room for". Tests and the fuzzer
  // set a small value.
  std::size_t memory_limit = 0;
  // Called on the calling thread now and then (at most about 200 times a
  // run) with the share of the model's work done so far, 0..1; empty: not
  // called.
  std::function<void(double)> progress;

  // The names of the states (empty: I0.., TS1..; see model/names.h) and
  // the descriptors of a table's row; the model does not read them.
  StateNames names;
  std::vector<Descriptor> descriptors;

  Cycle cycle;      // the reader's
  Profile profile;  // compute_profile's
  Terms terms;      // compute_tof's
  Results results;  // compute_tof's and compute_control's
};

}  // namespace kinex

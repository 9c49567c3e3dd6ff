// Scans: one cycle evaluated over a range of temperatures or of one step's
// reactant or product concentration, to see where the TDI and TDTS switch,
// as kinex scan runs them.
#pragma once

#include <kinex/run.h>
#include <kinex/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kinex {

// A number as typed, digits * 10^exponent, when that is exact: a plain
// decimal number of at most 19 significant digits; otherwise `exact` is false.
struct TypedDecimal {
  uint64_t digits = 0;
  int64_t exponent = 0;
  bool exact = false;
};

struct Sweep {
  enum class Kind { Temperature, Reactant, Product };
  Kind kind = Kind::Temperature;
  int64_t step = 0;  // the step whose concentration is swept
  double from = 0.0;
  double to = 0.0;
  double by = 0.0;  // temperature: the increment in K; concentration: the factor
  // FROM and STEP (or FACTOR) as typed, so that the values are the decimal
  // numbers asked for; without them (exact false) they follow from the doubles.
  TypedDecimal from_typed, by_typed;
};

struct ScanRow {
  double value = 0.0;  // the swept value of this row
  double TOF = 0.0;    // s^-1
  int64_t TDI = 0;
  int64_t TDTS = 0;
  double energetic_span = 0.0;  // kcal/mol
  bool warning = false;         // the driving force is not positive
  bool tdi_changed = false;     // against the row before; never in the first row
  bool tdts_changed = false;
  // As the results of the model state them (see Results): log10 |TOF| from
  // the logarithms, the evaluation that gave the row, and in kcal/mol the
  // effective span, the apparent barrier and, in temperature scans only
  // (NaN otherwise), the apparent activation energy.
  double log10_TOF = Results::kNone;
  EvaluationMethod evaluation = EvaluationMethod::direct;
  double effective_span = Results::kNone;
  double apparent_barrier = Results::kNone;
  double apparent_activation_energy = Results::kNone;
  // The steps of the states tied with the TDI and the TDTS (see
  // Results::TDI_ties); a move between tied states is no change.
  std::vector<int64_t> TDI_ties, TDTS_ties;
};

namespace features {

// Evaluates the cycle of `run` (its storage had, not yet evaluated) once
// per value of `values` with the swept quantity of `sweep` replaced (T, or
// the step's concentration, which then counts as given), as kinex's outputs
// evaluate it; each row goes to `take` as soon as it is computed, and a
// false from `take` ends the scan (true is returned). A step outside 1..n
// fails with kExitFailed; `failure` says why.
bool run_scan(Run& run, const Sweep& sweep, const std::vector<double>& values,
              const std::function<bool(const ScanRow&)>& take, Failure& failure);

}  // namespace features

}  // namespace kinex

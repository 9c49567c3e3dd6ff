// Many cycles of one number of steps held as arrays (a screening of
// candidate catalysts, the points of a map), evaluated cycle by cycle by the
// same model as kinex's outputs, so with the same bits as one cycle at a
// time, without an object per cycle. The arrays are the caller's; plain
// data and the standard library only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kinex::features {

// The cycles: cycle k (0..count-1) is row k of each count x steps array
// (row-major: element (k, i) at k*steps + i) and element k*T_stride of T
// (k*DeltaG_stride of DeltaG; a stride of 0 gives every cycle the same
// value).
struct CycleArrays {
  int64_t count = 0;          // N >= 0
  int64_t steps = 0;          // n >= 1
  const double* T = nullptr;  // K
  int64_t T_stride = 1;
  const double* DeltaG = nullptr;  // kcal/mol, one turn
  int64_t DeltaG_stride = 1;
  const double* G_int = nullptr;  // kcal/mol: I0 .. I(n-1)
  const double* G_ts = nullptr;   // kcal/mol: TS1 .. TSn
  // mol/L, step 1 first; NaN where a step has no reactant (product). A
  // null pointer: no cycle has any.
  const double* reactant = nullptr;
  const double* product = nullptr;
};

// Where the results go: count elements each, count x steps for the
// degrees of TOF control (row-major, as CycleArrays). A null pointer leaves
// that result out. The quantities are those of kinex's outputs, by the
// names docs/reference/vocabulary.md gives them.
struct ResultArrays {
  double* tof_per_s = nullptr;
  double* log10_tof = nullptr;
  bool* log_space = nullptr;  // the evaluation: true "log-space", false "direct"
  int64_t* tdi_step = nullptr;
  int64_t* tdts_step = nullptr;
  double* energetic_span = nullptr;  // kcal/mol
  double* effective_span = nullptr;
  double* apparent_barrier = nullptr;
  double* apparent_activation_energy = nullptr;
  double* driving_force = nullptr;
  double* xtof_int = nullptr;       // I0 first
  double* xtof_ts = nullptr;        // TS1 first
  double* xtof_reactant = nullptr;  // NaN where the step has no reactant
  double* xtof_product = nullptr;   // NaN where the step has no product
  // The findings of kinex check that the model's results raise, as flags:
  // warning (no-driving-force: the report's warning), negative_barrier,
  // tof_above_limit, energies_look_kj, temperature_looks_celsius and
  // result_not_finite.
  bool* warning = nullptr;
  bool* negative_barrier = nullptr;
  bool* tof_above_limit = nullptr;
  bool* energies_look_kj = nullptr;
  bool* temperature_looks_celsius = nullptr;
  bool* result_not_finite = nullptr;
};

// "" when every cycle can be evaluated, else the first value that cannot,
// named by its argument and index as numpy gives them: a temperature not
// finite and above 0, DeltaG or an energy not finite, a concentration (not
// NaN) not finite and above 0 ("reactant[4, 1]: -0.5 is not above 0: a
// reactant concentration must be positive; NaN marks a step without one").
std::string check_cycle_arrays(const CycleArrays& cycles);

// Evaluates every cycle (check_cycle_arrays passed) into `results`: cycle k
// gives the same bits as that cycle built alone and evaluated by
// kinex::evaluate. The cycles share at most `threads` threads (0: one per
// core; the results do not depend on the number). `stop`, when set, is
// asked on the calling thread now and then; once it answers true no more
// cycles are begun, and false is returned with the results partly
// written. False with `error` when the storage of a cycle cannot be had.
bool evaluate_cycle_arrays(const CycleArrays& cycles, const ResultArrays& results, int threads,
                           const std::function<bool()>& stop, std::string& error);

}  // namespace kinex::features

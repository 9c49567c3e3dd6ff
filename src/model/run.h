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
#include <memory>
#include <string>
#include <vector>

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

  Cycle cycle;      // the reader's
  Profile profile;  // compute_profile's
  Terms terms;      // compute_tof's
  Results results;  // compute_tof's and compute_control's
};

}  // namespace kinex

// Building a cycle by hand for the model tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "model/control.h"
#include "model/evaluate.h"
#include "model/profile.h"
#include "model/run.h"
#include "model/storage.h"
#include "model/tof.h"

namespace kinex::testing {

// One cycle as the input file gives it; an empty optional is a step without
// that concentration ("x").
struct Cycle {
  double T = 298.15;
  std::vector<double> G_int;  // intermediates 0..n-1
  std::vector<double> G_ts;   // transition states 1..n, listed from step 1
  double DeltaG = 0.0;
  std::vector<std::optional<double>> reac;  // steps 1..n; empty vector: none
  std::vector<std::optional<double>> prod;
};

// A run holding the cycle's data, its storage allocated, ready for the model.
inline kinex::Run make_run(const Cycle& cycle) {
  kinex::Run run;
  run.cycle.n = static_cast<int64_t>(cycle.G_int.size());
  run.cycle.T = cycle.T;
  run.cycle.DeltaG = cycle.DeltaG;
  kinex::Failure failure;
  EXPECT_TRUE(kinex::allocate_storage(run, failure)) << failure.message;
  for (int64_t i = 1; i <= run.cycle.n; ++i) {
    run.cycle.G_int[i - 1] = cycle.G_int[i - 1];
    run.cycle.G_ts[i] = cycle.G_ts[i - 1];
    if (!cycle.reac.empty() && cycle.reac[i - 1]) {
      run.cycle.has_reac[i] = true;
      run.cycle.conc_reac[i] = *cycle.reac[i - 1];
    }
    if (!cycle.prod.empty() && cycle.prod[i - 1]) {
      run.cycle.has_prod[i] = true;
      run.cycle.conc_prod[i] = *cycle.prod[i - 1];
    }
  }
  return run;
}

// The whole model, as KINEX.exe runs it.
inline void run_model(kinex::Run& run) { kinex::evaluate_cycle(run); }

// Only the three phases of the direct evaluation, in the order of one run.
inline void run_direct(kinex::Run& run) {
  kinex::compute_profile(run.cycle, run.profile);
  kinex::compute_tof(run.cycle, run.profile, run.terms, run.results);
  kinex::compute_control(run.cycle, run.profile, run.terms, run.results);
}

inline double term(const kinex::Run& run, int64_t a, int64_t b) {
  return run.terms.complete_matrix[(a - 1) * run.cycle.n + (b - 1)];
}

}  // namespace kinex::testing

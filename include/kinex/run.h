// One run of the model over a cycle: the record every phase fills (the
// cycle, its energy profile, the terms of the TOF and the results), and the
// functions that give it its storage and evaluate it as kinex's outputs
// do. Plain data and the standard library only; the index conventions are
// those of kinex/types.h.
#pragma once

#include <kinex/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kinex {

// The terms M(a,b) of the TOF's denominator, a, b = 1..n, element (a,b)
// stored at (a-1)*n + (b-1). Allocated (uninitialised) together with the
// other arrays right after n is read.
struct Terms {
  std::unique_ptr<double[]> complete_matrix;
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

namespace features {

// Gives `run` the storage of a cycle of run.cycle.n steps (n >= 1). False
// with `failure` (kExitNoMemory and the memory diagnostic) when it would
// exceed run.memory_limit (0: what the machine has room for) or cannot be
// had; nothing else of the run is changed.
bool allocate_storage(Run& run, Failure& failure);

// Evaluates `run` (its storage had, the cycle in) as kinex's outputs and
// the library state it: the logarithms of the terms always evaluated, tied
// terms resolved to the earliest. On at most `threads` threads (0: as many
// as pay off; the results do not depend on the number). Never fails.
void evaluate_for_outputs(Run& run, int threads);

// How many runs of `largest_n` steps may have their storage at once in
// this process now (at least 1).
int64_t runs_with_room(int64_t largest_n);

// Runs task(k) once for every k = 0..count-1 on `threads` threads, the
// calling thread among them; done(finished) is called on the calling
// thread now and then with the number of tasks finished. An exception from
// a task is passed on once every thread has stopped.
void parallel_for(int64_t count, int threads, const std::function<void(int64_t)>& task,
                  const std::function<void(int64_t)>& done);

}  // namespace features

}  // namespace kinex

#include "model/evaluate.h"

#include "model/control.h"
#include "model/profile.h"
#include "model/tof.h"

namespace kinex {

void evaluate_cycle(Run& run, int threads, LogSpace /*log_space*/) {
  compute_profile(run.cycle, run.profile);
  compute_tof(run.cycle, run.profile, run.terms, run.results, threads, run.progress);
  compute_control(run.cycle, run.profile, run.terms, run.results, threads, run.progress);
}

}  // namespace kinex

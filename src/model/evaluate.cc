#include "model/evaluate.h"

#include "model/control.h"
#include "model/profile.h"
#include "model/tof.h"

namespace kinex {

void evaluate_cycle(Run& run, int threads) {
  compute_profile(run);
  compute_tof(run, threads);
  compute_control(run, threads);
}

}  // namespace kinex

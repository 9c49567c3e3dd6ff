#include "model/profile.h"

namespace kinex {

void compute_profile(Run& run) { (void)run; }

bool needs_driving_force_warning(const Run& run) { return run.driving_force <= 0.0; }

}  // namespace kinex

#include "model/control.h"

namespace kinex {

void compute_control(Run& run) { (void)run; }

}  // namespace kinex

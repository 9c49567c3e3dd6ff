// Scans for callers of the public headers.
#include "scan/scan.h"

#include <kinex/scan.h>

namespace kinex::features {

bool run_scan(Run& run, const Sweep& sweep, const std::vector<double>& values,
              const std::function<bool(const ScanRow&)>& take, Failure& failure) {
  return kinex::run_scan(run, sweep, values, take, {}, failure);
}

}  // namespace kinex::features

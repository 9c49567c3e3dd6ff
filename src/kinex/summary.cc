#include "kinex/summary.h"

namespace kinex {

double energetic_span(const Run& run) {
  const double span = run.G_ts[run.TDTS] - run.G_int[run.TDI - 1];
  return run.TDTS >= run.TDI ? span : span + run.DeltaG;
}

}  // namespace kinex

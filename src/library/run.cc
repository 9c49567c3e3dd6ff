// The run's storage and evaluation for callers of the public headers.
#include <kinex/run.h>

#include "model/evaluate.h"
#include "model/parallel.h"
#include "model/storage.h"

namespace kinex::features {

bool allocate_storage(Run& run, Failure& failure) { return kinex::allocate_storage(run, failure); }

void evaluate_for_outputs(Run& run, int threads) { evaluate_cycle(run, threads, Use::outputs); }

int64_t runs_with_room(int64_t largest_n) { return kinex::runs_with_room(largest_n); }

void parallel_for(int64_t count, int threads, const std::function<void(int64_t)>& task,
                  const std::function<void(int64_t)>& done) {
  kinex::parallel_for(count, threads, task, done);
}

}  // namespace kinex::features

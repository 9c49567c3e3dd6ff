// Creating the run's storage as soon as the number of steps is known.
#pragma once

#include <cstddef>

#include "driver/run.h"

namespace kinex {

// Bytes the storage of a run of n steps takes (the n x n term matrix and the
// per-step arrays); SIZE_MAX when that does not fit in a size_t.
std::size_t storage_bytes(int64_t n);

// Creates every array of the run from run.n (n >= 1). Fails with status 1 and
// the memory diagnostic, without touching the memory, when the storage would
// exceed run.memory_limit or cannot be had.
bool allocate_storage(Run& run, Failure& failure);

}  // namespace kinex

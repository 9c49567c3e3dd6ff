// Creating the run's storage as soon as the number of steps is known.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kinex/types.h"
#include "model/run.h"
#include "platform/memory.h"

namespace kinex {

// Bytes the storage of a run of n steps takes (the n x n term matrix and the
// per-step arrays); SIZE_MAX when that does not fit in a size_t.
std::size_t storage_bytes(int64_t n);

// The largest storage a run may take in `room`: no more than half the
// installed memory, what is available, and what each limit leaves after what
// is in use, less a reserve for the rest of the run (threads, the report).
std::size_t storage_limit(const MemoryRoom& room);

// How many runs of `largest_n` steps at most may have their storage at
// once in this process now (at least 1): the room asked of the system only
// for storage above 16 MB, as allocate_storage asks it.
int64_t runs_with_room(int64_t largest_n);

// Creates every array of the run from run.cycle.n (n >= 1). Fails with kExitNoMemory and
// the memory diagnostic, without touching the memory, when the storage would
// exceed run.memory_limit (0: storage_limit(current_memory_room()), asked
// only for storage above 16 MB) or cannot be had.
bool allocate_storage(Run& run, Failure& failure);

}  // namespace kinex

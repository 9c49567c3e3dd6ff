// The memory this process may have: what the machine has and what the
// limits set on the process leave it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kinex {

// What the system lets a run have, in bytes. SIZE_MAX stands for a figure
// that is unknown or unlimited.
struct MemoryRoom {
  std::size_t physical = SIZE_MAX;   // memory installed
  std::size_t available = SIZE_MAX;  // memory to be had now without swapping
  // Linux: RLIMIT_AS and the process's address space now. Windows: the job
  // object's limit of a process's memory and what the process has committed.
  std::size_t address_limit = SIZE_MAX;
  std::size_t address_used = 0;
  std::size_t data_limit = SIZE_MAX;  // RLIMIT_DATA (Linux)
  std::size_t data_used = 0;          // the process's data now (Linux)
  // Linux: the memory limit of the process's control group and what the
  // group uses now. Windows: the job object's limit of the whole job's
  // memory, and what this process has committed (the one figure to be had).
  std::size_t group_limit = SIZE_MAX;
  std::size_t group_used = 0;
};

// The room of this process now, read from the system.
MemoryRoom current_memory_room();

}  // namespace kinex

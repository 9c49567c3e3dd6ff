#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include "platform/memory.h"

namespace kinex {
namespace {

std::size_t bytes(unsigned long long value) {
  return value > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(value);
}

// What this process has committed (its private bytes); 0 when unknown.
std::size_t committed_now() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(),
                            reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    return 0;
  }
  return counters.PrivateUsage;
}

}  // namespace

MemoryRoom current_memory_room() {
  MemoryRoom room;
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) {
    room.physical = bytes(status.ullTotalPhys);
    room.available = bytes(status.ullAvailPhys);
  }
  // The job object the process runs in, if any (a batch system's, a
  // container's): its limits per process and for the whole job.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION job{};
  if (QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &job, sizeof job,
                                nullptr)) {
    const DWORD flags = job.BasicLimitInformation.LimitFlags;
    if ((flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) != 0) {
      room.address_limit = bytes(job.ProcessMemoryLimit);
    }
    if ((flags & JOB_OBJECT_LIMIT_JOB_MEMORY) != 0) room.group_limit = bytes(job.JobMemoryLimit);
  }
  if (room.address_limit != SIZE_MAX || room.group_limit != SIZE_MAX) {
    const std::size_t used = committed_now();
    if (room.address_limit != SIZE_MAX) room.address_used = used;
    if (room.group_limit != SIZE_MAX) room.group_used = used;
  }
  return room;
}

}  // namespace kinex

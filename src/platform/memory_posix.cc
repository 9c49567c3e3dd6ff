#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/memory.h"

namespace kinex {
namespace {

// The first number in the file, in `unit` bytes each; SIZE_MAX when the file
// cannot be read or holds none (as "max" in a control group's limit).
std::size_t number_in(const std::string& path, std::string_view key, std::size_t unit) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::size_t at = key.size();
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    std::size_t value = 0;
    const auto [end, ec] = std::from_chars(line.data() + at, line.data() + line.size(), value);
    if (ec != std::errc() || end == line.data() + at) return SIZE_MAX;
    return value > SIZE_MAX / unit ? SIZE_MAX : value * unit;
  }
  return SIZE_MAX;
}

std::size_t limit_of(int resource) {
  struct rlimit limit;
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  return static_cast<std::size_t>(limit.rlim_cur);
}

// The cgroup (v2) directory of this process, or "" when there is none.
std::string group_directory() {
  std::ifstream in("/proc/self/cgroup");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 3, "0::") == 0) return "/sys/fs/cgroup" + line.substr(3);
  }
  return "";
}

}  // namespace

MemoryRoom current_memory_room() {
  MemoryRoom room;
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && page_size > 0) {
    room.physical = static_cast<std::size_t>(pages) * static_cast<std::size_t>(page_size);
  }
  room.available = number_in("/proc/meminfo", "MemAvailable:", 1024);
  room.address_limit = limit_of(RLIMIT_AS);
  room.data_limit = limit_of(RLIMIT_DATA);
  if (room.address_limit != SIZE_MAX) {
    room.address_used = number_in("/proc/self/status", "VmSize:", 1024);
  }
  if (room.data_limit != SIZE_MAX) room.data_used = number_in("/proc/self/status", "VmData:", 1024);
  const std::string group = group_directory();
  if (!group.empty()) {
    room.group_limit = number_in(group + "/memory.max", "", 1);
    if (room.group_limit != SIZE_MAX) room.group_used = number_in(group + "/memory.current", "", 1);
  }
  // A figure that could not be read where a limit is set: assume the worst.
  if (room.address_used == SIZE_MAX) room.address_used = room.address_limit;
  if (room.data_used == SIZE_MAX) room.data_used = room.data_limit;
  if (room.group_used == SIZE_MAX) room.group_used = room.group_limit;
  return room;
}

}  // namespace kinex

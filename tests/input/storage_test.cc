// The memory check: the storage of a run against what the machine has and
// what the process is allowed.
#include "input/storage.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace kinex {
namespace {

constexpr std::size_t MB = std::size_t{1} << 20;
constexpr std::size_t GB = std::size_t{1} << 30;

TEST(Cost, StorageLimitIsTheSmallestRoomLeft) {
  const auto room = [](auto change) {
    MemoryRoom r;
    r.physical = 24 * GB;
    r.available = 20 * GB;
    change(r);
    return r;
  };
  const struct {
    const char* what;
    MemoryRoom room;
    std::size_t limit;
  } cases[] = {
      {"half the installed memory", room([](MemoryRoom&) {}), 12 * GB},
      {"what is available now", room([](MemoryRoom& r) { r.available = 3 * GB; }), 3 * GB},
      {"the address-space limit less its use",
       room([](MemoryRoom& r) { r.address_limit = 2 * GB, r.address_used = 500 * MB; }),
       2 * GB - 500 * MB - 192 * MB},
      {"the data limit less its use",
       room([](MemoryRoom& r) { r.data_limit = 1 * GB, r.data_used = 100 * MB; }),
       1 * GB - 100 * MB - 192 * MB},
      {"the control group's limit less its use",
       room([](MemoryRoom& r) { r.group_limit = 4 * GB, r.group_used = 3 * GB; }),
       1 * GB - 192 * MB},
      {"a limit already used up",
       room([](MemoryRoom& r) { r.address_limit = 100 * MB, r.address_used = 90 * MB; }), 0},
      {"nothing known", MemoryRoom{}, SIZE_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(storage_limit(c.room), c.limit) << c.what;
}

TEST(Cost, CurrentRoomReadsTheProcessLimits) {
  const MemoryRoom room = current_memory_room();
  EXPECT_GT(room.physical, 0u);
  EXPECT_LE(room.available, room.physical);
  // In a child, so that the limit does not bind the other tests.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const struct rlimit limit = {3 * GB, 3 * GB};
    setrlimit(RLIMIT_AS, &limit);
    const MemoryRoom limited = current_memory_room();
    _exit(limited.address_limit == 3 * GB && limited.address_used > 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Cost, MemoryCheckHonoursTheAddressSpaceLimit) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the address sanitizer reserves terabytes of address space";
#endif
  // Under a limit of 1 GB of address space, 10,500 steps (880 MB, which the
  // allocation alone might still get) fail at once with the memory
  // diagnostic, since the run needs room beside its storage; 1,000 steps
  // (8 MB) are had.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const struct rlimit limit = {GB, GB};
    setrlimit(RLIMIT_AS, &limit);
    kinex::Run big;
    big.input_name = "big.txt";
    big.n = 10500;
    Failure failure;
    const bool big_failed = !allocate_storage(big, failure) && failure.status == 1 &&
                            failure.message ==
                                "KINEX.exe: big.txt: cannot hold the arrays for n = 10500 "
                                "steps\nMemory allocation failed\n";
    kinex::Run small;
    small.n = 1000;
    _exit(big_failed && allocate_storage(small, failure) ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace kinex

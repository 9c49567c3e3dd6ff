// The memory check: the storage of a run against what the machine has and
// what the process is allowed.
#include "model/storage.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kinex/types.h"

namespace kinex {
namespace {

constexpr std::size_t MB = std::size_t{1} << 20;
constexpr std::size_t GB = std::size_t{1} << 30;

// The bytes of the arrays allocate_storage made for `run`, each array by its
// capacity: `whole_rows` rounds every array up to whole rows of n + 1
// elements (an array over the n intermediates counts n + 1, one over both
// turns 2n + 2) and the term matrix to (n + 1) x (n + 1), as the estimate
// counts them; otherwise the matrix counts its n x n doubles.
std::size_t array_bytes(const Run& run, bool whole_rows) {
  const auto n = static_cast<std::size_t>(run.cycle.n);
  const std::size_t rows = n + 1;
  const auto bytes = [&](std::size_t elements, std::size_t element_bytes) {
    if (whole_rows) elements = (elements + rows - 1) / rows * rows;
    return elements * element_bytes;
  };
  std::size_t total = whole_rows ? rows * rows * sizeof(double) : n * n * sizeof(double);
  for (const std::vector<double>* v :
       {&run.cycle.G_int, &run.profile.G_int, &run.profile.g_int, &run.cycle.G_ts,
        &run.profile.g_ts, &run.cycle.conc_reac, &run.cycle.conc_prod, &run.results.xtof_int,
        &run.results.xtof_ts, &run.results.sum_reac, &run.results.sum_prod, &run.results.xtof_reac,
        &run.results.xtof_prod}) {
    total += bytes(v->capacity(), sizeof(double));
  }
  // The flags are bits; the estimate counts a byte for each.
  for (const std::vector<bool>* v : {&run.cycle.has_reac, &run.cycle.has_prod}) {
    total += bytes(v->size(), 1);
  }
  return total;
}

// The estimate against what allocate_storage makes: an array added or
// dropped, a wrong per-step byte count or a wrong matrix term shows here.
TEST(Cost, StorageBytesCountWhatARunAllocates) {
  for (const int64_t n : {2, 3, 7, 64, 500}) {
    SCOPED_TRACE("n = " + std::to_string(n));
    kinex::Run run;
    run.cycle.n = n;
    Failure failure;
    ASSERT_TRUE(allocate_storage(run, failure)) << failure.message;
    EXPECT_EQ(storage_bytes(n), array_bytes(run, true));
    EXPECT_GE(storage_bytes(n), array_bytes(run, false));
  }
}

TEST(Cost, StorageBytesBeyondASizeTAreTheLargestSize) {
  static_assert(sizeof(std::size_t) == 8, "the step counts below are those of a 64-bit size_t");
  // The largest n whose storage still fits: 8 (n+1)^2 + 122 (n+1) bytes.
  constexpr int64_t kLargest = 1518500241;
  const struct {
    const char* what;
    int64_t n;
    std::size_t bytes;
  } cases[] = {
      {"no steps", 0, 0},
      {"a negative count", -5, 0},
      {"the largest count that fits", kLargest, 18446744064889498036u},
      {"the per-step arrays overflow the sum", kLargest + 1, SIZE_MAX},
      {"the matrix bytes overflow", (int64_t{1} << 31), SIZE_MAX},
      {"the matrix elements overflow", (int64_t{1} << 32), SIZE_MAX},
      {"the largest int64_t", INT64_MAX, SIZE_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(storage_bytes(c.n), c.bytes) << c.what;
}

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
    big.cycle.n = 10500;
    Failure failure;
    const bool big_failed = !allocate_storage(big, failure) && failure.status == kExitNoMemory &&
                            failure.message ==
                                "big.txt: cannot hold the arrays for n = 10500 "
                                "steps\nMemory allocation failed\n";
    kinex::Run small;
    small.cycle.n = 1000;
    _exit(big_failed && allocate_storage(small, failure) ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace kinex

#include "model/storage.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <new>
#include <string>
#include <string_view>

#include "kinex/types.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

// Per step: G_int as read, G_int and g_int over two turns, G_ts, g_ts, the
// two concentrations and the six X_TOF vectors and sums (doubles), and the
// two flags (a bit each, counted as a byte).
constexpr std::size_t kBytesPerStep = 8 * (1 + 2 + 2 + 1 + 1 + 2 + 6) + 2;

// Room kept for what the run takes besides its storage: thread stacks and
// their allocation arenas, the report text, the program itself.
constexpr std::size_t kReserve = std::size_t{192} << 20;

// Storage up to this size is allocated without asking the system for room.
constexpr std::size_t kSmallStorage = std::size_t{16} << 20;

std::size_t left_of(std::size_t limit, std::size_t used) {
  if (limit == SIZE_MAX) return SIZE_MAX;
  return limit > used + kReserve ? limit - used - kReserve : 0;
}

}  // namespace

std::size_t storage_limit(const MemoryRoom& room) {
  std::size_t limit = room.physical == SIZE_MAX ? SIZE_MAX : room.physical / 2;
  limit = std::min(limit, room.available);
  limit = std::min(limit, left_of(room.address_limit, room.address_used));
  limit = std::min(limit, left_of(room.data_limit, room.data_used));
  limit = std::min(limit, left_of(room.group_limit, room.group_used));
  return limit;
}

std::size_t storage_bytes(int64_t n) {
  if (n <= 0) return 0;
  const std::size_t m = static_cast<std::size_t>(n) + 1;
  if (m > SIZE_MAX / m) return SIZE_MAX;
  const std::size_t square = m * m;
  if (square > SIZE_MAX / sizeof(double)) return SIZE_MAX;
  const std::size_t matrix = square * sizeof(double);
  if (m > (SIZE_MAX - matrix) / kBytesPerStep) return SIZE_MAX;
  return matrix + m * kBytesPerStep;
}

int64_t runs_with_room(int64_t largest_n) {
  const std::size_t needed = storage_bytes(largest_n);
  if (needed <= kSmallStorage) return INT64_MAX;
  const std::size_t limit = storage_limit(current_memory_room());
  const std::size_t runs = needed == 0 ? SIZE_MAX : limit / needed;
  return runs < 1                                      ? 1
         : runs >= static_cast<std::size_t>(INT64_MAX) ? INT64_MAX
                                                       : static_cast<int64_t>(runs);
}

bool allocate_storage(Run& run, Failure& failure) {
  const std::size_t needed = storage_bytes(run.cycle.n);
  // Reading the room takes longer than a small cycle's whole run; storage
  // that small is simply tried (a failure still ends as std::bad_alloc).
  const std::size_t limit = run.memory_limit          ? run.memory_limit
                            : needed <= kSmallStorage ? SIZE_MAX
                                                      : storage_limit(current_memory_room());
  try {
    if (needed > limit) throw std::bad_alloc();
    const auto n = static_cast<std::size_t>(run.cycle.n);
    run.cycle.G_int.assign(n, 0.0);
    run.profile.G_int.assign(2 * n, 0.0);
    run.profile.g_int.assign(2 * n, 0.0);
    run.cycle.G_ts.assign(n + 1, 0.0);
    run.profile.g_ts.assign(n + 1, 0.0);
    run.cycle.conc_reac.assign(n + 1, 1.0);
    run.cycle.conc_prod.assign(n + 1, 1.0);
    run.terms.complete_matrix.reset(new double[n * n]);  // filled by the model
    run.results.xtof_int.assign(n, 0.0);
    run.results.xtof_ts.assign(n + 1, 0.0);
    run.results.sum_reac.assign(n + 1, 0.0);
    run.results.sum_prod.assign(n + 1, 0.0);
    run.results.xtof_reac.assign(n + 1, 0.0);
    run.results.xtof_prod.assign(n + 1, 0.0);
    run.cycle.has_reac.assign(n + 1, false);
    run.cycle.has_prod.assign(n + 1, false);
  } catch (const std::bad_alloc&) {
    std::string reason = "cannot hold the arrays for n = ";
    reason += std::to_string(run.cycle.n);
    reason += " steps";
    failure.status = kExitNoMemory;
    failure.message = text::shown_name(run.input_name);
    failure.message += ": ";
    failure.message += reason;
    failure.message += "\nMemory allocation failed\n";
    // No line: the number of steps is fine, only too many for this machine.
    failure.place = ErrorPlace{run.input_name, 0, 0, std::move(reason)};
    return false;
  }
  return true;
}

}  // namespace kinex

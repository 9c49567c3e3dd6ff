#include "input/storage.h"

#include <unistd.h>

#include <cstdint>
#include <new>
#include <string>

namespace kinex {
namespace {

// Per step: G_int (two turns), g_int (two turns), G_ts, g_ts, the two
// concentrations, the two flags, the six X_TOF vectors and sums, and four
// text fields and cells of at most 100 characters each.
constexpr std::size_t kBytesPerStep = 8 * (2 + 2 + 1 + 1 + 2 + 2 + 6) + 4 * (32 + 104);

std::size_t default_limit() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return std::size_t{1} << 32;
  return static_cast<std::size_t>(pages) / 2 * static_cast<std::size_t>(page_size);
}

}  // namespace

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

bool allocate_storage(Run& run, Failure& failure) {
  const std::size_t limit = run.memory_limit ? run.memory_limit : default_limit();
  const std::size_t needed = storage_bytes(run.n);
  try {
    if (needed > limit) throw std::bad_alloc();
    const auto n = static_cast<std::size_t>(run.n);
    run.G_int.assign(2 * n, 0.0);
    run.g_int.assign(2 * n, 0.0);
    run.G_ts.assign(n + 1, 0.0);
    run.g_ts.assign(n + 1, 0.0);
    run.conc_reac.assign(n + 1, 1.0);
    run.conc_prod.assign(n + 1, 1.0);
    run.complete_matrix.reset(new double[n * n]);  // filled by the model
    run.xtof_int.assign(n, 0.0);
    run.xtof_ts.assign(n + 1, 0.0);
    run.sum_reac.assign(n + 1, 0.0);
    run.sum_prod.assign(n + 1, 0.0);
    run.xtof_reac.assign(n + 1, 0.0);
    run.xtof_prod.assign(n + 1, 0.0);
    run.has_reac.assign(n + 1, 0);
    run.has_prod.assign(n + 1, 0);
    run.reac_text.assign(n + 1, std::string());
    run.prod_text.assign(n + 1, std::string());
    run.xtof_reac_cell.assign(n + 1, std::string());
    run.xtof_prod_cell.assign(n + 1, std::string());
  } catch (const std::bad_alloc&) {
    failure.status = 1;
    failure.message = "KINEX.exe: " + run.input_name + ": cannot hold the arrays for n = " +
                      std::to_string(run.n) + " steps\nMemory allocation failed\n";
    return false;
  }
  return true;
}

}  // namespace kinex

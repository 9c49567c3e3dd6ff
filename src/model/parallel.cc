#include "model/parallel.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kinex {
namespace {

// Below this many steps one thread does the work: a whole cycle then takes
// about a millisecond, and starting threads would eat much of that.
constexpr int64_t kMinStepsForThreads = 200;

}  // namespace

int thread_count(int requested, int64_t n, int64_t tasks) {
  int64_t threads = requested;
  if (threads <= 0) {
    // Asked only for a large cycle: the system answers by reading a file.
    const unsigned hardware = n < kMinStepsForThreads ? 1 : std::thread::hardware_concurrency();
    threads = hardware == 0 ? 1 : static_cast<int64_t>(hardware);
  }
  if (threads > tasks) threads = tasks;
  return threads < 1 ? 1 : static_cast<int>(threads);
}

void parallel_for(int64_t count, int threads, const std::function<void(int64_t)>& task,
                  const std::function<void(int64_t)>& done) {
  if (threads <= 1 || count <= 1) {
    // The calling thread alone, in order: no thread to start and nothing to
    // share, which a small cycle's few tasks would otherwise pay for.
    for (int64_t k = 0; k < count; ++k) {
      task(k);
      if (done) done(k + 1);
    }
    if (done) done(count < 0 ? 0 : count);
    return;
  }
  std::atomic<int64_t> next{0}, finished{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  std::mutex error_mutex;
  // Takes tasks until none are left (or one has failed); the calling thread
  // reports after each of its own.
  auto work = [&](bool caller) {
    for (;;) {
      if (failed.load(std::memory_order_relaxed)) return;
      const int64_t k = next.fetch_add(1, std::memory_order_relaxed);
      if (k >= count) return;
      try {
        task(k);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(error_mutex);
        if (!error) error = std::current_exception();
        failed.store(true, std::memory_order_relaxed);
        return;
      }
      const int64_t now = finished.fetch_add(1, std::memory_order_acq_rel) + 1;
      if (caller && done) done(now);
    }
  };

  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(work, false);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones there are do the rest
    }
  }
  work(true);
  for (std::thread& helper : helpers) helper.join();
  if (error) std::rethrow_exception(error);
  if (done) done(finished.load(std::memory_order_acquire));
}

ModelProgress::ModelProgress(const std::function<void(double)>& progress, const Cycle& cycle,
                             Phase phase) {
  if (!progress) return;
  progress_ = &progress;
  // Estimated operations: the concentration products of compute_tof take
  // about n^3/2 multiplications when any reactant concentration differs
  // from 1, the sums of compute_control about n^2/2 additions per step with
  // a concentration; the rest of either phase grows as n^2.
  const double n = static_cast<double>(cycle.n);
  bool any_factor = false;
  double wanted = 0.0;
  for (int64_t i = 1; i <= cycle.n; ++i) {
    const auto has = [i](const auto& v) { return i < static_cast<int64_t>(v.size()); };
    if (has(cycle.conc_reac) && cycle.conc_reac[i] != 1.0) any_factor = true;
    if (has(cycle.has_reac) && cycle.has_reac[i]) wanted += 1.0;
    if (has(cycle.has_prod) && cycle.has_prod[i]) wanted += 1.0;
  }
  // A multiplication there takes about as long as an addition here.
  const double tof = n * n * (4.0 + (any_factor ? n / 2.0 : 0.0));
  const double control = n * n * (2.0 + wanted / 2.0);
  const double split = tof / (tof + control);
  if (phase == Phase::tof) {
    to_ = split;
  } else {
    from_ = split;
  }
}

void ModelProgress::report(double fraction) {
  if (progress_ == nullptr) return;
  const double share = from_ + (to_ - from_) * fraction;
  if (share < last_ + 0.01 && !(fraction >= 1.0 && share > last_)) return;
  last_ = share;
  (*progress_)(share);
}

}  // namespace kinex

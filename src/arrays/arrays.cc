#include <kinex/arrays.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <thread>

#include "model/evaluate.h"
#include "model/figures.h"
#include "model/parallel.h"
#include "model/profile.h"
#include "model/storage.h"
#include "outputs/check.h"

namespace kinex::features {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Cycles a task evaluates one after the other with the same storage: about
// this many terms in all, so that a task takes a fraction of a millisecond
// whatever n is.
constexpr int64_t kTermsPerTask = 4096;

std::string shown(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", x);
  return text;
}

// "name[k]", "name[k, i]" or "name" (one value for every cycle).
std::string element(const char* name, int64_t k, int64_t i = -1) {
  std::string at = name;
  if (k < 0) return at;
  at += '[';
  at += std::to_string(k);
  if (i >= 0) {
    at += ", ";
    at += std::to_string(i);
  }
  at += ']';
  return at;
}

std::string check_energies(const char* name, const double* values, int64_t count, int64_t n) {
  for (int64_t k = 0; k < count; ++k) {
    for (int64_t i = 0; i < n; ++i) {
      const double x = values[k * n + i];
      if (!std::isfinite(x)) {
        return element(name, k, i) + ": " + shown(x) + " is not a finite energy (row " +
               std::to_string(k) + ")";
      }
    }
  }
  return "";
}

std::string check_concentrations(const char* name, const double* values, int64_t count, int64_t n) {
  if (values == nullptr) return "";
  for (int64_t k = 0; k < count; ++k) {
    for (int64_t i = 0; i < n; ++i) {
      const double c = values[k * n + i];
      if (std::isnan(c) || (std::isfinite(c) && c > 0.0)) continue;
      return element(name, k, i) + ": " + shown(c) +
             (std::isfinite(c) ? " is not above 0" : " is not finite") + ": a " + name +
             " concentration (row " + std::to_string(k) +
             ") must be finite and positive; NaN marks a step without one";
    }
  }
  return "";
}

// One value per cycle, or one for all (stride 0).
std::string check_per_cycle(const char* name, const double* values, int64_t stride, int64_t count,
                            bool kelvin) {
  const int64_t last = stride == 0 ? std::min<int64_t>(count, 1) : count;
  for (int64_t k = 0; k < last; ++k) {
    const double x = values[k * stride];
    const int64_t shown_k = stride == 0 ? -1 : k;
    if (!std::isfinite(x)) return element(name, shown_k) + ": " + shown(x) + " is not finite";
    if (kelvin && !(x > 0.0)) {
      return element(name, shown_k) + ": " + shown(x) + " K is not above 0";
    }
  }
  return "";
}

// Cycle k of the arrays into `cycle`, whose storage is that of n steps, as
// kinex::build_cycle builds it: 1.0 where a step has no concentration.
void load_cycle(const CycleArrays& in, int64_t k, Cycle& cycle) {
  const int64_t n = in.steps;
  cycle.T = in.T[k * in.T_stride];
  cycle.DeltaG = in.DeltaG[k * in.DeltaG_stride];
  const double* G_int = in.G_int + k * n;
  const double* G_ts = in.G_ts + k * n;
  for (int64_t i = 1; i <= n; ++i) {
    cycle.G_int[i - 1] = G_int[i - 1];
    cycle.G_ts[i] = G_ts[i - 1];
    const double r = in.reactant ? in.reactant[k * n + i - 1] : kNaN;
    const double p = in.product ? in.product[k * n + i - 1] : kNaN;
    cycle.has_reac[i] = !std::isnan(r);
    cycle.conc_reac[i] = std::isnan(r) ? 1.0 : r;
    cycle.has_prod[i] = !std::isnan(p);
    cycle.conc_prod[i] = std::isnan(p) ? 1.0 : p;
  }
}

template <class T>
void put(T* into, int64_t k, T value) {
  if (into != nullptr) into[k] = value;
}

// log10 of the TOF's limit k_B T/h, formed once for each prefactor in turn.
struct Log10Limit {
  double prefactor = kNaN, log10 = kNaN;
  double of(double p) {
    if (!(p == prefactor)) prefactor = p, log10 = std::log10(p);
    return log10;
  }
};

// The results of the evaluated `run` into element k (row k) of `out`.
void store(const Run& run, int64_t k, const ResultArrays& out, Log10Limit& limit) {
  const Cycle& cycle = run.cycle;
  const Results& r = run.results;
  const int64_t n = cycle.n;
  put(out.tof_per_s, k, r.TOF);
  put(out.log10_tof, k, r.log10_TOF);
  put(out.log_space, k, r.evaluation == EvaluationMethod::log_space);
  put(out.tdi_step, k, r.TDI);
  put(out.tdts_step, k, r.TDTS);
  const double span = energetic_span(cycle, r);
  put(out.energetic_span, k, span);
  put(out.effective_span, k, r.effective_span);
  put(out.apparent_barrier, k, r.apparent_barrier);
  put(out.apparent_activation_energy, k, r.apparent_activation_energy);
  put(out.driving_force, k, run.profile.driving_force);
  for (int64_t i = 1; i <= n; ++i) {
    const int64_t at = k * n + i - 1;
    put(out.xtof_int, at, r.xtof_int[i - 1]);
    put(out.xtof_ts, at, r.xtof_ts[i]);
    put(out.xtof_reactant, at, cycle.has_reac[i] ? r.xtof_reac[i] : kNaN);
    put(out.xtof_product, at, cycle.has_prod[i] ? r.xtof_prod[i] : kNaN);
  }
  put(out.warning, k, needs_driving_force_warning(run.profile));
  if (out.negative_barrier != nullptr) {
    bool any = false;
    for (int64_t i = 1; i <= n && !any; ++i) any = negative_barrier(cycle, i);
    out.negative_barrier[k] = any;
  }
  if (out.tof_above_limit != nullptr) {
    out.tof_above_limit[k] = tof_above_limit(r, limit.of(r.prefactor));
  }
  put(out.energies_look_kj, k, span_looks_kilojoules(span));
  put(out.temperature_looks_celsius, k, temperature_looks_celsius(cycle.T));
  put(out.result_not_finite, k, results_not_finite(cycle, r));
}

}  // namespace

std::string check_cycle_arrays(const CycleArrays& in) {
  const int64_t N = in.count, n = in.steps;
  std::string error = check_per_cycle("T", in.T, in.T_stride, N, true);
  if (error.empty()) error = check_per_cycle("DeltaG", in.DeltaG, in.DeltaG_stride, N, false);
  if (error.empty()) error = check_energies("G_int", in.G_int, N, n);
  if (error.empty()) error = check_energies("G_ts", in.G_ts, N, n);
  if (error.empty()) error = check_concentrations("reactant", in.reactant, N, n);
  if (error.empty()) error = check_concentrations("product", in.product, N, n);
  return error;
}

bool evaluate_cycle_arrays(const CycleArrays& in, const ResultArrays& out, int threads,
                           const std::function<bool()>& stop, std::string& error) {
  const int64_t N = in.count, n = in.steps;
  if (N <= 0) return true;
  const int64_t per_task = std::max<int64_t>(1, kTermsPerTask / (n * n));
  const int64_t tasks = (N + per_task - 1) / per_task;
  const auto machine = static_cast<int64_t>(std::max(1u, std::thread::hardware_concurrency()));
  int64_t used = threads > 0 ? threads : machine;
  used = std::min({used, tasks, kinex::runs_with_room(n)});

  std::atomic<bool> halted{false};
  std::mutex error_mutex;
  const auto task = [&](int64_t t) {
    if (halted.load(std::memory_order_relaxed)) return;
    Run run;
    run.input_name = "cycle";
    run.cycle.n = n;
    Failure failure;
    if (!kinex::allocate_storage(run, failure)) {
      const std::lock_guard<std::mutex> lock(error_mutex);
      if (error.empty()) error = failure.place.reason;
      halted.store(true);
      return;
    }
    const int64_t end = std::min(N, (t + 1) * per_task);
    Log10Limit limit;
    for (int64_t k = t * per_task; k < end; ++k) {
      load_cycle(in, k, run.cycle);
      evaluate_cycle(run, 1, Use::outputs);
      store(run, k, out, limit);
    }
  };
  kinex::parallel_for(tasks, static_cast<int>(used), task, [&](int64_t) {
    if (stop && !halted.load() && stop()) halted.store(true);
  });
  return !halted.load();
}

}  // namespace kinex::features

#include "model/uncertainty.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "kinex/types.h"
#include "model/evaluate.h"
#include "model/parallel.h"
#include "model/storage.h"
#include "model/uncertainty_internal.h"

namespace kinex {

using namespace uncertainty_detail;

namespace {

// Samples whose sums of X_TOF are formed together; the blocks are added in
// their order, so the sums do not depend on the number of threads.
constexpr int64_t kBlock = 4096;

}  // namespace

bool sample_uncertainty(const Cycle& cycle, const UncertaintyModel& model, int threads,
                        Distribution& out, std::string& error, const std::function<bool()>& stop) {
  out = Distribution{};
  error = check_uncertainty_cycle(cycle);
  if (error.empty()) error = check_uncertainty_model(model, cycle.n);
  if (error.empty()) error = check_sigma_range(cycle, model);
  if (!error.empty()) return false;
  const int64_t n = cycle.n;
  const FastCycle f = prepare(cycle);

  // The central cycle: the values the sums are taken about, and the
  // first-order estimate.
  Scratch central(f);
  const FastResult c = evaluate_fast(f, central);
  const std::vector<double>& sigma = model.sigma;
  const bool driving_force_fixed =
      sigma[0] == sigma[2 * n] && (model.correlation == 1.0 || sigma[0] == 0.0);
  if (c.sign == 0 && driving_force_fixed) {
    error =
        "the cycle has no net driving force and the uncertainty model leaves DeltaG unchanged: "
        "the TOF is 0 in every sample";
    return false;
  }
  if (!reserve_samples(model.samples, out, error, stop)) return false;
  out.central_log10_TOF = c.ln_TOF / std::log(10.0);
  out.central_TOF_sign = c.sign;
  out.central_TDI = c.a;
  out.central_TDTS = (c.a + c.b - 2) % n + 1;
  {
    const std::vector<double> g = gradient(f, central, c);
    double squares = 0.0, sum = 0.0;
    for (std::size_t s = 0; s < g.size(); ++s) {
      const double gs = g[s] * sigma[s];
      squares = squares + gs * gs;
      sum = sum + gs;
    }
    const double rho = model.correlation;
    out.first_order_sd = std::sqrt((1.0 - rho) * squares + rho * (sum * sum)) / std::log(10.0);
  }
  const std::vector<double> centre = central.control;
  const int64_t controls = f.controls();

  const Drawer drawer(model, n);
  const int64_t blocks = (model.samples + kBlock - 1) / kBlock;
  std::vector<BlockSums> sums;
  try {
    sums.assign(blocks, BlockSums(controls, n));
  } catch (const std::bad_alloc&) {
    out = Distribution{};
    error = "the storage of the sums of the samples cannot be had";
    return false;
  }
  const double ln10 = std::log(10.0);
  std::atomic<bool> stopped{false};
  auto block = [&](int64_t index) {
    if (stopped.load(std::memory_order_relaxed)) return;
    Scratch w(f);
    Draws draws = drawer.draws();
    BlockSums& s = sums[index];
    const int64_t first = index * kBlock, end = std::min(first + kBlock, model.samples);
    for (int64_t k = first; k < end; ++k) {
      drawer.errors(k, draws, w.e.data());
      const FastResult r = evaluate_fast(f, w);
      const int64_t tdi = r.a, tdts = (r.a + r.b - 2) % n + 1;
      out.log10_TOF[k] = r.ln_TOF / ln10;
      out.TOF_sign[k] = static_cast<int8_t>(r.sign);
      out.TDI[k] = static_cast<int32_t>(tdi);
      out.TDTS[k] = static_cast<int32_t>(tdts);
      s.add(w.control.data(), centre.data(), tdi, tdts);
    }
  };
  int count = threads;
  if (count <= 0) {
    const unsigned hardware = std::thread::hardware_concurrency();
    count = hardware == 0 ? 1 : static_cast<int>(hardware);
  }
  if (count > blocks) count = static_cast<int>(blocks);
  parallel_for(blocks, count, block, [&](int64_t) {
    if (stop && !stopped.load(std::memory_order_relaxed) && stop()) stopped.store(true);
  });
  if (stopped.load()) {
    out = Distribution{};
    error = "stopped";
    return false;
  }

  BlockSums total(controls, n);
  for (const BlockSums& s : sums) total.add(s);
  summarise(n, f.reac, f.prod, total, centre, out);
  return true;
}

bool ensemble_uncertainty(const std::vector<Cycle>& members, Distribution& out, std::string& error,
                          const std::vector<std::string>& names) {
  out = Distribution{};
  if (members.empty()) {
    error = "an ensemble needs at least one member";
    return false;
  }
  // A member by its name where every member has a name of its own, else by
  // its place counted from 1.
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  const bool named = names.size() == members.size() &&
                     std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end() &&
                     std::none_of(names.begin(), names.end(),
                                  [](const std::string& name) { return name.empty(); });
  const auto member = [&](std::size_t m) {
    return "member " + (named ? names[m] : std::to_string(m + 1));
  };
  const std::string first_member = member(0);
  const Cycle& first = members[0];
  for (std::size_t m = 0; m < members.size(); ++m) {
    const Cycle& c = members[m];
    error = check_uncertainty_cycle(c);
    std::string which = member(m);
    if (!error.empty()) {
      which += ": ";
      which += error;
      error = which;
      return false;
    }
    std::string differs;
    const ConditionDifference difference = condition_difference(c, first);
    switch (difference.what) {
      case ConditionDifference::What::none:
        break;
      case ConditionDifference::What::steps:
        differs = " has ";
        differs += std::to_string(c.n);
        differs += " steps, " + first_member + " ";
        differs += std::to_string(first.n);
        break;
      case ConditionDifference::What::temperature:
        differs = " is at T ";
        differs += number(c.T);
        differs += " K, " + first_member + " at ";
        differs += number(first.T);
        break;
      case ConditionDifference::What::reactant:
      case ConditionDifference::What::product:
        differs = " differs from " + first_member + " in the ";
        differs += difference.what == ConditionDifference::What::product ? "product" : "reactant";
        differs += " concentration of step ";
        differs += std::to_string(difference.step);
        break;
    }
    if (!differs.empty()) {
      which += differs;
      error = which;
      return false;
    }
  }

  const int64_t n = first.n;
  const auto N = static_cast<int64_t>(members.size());
  if (!reserve_samples(N, out, error, {})) return false;
  FastCycle shape;  // the steps with concentrations
  shape.n = n;
  for (int64_t i = 1; i <= n; ++i) {
    if (first.has_reac[i]) shape.reac.push_back(i);
    if (first.has_prod[i]) shape.prod.push_back(i);
  }
  const int64_t controls = shape.controls();
  std::vector<double> x(controls), centre;
  BlockSums total(controls, n);
  for (int64_t m = 0; m < N; ++m) {
    Run run;
    run.cycle.n = n;
    Failure failure;
    if (!allocate_storage(run, failure)) {
      out = Distribution{};
      error = member(static_cast<std::size_t>(m));
      error += ": ";
      error += failure.message;
      while (!error.empty() && error.back() == '\n') error.pop_back();
      return false;
    }
    run.cycle = members[m];
    evaluate_cycle(run, 1, Use::outputs);
    const Results& r = run.results;
    for (int64_t k = 0; k < n; ++k) x[k] = r.xtof_int[k];
    for (int64_t i = 1; i <= n; ++i) x[n + i - 1] = r.xtof_ts[i];
    int64_t j = 2 * n;
    for (const int64_t i : shape.reac) x[j++] = r.xtof_reac[i];
    for (const int64_t i : shape.prod) x[j++] = r.xtof_prod[i];
    if (m == 0) {
      centre = x;
      out.central_log10_TOF = r.log10_TOF;
      out.central_TOF_sign = r.TOF_sign;
      out.central_TDI = r.TDI;
      out.central_TDTS = r.TDTS;
    }
    out.log10_TOF[m] = r.log10_TOF;
    out.TOF_sign[m] = static_cast<int8_t>(r.TOF_sign);
    out.TDI[m] = static_cast<int32_t>(r.TDI);
    out.TDTS[m] = static_cast<int32_t>(r.TDTS);
    total.add(x.data(), centre.data(), r.TDI, r.TDTS);
  }
  summarise(n, shape.reac, shape.prod, total, centre, out);
  out.first_order_sd = Results::kNone;
  return true;
}

}  // namespace kinex

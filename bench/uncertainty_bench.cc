// Speed of the Monte Carlo over the energies (sample_uncertainty).
//
//   BM_Uncertainty/n/threads/shared_percent: samples per second
//   ("items_per_second") of a cycle of n steps with a reactant and a product
//   concentration at every step, sigma 1 kcal/mol on every state,
//   correlation 0.3 and a share of the errors common to a screening's
//   catalysts of 50 % (two normals per state, the dearest case) or 0 % (one
//   catalyst: one normal per state); on one thread and on two (wall clock).
//   200'000 samples an iteration.
//
// bench/uncertainty_numpy.py does the same sampling the way numpy code would
// vectorise it, for comparison:
//   build/bench/kinex_bench --benchmark_filter=Uncertainty
//   /usr/bin/python3 bench/uncertainty_numpy.py
#include <benchmark/benchmark.h>
#include <kinex/kinex.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "model/run.h"
#include "model/uncertainty.h"

namespace {

constexpr int64_t kSamples = 200'000;

// n steps with energies in a plausible range and every concentration near 1.
kinex::Cycle bench_cycle(int64_t n) {
  std::mt19937_64 engine(777 + n);
  std::uniform_real_distribution<double> energy(-10.0, 10.0), conc(0.5, 2.0);
  std::vector<kinex::StepInput> steps;
  for (int64_t i = 1; i <= n; ++i) {
    kinex::StepInput step;
    step.G_int = i == 1 ? 0.0 : energy(engine);
    step.G_ts = energy(engine) + 20.0;
    step.reactant = conc(engine);
    step.product = conc(engine);
    steps.push_back(step);
  }
  kinex::Cycle c;
  std::string error;
  kinex::build_cycle(298.15, steps, -15.0, c, error);
  return c;
}

void BM_Uncertainty(benchmark::State& state) {
  const kinex::Cycle cycle = bench_cycle(state.range(0));
  kinex::UncertaintyModel model;
  model.sigma.assign(kinex::uncertainty_states(cycle.n), 1.0);
  model.correlation = 0.3;
  model.shared = static_cast<double>(state.range(2)) / 100.0;
  model.samples = kSamples;
  kinex::Distribution out;
  std::string error;
  for (auto _ : state) {
    if (!kinex::sample_uncertainty(cycle, model, static_cast<int>(state.range(1)), out, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(out.mean);
    ++model.seed;
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_Uncertainty)
    ->ArgNames({"n", "threads", "shared_percent"})
    ->Args({3, 1, 50})
    ->Args({3, 2, 50})
    ->Args({10, 1, 50})
    ->Args({10, 2, 50})
    ->Args({30, 1, 50})
    ->Args({30, 2, 50})
    ->Args({3, 1, 0})
    ->Args({10, 1, 0})
    ->Args({10, 2, 0})
    ->Args({30, 1, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

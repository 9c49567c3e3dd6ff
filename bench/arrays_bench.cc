// Speed of many cycles held as arrays (evaluate_cycle_arrays), as a
// screening or a map evaluates them; bench/arrays_bench.py sets the same
// through Python beside a numpy screening.
//
//   BM_CycleArrays/steps/threads: 100,000 random cycles an iteration,
//   every result written (the TOF, the figures, every X_TOF, the flags);
//   items_per_second is cycles per second.
//
//   build/bench/kinex_bench --benchmark_filter=CycleArrays
#include <benchmark/benchmark.h>
#include <kinex/arrays.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

void BM_CycleArrays(benchmark::State& state) {
  const int64_t N = 100000, n = state.range(0);
  const auto threads = static_cast<int>(state.range(1));
  std::mt19937_64 engine(29);
  std::uniform_real_distribution<double> intermediate(-20.0, 0.0), barrier(5.0, 25.0);
  const auto values = static_cast<std::size_t>(N * n);
  std::vector<double> G_int(values), G_ts(values);
  for (std::size_t k = 0; k < values; ++k) {
    G_int[k] = k % static_cast<std::size_t>(n) == 0 ? 0.0 : intermediate(engine);
    G_ts[k] = G_int[k] + barrier(engine);
  }
  const double T = 298.15, DeltaG = -15.0;
  kinex::features::CycleArrays in;
  in.count = N;
  in.steps = n;
  in.T = &T;
  in.T_stride = 0;
  in.DeltaG = &DeltaG;
  in.DeltaG_stride = 0;
  in.G_int = G_int.data();
  in.G_ts = G_ts.data();
  std::vector<double> per_cycle(static_cast<std::size_t>(N) * 7), per_step(values * 4);
  std::vector<int64_t> steps(static_cast<std::size_t>(N) * 2);
  std::vector<char> flags(static_cast<std::size_t>(N) * 7);
  auto* flag = reinterpret_cast<bool*>(flags.data());
  kinex::features::ResultArrays out;
  double* d = per_cycle.data();
  out.tof_per_s = d;
  out.log10_tof = d + N;
  out.energetic_span = d + 2 * N;
  out.effective_span = d + 3 * N;
  out.apparent_barrier = d + 4 * N;
  out.apparent_activation_energy = d + 5 * N;
  out.driving_force = d + 6 * N;
  out.tdi_step = steps.data();
  out.tdts_step = steps.data() + N;
  out.xtof_int = per_step.data();
  out.xtof_ts = per_step.data() + values;
  out.xtof_reactant = per_step.data() + 2 * values;
  out.xtof_product = per_step.data() + 3 * values;
  out.log_space = flag;
  out.warning = flag + N;
  out.negative_barrier = flag + 2 * N;
  out.tof_above_limit = flag + 3 * N;
  out.energies_look_kj = flag + 4 * N;
  out.temperature_looks_celsius = flag + 5 * N;
  out.result_not_finite = flag + 6 * N;
  std::string error;
  for (auto _ : state) {
    kinex::features::evaluate_cycle_arrays(in, out, threads, {}, error);
    benchmark::DoNotOptimize(per_cycle.data());
  }
  state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_CycleArrays)
    ->ArgNames({"steps", "threads"})
    ->Args({3, 1})
    ->Args({3, 2})
    ->Args({10, 1})
    ->Args({30, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

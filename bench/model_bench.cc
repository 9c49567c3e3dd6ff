// Speed of the kinetic model and of whole runs.
//
//   model phases:  BM_Profile / BM_Tof / BM_Control / BM_Model on cycles of
//                  n steps, with every concentration given (/1) or none (/0);
//   log space:     BM_SoundnessCheck, what evaluate_cycle adds where the
//                  direct results stand; BM_LogSpace, the evaluation over
//                  the terms' logarithms where they do not (and in kinex);
//   whole runs:    BM_WholeRun reads a generated input file, runs the model
//                  and renders the report (banner off), in process.
//
// Sizes n = 3 (/1: the three-step example; /0: three steps without any
// concentration), 30, 300, 1000 and 3000. The third argument of the model
// phases is the number of threads: 0 as many as pay off, 1 one thread.
// n = 1000 and 3000 with every concentration run on one thread and on as
// many as pay off, timed by the wall clock; n = 3000 takes most of a second
// per iteration and runs a fixed few iterations.
// Medians of five repetitions, for instance of the whole runs:
//   build/bench/kinex_bench --benchmark_filter=WholeRun --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "model/control.h"
#include "model/evaluate.h"
#include "model/figures.h"
#include "model/log_space.h"
#include "model/profile.h"
#include "model/run.h"
#include "model/storage.h"
#include "model/tof.h"

namespace {

struct Step {
  double g_int, g_ts;
  double reac, prod;  // 0: not given
};

// A cycle of n steps with energies in a plausible range; with `concentrations`
// every step has a reactant and a product concentration near 1 (their
// products stay clear of underflow, as in a real cycle).
std::vector<Step> make_cycle(int64_t n, bool concentrations) {
  std::mt19937_64 engine(12345 + n);
  std::uniform_real_distribution<double> energy(-10.0, 10.0), conc(0.5, 2.0);
  std::vector<Step> steps(n);
  for (Step& s : steps) {
    s.g_int = std::round(energy(engine) * 10.0) / 10.0;
    s.g_ts = std::round((energy(engine) + 20.0) * 10.0) / 10.0;
    s.reac = concentrations ? std::round(conc(engine) * 100.0) / 100.0 : 0.0;
    s.prod = concentrations ? std::round(conc(engine) * 100.0) / 100.0 : 0.0;
  }
  return steps;
}

kinex::Run make_run(const std::vector<Step>& steps) {
  kinex::Run run;
  run.cycle.n = static_cast<int64_t>(steps.size());
  run.cycle.T = 298.15;
  run.cycle.DeltaG = -10.0;
  kinex::Failure failure;
  if (!kinex::allocate_storage(run, failure)) std::abort();
  for (int64_t i = 1; i <= run.cycle.n; ++i) {
    const Step& s = steps[i - 1];
    run.cycle.G_int[i - 1] = s.g_int;
    run.cycle.G_ts[i] = s.g_ts;
    if (s.reac != 0.0) run.cycle.has_reac[i] = true, run.cycle.conc_reac[i] = s.reac;
    if (s.prod != 0.0) run.cycle.has_prod[i] = true, run.cycle.conc_prod[i] = s.prod;
  }
  return run;
}

kinex::Run make_three_step() {
  return make_run({{0.0, 15.2, 0.0, 0.0}, {-5.1, 20.3, 0.5, 0.0}, {-2.0, 12.0, 0.0, 1.0e-3}});
}

bool is_three_step_example(const benchmark::State& state) {
  return state.range(0) == 3 && state.range(1) != 0;
}

kinex::Run run_for(const benchmark::State& state) {
  if (is_three_step_example(state)) return make_three_step();
  return make_run(make_cycle(state.range(0), state.range(1) != 0));
}

void BM_Profile(benchmark::State& state) {
  kinex::Run run = run_for(state);
  for (auto _ : state) {
    kinex::compute_profile(run.cycle, run.profile);
    benchmark::DoNotOptimize(run.profile.driving_force);
  }
}

int threads_for(const benchmark::State& state) { return static_cast<int>(state.range(2)); }

void BM_Tof(benchmark::State& state) {
  kinex::Run run = run_for(state);
  kinex::compute_profile(run.cycle, run.profile);
  for (auto _ : state) {
    kinex::compute_tof(run.cycle, run.profile, run.terms, run.results, threads_for(state));
    benchmark::DoNotOptimize(run.results.TOF);
  }
}

void BM_Control(benchmark::State& state) {
  kinex::Run run = run_for(state);
  kinex::compute_profile(run.cycle, run.profile);
  kinex::compute_tof(run.cycle, run.profile, run.terms, run.results);
  for (auto _ : state) {
    kinex::compute_control(run.cycle, run.profile, run.terms, run.results, threads_for(state));
    benchmark::DoNotOptimize(run.results.xtof_reac.data());
  }
}

// The three phases on a fresh run each time, storage included.
void BM_Model(benchmark::State& state) {
  const std::vector<Step> steps = make_cycle(state.range(0), state.range(1) != 0);
  for (auto _ : state) {
    kinex::Run run = is_three_step_example(state) ? make_three_step() : make_run(steps);
    kinex::evaluate_cycle(run, threads_for(state));
    benchmark::DoNotOptimize(run.results.TOF);
  }
}

// The run of the benchmark's cycle after the three direct phases.
kinex::Run directly_evaluated(const benchmark::State& state) {
  kinex::Run run = run_for(state);
  kinex::compute_profile(run.cycle, run.profile);
  kinex::compute_tof(run.cycle, run.profile, run.terms, run.results);
  kinex::compute_control(run.cycle, run.profile, run.terms, run.results);
  return run;
}

// What the evaluation adds to the three direct phases where their results
// stand: the check that they are sound, whether the logarithms exist, and
// the figures (spans, barriers, log10 TOF).
void BM_SoundnessCheck(benchmark::State& state) {
  kinex::Run run = directly_evaluated(state);
  for (auto _ : state) {
    const bool sound = kinex::direct_results_sound(run.cycle, run.profile, run.results);
    const bool logarithms = kinex::logarithms_exist(run.cycle, run.profile);
    kinex::compute_figures(run.cycle, logarithms, run.results);
    benchmark::DoNotOptimize(sound);
    benchmark::DoNotOptimize(run.results.effective_span);
  }
}

// The evaluation over the logarithms alone: what a cycle past the boundary
// costs on top of the direct one, and what kinex adds for log10 TOF.
void BM_LogSpace(benchmark::State& state) {
  kinex::Run run = directly_evaluated(state);
  for (auto _ : state) {
    kinex::Results results = run.results;
    kinex::compute_log_space(run.cycle, run.profile, run.terms, results, threads_for(state));
    benchmark::DoNotOptimize(results.ln_TOF);
  }
}

void write_input(const std::string& path, const std::vector<Step>& steps) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fprintf(f, "298.15\n%zu\n", steps.size());
  for (const Step& s : steps) {
    std::string reac = s.reac != 0.0 ? std::to_string(s.reac) : "x";
    std::string prod = s.prod != 0.0 ? std::to_string(s.prod) : "x";
    std::fprintf(f, "%.1f %.1f %s %s\n", s.g_int, s.g_ts, reac.c_str(), prod.c_str());
  }
  std::fprintf(f, "-10.0\n");
  std::fclose(f);
}

void BM_WholeRun(benchmark::State& state) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("kinex_bench_" + std::to_string(state.range(0)) +
                                                 "_" + std::to_string(state.range(1)) + ".txt"))
          .string();
  if (is_three_step_example(state)) {
    write_input(path, {{0.0, 15.2, 0.0, 0.0}, {-5.1, 20.3, 0.5, 0.0}, {-2.0, 12.0, 0.0, 1.0e-3}});
  } else {
    write_input(path, make_cycle(state.range(0), state.range(1) != 0));
  }
  for (auto _ : state) {
    std::string out, err;
    const int status = kinex::run_program({path, "l"}, out, err);
    if (status != 0) {
      state.SkipWithError(("status " + std::to_string(status) + ": " + err).c_str());
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  std::filesystem::remove(path);
}

// {n, every concentration given (1) or none (0), threads}.
void Sizes(benchmark::internal::Benchmark* b) {
  for (int64_t n : {3, 30, 300}) b->Args({n, 1, 0})->Args({n, 0, 0});
  b->Args({1000, 0, 0})->Args({3000, 0, 0});
  b->Unit(benchmark::kMicrosecond)->UseRealTime();
}

// Every concentration, one thread and as many as pay off: wall time.
void Threads(benchmark::internal::Benchmark* b) {
  b->Args({1000, 1, 1})->Args({1000, 1, 0})->Unit(benchmark::kMicrosecond)->UseRealTime();
}

// Most of a second per iteration: a few iterations are enough.
void Heavy(benchmark::internal::Benchmark* b) {
  b->Args({3000, 1, 1})->Args({3000, 1, 0})->Iterations(3)->Unit(benchmark::kMicrosecond);
  b->UseRealTime();
}

// The whole runs: {n, every concentration given (1) or none (0)}.
void RunSizes(benchmark::internal::Benchmark* b) {
  for (int64_t n : {3, 30, 300, 1000}) b->Args({n, 1})->Args({n, 0});
  b->Args({3000, 0});
  b->Unit(benchmark::kMicrosecond)->UseRealTime();
}

void HeavyRun(benchmark::internal::Benchmark* b) {
  b->Args({3000, 1})->Iterations(3)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_Profile)->Apply(RunSizes)->Args({3000, 1});
BENCHMARK(BM_Tof)->Apply(Sizes);
BENCHMARK(BM_Tof)->Apply(Threads);
BENCHMARK(BM_Tof)->Apply(Heavy);
BENCHMARK(BM_Control)->Apply(Sizes);
BENCHMARK(BM_Control)->Apply(Threads);
BENCHMARK(BM_Control)->Apply(Heavy);
BENCHMARK(BM_Model)->Apply(Sizes);
BENCHMARK(BM_Model)->Apply(Threads);
BENCHMARK(BM_Model)->Apply(Heavy);
BENCHMARK(BM_SoundnessCheck)->Apply(Sizes)->Args({1000, 1, 0})->Args({3000, 1, 0});
BENCHMARK(BM_LogSpace)->Apply(Sizes);
BENCHMARK(BM_LogSpace)->Apply(Threads);
BENCHMARK(BM_LogSpace)->Apply(Heavy);
BENCHMARK(BM_WholeRun)->Apply(RunSizes);
BENCHMARK(BM_WholeRun)->Apply(HeavyRun);

BENCHMARK_MAIN();

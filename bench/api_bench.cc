// The library's one-call evaluation of a small cycle: what a C++ program
// pays per cycle, against which the Python package's call is measured
// (bench/python_bench.py).
#include <benchmark/benchmark.h>
#include <kinex/kinex.h>

namespace {

// The five-step example cycle, every concentration 1.
kinex::Cycle five_step() {
  const std::vector<kinex::StepInput> steps{{0.0, 5.0, 1.0, 1.0},
                                            {0.0, 20.0, 1.0, 1.0},
                                            {0.0, 5.0, 1.0, 1.0},
                                            {-15.0, 5.0, 1.0, 1.0},
                                            {0.0, 5.0, 1.0, 1.0}};
  kinex::Cycle cycle;
  std::string error;
  kinex::build_cycle(298.15, steps, -5.0, cycle, error);
  return cycle;
}

void BM_ApiEvaluateFiveSteps(benchmark::State& state) {
  const kinex::Cycle cycle = five_step();
  for (auto _ : state) {
    kinex::Evaluation evaluation;
    kinex::Failure failure;
    benchmark::DoNotOptimize(kinex::evaluate(cycle, evaluation, failure, 1));
    benchmark::DoNotOptimize(evaluation.results.TOF);
  }
}

}  // namespace

BENCHMARK(BM_ApiEvaluateFiveSteps);

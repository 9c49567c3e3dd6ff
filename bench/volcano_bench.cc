// Speed of a whole volcano (build_volcano): the fits, 200 curve points and
// the band of `draws` joint draws of the lines, each evaluated at every
// point.
//
//   BM_Volcano/steps/rows/draws: one volcano an iteration, of a table of
//   `rows` catalysts whose states follow a descriptor with a scatter of
//   0.5 kcal/mol, every step with its own transition-state column.
//
//   build/bench/kinex_bench --benchmark_filter=Volcano
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "input/table.h"
#include "kinex/volcano.h"

namespace {

std::string volcano_table(int64_t steps, int64_t rows) {
  std::mt19937_64 engine(99);
  std::normal_distribution<double> scatter(0.0, 0.5);
  std::string text = "Catalyst,Descriptor d";
  for (int64_t k = 0; k < steps; ++k) {
    text.append(",I").append(std::to_string(k));
    text.append(",TS").append(std::to_string(k + 1));
  }
  text += ",P\n";
  for (int64_t r = 0; r < rows; ++r) {
    const double d = -10.0 + 10.0 * static_cast<double>(r) / static_cast<double>(rows - 1);
    text.append("cat").append(std::to_string(r)).append(",").append(std::to_string(d));
    for (int64_t k = 0; k < steps; ++k) {
      const double slope = 0.2 + 0.6 * static_cast<double>(k % 3) / 2.0;
      const double intermediate = k == 0 ? 0.0 : -2.0 * static_cast<double>(k) + slope * d;
      text.append(",").append(std::to_string(intermediate + (k == 0 ? 0.0 : scatter(engine))));
      text.append(",").append(std::to_string(18.0 - 2.0 * static_cast<double>(k) +
                                             (0.9 - slope) * d + scatter(engine)));
    }
    text += ",-20\n";
  }
  return text;
}

void BM_Volcano(benchmark::State& state) {
  const std::string text = volcano_table(state.range(0), state.range(1));
  std::vector<kinex::TableRow> rows;
  std::string error;
  if (!kinex::parse_table("bench.csv", text, 298.15, rows, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  kinex::VolcanoOptions options;
  options.samples = state.range(2);
  for (auto _ : state) {
    kinex::Volcano volcano;
    if (!kinex::build_volcano(rows, options, volcano, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(volcano.log10_TOF.data());
  }
  state.counters["evaluations_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * 200 * (state.range(2) + 1)),
                         benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Volcano)
    ->Args({3, 12, 1000})
    ->Args({3, 12, 0})
    ->Args({10, 50, 1000})
    ->Unit(benchmark::kMillisecond);

}  // namespace

// Speed of a whole volcano (build_volcano): the fits, 200 curve points and
// the band of `draws` joint draws of the lines, each evaluated at every
// point.
//
//   BM_Volcano/steps/rows/draws: one volcano an iteration, of a table of
//   `rows` catalysts whose states follow a descriptor with a scatter of
//   0.5 kcal/mol, every step with its own transition-state column. The
//   cases without draws from 2,000 to 128,000 rows show the time linear in
//   the rows.
//
//   BM_VolcanoIntermediatesOnly/intermediates/rows/draws: the same of a
//   table of intermediates only, as published screening tables often are:
//   every transition state is implied, every step barrier-free, and the
//   terms of the curve tie with each other all along it. 582 rows is the
//   largest such table the volcanoes were checked on.
//
//   build/bench/kinex_bench --benchmark_filter=Volcano
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "input/table.h"
#include "volcano/volcano.h"

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

// Intermediates only, I0 at 0 and a product 30 kcal/mol below it, each
// intermediate on a line of its own with a scatter of 2 kcal/mol.
std::string intermediates_table(int64_t intermediates, int64_t rows) {
  std::mt19937_64 engine(7);
  std::normal_distribution<double> scatter(0.0, 2.0);
  std::string text = "Catalyst,Descriptor d";
  for (int64_t k = 0; k < intermediates; ++k) text.append(",I").append(std::to_string(k));
  text += ",P\n";
  for (int64_t r = 0; r < rows; ++r) {
    const double d = -20.0 + 20.0 * static_cast<double>(r) / static_cast<double>(rows - 1);
    text.append("cat").append(std::to_string(r)).append(",").append(std::to_string(d));
    text += ",0";
    for (int64_t k = 1; k < intermediates; ++k) {
      const double slope = 0.3 + 0.9 * static_cast<double>(k % 4) / 3.0;
      text.append(",").append(
          std::to_string(slope * d - 1.5 * static_cast<double>(k) + scatter(engine)));
    }
    text += ",-30\n";
  }
  return text;
}

void run_volcano(benchmark::State& state, const std::string& text) {
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

void BM_Volcano(benchmark::State& state) {
  run_volcano(state, volcano_table(state.range(0), state.range(1)));
}

void BM_VolcanoIntermediatesOnly(benchmark::State& state) {
  run_volcano(state, intermediates_table(state.range(0), state.range(1)));
}

BENCHMARK(BM_Volcano)
    ->Args({3, 12, 1000})
    ->Args({3, 12, 0})
    ->Args({10, 50, 1000})
    ->Args({3, 2000, 0})
    ->Args({3, 16000, 0})
    ->Args({3, 128000, 0})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_VolcanoIntermediatesOnly)
    ->Args({6, 582, 1000})
    ->Args({4, 8, 1000})
    ->Unit(benchmark::kMillisecond);

}  // namespace

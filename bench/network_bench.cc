// Speed of a network's evaluation (evaluate_network): the steady state,
// every rate and every degree of control.
//
//   BM_NetworkCycleWithBranches/states: a cycle of states/2 states, each
//   with an off-cycle state beside it (a resting state, a dimer), every
//   third step releasing one of three products and every step of the
//   cycle consuming a reactant at every fifth step: about 1.5 steps a
//   state, as mechanisms are.
//   BM_NetworkMesh/states: states joined each to the next four (a dense
//   mechanism, 4 steps a state), with a turn closed every tenth state.
//
//   build/bench/kinex_bench --benchmark_filter=Network
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "network/network.h"

namespace {

using kinex::network::Network;
using kinex::network::Step;

Network network_of(int64_t states, int64_t reach, std::mt19937_64& engine) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Network network;
  network.T = 298.15;
  for (const char* name : {"ArX", "P1", "P2", "P3"}) {
    network.species.push_back({name, name[0] == 'A' ? 0.5 : 1e-3, 0});
  }
  for (int64_t s = 0; s < states; ++s) {
    network.states.push_back({std::string("S").append(std::to_string(s)), -10.0 * unit(engine), 0});
  }
  auto add = [&](int64_t from, int64_t to, bool closes) {
    Step step;
    step.name = std::string("TS").append(std::to_string(network.steps.size() + 1));
    step.from = from;
    step.to = to;
    step.G_ts = 5.0 + 15.0 * unit(engine);
    if (network.steps.size() % 5 == 0) step.consumes.push_back(0);
    if (network.steps.size() % 3 == 0) step.releases.push_back(1 + network.steps.size() % 9 / 3);
    step.closes_turn = closes;
    step.shift = closes ? -20.0 : 0.0;
    network.steps.push_back(step);
  };
  if (reach == 0) {  // a cycle of the even states, each with an odd state beside it
    const int64_t cycle = states / 2;
    for (int64_t k = 0; k < cycle; ++k) add(2 * k, 2 * ((k + 1) % cycle), k + 1 == cycle);
    for (int64_t k = 0; k < cycle; ++k) add(2 * k, 2 * k + 1, false);
  } else {
    for (int64_t s = 0; s < states; ++s) {
      for (int64_t r = 1; r <= reach; ++r) add(s, (s + r) % states, (s + r) % 10 == 0);
    }
  }
  return network;
}

void run(benchmark::State& state, int64_t reach) {
  std::mt19937_64 engine(30);
  const Network network = network_of(state.range(0), reach, engine);
  for (auto _ : state) {
    kinex::network::NetworkResults results;
    std::string error;
    benchmark::DoNotOptimize(kinex::network::evaluate_network(network, results, error));
  }
  state.counters["steps"] = static_cast<double>(network.steps.size());
}

void BM_NetworkCycleWithBranches(benchmark::State& state) { run(state, 0); }
void BM_NetworkMesh(benchmark::State& state) { run(state, 4); }

BENCHMARK(BM_NetworkCycleWithBranches)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NetworkMesh)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

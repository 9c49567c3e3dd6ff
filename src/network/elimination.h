// The steady state of a continuous-time Markov chain over the logarithms
// of its rates, by state reduction (each state eliminated in turn, its
// rates passed on to the states that remain, the populations found back in
// reverse order): every step adds positive numbers, so the populations keep
// their digits however far the rates spread. The order of elimination is
// planned once from the chain's pattern (fewest new rates first); the
// reduced chain then also solves the balance equations with any net
// inflow, as the deviations of populations and their derivatives need.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "network/signed_log.h"

namespace kinex::network {

struct Plan {
  int64_t states = 0;
  int64_t root = 0;  // the state left at the end
  // The rates of the chain: transition entry k leads from source[k] to
  // target[k]; the first `given` are the chain's own, the rest made by the
  // elimination (starting from no rate).
  std::vector<int64_t> source, target;
  int64_t given = 0;
  struct Update {
    int64_t rate, in, out;  // rate += in * out / total out-rate of the state
  };
  struct Elimination {
    int64_t state;
    int64_t out_begin, out_end;        // into `outs`: its rates to the states left
    int64_t in_begin, in_end;          // into `ins`: the rates into it from them
    int64_t update_begin, update_end;  // into `updates`
  };
  std::vector<int64_t> outs, ins;
  std::vector<Update> updates;
  std::vector<Elimination> eliminations;
};

// Plans the elimination of the chain of `states` states whose transitions
// (source, target), distinct and never from a state to itself, are
// `transitions`, in that order the given rates. False, with the index of
// the state in `stuck`, when some state cannot be left or not be reached.
bool plan_elimination(int64_t states, const std::vector<std::pair<int64_t, int64_t>>& transitions,
                      Plan& plan, int64_t& stuck);

// The reduced chain: every rate (given and made) as the elimination left
// it, the total out-rate of each eliminated state, in the order of
// plan.eliminations, and the logarithms of the steady-state populations
// (summing to 1).
struct Reduced {
  std::vector<double> ln_rate;
  std::vector<double> ln_out_total;
  std::vector<double> ln_population;
};
Reduced reduce(const Plan& plan, const std::vector<double>& ln_rates);

// The deviation y of the populations, summing to 0, that a net inflow
// `inflow` per state (summing to 0) asks for: y Q = -inflow, Q the chain's
// generator, so that populations p + y balance where p left `inflow`
// unbalanced; and the derivative of the populations where `inflow` is the
// derivative of the net inflows at fixed populations.
std::vector<SignedLog> balance(const Plan& plan, const Reduced& reduced,
                               const std::vector<SignedLog>& inflow);

}  // namespace kinex::network

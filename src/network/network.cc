#include "network/network.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <set>
#include <utility>

#include "model/profile.h"
#include "network/elimination.h"

namespace kinex::network {

namespace {

constexpr double kTieTolerance = 1e-12;

bool finite(double x) { return std::isfinite(x); }

// The steps' rate constants over logarithms, and of each step the part of
// ln k- - ln k+ that does not cancel around a cycle, shift / RT + ln of the
// released less ln of the consumed concentrations: the affinities of
// cycles are sums of these, exact without the states' energies.
struct StepRates {
  std::vector<double> forward, backward, affinity;
};

StepRates step_rates(const Network& network, double ln_prefactor, double inv_RT) {
  StepRates rates;
  for (const Step& step : network.steps) {
    double consumed = 0.0, released = 0.0;
    for (int64_t s : step.consumes) consumed += std::log(network.species[s].conc);
    for (int64_t s : step.releases) released += std::log(network.species[s].conc);
    const double G_from = network.states[step.from].G;
    const double G_to = network.states[step.to].G + step.shift;
    rates.forward.push_back(ln_prefactor - (step.G_ts - G_from) * inv_RT + consumed);
    rates.backward.push_back(ln_prefactor - (step.G_ts - G_to) * inv_RT + released);
    rates.affinity.push_back(step.shift * inv_RT + (released - consumed));
  }
  return rates;
}

// The chain's transitions: one for each ordered pair of distinct states
// that a step joins, its rate the sum of the steps' rate constants.
struct Chain {
  std::vector<std::pair<int64_t, int64_t>> transitions;
  std::vector<double> ln_rate;
};

Chain chain_of(const Network& network, const StepRates& rates) {
  Chain chain;
  std::map<std::pair<int64_t, int64_t>, std::size_t> index;
  auto add = [&](int64_t from, int64_t to, double ln_rate) {
    if (from == to) return;  // a step from a state to itself moves no population
    auto [at, inserted] = index.emplace(std::make_pair(from, to), chain.transitions.size());
    if (inserted) {
      chain.transitions.emplace_back(from, to);
      chain.ln_rate.push_back(kMinusInf);
    }
    chain.ln_rate[at->second] = log_add(chain.ln_rate[at->second], ln_rate);
  };
  for (std::size_t e = 0; e < network.steps.size(); ++e) {
    const Step& step = network.steps[e];
    add(step.from, step.to, rates.forward[e]);
    add(step.to, step.from, rates.backward[e]);
  }
  return chain;
}

// A spanning tree of the most reversible steps (smallest |gap|, the gap
// being ln of the backward over the forward flux, whose two ways nearly
// cancel), hung from state 0, and the other steps, the chords, whose net
// fluxes are found from the populations; the tree's fluxes follow from the
// chords' by the balance at every state, each chord's flux returning along
// the tree path from its end to its start. A step from a state to itself
// is a chord with an empty path.
struct Tree {
  std::vector<int64_t> parent, parent_step;  // per state; -1 at the root
  std::vector<int64_t> order;                // the states, parents first
  std::vector<bool> chord;                   // per step
  // Per step: the chords whose fluxes make its flux, with their signs.
  std::vector<std::vector<std::pair<std::size_t, int>>> made_of;
};

Tree tree_of(const Network& network, const std::vector<double>& gap) {
  const std::size_t n_steps = network.steps.size(), n_states = network.states.size();
  Tree tree;
  std::vector<std::size_t> by_gap(n_steps);
  for (std::size_t e = 0; e < n_steps; ++e) by_gap[e] = e;
  std::stable_sort(by_gap.begin(), by_gap.end(), [&gap](std::size_t a, std::size_t b) {
    return std::abs(gap[a]) < std::abs(gap[b]);
  });
  std::vector<int64_t> group(n_states);
  for (std::size_t s = 0; s < n_states; ++s) group[s] = static_cast<int64_t>(s);
  auto root = [&group](int64_t s) {
    while (group[s] != s) s = group[s] = group[group[s]];
    return s;
  };
  std::vector<std::vector<std::size_t>> tree_steps(n_states);
  tree.chord.assign(n_steps, true);
  for (std::size_t e : by_gap) {
    const Step& step = network.steps[e];
    if (root(step.from) == root(step.to)) continue;
    group[root(step.from)] = root(step.to);
    tree_steps[step.from].push_back(e);
    tree_steps[step.to].push_back(e);
    tree.chord[e] = false;
  }
  tree.parent.assign(n_states, -1);
  tree.parent_step.assign(n_states, -1);
  std::vector<int64_t> depth(n_states, 0);
  std::vector<bool> seen(n_states, false);
  tree.order = {0};
  seen[0] = true;
  for (std::size_t k = 0; k < tree.order.size(); ++k) {
    const int64_t s = tree.order[k];
    for (std::size_t e : tree_steps[s]) {
      const Step& step = network.steps[e];
      const int64_t other = step.from == s ? step.to : step.from;
      if (seen[other]) continue;
      seen[other] = true;
      tree.parent[other] = s;
      tree.parent_step[other] = static_cast<int64_t>(e);
      depth[other] = depth[s] + 1;
      tree.order.push_back(other);
    }
  }
  // +1 where the flux returning from `child` to its parent (upward) or
  // from the parent to `child` (downward) runs the step forward.
  auto sign = [&](int64_t child, bool upward) {
    const Step& step = network.steps[tree.parent_step[child]];
    return (step.from == child) == upward ? 1 : -1;
  };
  tree.made_of.resize(n_steps);
  for (std::size_t c = 0; c < n_steps; ++c) {
    if (!tree.chord[c]) continue;
    tree.made_of[c].push_back({c, 1});
    int64_t up = network.steps[c].to, down = network.steps[c].from;
    while (up != down) {
      if (depth[up] >= depth[down]) {
        tree.made_of[tree.parent_step[up]].push_back({c, sign(up, true)});
        up = tree.parent[up];
      } else {
        tree.made_of[tree.parent_step[down]].push_back({c, sign(down, false)});
        down = tree.parent[down];
      }
    }
  }
  return tree;
}

// The populations at which every step of the tree stands in equilibrium,
// ln rho = -G / RT + tau with tau summed from the steps' affinities along
// the tree, normalised; and g, per step, ln of its backward over its
// forward flux at those populations: 0 on the tree, the affinity of its
// cycle on a chord, formed from the affinities alone.
struct TreeEquilibrium {
  std::vector<double> ln_rho, g;
};

TreeEquilibrium tree_equilibrium(const Network& network, const Tree& tree, const StepRates& rates,
                                 double inv_RT) {
  const std::size_t n_states = network.states.size();
  std::vector<double> tau(n_states, 0.0);
  for (int64_t s : tree.order) {
    if (tree.parent[s] < 0) continue;
    const auto e = static_cast<std::size_t>(tree.parent_step[s]);
    tau[s] = tau[tree.parent[s]] + (network.steps[e].from == s ? 1.0 : -1.0) * rates.affinity[e];
  }
  TreeEquilibrium eq;
  double norm = kMinusInf;
  for (std::size_t s = 0; s < n_states; ++s) {
    eq.ln_rho.push_back(-network.states[s].G * inv_RT + tau[s]);
    norm = log_add(norm, eq.ln_rho.back());
  }
  for (double& x : eq.ln_rho) x -= norm;
  for (std::size_t e = 0; e < network.steps.size(); ++e) {
    const Step& step = network.steps[e];
    eq.g.push_back(tree.chord[e] ? (tau[step.to] - tau[step.from]) + rates.affinity[e] : 0.0);
  }
  return eq;
}

// How many of `species` a step makes net: released less consumed.
int64_t made(const Step& step, int64_t species) {
  return std::count(step.releases.begin(), step.releases.end(), species) -
         std::count(step.consumes.begin(), step.consumes.end(), species);
}

int64_t count(const std::vector<int64_t>& list, int64_t species) {
  return std::count(list.begin(), list.end(), species);
}

// The index of the largest value and those within kTieTolerance of it.
void largest(const std::vector<double>& values, int64_t& best, std::vector<int64_t>& ties) {
  best = -1;
  ties.clear();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (std::isfinite(values[i]) && (best < 0 || values[i] > values[best])) {
      best = static_cast<int64_t>(i);
    }
  }
  if (best < 0) return;
  const double top = values[best];
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (static_cast<int64_t>(i) != best &&
        std::abs(top - values[i]) <= kTieTolerance * std::abs(top)) {
      ties.push_back(static_cast<int64_t>(i));
    }
  }
}

// The net inflow at every state that changes `moves` of the steps' net
// fluxes (per step) bring: a step from a state to itself brings none.
std::vector<SignedLog> inflow_of(const Network& network, const std::vector<SignedLog>& moves) {
  std::vector<SignedSum> sums(network.states.size());
  for (std::size_t e = 0; e < network.steps.size(); ++e) {
    const Step& step = network.steps[e];
    if (step.from == step.to || moves[e].sign == 0) continue;
    sums[step.to].add(moves[e]);
    sums[step.from].add(negated(moves[e]));
  }
  std::vector<SignedLog> inflow;
  for (const SignedSum& sum : sums) inflow.push_back(sum.total());
  return inflow;
}

// The sum of w[c] times x[c].
SignedLog weighted_sum(const std::vector<double>& w, const std::vector<SignedLog>& x) {
  SignedSum sum;
  for (std::size_t c = 0; c < w.size(); ++c) {
    if (w[c] != 0.0) sum.add(scaled(w[c] > 0 ? x[c] : negated(x[c]), std::log(std::abs(w[c]))));
  }
  return sum.total();
}

// a / b for b not zero.
double ratio(SignedLog a, SignedLog b) {
  return a.sign == 0 ? 0.0 : a.sign * b.sign * std::exp(a.ln - b.ln);
}

}  // namespace

std::vector<const Rate*> rates_of(const NetworkResults& results) {
  std::vector<const Rate*> rates;
  for (const Rate& rate : results.products) rates.push_back(&rate);
  if (results.has_turnover) rates.push_back(&results.turnover);
  return rates;
}

bool check_network(const Network& network, std::string& error) {
  // Names are words of the network file: not empty, no blank, no '#', no
  // control character, and unique among the states, the species and the
  // transition states.
  auto names_fit = [&error](const auto& items, const char* kind) {
    std::set<std::string, std::less<>> seen;
    for (const auto& item : items) {
      const std::string& name = item.name;
      const bool word = !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '#' || c == 127;
      });
      if (!word) {
        error = std::string(kind) + " '" + name + "': a name is one word without '#'";
        return false;
      }
      if (!seen.insert(name).second) {
        error = std::string(kind) + " '" + name + "' is named twice";
        return false;
      }
    }
    return true;
  };
  if (!names_fit(network.states, "state") || !names_fit(network.species, "species") ||
      !names_fit(network.steps, "transition state")) {
    return false;
  }
  if (!(finite(network.T) && network.T > 0.0)) {
    error = "the temperature must be finite and above 0 K";
    return false;
  }
  if (network.states.empty()) {
    error = "the network has no state";
    return false;
  }
  if (network.states.size() > kMostStates || network.steps.size() > kMostSteps) {
    error = "a network has at most " + std::to_string(kMostStates) + " states and " +
            std::to_string(kMostSteps) + " steps; this one has " +
            std::to_string(network.states.size()) + " and " + std::to_string(network.steps.size());
    return false;
  }
  for (const Species& species : network.species) {
    if (!(finite(species.conc) && species.conc > 0.0)) {
      error = "species " + species.name + ": the concentration must be finite and above 0";
      return false;
    }
  }
  for (const State& state : network.states) {
    if (!finite(state.G)) {
      error = "state " + state.name + ": the energy must be finite";
      return false;
    }
  }
  const auto states = static_cast<int64_t>(network.states.size());
  const auto species = static_cast<int64_t>(network.species.size());
  std::vector<int64_t> group(states);
  for (int64_t s = 0; s < states; ++s) group[s] = s;
  auto root = [&group](int64_t s) {
    while (group[s] != s) s = group[s] = group[group[s]];
    return s;
  };
  for (const Step& step : network.steps) {
    const std::string name = "step " + step.name;
    if (step.from < 0 || step.from >= states || step.to < 0 || step.to >= states) {
      error = name + ": a state out of range";
      return false;
    }
    for (const auto* list : {&step.consumes, &step.releases}) {
      for (int64_t s : *list) {
        if (s < 0 || s >= species) {
          error = name + ": a species out of range";
          return false;
        }
      }
    }
    if (!finite(step.G_ts) || !finite(step.shift)) {
      error = name + ": the energies must be finite";
      return false;
    }
    group[root(step.from)] = root(step.to);
  }
  for (int64_t s = 0; s < states; ++s) {
    if (root(s) != root(0)) {
      error = "state " + network.states[s].name + " is joined by no step to state " +
              network.states[0].name;
      return false;
    }
  }
  return true;
}

bool evaluate_network(const Network& network, NetworkResults& results, std::string& error) {
  if (!check_network(network, error)) return false;
  try {
    results = NetworkResults{};
    const std::size_t n_steps = network.steps.size(), n_species = network.species.size();
    const double inv_RT = inverse_RT(network.T);
    results.prefactor = (network.T * k_B) / h_Planck;
    const double ln_prefactor = std::log(results.prefactor);
    const StepRates rates = step_rates(network, ln_prefactor, inv_RT);
    const Chain chain = chain_of(network, rates);
    Plan plan;
    int64_t stuck = 0;
    if (!plan_elimination(static_cast<int64_t>(network.states.size()), chain.transitions, plan,
                          stuck)) {
      error = "state " + network.states[stuck].name + " cannot be left or reached";
      return false;
    }
    const Reduced reduced = reduce(plan, chain.ln_rate);
    const std::vector<double>& ln_pi = reduced.ln_population;
    results.ln_population = ln_pi;
    for (double ln : ln_pi) results.population.push_back(std::exp(ln));

    // The net fluxes. Where the populations stand near the tree's
    // equilibrium rho, a chord's flux is its flux at rho, c (1 - e^g)
    // exact from the affinity, plus the deviations y = p - rho times the
    // rate constants; elsewhere the larger way times -expm1 of the gap.
    std::vector<double> gap(n_steps);
    for (std::size_t e = 0; e < n_steps; ++e) {
      const Step& step = network.steps[e];
      gap[e] = (ln_pi[step.to] + rates.backward[e]) - (ln_pi[step.from] + rates.forward[e]);
    }
    const Tree tree = tree_of(network, gap);
    const TreeEquilibrium eq = tree_equilibrium(network, tree, rates, inv_RT);
    std::vector<SignedLog> at_rho(n_steps);
    for (std::size_t e = 0; e < n_steps; ++e) {
      // c (1 - e^g), g kept apart from ln c, whose rounding it would lose.
      const double ln_c = eq.ln_rho[network.steps[e].from] + rates.forward[e];
      if (eq.g[e] != 0.0)
        at_rho[e] = {eq.g[e] < 0.0 ? 1 : -1, ln_c + std::log(std::abs(std::expm1(eq.g[e])))};
    }
    const std::vector<SignedLog> y = balance(plan, reduced, inflow_of(network, at_rho));
    auto near_rho = [&](int64_t s) { return y[s].ln <= eq.ln_rho[s] - std::log(2.0); };
    std::vector<SignedLog> chord_flux(n_steps);
    for (std::size_t c = 0; c < n_steps; ++c) {
      if (!tree.chord[c]) continue;
      const Step& step = network.steps[c];
      if (near_rho(step.from) && near_rho(step.to)) {
        SignedSum sum;
        sum.add(at_rho[c]);
        sum.add(scaled(y[step.from], rates.forward[c]));
        sum.add(negated(scaled(y[step.to], rates.backward[c])));
        chord_flux[c] = sum.total();
      } else {
        chord_flux[c] =
            log_difference(ln_pi[step.from] + rates.forward[c], ln_pi[step.to] + rates.backward[c]);
      }
    }
    for (std::size_t e = 0; e < n_steps; ++e) {
      SignedSum sum;
      for (const auto& [c, sign] : tree.made_of[e]) {
        sum.add(sign > 0 ? chord_flux[c] : negated(chord_flux[c]));
      }
      results.net_flux.push_back(sum.total());
    }

    // The rates, every product's and the turnover, as sums over the chords.
    std::vector<std::vector<double>> weights;
    auto add_rate = [&](Rate rate, auto weight_of_step) {
      std::vector<double> w(n_steps, 0.0);
      for (std::size_t e = 0; e < n_steps; ++e) {
        const auto step_weight = static_cast<double>(weight_of_step(network.steps[e]));
        for (const auto& [c, sign] : tree.made_of[e]) w[c] += sign * step_weight;
      }
      weights.push_back(std::move(w));
      return rate;
    };
    for (std::size_t s = 0; s < n_species; ++s) {
      const auto species = static_cast<int64_t>(s);
      const bool released =
          std::any_of(network.steps.begin(), network.steps.end(),
                      [species](const Step& step) { return count(step.releases, species) > 0; });
      if (!released) continue;
      Rate rate;
      rate.name = network.species[s].name;
      rate.species = species;
      results.products.push_back(
          add_rate(rate, [species](const Step& step) { return made(step, species); }));
    }
    results.has_turnover = std::any_of(network.steps.begin(), network.steps.end(),
                                       [](const Step& step) { return step.closes_turn; });
    if (results.has_turnover) {
      results.turnover =
          add_rate(Rate{}, [](const Step& step) { return step.closes_turn ? 1 : 0; });
    }
    std::vector<Rate*> outputs;
    for (Rate& rate : results.products) outputs.push_back(&rate);
    if (results.has_turnover) outputs.push_back(&results.turnover);
    for (std::size_t o = 0; o < outputs.size(); ++o) {
      Rate& rate = *outputs[o];
      rate.tof = weighted_sum(weights[o], chord_flux);
      rate.TOF = value_of(rate.tof);
      rate.log10_TOF = rate.tof.ln / std::log(10.0);
      rate.apparent_barrier = rate.tof.sign == 0 ? kNaN : -(rate.tof.ln - ln_prefactor) / inv_RT;
      rate.xtof_state = results.population;
      rate.xtof_ts.assign(n_steps, kNaN);
      rate.xtof_species.assign(n_species, kNaN);
    }

    // The degrees of control of the transition states and the species.
    // Along each, `moves` are the changes of the steps' net fluxes at fixed
    // populations; the populations then change by the balance of the
    // inflows they bring, and each chord's flux with them.
    const std::vector<SignedLog>& flux = results.net_flux;
    auto control = [&](const std::vector<SignedLog>& moves, auto&& store) {
      const std::vector<SignedLog> d_pi = balance(plan, reduced, inflow_of(network, moves));
      std::vector<SignedLog> d_flux(n_steps);
      for (std::size_t c = 0; c < n_steps; ++c) {
        if (!tree.chord[c]) continue;
        const Step& step = network.steps[c];
        SignedSum sum;
        sum.add(moves[c]);
        sum.add(scaled(d_pi[step.from], rates.forward[c]));
        sum.add(negated(scaled(d_pi[step.to], rates.backward[c])));
        d_flux[c] = sum.total();
      }
      for (std::size_t o = 0; o < outputs.size(); ++o) {
        if (outputs[o]->tof.sign != 0) {
          store(o, ratio(weighted_sum(weights[o], d_flux), outputs[o]->tof));
        }
      }
    };
    std::vector<SignedLog> moves(n_steps);
    for (std::size_t e = 0; e < n_steps; ++e) {
      moves[e] = flux[e];  // both ways of step e scale alike
      control(moves, [&outputs, e](std::size_t o, double x) { outputs[o]->xtof_ts[e] = x; });
      moves[e] = SignedLog{};
    }

    // The controls of each way of a step alone, forward[o][e] = d ln|TOF|
    // / d ln k+ of step e (the backward way's is X_TS less it), which the
    // species' controls sum. A chord's from the balance. A tree step's from
    // the subtree S beyond it: raising S's states and the transition states
    // within it alike moves only the rates that leave S, so the way of the
    // step that leaves S has the sum of S's populations, less the X_TS
    // within S, less the chords' ways that leave S; formed so, a fast
    // step's way keeps its digits where the balance of its large one-way
    // flux would lose them.
    std::vector<std::vector<double>> forward(outputs.size(), std::vector<double>(n_steps, kNaN));
    for (std::size_t c = 0; c < n_steps; ++c) {
      if (!tree.chord[c]) continue;
      moves[c] = {1, ln_pi[network.steps[c].from] + rates.forward[c]};
      control(moves, [&forward, c](std::size_t o, double x) { forward[o][c] = x; });
      moves[c] = SignedLog{};
    }
    const std::size_t n_states = network.states.size();
    std::vector<int64_t> depth(n_states, 0);
    for (int64_t v : tree.order) depth[v] = tree.parent[v] < 0 ? 0 : depth[tree.parent[v]] + 1;
    auto lowest_common = [&](int64_t a, int64_t b) {
      while (a != b) {
        if (depth[a] >= depth[b]) {
          a = tree.parent[a];
        } else {
          b = tree.parent[b];
        }
      }
      return a;
    };
    // Whether `u` lies in the subtree of `v`.
    auto within = [&](int64_t u, int64_t v) {
      while (depth[u] > depth[v]) u = tree.parent[u];
      return u == v;
    };
    std::vector<int64_t> lowest(n_steps);
    for (std::size_t f = 0; f < n_steps; ++f) {
      lowest[f] = lowest_common(network.steps[f].from, network.steps[f].to);
    }
    for (std::size_t o = 0; o < outputs.size(); ++o) {
      if (outputs[o]->tof.sign == 0) continue;
      const std::vector<double>& xts = outputs[o]->xtof_ts;
      std::vector<double> subtree(n_states, 0.0);  // populations less X_TS within
      for (std::size_t u = 0; u < n_states; ++u) subtree[u] = results.population[u];
      for (std::size_t f = 0; f < n_steps; ++f) subtree[lowest[f]] -= xts[f];
      for (std::size_t k = tree.order.size(); k-- > 1;) {
        subtree[tree.parent[tree.order[k]]] += subtree[tree.order[k]];
      }
      for (std::size_t k = 1; k < tree.order.size(); ++k) {
        const int64_t v = tree.order[k];
        const auto e = static_cast<std::size_t>(tree.parent_step[v]);
        double leaving = subtree[v];
        for (const auto& [c, sign] : tree.made_of[e]) {
          leaving -= within(network.steps[c].from, v) ? forward[o][c] : xts[c] - forward[o][c];
        }
        forward[o][e] = network.steps[e].from == v ? leaving : xts[e] - leaving;
      }
      for (std::size_t s = 0; s < n_species; ++s) {
        const auto species = static_cast<int64_t>(s);
        double x = 0.0;
        for (std::size_t e = 0; e < n_steps; ++e) {
          const Step& step = network.steps[e];
          x += static_cast<double>(count(step.consumes, species)) * forward[o][e] +
               static_cast<double>(count(step.releases, species)) * (xts[e] - forward[o][e]);
        }
        outputs[o]->xtof_species[s] = x;
      }
    }

    // The selectivities and their degrees of control.
    SignedSum all;
    for (const Rate& rate : results.products) all.add(rate.tof);
    const SignedLog total = all.total();
    std::vector<double> share;
    for (const Rate& rate : results.products) {
      share.push_back(total.sign == 0 ? kNaN : ratio(rate.tof, total));
    }
    for (std::size_t p = 0; p < results.products.size(); ++p) {
      Rate& rate = results.products[p];
      rate.selectivity = share[p];
      auto selectivity_control = [&](std::vector<double> Rate::*member) {
        std::vector<double> x = rate.*member;
        for (std::size_t i = 0; i < x.size(); ++i) {
          for (std::size_t q = 0; q < results.products.size(); ++q) {
            if (share[q] != 0.0) x[i] -= share[q] * (results.products[q].*member)[i];
          }
        }
        return x;
      };
      rate.xsel_ts = selectivity_control(&Rate::xtof_ts);
      rate.xsel_species = selectivity_control(&Rate::xtof_species);
    }
    for (Rate* rate : outputs) {
      largest(rate->xtof_state, rate->TDI, rate->TDI_ties);
      largest(rate->xtof_ts, rate->TDTS, rate->TDTS_ties);
    }
    return true;
  } catch (const std::bad_alloc&) {
    error = "the network is too large for the memory";
    return false;
  }
}

}  // namespace kinex::network

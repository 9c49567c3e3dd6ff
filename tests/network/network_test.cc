// Catalytic networks: a network that is one cycle against the cycle model,
// closed forms (an off-cycle state, a cycle at equilibrium's edge),
// branched networks against an independent solve and their degrees of
// control against differences and their sums, and the faults of the
// network file.
#include "network/network.h"

#include <gtest/gtest.h>
#include <kinex/kinex.h>
#include <quadmath.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "figures/network_svg.h"
#include "model/profile.h"
#include "network/reader.h"
#include "network/uncertainty.h"
#include "outputs/format.h"

namespace kinex::network {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

Network parsed(const std::string& text) {
  Network network;
  Failure failure;
  EXPECT_TRUE(parse_network(text, "net.txt", network, failure)) << failure.message;
  return network;
}

NetworkResults evaluated(const Network& network) {
  NetworkResults results;
  std::string error;
  EXPECT_TRUE(evaluate_network(network, results, error)) << error;
  return results;
}

// A random cycle: n steps, energies spread by `spread` kcal/mol, DeltaG
// from near equilibrium to far from it, concentrations at some steps.
Cycle random_cycle(std::mt19937_64& engine, int n, double spread, bool concentrations) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<StepInput> steps(n);
  for (int i = 0; i < n; ++i) {
    steps[i].G_int = i == 0 ? 0.0 : spread * (unit(engine) - 0.7);
    steps[i].G_ts = steps[i].G_int + spread * unit(engine) + 1.0;
    if (concentrations && unit(engine) < 0.5) steps[i].reactant = std::exp(8 * unit(engine) - 6);
    if (concentrations && unit(engine) < 0.3) steps[i].product = std::exp(8 * unit(engine) - 6);
  }
  const double kinds[] = {-30.0 * unit(engine), -1e-6, -0.01, 5.0 * unit(engine)};
  Cycle cycle;
  std::string error;
  EXPECT_TRUE(build_cycle(200.0 + 400.0 * unit(engine), steps, kinds[engine() % 4], cycle, error))
      << error;
  return cycle;
}

TEST(NetworkModel, OneCycleGivesTheCycleModelsResults) {
  std::mt19937_64 engine(30);
  for (int trial = 0; trial < 400; ++trial) {
    const int n = 1 + static_cast<int>(engine() % 12);
    const double spread = trial % 5 == 4 ? 2000.0 : 25.0;  // beyond doubles' range too
    const Cycle cycle = random_cycle(engine, n, spread, trial % 2 == 1);
    Evaluation expected;
    Failure failure;
    ASSERT_TRUE(evaluate(cycle, expected, failure));
    const Results& cycle_results = expected.results;
    const NetworkResults got = evaluated(parsed(network_text(cycle_network(cycle), "")));
    SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(n) + " steps");
    ASSERT_TRUE(got.has_turnover);
    const Rate& rate = got.turnover;
    // The cycle model forms its numerator e^-dG reac - prod as a plain
    // difference until the two agree to 2^-20; what that cancellation
    // leaves of its digits bounds the agreement, beside the rounding of
    // energies as large as these.
    const Profile& p = expected.profile;
    const double numerator = std::exp(-p.dG) * p.concproduct_reac + p.concproduct_prod;
    const double cancellation =
        std::isfinite(numerator) ? 4 * kEps * numerator / std::abs(p.driving_force) : 0.0;
    double largest_g = 0.0;
    for (int i = 1; i <= n; ++i) largest_g = std::max(largest_g, std::abs(p.g_ts[i]));
    const double rounding = std::max(1e-12, 16 * kEps * largest_g);
    EXPECT_NEAR(rate.tof.ln, cycle_results.ln_TOF, rounding + cancellation);
    EXPECT_EQ(rate.tof.sign, cycle_results.TOF_sign);
    for (int j = 0; j < n; ++j)
      EXPECT_NEAR(rate.xtof_state[j], cycle_results.xtof_int[j], rounding);
    for (int i = 1; i <= n; ++i) {
      EXPECT_NEAR(rate.xtof_ts[i - 1], cycle_results.xtof_ts[i], rounding);
    }
    std::size_t s = 0;
    // The controls of concentrations grow as the driving force vanishes.
    const double scale = rounding * (1.0 + std::abs(cycle_results.q)) + cancellation;
    for (int i = 1; i <= n; ++i) {
      if (cycle.has_reac[i]) {
        EXPECT_NEAR(rate.xtof_species[s++], cycle_results.xtof_reac[i], scale);
      }
      if (cycle.has_prod[i]) {
        EXPECT_NEAR(rate.xtof_species[s++], cycle_results.xtof_prod[i], scale);
      }
    }
    if (rate.TDTS_ties.empty()) {
      EXPECT_EQ(rate.TDTS + 1, cycle_results.TDTS);
    }
  }
}

// Closed forms. An off-cycle state D beside I0 stands in equilibrium with
// it, so the TOF falls by 1 / (1 + p0 K), p0 the population of I0 in the
// cycle alone and K = exp(-(G_D - G_I0) / RT). A two-state cycle's TOF is
// (k1+ k2+ - k1- k2-) / (k1+ + k1- + k2+ + k2-), its numerator k1+ k2+
// (1 - e^(dG)) exact from the driving force however small.
TEST(NetworkModel, ClosedForms) {
  const double inv_RT = inverse_RT(298.15);
  for (const double G_D : {-11.0, -3.0, 4.0, -600.0}) {
    const std::string cycle =
        "temperature 298.15\nstate I0 0\nstate I1 -4.5\n"
        "step I0 I1 ts 14.2\nstep I1 I0 ts 17.0 shift -25\n";
    const NetworkResults alone = evaluated(parsed(cycle));
    const NetworkResults with_d =
        evaluated(parsed(cycle + "state D " + shortest(G_D) + "\nstep I0 D ts 3.0\n"));
    const double expected =
        alone.turnover.tof.ln - std::log1p(std::exp(alone.ln_population[0] - G_D * inv_RT));
    EXPECT_NEAR(with_d.turnover.tof.ln, expected, 4 * kEps * std::abs(expected)) << G_D;
  }
  for (const double dG : {-1e-12, -1e-8, 1e-6, -2.0}) {
    const std::string text =
        "temperature 298.15\nstate A 0\nstate B -1\nstep A B ts 12\n"
        "step B A ts 15 shift " +
        shortest(dG) + "\n";
    const NetworkResults got = evaluated(parsed(text));
    const double b = inv_RT, lnA = std::log(298.15 * k_B / h_Planck);
    const double k1p = lnA - 12 * b, k1m = lnA - 13 * b, k2p = lnA - 16 * b,
                 k2m = lnA - (15 - dG) * b;
    const double denominator =
        std::log(std::exp(k1p) + std::exp(k1m) + std::exp(k2p) + std::exp(k2m));
    const double expected = k1p + k2p + std::log(std::abs(std::expm1(dG * b))) - denominator;
    EXPECT_NEAR(got.turnover.tof.ln, expected, 1e-13 * std::abs(expected)) << dG;
    EXPECT_EQ(got.turnover.tof.sign, dG < 0 ? 1 : -1) << dG;
  }
}

// A random branched network: a random tree of 2..7 states and extra steps
// (parallel ones, ones that close a turn, from a state to itself), species
// consumed and released here and there.
Network random_network(std::mt19937_64& engine) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Network network;
  network.T = 250.0 + 200.0 * unit(engine);
  const int states = 2 + static_cast<int>(engine() % 6),
            species = 1 + static_cast<int>(engine() % 3);
  for (int s = 0; s < states; ++s) {
    network.states.push_back(
        {std::string("S").append(std::to_string(s)), s == 0 ? 0.0 : -8.0 * unit(engine), 0});
  }
  for (int k = 0; k < species; ++k) {
    network.species.push_back(
        {std::string("X").append(std::to_string(k)), std::exp(6 * unit(engine) - 4), 0});
  }
  auto add_step = [&](int64_t from, int64_t to) {
    Step step;
    step.name = std::string("TS").append(std::to_string(network.steps.size() + 1));
    step.from = from;
    step.to = to;
    step.G_ts = std::max(network.states[from].G, network.states[to].G) + 4.0 + 14.0 * unit(engine);
    if (unit(engine) < 0.4) step.consumes.push_back(static_cast<int64_t>(engine() % species));
    if (unit(engine) < 0.5) step.releases.push_back(static_cast<int64_t>(engine() % species));
    if (from == to || unit(engine) < 0.3) {
      step.closes_turn = true;
      step.shift = -20.0 * unit(engine);
    }
    network.steps.push_back(step);
  };
  for (int s = 1; s < states; ++s) add_step(static_cast<int64_t>(engine() % s), s);
  const int extra = 1 + static_cast<int>(engine() % 4);
  for (int k = 0; k < extra; ++k) add_step(engine() % states, engine() % states);
  network.steps.back().releases.push_back(0);  // at least one product
  return network;
}

// Quadruple precision (GCC's, 113 bits), for a plain solve whose own
// errors stay far below those checked.
__extension__ typedef __float128 Quad;

// The TOF of every product and the turnover by a plain solve in quadruple
// precision of the populations' balance, moderate energies only; last, the
// largest one-way flux, the scale of the solve's noise.
std::vector<long double> plain_rates(const Network& network) {
  const std::size_t n = network.states.size();
  const Quad beta = inverse_RT(network.T), A = network.T * k_B / h_Planck;
  std::vector<std::vector<Quad>> Q(n, std::vector<Quad>(n + 1, 0));
  std::vector<Quad> kp, km;
  for (const Step& step : network.steps) {
    Quad f = A * expq(-(step.G_ts - network.states[step.from].G) * beta);
    Quad r = A * expq(-(step.G_ts - network.states[step.to].G - step.shift) * beta);
    for (int64_t s : step.consumes) f *= network.species[s].conc;
    for (int64_t s : step.releases) r *= network.species[s].conc;
    kp.push_back(f);
    km.push_back(r);
    if (step.from == step.to) continue;
    // Row i: the balance of state i, sum_j p_j q_ji - p_i q_i = 0.
    Q[step.to][step.from] += f;
    Q[step.from][step.from] -= f;
    Q[step.from][step.to] += r;
    Q[step.to][step.to] -= r;
  }
  for (std::size_t j = 0; j < n; ++j) Q[n - 1][j] = 1;  // the populations sum to 1
  Q[n - 1][n] = 1;
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t pivot = c;
    for (std::size_t r = c; r < n; ++r) {
      if (fabsq(Q[r][c]) > fabsq(Q[pivot][c])) pivot = r;
    }
    std::swap(Q[c], Q[pivot]);
    for (std::size_t r = 0; r < n; ++r) {
      if (r == c) continue;
      const Quad factor = Q[r][c] / Q[c][c];
      for (std::size_t k = c; k <= n; ++k) Q[r][k] -= factor * Q[c][k];
    }
  }
  std::vector<Quad> p(n);
  for (std::size_t i = 0; i < n; ++i) p[i] = Q[i][n] / Q[i][i];
  std::vector<long double> out;
  Quad scale = 0;
  for (std::size_t e = 0; e < network.steps.size(); ++e) {
    const Step& step = network.steps[e];
    scale = std::max({scale, p[step.from] * kp[e], p[step.to] * km[e]});
  }
  for (std::size_t k = 0; k <= network.species.size(); ++k) {
    Quad sum = 0;
    for (std::size_t e = 0; e < network.steps.size(); ++e) {
      const Step& step = network.steps[e];
      const Quad flux = p[step.from] * kp[e] - p[step.to] * km[e];
      if (k == network.species.size()) {
        sum += step.closes_turn ? flux : Quad(0);
      } else {
        sum += flux * static_cast<int>(std::count(step.releases.begin(), step.releases.end(), k) -
                                       std::count(step.consumes.begin(), step.consumes.end(), k));
      }
    }
    out.push_back(static_cast<long double>(sum));
  }
  out.push_back(static_cast<long double>(scale));
  return out;
}

int64_t count_of(const Step& step, int64_t species) {
  return std::count(step.releases.begin(), step.releases.end(), species) -
         std::count(step.consumes.begin(), step.consumes.end(), species);
}

// A central difference at steps 2e-5 and 1e-5, extrapolated.
template <class Difference>
double richardson(Difference difference) {
  return (4 * difference(1e-5) - difference(2e-5)) / 3;
}

// Every rate against the plain solve, every degree of control against a
// central difference of it, and the sums the controls keep: the
// populations and each rate's X_TS sum to 1, the selectivities to 1 and
// their controls to 0.
TEST(NetworkModel, BranchedNetworksAgainstAPlainSolve) {
  std::mt19937_64 engine(31);
  for (int trial = 0; trial < 300; ++trial) {
    const Network network = random_network(engine);
    const NetworkResults got = evaluated(network);
    SCOPED_TRACE("trial " + std::to_string(trial) + "\n" + network_text(network, ""));
    const std::vector<long double> plain = plain_rates(network);
    std::vector<const Rate*> rates;
    for (const Rate& rate : got.products) rates.push_back(&rate);
    if (got.has_turnover) rates.push_back(&got.turnover);
    auto plain_of = [&](const std::vector<long double>& values, const Rate& rate) {
      return static_cast<double>(values[rate.species < 0 ? network.species.size() : rate.species]);
    };
    // Products made and used up at once share a small sum: their
    // selectivities are large and keep fewer digits.
    double population = 0.0, selectivity = 0.0, size = 0.0;
    for (const Rate& rate : got.products) size += std::abs(rate.selectivity);
    for (double p : got.population) population += p;
    EXPECT_NEAR(population, 1.0, 1e-14);
    for (const Rate* rate : rates) {
      const double expected = plain_of(plain, *rate);
      // The plain solve loses digits as the net rate falls below the
      // one-way fluxes, and the network's rate as it falls below the net
      // fluxes it sums; where that leaves too few, it checks no more.
      const double noise = 1e-26 * static_cast<double>(plain.back());
      double summed = 0.0;
      for (std::size_t e = 0; e < network.steps.size(); ++e) {
        const double weight =
            rate->species < 0
                ? network.steps[e].closes_turn
                : std::abs(static_cast<double>(count_of(network.steps[e], rate->species)));
        summed += weight * std::abs(value_of(got.net_flux[e]));
      }
      EXPECT_NEAR(rate->TOF, expected, 1e-9 * std::abs(expected) + 1e-14 * summed + noise)
          << rate->name;
      if (std::abs(expected) < 1e5 * noise + 1e-7 * summed) continue;
      const double cancellation = 1e-14 * summed / std::abs(expected);
      const double tolerance = 1e-6 + 10 * noise / std::abs(expected) / 2e-5;
      double sum_ts = 0.0, size_ts = 0.0, sum_sel = 0.0;
      for (std::size_t e = 0; e < network.steps.size(); ++e) {
        sum_ts += rate->xtof_ts[e];
        size_ts += std::abs(rate->xtof_ts[e]);
        if (!rate->xsel_ts.empty()) sum_sel += rate->xsel_ts[e];
        const double difference = richardson([&](double h) {
          Network up = network, down = network;
          up.steps[e].G_ts -= h / inverse_RT(network.T);
          down.steps[e].G_ts += h / inverse_RT(network.T);
          return std::log(std::abs(plain_of(plain_rates(up), *rate) /
                                   plain_of(plain_rates(down), *rate))) /
                 (2 * h);
        });
        EXPECT_NEAR(rate->xtof_ts[e], difference, tolerance * (1 + std::abs(difference)))
            << rate->name << " TS" << e + 1;
      }
      for (std::size_t s = 0; s < network.species.size(); ++s) {
        const double difference = richardson([&](double h) {
          Network up = network, down = network;
          up.species[s].conc *= std::exp(h);
          down.species[s].conc *= std::exp(-h);
          return std::log(std::abs(plain_of(plain_rates(up), *rate) /
                                   plain_of(plain_rates(down), *rate))) /
                 (2 * h);
        });
        EXPECT_NEAR(rate->xtof_species[s], difference, tolerance * (1 + std::abs(difference)))
            << rate->name << " " << network.species[s].name;
      }
      EXPECT_NEAR(sum_ts, 1.0, 1e-11 * size_ts + cancellation) << rate->name;
      if (rate->species >= 0 && std::isfinite(size)) {  // else the products make nothing net
        EXPECT_NEAR(sum_sel, 0.0, 1e-12 * (1 + size) * size_ts) << rate->name;
        selectivity += rate->selectivity;
      }
    }
    if (selectivity != 0.0 && std::isfinite(size)) {
      EXPECT_NEAR(selectivity, 1.0, 1e-12 * size);
    }
  }
}

}  // namespace
}  // namespace kinex::network

namespace kinex::network {
namespace {

// Every fault of the network file: its line, the caret's column and the
// reason's words.
TEST(NetworkFile, FaultsAreNamedWithLineAndCaret) {
  const std::string head = "temperature 298.15\nstate A 0\nstate B -2\n";
  struct Case {
    const char* name;
    std::string text;
    int64_t line, column;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"unknown statement", head + "stat C 1\n", 4, 1, "unknown statement 'stat'"},
      {"missing energy", head + "state C\n", 4, 8, "missing Gibbs energy"},
      {"bad number", head + "state C 1.2.3\n", 4, 9, "bad Gibbs energy '1.2.3'"},
      {"infinite number", head + "state C inf\n", 4, 9, "bad Gibbs energy 'inf'"},
      {"state twice", head + "state A 1\n", 4, 7, "state 'A' is declared twice (first on line 2)"},
      {"species twice", head + "species X 1\nspecies X 2\n", 5, 9, "declared twice"},
      {"concentration zero", head + "species X 0\n", 4, 11, "above 0 mol/L"},
      {"temperature twice", head + "temperature 300\n", 4, 1, "a second temperature"},
      {"temperature not above 0", "temperature -5\nstate A 0\n", 1, 13, "above 0 K"},
      {"no temperature", "state A 0\n", 0, 0, "no temperature"},
      {"no state", "temperature 300\n", 0, 0, "no state"},
      {"words after a state", head + "state C 1 2\n", 4, 11, "'2' after the end"},
      {"step without ts", head + "step A B 12\n", 4, 10, "expected 'ts G_TS'"},
      {"step without energy", head + "step A B ts\n", 4, 12,
       "missing Gibbs energy of the transition state"},
      {"unknown state in step", head + "step A C ts 12\n", 4, 8, "unknown state 'C'"},
      {"unknown species in step", head + "step A B ts 12 consumes Y\n", 4, 25,
       "unknown species 'Y'"},
      {"consumes nothing", head + "step A B ts 12 consumes shift 1\n", 4, 16, "names no species"},
      {"shift twice", head + "step A B ts 12 shift 1 shift 2\n", 4, 24, "'shift' given twice"},
      {"word out of place", head + "step A B ts 12 fast\n", 4, 16, "unexpected 'fast'"},
      {"transition state named twice", head + "step A B ts 12 name T\nstep B A ts 13 name T\n", 5,
       21, "transition state 'T' is named twice (first on line 4)"},
      {"state joined to nothing", head + "state C 1\nstep A B ts 12\n", 4, 7,
       "state 'C' is joined by no step to state 'A'"},
  };
  for (const Case& c : cases) {
    Network network;
    Failure failure;
    EXPECT_FALSE(parse_network(c.text, "net.txt", network, failure)) << c.name;
    EXPECT_EQ(failure.status, kExitFailed) << c.name;
    EXPECT_EQ(failure.place.line, c.line) << c.name << ": " << failure.message;
    EXPECT_EQ(failure.place.column, c.column) << c.name << ": " << failure.message;
    EXPECT_NE(failure.place.reason.find(c.reason), std::string::npos)
        << c.name << ": " << failure.message;
    if (c.line > 0) {  // the line, and the caret under the fault
      const std::string caret = std::string(static_cast<std::size_t>(c.column - 1), ' ') + "^\n";
      EXPECT_NE(failure.message.find("\n" + caret), std::string::npos) << c.name << ":\n"
                                                                       << failure.message;
    }
  }
}

// A file that reads: comments, blanks, tabs, CR line ends, names used
// before they are declared, repeated species for two molecules.
TEST(NetworkFile, ReadsWhatAChemistWrites) {
  const Network network = parsed(
      "# a dimer beside the cycle\r\n"
      "step Pd0 OA ts 14.2 consumes ArX\t# oxidative addition\r\n"
      "step OA Pd0 ts 11.0 releases P P shift -25.0 name TS_RE\n"
      "\n"
      "temperature 298.15   \nspecies ArX 0.5\nspecies P 1e-3\n"
      "state Pd0 0.0\nstate OA -8.2\n");
  ASSERT_EQ(network.steps.size(), 2u);
  EXPECT_EQ(network.steps[0].name, "TS1");
  EXPECT_EQ(network.steps[1].name, "TS_RE");
  EXPECT_EQ(network.steps[1].releases, (std::vector<int64_t>{1, 1}));
  EXPECT_TRUE(network.steps[1].closes_turn);
  EXPECT_EQ(network.steps[0].line, 2);
  // Written back, it reads as the same network.
  const Network again = parsed(network_text(network, "again"));
  EXPECT_EQ(network_text(again, ""), network_text(network, ""));
}

}  // namespace
}  // namespace kinex::network

namespace kinex::network {
namespace {

// The Monte Carlo over a network's energies: no error gives the network as
// it is in every sample; one common shift of every energy (correlation 1,
// equal sigmas) changes no rate; the numbers do not depend on the threads.
TEST(NetworkSampling, PropertiesOfTheDraws) {
  const Network network = parsed(
      "temperature 298.15\nspecies A 0.5\nspecies P 1e-3\nspecies Q 1e-3\n"
      "state S0 0\nstate S1 -8.2\nstate S2 -10.5\nstate D -11\n"
      "step S0 S1 ts 14.2 consumes A\nstep S1 S2 ts 2\n"
      "step S2 S0 ts 11 releases P shift -25\nstep S2 S0 ts 12.5 releases Q shift -24\n"
      "step S0 D ts 3\n");
  const NetworkResults central = evaluated(network);
  auto sampled = [&](double sigma, double correlation, int threads) {
    NetworkSampling sampling;
    sampling.state_sigma.assign(network.states.size(), sigma);
    sampling.ts_sigma.assign(network.steps.size(), sigma);
    sampling.samples = 400;
    sampling.seed = 7;
    sampling.correlation = correlation;
    sampling.threads = threads;
    NetworkSpread spread;
    std::string error;
    EXPECT_TRUE(sample_network(network, sampling, spread, error)) << error;
    return spread;
  };
  for (const auto& [sigma, correlation] : {std::pair{0.0, 0.0}, std::pair{1.5, 1.0}}) {
    const NetworkSpread spread = sampled(sigma, correlation, 1);
    ASSERT_EQ(spread.rates.size(), 3u);
    for (std::size_t o = 0; o < 3; ++o) {
      const RateSpread& rate = spread.rates[o];
      EXPECT_NEAR(rate.log10_tof_median, rate.central_log10_tof, 1e-12) << sigma;
      EXPECT_NEAR(rate.log10_tof_interval_95[1] - rate.log10_tof_interval_95[0], 0.0, 1e-12);
      EXPECT_NEAR(rate.tdi_probability[3], 1.0, 0.0) << "the dimer rests in every sample";
    }
  }
  const NetworkSpread one = sampled(1.0, 0.3, 1), two = sampled(1.0, 0.3, 2);
  for (std::size_t o = 0; o < 3; ++o) {
    EXPECT_EQ(one.rates[o].log10_tof_median, two.rates[o].log10_tof_median);
    EXPECT_EQ(one.rates[o].tdts_probability, two.rates[o].tdts_probability);
    EXPECT_GT(one.rates[o].log10_tof_sd, 0.3);
  }
  NetworkSampling bad;
  bad.state_sigma.assign(network.states.size(), -1.0);
  bad.ts_sigma.assign(network.steps.size(), 1.0);
  NetworkSpread spread;
  std::string error;
  EXPECT_FALSE(sample_network(network, bad, spread, error));
  EXPECT_NE(error.find("at least 0"), std::string::npos) << error;
}

}  // namespace
}  // namespace kinex::network

namespace kinex::network {
namespace {

// The picture of a network: a path per way from the resting state, each in
// the legend with what it makes, no number that is not finite, and a note
// where paths are left out.
TEST(NetworkPicture, EveryPathFromTheRestingState) {
  std::string many = "temperature 298.15\nstate R -5\n";
  for (int k = 0; k < 10; ++k) {  // ten parallel ways back to R
    many += std::string("state M").append(std::to_string(k)).append(" 0\n");
    many += std::string("step R M").append(std::to_string(k)).append(" ts 10\n");
    many += std::string("step M").append(std::to_string(k)).append(" R ts 12 shift -10\n");
  }
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> legend;
    bool more;
  };
  const std::vector<Case> cases = {
      {"two products beside a dimer",
       "temperature 298.15\nspecies lin 1e-3\nspecies br 1e-3\nstate Pd0 0\nstate OA -8\n"
       "state dimer -11\nstep Pd0 OA ts 14\nstep OA Pd0 ts 11 releases lin shift -25\n"
       "step OA Pd0 ts 12.5 releases br shift -24\nstep Pd0 dimer ts 3\n",
       {"dimer \u2192 Pd0 \u2192 OA \u2192 Pd0 \u2192 dimer: makes lin",
        "dimer \u2192 Pd0 \u2192 OA \u2192 Pd0 \u2192 dimer: makes br"},
       false},
      {"an off-cycle state",
       "temperature 298.15\nstate A -10\nstate B 0\nstate D -3\nstep A B ts 15\n"
       "step B A ts 5 shift -20\nstep A D ts 2\n",
       {"A \u2192 B \u2192 A: a turn", "A \u2192 D: off the cycle"},
       false},
      {"one state",
       "temperature 298.15\nstate A 0\nstep A A ts 12 shift -5\n",
       {"A \u2192 A"},
       false},
      {"more paths than drawn", many, {"R \u2192 M0 \u2192 R: a turn"}, true},
  };
  for (const Case& c : cases) {
    const Network network = parsed(c.text);
    const std::string svg = plot::network_svg("net.txt", network, evaluated(network));
    EXPECT_EQ(svg.rfind("<svg", 0), 0u) << c.name;
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n") << c.name;
    for (const std::string& line : c.legend) {
      EXPECT_NE(svg.find(">" + line), std::string::npos) << c.name << ": " << line << "\n" << svg;
    }
    EXPECT_EQ(svg.find("more paths than") != std::string::npos, c.more) << c.name;
    for (const char* bad : {"nan", "inf", "NaN", "Inf"}) {
      EXPECT_EQ(svg.find(bad), std::string::npos) << c.name << ": " << bad;
    }
  }
}

}  // namespace
}  // namespace kinex::network

// A catalytic network: states of the catalyst joined by reversible
// elementary steps, some of which consume or release species, and its
// exact steady state: the populations, the net flux of every step, the TOF
// of every product and its degrees of control.
//
// A step leads from state `from` over its transition state to state `to`.
// Its forward rate constant is (k_B T / h) exp(-(G_ts - G_from) / RT)
// times the concentrations it consumes, its backward one
// (k_B T / h) exp(-(G_ts - G_to - shift) / RT) times those it releases: a
// step that closes a turn arrives at the next turn's state `to`, raised by
// `shift`, as a cycle's last step arrives at the next turn's first
// intermediate, raised by DeltaG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "network/signed_log.h"

namespace kinex::network {

// What a result is where there is none.
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Species {
  std::string name;
  double conc = 1.0;  // mol/L, finite and above 0
  int64_t line = 0;   // of its statement in the file; 0 when built
};

struct State {
  std::string name;
  double G = 0.0;  // kcal/mol
  int64_t line = 0;
};

struct Step {
  std::string name;  // its transition state's: TS1, TS2, ... in the order of the steps
  int64_t from = 0;  // indices into Network::states
  int64_t to = 0;
  double G_ts = 0.0;              // kcal/mol
  std::vector<int64_t> consumes;  // indices into Network::species, once a molecule
  std::vector<int64_t> releases;
  bool closes_turn = false;  // a `shift` was given: the step closes a turn
  double shift = 0.0;        // kcal/mol
  int64_t line = 0;
};

struct Network {
  double T = 0.0;      // K
  int64_t T_line = 0;  // of the temperature's statement in the file; 0 when built
  std::vector<Species> species;
  std::vector<State> states;
  std::vector<Step> steps;
};

// A rate of the network and its degrees of control: the TOF of a product,
// the net rate at which the steps release it less the rate at which steps
// consume it, or the turnover, the net rate of the steps that close a turn.
struct Rate {
  std::string name;      // the product's; empty for the turnover
  int64_t species = -1;  // the product's index; -1 for the turnover
  SignedLog tof;         // per catalyst and second
  double TOF = 0.0;      // s^-1: sign * exp(tof.ln), 0 or infinite beyond doubles
  double log10_TOF = 0.0;
  // -RT ln(|TOF| h / (k_B T)), kcal/mol; NaN without a net rate.
  double apparent_barrier = 0.0;
  // Its share of the sum of every product's TOF (NaN for the turnover).
  double selectivity = std::numeric_limits<double>::quiet_NaN();
  // X = d ln|TOF| / d(G/RT) of a state (the state's population), and
  // X = -d ln|TOF| / d(G/RT) of a transition state, so that both are
  // above 0 where raising a state or lowering a transition state speeds
  // the turnover, as in a cycle; d ln|TOF| / d ln c of a species.
  std::vector<double> xtof_state;
  std::vector<double> xtof_ts;
  std::vector<double> xtof_species;
  // The degrees of selectivity control, d ln S / d(...) alike; empty for
  // the turnover. Those of the states are 0: every rate of the network
  // depends on a state's energy alike.
  std::vector<double> xsel_ts;
  std::vector<double> xsel_species;
  // The state and the transition state of largest control, and those that
  // tie with them (to a relative 1e-12), ascending; TDTS -1 without a net
  // rate.
  int64_t TDI = 0;
  int64_t TDTS = -1;
  std::vector<int64_t> TDI_ties;
  std::vector<int64_t> TDTS_ties;
};

struct NetworkResults {
  double prefactor = 0.0;          // k_B T / h, s^-1
  std::vector<double> population;  // per state, summing to 1
  std::vector<double> ln_population;
  std::vector<SignedLog> net_flux;  // per step, forward positive, s^-1
  std::vector<Rate> products;       // one per species some step releases
  bool has_turnover = false;        // some step closes a turn
  Rate turnover;
};

// The largest network evaluated: its time grows with the states times the
// steps (44 ms at 1,000 states and 1,500 steps, a minute for a ring of
// 20,000), so that a network beyond these would take hours.
inline constexpr std::size_t kMostStates = 20000;
inline constexpr std::size_t kMostSteps = 100000;

// The rates of `results` in the order every output gives them: each
// product's, then the turnover where there is one.
std::vector<const Rate*> rates_of(const NetworkResults& results);

// Whether `network` can be evaluated: T finite and above 0, every energy
// finite, every concentration finite and above 0, every index in range,
// at least one state and at most kMostStates states and kMostSteps steps,
// names that are words of the network file and unique among their kind,
// and every state joined to every other by steps. The
// first fault goes into `error`, naming the state or step.
bool check_network(const Network& network, std::string& error);

// Evaluates a network that check_network accepts: the steady state by
// elimination over the logarithms of the rate constants (no subtraction;
// right however far the rate constants spread), the net fluxes as one
// term times -expm1 of a difference of logarithms, the rates and every
// degree of control. False, with the reason in `error`, when the network
// is not accepted or too large for the memory.
bool evaluate_network(const Network& network, NetworkResults& results, std::string& error);

}  // namespace kinex::network

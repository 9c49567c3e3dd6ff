// What kinex network writes of a network's results: a text for people,
// JSON and CSV for scripts, in the project's vocabulary.
#pragma once

#include <string>

#include "network/network.h"
#include "outputs/format.h"
#include "outputs/json_output.h"

namespace kinex::network {

// The readable text: the network in one line, the populations, each
// product's TOF (per second, hour and day), log10 TOF, selectivity,
// apparent barrier, TDI and TDTS, then the turnover; the degrees of TOF
// control of every state, transition state and species, one column per
// rate; the degrees of selectivity control where there are products.
std::string network_report(const std::string& file, const Network& network,
                           const NetworkResults& results);

// The "network" document: the input (temperature, species, states,
// steps), the populations, each step's net flux, and "products" (and
// "turnover", null without a step that closes a turn), each with its TOF,
// log10_tof (right beyond the range of doubles), selectivity,
// apparent_barrier, tdi, tdts, their ties and the degrees of control keyed
// by name. A number that is not finite is null.
Json network_json(const std::string& file, const Network& network, const NetworkResults& results);

// One CSV row per rate (the products, then the turnover): file, rate, the
// TOFs, log10_tof, selectivity, apparent_barrier, tdi, tdts, then a column
// "xtof NAME" per state, transition state and species and "xsel NAME" per
// transition state and species.
std::string network_csv(const std::string& file, const Network& network,
                        const NetworkResults& results, CsvNames& names);

// A rate as text from its logarithm, four significant digits, right beyond
// the range of doubles: "1.234e-400", "-5.000e+02", "0".
std::string rate_text(SignedLog rate);

}  // namespace kinex::network

namespace kinex::network {

struct NetworkSpread;

// The text of kinex uncertainty for a network: a line on the samples,
// then per rate log10 |TOF| (median, 68 % and 95 % intervals, mean and
// sd, the value at the energies as given), the selectivity (median, 95 %),
// the share of samples that run backwards, and how likely each state is
// the TDI and each transition state the TDTS. `sigma_text` says the
// sigmas ("sigma 1.000 kcal/mol").
std::string spread_text(const std::string& file, const Network& network,
                        const NetworkSpread& spread, const std::string& sigma_text);

// The "network_uncertainty" document of the same.
Json spread_json(const std::string& file, const Network& network, const NetworkSpread& spread,
                 const std::vector<double>& state_sigma, const std::vector<double>& ts_sigma);

}  // namespace kinex::network

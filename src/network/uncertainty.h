// The uncertainty of a network's rates from the errors of its energies: a
// Monte Carlo over the states' and transition states' Gibbs energies, as
// kinex uncertainty samples a cycle's, each sample evaluated exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "network/network.h"

namespace kinex::network {

struct NetworkSampling {
  std::vector<double> state_sigma;  // kcal/mol per state, at least 0
  std::vector<double> ts_sigma;     // kcal/mol per step
  int64_t samples = 10000;
  uint64_t seed = 0;
  double correlation = 0.0;  // the share of each energy's variance common to all
  int threads = 0;           // 0: one per core; the numbers do not depend on it
};

// The distribution of one rate over the samples: log10 of |TOF| (median,
// mean, sd, the 68 % and 95 % intervals, as kinex uncertainty gives them
// for a cycle), the selectivity (median and 95 % interval; NaN for the
// turnover), the share of samples that run backwards, and how often each
// state is the TDI and each transition state the TDTS (ties counted for
// the first).
struct RateSpread {
  std::string name;  // the product, or "turnover"
  double central_log10_tof = 0.0;
  double log10_tof_median = 0.0, log10_tof_mean = 0.0, log10_tof_sd = 0.0;
  double log10_tof_interval_68[2] = {0.0, 0.0};
  double log10_tof_interval_95[2] = {0.0, 0.0};
  double selectivity_median = 0.0;
  double selectivity_interval_95[2] = {0.0, 0.0};
  double backward_share = 0.0;
  std::vector<double> tdi_probability;   // per state
  std::vector<double> tdts_probability;  // per step
};

struct NetworkSpread {
  int64_t samples = 0;
  uint64_t seed = 0;
  double correlation = 0.0;
  std::vector<RateSpread> rates;  // the products, then the turnover
};

// A sigma given by the name of a state or transition state; `where` names
// where it was given ("FILE:LINE") for the diagnostics, or is empty.
struct NamedSigma {
  std::string name;
  double sigma = 0.0;
  std::string where;
};

// The sigma of every state and transition state of `network` into
// `sampling`: a name of `named` sets the state and the transition state of
// that name, the others take `common` (NaN: none). False with the reason
// for a name that is neither, or a state or transition state left without
// a sigma.
bool assign_sigmas(const Network& network, double common, const std::vector<NamedSigma>& named,
                   NetworkSampling& sampling, std::string& error);

// Samples `network` (which check_network accepts): sample k moves state or
// transition state s by sigma_s (sqrt(RHO) z_0 + sqrt(1 - RHO) z_s), the
// z standard normals of the counter-based generator of kinex uncertainty
// under `seed`, so that the same seed gives the same numbers on any number
// of threads. False with the reason in `error` for options out of range
// (samples below 2 or above 10^8, a sigma not finite or below 0, a
// correlation outside 0..1) or a network too large for the memory.
bool sample_network(const Network& network, const NetworkSampling& sampling, NetworkSpread& spread,
                    std::string& error);

}  // namespace kinex::network

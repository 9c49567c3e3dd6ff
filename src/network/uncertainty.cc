#include "network/uncertainty.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "model/parallel.h"
#include "model/uncertainty.h"
#include "model/uncertainty_internal.h"

namespace kinex::network {

namespace {

using uncertainty_detail::mix64;
using uncertainty_detail::sample_key;
using uncertainty_detail::Words;
using uncertainty_detail::Ziggurat;

// What one sample gives of each rate.
struct SampleRate {
  double log10_tof = kNaN, selectivity = kNaN;
  int sign = 0;
  int64_t tdi = -1, tdts = -1;
};

bool options_fit(const Network& network, const NetworkSampling& sampling, std::string& error) {
  if (sampling.samples < 2 || sampling.samples > 100000000) {
    error = "the samples must be from 2 to 100000000";
    return false;
  }
  if (!(sampling.correlation >= 0.0 && sampling.correlation <= 1.0)) {
    error = "the correlation must be from 0 to 1";
    return false;
  }
  if (sampling.state_sigma.size() != network.states.size() ||
      sampling.ts_sigma.size() != network.steps.size()) {
    error = "a sigma is needed for every state and transition state";
    return false;
  }
  for (const auto* sigmas : {&sampling.state_sigma, &sampling.ts_sigma}) {
    for (double sigma : *sigmas) {
      if (!(std::isfinite(sigma) && sigma >= 0.0)) {
        error = "every sigma must be finite and at least 0 kcal/mol";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool assign_sigmas(const Network& network, double common, const std::vector<NamedSigma>& named,
                   NetworkSampling& sampling, std::string& error) {
  sampling.state_sigma.assign(network.states.size(), common);
  sampling.ts_sigma.assign(network.steps.size(), common);
  for (const NamedSigma& given : named) {
    bool found = false;
    for (std::size_t s = 0; s < network.states.size(); ++s) {
      if (network.states[s].name == given.name) sampling.state_sigma[s] = given.sigma, found = true;
    }
    for (std::size_t e = 0; e < network.steps.size(); ++e) {
      if (network.steps[e].name == given.name) sampling.ts_sigma[e] = given.sigma, found = true;
    }
    if (!found) {
      error = (given.where.empty() ? "" : given.where + ": ") + given.name +
              " is no state or transition state of the network";
      return false;
    }
  }
  auto unset = [&error](const std::vector<double>& sigmas, const auto& items, const char* kind) {
    for (std::size_t i = 0; i < sigmas.size(); ++i) {
      if (std::isnan(sigmas[i])) {
        error = std::string(kind) + " " + items[i].name +
                " has no sigma: name it, or give a sigma for the others";
        return true;
      }
    }
    return false;
  };
  return !unset(sampling.state_sigma, network.states, "state") &&
         !unset(sampling.ts_sigma, network.steps, "transition state");
}

bool sample_network(const Network& network, const NetworkSampling& sampling, NetworkSpread& spread,
                    std::string& error) {
  if (!check_network(network, error) || !options_fit(network, sampling, error)) return false;
  NetworkResults central;
  if (!evaluate_network(network, central, error)) return false;
  try {
    const std::vector<const Rate*> central_rates = rates_of(central);
    const std::size_t n_rates = central_rates.size(), n_states = network.states.size(),
                      n_steps = network.steps.size();
    const auto samples = static_cast<std::size_t>(sampling.samples);
    std::vector<SampleRate> drawn(samples * n_rates);
    const Ziggurat ziggurat;
    const uint64_t key = mix64(sampling.seed ^ 0x510e527fade682d1ULL);
    const double shared = std::sqrt(sampling.correlation),
                 own = std::sqrt(1.0 - sampling.correlation);
    std::vector<std::string> failures(samples);
    auto task = [&](int64_t k) {
      const uint64_t sample = sample_key(key, k);
      auto normal = [&](int64_t j) {
        Words words(sample, j);
        return ziggurat.normal(words.next(), words);
      };
      const double z0 = normal(0);
      Network moved = network;
      for (std::size_t s = 0; s < n_states; ++s) {
        moved.states[s].G +=
            sampling.state_sigma[s] * (shared * z0 + own * normal(static_cast<int64_t>(1 + s)));
      }
      for (std::size_t e = 0; e < n_steps; ++e) {
        moved.steps[e].G_ts += sampling.ts_sigma[e] *
                               (shared * z0 + own * normal(static_cast<int64_t>(1 + n_states + e)));
      }
      NetworkResults results;
      std::string reason;
      if (!evaluate_network(moved, results, reason)) {
        failures[static_cast<std::size_t>(k)] = reason;
        return;
      }
      const std::vector<const Rate*> rates = rates_of(results);
      for (std::size_t o = 0; o < n_rates; ++o) {
        SampleRate& out = drawn[static_cast<std::size_t>(k) * n_rates + o];
        out.log10_tof = rates[o]->log10_TOF;
        out.sign = rates[o]->tof.sign;
        out.selectivity = rates[o]->selectivity;
        out.tdi = rates[o]->TDI;
        out.tdts = rates[o]->TDTS;
      }
    };
    const int threads = sampling.threads > 0 ? sampling.threads : thread_count(0, 1000, 1000000);
    parallel_for(sampling.samples, threads, task, [](int64_t) {});
    for (const std::string& reason : failures) {
      if (!reason.empty()) {
        error = "a sample cannot be evaluated: " + reason;
        return false;
      }
    }
    spread = NetworkSpread{};
    spread.samples = sampling.samples;
    spread.seed = sampling.seed;
    spread.correlation = sampling.correlation;
    for (std::size_t o = 0; o < n_rates; ++o) {
      RateSpread rate;
      rate.name = central_rates[o]->species < 0 ? "turnover" : central_rates[o]->name;
      rate.central_log10_tof = central_rates[o]->log10_TOF;
      std::vector<double> log10s, selectivities;
      rate.tdi_probability.assign(n_states, 0.0);
      rate.tdts_probability.assign(n_steps, 0.0);
      double sum = 0.0, backward = 0.0;
      for (std::size_t k = 0; k < samples; ++k) {
        const SampleRate& x = drawn[k * n_rates + o];
        if (x.sign != 0) log10s.push_back(x.log10_tof), sum += x.log10_tof;
        if (std::isfinite(x.selectivity)) selectivities.push_back(x.selectivity);
        if (x.sign < 0) backward += 1.0;
        if (x.tdi >= 0) rate.tdi_probability[static_cast<std::size_t>(x.tdi)] += 1.0;
        if (x.tdts >= 0) rate.tdts_probability[static_cast<std::size_t>(x.tdts)] += 1.0;
      }
      const auto total = static_cast<double>(samples);
      for (double& p : rate.tdi_probability) p /= total;
      for (double& p : rate.tdts_probability) p /= total;
      rate.backward_share = backward / total;
      if (log10s.empty()) {
        rate.log10_tof_median = rate.log10_tof_mean = rate.log10_tof_sd = kNaN;
        rate.log10_tof_interval_68[0] = rate.log10_tof_interval_68[1] = kNaN;
        rate.log10_tof_interval_95[0] = rate.log10_tof_interval_95[1] = kNaN;
      } else {
        const auto m = static_cast<double>(log10s.size());
        rate.log10_tof_mean = sum / m;
        double squares = 0.0;
        for (double x : log10s) squares += (x - rate.log10_tof_mean) * (x - rate.log10_tof_mean);
        rate.log10_tof_sd = log10s.size() > 1 ? std::sqrt(squares / (m - 1.0)) : 0.0;
        const std::vector<double> q = quantiles(log10s, {0.025, 0.158655, 0.5, 0.841345, 0.975});
        rate.log10_tof_interval_95[0] = q[0];
        rate.log10_tof_interval_68[0] = q[1];
        rate.log10_tof_median = q[2];
        rate.log10_tof_interval_68[1] = q[3];
        rate.log10_tof_interval_95[1] = q[4];
      }
      if (selectivities.empty()) {
        rate.selectivity_median = rate.selectivity_interval_95[0] =
            rate.selectivity_interval_95[1] = kNaN;
      } else {
        const std::vector<double> q = quantiles(selectivities, {0.025, 0.5, 0.975});
        rate.selectivity_interval_95[0] = q[0];
        rate.selectivity_median = q[1];
        rate.selectivity_interval_95[1] = q[2];
      }
      spread.rates.push_back(std::move(rate));
    }
    return true;
  } catch (const std::bad_alloc&) {
    error = "the samples of the network are too many for the memory";
    return false;
  }
}

}  // namespace kinex::network

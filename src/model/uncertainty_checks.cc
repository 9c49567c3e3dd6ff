// The checks of the Monte Carlo's model and cycle.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "model/profile.h"
#include "model/uncertainty.h"
#include "model/uncertainty_internal.h"

namespace kinex {

namespace uncertainty_detail {

std::string number(double x) {
  std::ostringstream text;
  text << x;
  return text.str();
}

}  // namespace uncertainty_detail

using namespace uncertainty_detail;

namespace {

bool sizes_fit(const Cycle& cycle) {
  const auto n = static_cast<std::size_t>(cycle.n);
  return cycle.G_int.size() >= n && cycle.G_ts.size() >= n + 1 && cycle.conc_reac.size() >= n + 1 &&
         cycle.conc_prod.size() >= n + 1 && cycle.has_reac.size() >= n + 1 &&
         cycle.has_prod.size() >= n + 1;
}

}  // namespace

std::string check_uncertainty_model(const UncertaintyModel& model, int64_t n) {
  std::string reason;
  const int64_t states = uncertainty_states(n);
  if (static_cast<int64_t>(model.sigma.size()) != states) {
    reason = std::to_string(model.sigma.size());
    reason += " sigmas for a cycle of ";
    reason += std::to_string(n);
    reason += " steps: it has ";
    reason += std::to_string(states);
    reason += " states";
    return reason;
  }
  for (int64_t s = 0; s < states; ++s) {
    const double sigma = model.sigma[s];
    if (is_sigma(sigma)) continue;
    reason = "sigma of state ";
    reason += std::to_string(s);
    reason += " is ";
    reason += number(sigma);
    reason += " kcal/mol";
    reason += std::isfinite(sigma) ? ", below 0" : ", not a finite number";
    return reason;
  }
  if (!(model.correlation >= 0.0 && model.correlation <= 1.0)) {
    reason = "correlation ";
    reason += number(model.correlation);
    reason += " is outside 0..1";
    return reason;
  }
  if (!(model.shared >= 0.0 && model.shared <= 1.0)) {
    reason = "shared ";
    reason += number(model.shared);
    reason += " is outside 0..1";
    return reason;
  }
  if (model.samples < 1) {
    reason = "samples ";
    reason += std::to_string(model.samples);
    reason += ": at least 1";
    return reason;
  }
  if (model.samples > kMaxUncertaintySamples) {
    reason = "samples ";
    reason += std::to_string(model.samples);
    reason += ": at most ";
    reason += std::to_string(kMaxUncertaintySamples);
    return reason;
  }
  return reason;
}

std::string check_uncertainty_cycle(const Cycle& cycle) {
  std::string reason;
  if (cycle.n < 1) {
    reason = "the cycle has ";
    reason += std::to_string(cycle.n);
    reason += " steps: at least 1";
    return reason;
  }
  if (!sizes_fit(cycle)) return "the cycle's arrays are shorter than its steps";
  if (!(std::isfinite(cycle.T) && cycle.T > 0.0)) {
    reason = "T ";
    reason += number(cycle.T);
    reason += " K: the samples need a temperature above 0";
    return reason;
  }
  if (!std::isfinite(inverse_RT(cycle.T))) {
    reason = "T ";
    reason += number(cycle.T);
    reason += " K is too small for energies in units of RT";
    return reason;
  }
  if (!std::isfinite(cycle.DeltaG)) {
    reason = "DeltaG ";
    reason += number(cycle.DeltaG);
    reason += " kcal/mol is not a finite number";
    return reason;
  }
  for (int64_t i = 1; i <= cycle.n; ++i) {
    const double energies[2] = {cycle.G_int[i - 1], cycle.G_ts[i]};
    for (int which = 0; which < 2; ++which) {
      if (std::isfinite(energies[which])) continue;
      reason = which == 0 ? "the energy of intermediate "
                          : "the energy of the transition state of step ";
      reason += std::to_string(which == 0 ? i - 1 : i);
      reason += " is ";
      reason += number(energies[which]);
      return reason;
    }
    const bool given[2] = {cycle.has_reac[i], cycle.has_prod[i]};
    const double conc[2] = {cycle.conc_reac[i], cycle.conc_prod[i]};
    for (int which = 0; which < 2; ++which) {
      if (!given[which] || (std::isfinite(conc[which]) && conc[which] > 0.0)) continue;
      reason =
          which == 0 ? "the reactant concentration of step " : "the product concentration of step ";
      reason += std::to_string(i);
      reason += " is ";
      reason += number(conc[which]);
      reason += ": the samples need every given concentration finite and above 0";
      return reason;
    }
  }
  return reason;
}

std::string check_sigma_range(const Cycle& cycle, const UncertaintyModel& model) {
  // A standard normal of the generator lies within 13.8 (its tail ends where
  // the uniform's 53 bits do); mixed with the shared and common parts, one
  // state's error within 28 sigma, DeltaG's (two states') within 56.
  constexpr double kErrorBound = 96.0;
  // Every sample's logarithms stay within a few times this, so that the
  // sums of their squares over 1e8 samples stay finite.
  constexpr double kLargestScaled = 1e145;
  double energy = std::fabs(cycle.DeltaG);
  for (int64_t k = 0; k < cycle.n; ++k) energy = std::fmax(energy, std::fabs(cycle.G_int[k]));
  for (int64_t i = 1; i <= cycle.n; ++i) energy = std::fmax(energy, std::fabs(cycle.G_ts[i]));
  const double inv_RT = inverse_RT(cycle.T);
  const double largest = (kLargestScaled / inv_RT - 2.0 * energy) / kErrorBound;
  for (std::size_t s = 0; s < model.sigma.size(); ++s) {
    if (model.sigma[s] <= largest) continue;
    std::string reason = "sigma of state ";
    reason += std::to_string(s);
    reason += " is ";
    reason += number(model.sigma[s]);
    reason += " kcal/mol: at T ";
    reason += number(cycle.T);
    reason +=
        " K its samples would leave the range of numbers; the largest sigma that can be "
        "sampled here is ";
    reason += number(largest > 0.0 ? largest : 0.0);
    reason += " kcal/mol";
    return reason;
  }
  return {};
}

}  // namespace kinex

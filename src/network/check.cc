#include "network/check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "outputs/check.h"
#include "outputs/format.h"
#include "text/strings.h"

namespace kinex::network {

namespace {

std::string kcal(double G) { return significant(G) + " kcal/mol"; }

std::string rate_phrase(const Rate& rate) {
  return rate.species < 0 ? std::string("the turnover") : "product " + rate.name;
}

}  // namespace

bool is_network_name(const std::string& name) {
  const std::string lower = text::ascii_lower(name);
  return lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".net") == 0;
}

std::vector<InputWarning> network_findings(const Network& network, const NetworkResults& results) {
  std::vector<InputWarning> found;
  if (temperature_looks_celsius(network.T)) {
    found.push_back({kTemperatureLooksCelsius, network.T_line,
                     "the temperature is " + shortest(network.T) + " K, below " +
                         shortest(kLowestLikelyTemperature) + " K: if it is in \u00b0C, write " +
                         shortest(network.T + 273.15) + "; KINEX takes the temperature in kelvin.",
                     ""});
  }
  for (const Step& step : network.steps) {
    const State& from = network.states[static_cast<std::size_t>(step.from)];
    const State& to = network.states[static_cast<std::size_t>(step.to)];
    const double arrival = to.G + step.shift;
    if (step.G_ts < from.G || step.G_ts < arrival) {
      const bool before = step.G_ts < from.G;
      found.push_back({kNegativeBarrier, step.line,
                       step.name + " (" + kcal(step.G_ts) + ") lies below " +
                           (before ? from.name : to.name) + " (" + kcal(before ? from.G : arrival) +
                           ") " + (before ? "before" : "after") + " it: a negative barrier",
                       ""});
    }
  }
  const std::vector<const Rate*> rates = rates_of(results);
  const double limit = std::log(results.prefactor);
  for (const Rate* rate : rates) {
    if (rate->tof.sign > 0 && rate->tof.ln > limit * (1 + 1e-12)) {
      found.push_back({kTofAboveLimit, 0,
                       "the TOF of " + rate_phrase(*rate) + " lies above k_B T/h, " +
                           exponent_form(results.prefactor) +
                           " s^-1, the fastest a step over a transition state can be",
                       ""});
    }
    if (rate->tof.sign <= 0) {
      found.push_back(
          {kNoDrivingForce, 0,
           rate_phrase(*rate) + (rate->tof.sign < 0 ? " runs backwards (its TOF is below 0)"
                                                    : " makes nothing net (its TOF is 0)"),
           ""});
    }
  }
  for (const Rate* rate : rates) {
    if (results.has_turnover && rate != &results.turnover) continue;
    if (std::isfinite(rate->apparent_barrier) && rate->apparent_barrier >= kLargestLikelySpan) {
      found.push_back({kEnergiesLookKilojoules, 0,
                       "the apparent barrier of " + rate_phrase(*rate) + " is " +
                           kcal(rate->apparent_barrier) + ": are the energies in kJ/mol?",
                       ""});
    }
  }
  std::stable_sort(found.begin(), found.end(), [](const InputWarning& a, const InputWarning& b) {
    return (a.line == 0 ? INT64_MAX : a.line) < (b.line == 0 ? INT64_MAX : b.line);
  });
  return found;
}

}  // namespace kinex::network

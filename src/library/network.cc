#include "network/network.h"

#include <kinex/network.h>

#include "figures/network_svg.h"
#include "library/json_visit.h"
#include "network/outputs.h"
#include "network/reader.h"
#include "network/uncertainty.h"

namespace kinex::features {

namespace {

// The network of the file `text`, evaluated; false with `failure` filled.
bool evaluated(const std::string& text, const std::string& name, network::Network& network,
               network::NetworkResults& results, Failure& failure) {
  if (!network::parse_network(text, name, network, failure)) return false;
  std::string error;
  if (network::evaluate_network(network, results, error)) return true;
  failure = Failure{};
  failure.status = kExitFailed;
  failure.message = name + ": " + error + "\n";
  return false;
}

}  // namespace

bool network_document(const std::string& text, const std::string& name, JsonVisitor& to,
                      Failure& failure) {
  network::Network network;
  network::NetworkResults results;
  if (!evaluated(text, name, network, results, failure)) return false;
  visit_json(network::network_json(name, network, results), to);
  return true;
}

bool network_picture(const std::string& text, const std::string& name, std::string& svg,
                     Failure& failure) {
  network::Network network;
  network::NetworkResults results;
  if (!evaluated(text, name, network, results, failure)) return false;
  svg = plot::network_svg(name, network, results);
  return true;
}

bool network_uncertainty_document(const std::string& text, const std::string& name,
                                  const NetworkSigmas& sigmas, JsonVisitor& to, Failure& failure) {
  network::Network network;
  if (!network::parse_network(text, name, network, failure)) return false;
  network::NetworkSampling sampling;
  sampling.samples = sigmas.samples;
  sampling.seed = sigmas.seed;
  sampling.correlation = sigmas.correlation;
  sampling.threads = sigmas.threads;
  std::vector<network::NamedSigma> named;
  for (const auto& [state, sigma] : sigmas.named) named.push_back({state, sigma, ""});
  network::NetworkSpread spread;
  std::string error;
  if (!network::assign_sigmas(network, sigmas.common, named, sampling, error) ||
      !network::sample_network(network, sampling, spread, error)) {
    failure = Failure{};
    failure.status = kExitFailed;
    failure.message = name + ": " + error + "\n";
    return false;
  }
  visit_json(network::spread_json(name, network, spread, sampling.state_sigma, sampling.ts_sigma),
             to);
  return true;
}

std::string cycle_network_file(const Cycle& cycle, const std::string& comment) {
  return network::network_text(network::cycle_network(cycle), comment);
}

}  // namespace kinex::features

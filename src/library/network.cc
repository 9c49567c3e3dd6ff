#include "network/network.h"

#include <kinex/network.h>

#include "library/json_visit.h"
#include "network/outputs.h"
#include "network/reader.h"

namespace kinex::features {

bool network_document(const std::string& text, const std::string& name, JsonVisitor& to,
                      Failure& failure) {
  network::Network network;
  if (!network::parse_network(text, name, network, failure)) return false;
  network::NetworkResults results;
  std::string error;
  if (!network::evaluate_network(network, results, error)) {
    failure = Failure{};
    failure.status = kExitFailed;
    failure.message = name + ": " + error + "\n";
    return false;
  }
  visit_json(network::network_json(name, network, results), to);
  return true;
}

std::string cycle_network_file(const Cycle& cycle, const std::string& comment) {
  return network::network_text(network::cycle_network(cycle), comment);
}

}  // namespace kinex::features

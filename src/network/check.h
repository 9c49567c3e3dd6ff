// What to look at in a network before it goes into a paper, as kinex
// check finds it for a cycle, with the same codes (outputs/check.h).
#pragma once

#include <string>
#include <vector>

#include "input/warnings.h"
#include "network/network.h"

namespace kinex::network {

// Whether a file is taken for a network file: its name ends in ".net" (in
// any case).
bool is_network_name(const std::string& name);

// Every finding about the evaluated network, ordered by line (those
// without one last):
// - temperature-looks-celsius: T below 200 K, on the temperature's line;
// - negative-barrier: a transition state below the state its step leaves
//   or the one it arrives at (raised by the shift), on the step's line;
// - TOF-above-limit: a forward rate (a product's or the turnover) above
//   k_B T/h;
// - no-driving-force: a rate that runs backwards or makes nothing net;
// - energies-look-kJ: an apparent barrier of 60 kcal/mol or more (the
//   turnover's, else each product's).
std::vector<InputWarning> network_findings(const Network& network, const NetworkResults& results);

}  // namespace kinex::network

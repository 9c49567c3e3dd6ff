// The energy profile of a catalytic network: every path from the resting
// state (the state of largest population) drawn as a branch of one
// profile, as the profile of a cycle is drawn, each path in a colour and
// dash of its own, with a legend of what each path makes.
#pragma once

#include <string>

#include "network/network.h"

namespace kinex::plot {

// The most paths drawn; more are named as left out under the legend.
inline constexpr std::size_t kMostNetworkPaths = 8;

// The SVG document of the evaluated network, titled with `file` (escaped,
// as every text). A path follows the steps from the resting state to
// states not yet on it, a step that closes a turn only forward and ending
// the path on the next turn's state, raised by the shift; a path that can
// go no further ends there (an off-cycle state). States are bars with
// their names above and their energies below, transition states too.
std::string network_svg(const std::string& file, const network::Network& network,
                        const network::NetworkResults& results);

}  // namespace kinex::plot

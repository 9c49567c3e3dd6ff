// The network file: a plain text a chemist writes by hand, one statement a
// line, `#` starting a comment:
//
//   temperature T                       in K, once
//   species NAME CONC                   a reactant or product, mol/L
//   state NAME G                        a state of the catalyst, kcal/mol
//   step FROM TO ts G_TS [consumes NAME ...] [releases NAME ...]
//        [shift DG] [name TS_NAME]      a reversible elementary step
//
// Names are unique among the states, among the species and among the
// transition states (TS1, TS2, ... in the order of the steps unless
// named); a step may name states and species declared anywhere in the
// file.
#pragma once

#include <kinex/types.h>

#include <string>
#include <string_view>

#include "network/network.h"

namespace kinex::network {

// Reads `text`, named `file` in diagnostics, into `network`. The first
// fault fills `failure` (kExitFailed) with "file:line: reason" and the
// line with a caret under the fault, and its parts in failure.place.
bool parse_network(std::string_view text, const std::string& file, Network& network,
                   Failure& failure);

// The same for the file at `path`: one that cannot be read (or is no text:
// a NUL byte, a line above 1 MiB) fails with the reason.
bool read_network(const std::string& path, Network& network, Failure& failure);

// The network of a cycle: its intermediates as states I0, I1, ..., each
// step i as a step over TS<i>, the last closing the turn with shift
// DeltaG, every given reactant (product) concentration of step i as a
// species R<i> (P<i>) that the step consumes (releases). Its results are
// the cycle's.
Network cycle_network(const Cycle& cycle);

// The network file of a network that check_network accepts, headed by
// `comment` as a comment when it is not empty: every number written so
// that it reads back as the same double, a transition state named where
// its name is not TS<k> of its place.
std::string network_text(const Network& network, const std::string& comment);

}  // namespace kinex::network

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

// The network file of a cycle: its intermediates as states, each step as a
// step, the last closing the turn with shift DeltaG, every given reactant
// (product) concentration of step i as a species R<i> (P<i>) that the step
// consumes (releases). Every number is written so that it reads back as
// the same double, so the file's results are the cycle's. The states are
// I0, I1, ..., the transition states TS1, TS2, ...; `source` is named in
// the file's first comment.
std::string network_text(const Cycle& cycle, const std::string& source);

}  // namespace kinex::network

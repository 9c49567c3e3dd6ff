// Catalytic networks, as kinex network reads and evaluates them: a network
// file (states, the steps between them over their transition states, the
// species the steps consume and release) and its exact steady state, the
// TOF and selectivity of every product and their degrees of control.
#pragma once

#include <kinex/json.h>
#include <kinex/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kinex::features {

// Reads the network file `text` (named `name` in diagnostics), evaluates
// it, and gives its "network" document, the one kinex network --json
// prints, to `to`. A fault of the file fills `failure` (kExitFailed,
// "name:line: reason" with the line and a caret, and its place), as one
// of the network (too large for the memory) does without a place; `to` is
// then not called.
bool network_document(const std::string& text, const std::string& name, JsonVisitor& to,
                      Failure& failure);

// The Monte Carlo of kinex uncertainty over a network's energies: the
// sigma of every state and transition state (`common`, NaN for none, and
// `named` by name), the samples, the seed, the correlation and the threads.
struct NetworkSigmas {
  double common = 0.0;
  std::vector<std::pair<std::string, double>> named;
  int64_t samples = 10000;
  uint64_t seed = 0;
  double correlation = 0.0;
  int threads = 0;
};

// Reads the network file `text` as network_document does and gives its
// "network_uncertainty" document, kinex uncertainty FILE.net --json's, to
// `to`. A fault of the file fills `failure` as there; one of the sigmas
// or the sampling fills `error` (failure.status kExitFailed, no place).
bool network_uncertainty_document(const std::string& text, const std::string& name,
                                  const NetworkSigmas& sigmas, JsonVisitor& to, Failure& failure);

// The picture of kinex network FILE -o OUT.svg for the network file
// `text`: every path from the resting state as a branch of one energy
// profile, titled with `name`. A fault fills `failure` as network_document
// does.
bool network_picture(const std::string& text, const std::string& name, std::string& svg,
                     Failure& failure);

// The network file of `cycle`, kinex network --from-cycle's: the
// intermediates as states I0.., each step over TS1.., the last closing the
// turn with shift DeltaG, each given concentration of step i a species
// R<i> (reactant) or P<i> (product); headed by `comment` as a comment
// where it is not empty. Its results are the cycle's.
std::string cycle_network_file(const Cycle& cycle, const std::string& comment);

}  // namespace kinex::features

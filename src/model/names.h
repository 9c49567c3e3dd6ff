// The names of a cycle's states: from a table's header, or the defaults
// I0 .. I(n-1) and TS1 .. TSn. One scheme for every output of kinex.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kinex/types.h"

namespace kinex {

// I0 .. I(n-1), TS1 .. TSn, no final name.
inline StateNames default_names(int64_t n) {
  StateNames names;
  // Appended rather than concatenated with a literal, which g++ 12 warns
  // about wrongly.
  for (int64_t k = 0; k < n; ++k) names.intermediate.emplace_back(1, 'I').append(std::to_string(k));
  names.transition.emplace_back();
  for (int64_t i = 1; i <= n; ++i) names.transition.emplace_back("TS").append(std::to_string(i));
  return names;
}

// `names` where it holds a cycle of n steps, else the defaults.
inline StateNames names_or_defaults(const StateNames& names, int64_t n) {
  if (static_cast<int64_t>(names.intermediate.size()) == n &&
      static_cast<int64_t>(names.transition.size()) == n + 1) {
    return names;
  }
  return default_names(n);
}

// The name of the final state: its own, or the first intermediate's with a
// prime (U+2032).
inline std::string final_state_name(const StateNames& names) {
  if (!names.final_state.empty()) return names.final_state;
  return (names.intermediate.empty() ? std::string("I0") : names.intermediate[0]) + "\u2032";
}

// A value that travels with a cycle from a table's descriptor column.

}  // namespace kinex

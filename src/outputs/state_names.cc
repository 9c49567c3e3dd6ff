#include "outputs/state_names.h"

#include <cmath>

namespace kinex {

StateNames run_names(const Run& run) { return names_or_defaults(run.names, run.cycle.n); }

std::string tdi_state(const StateNames& names, int64_t tdi) {
  const auto n = static_cast<int64_t>(names.intermediate.size());
  return tdi >= 1 && tdi <= n ? names.intermediate[static_cast<std::size_t>(tdi - 1)]
                              : std::string();
}

std::string tdts_state(const StateNames& names, int64_t tdts) {
  const auto n = static_cast<int64_t>(names.transition.size()) - 1;
  return tdts >= 1 && tdts <= n ? names.transition[static_cast<std::size_t>(tdts)] : std::string();
}

namespace {

// The index in first..last of the largest finite value, the first of equal
// ones; `none` where no value is finite.
int64_t largest(const std::vector<double>& values, int64_t first, int64_t last, int64_t none) {
  int64_t best = none;
  for (int64_t k = first; k <= last && k < static_cast<int64_t>(values.size()); ++k) {
    const double x = values[static_cast<std::size_t>(k)];
    if (std::isfinite(x) && (best == none || x > values[static_cast<std::size_t>(best)])) best = k;
  }
  return best;
}

}  // namespace

std::vector<std::string> tdi_tie_states(const StateNames& names, const Results& results) {
  std::vector<std::string> tied;
  for (const int64_t i : results.TDI_ties) tied.push_back(tdi_state(names, i));
  return tied;
}

std::vector<std::string> tdts_tie_states(const StateNames& names, const Results& results) {
  std::vector<std::string> tied;
  for (const int64_t i : results.TDTS_ties) tied.push_back(tdts_state(names, i));
  return tied;
}

int64_t largest_xtof_intermediate(const Results& results, int64_t n) {
  return largest(results.xtof_int, 0, n - 1, -1);
}

int64_t largest_xtof_transition_state(const Results& results, int64_t n) {
  return largest(results.xtof_ts, 1, n, 0);
}

std::size_t shown_width(std::string_view text) {
  std::size_t width = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  }
  return width;
}

}  // namespace kinex

// The states kinex names in its outputs: the TDI, the TDTS and those with
// the largest degree of TOF control, by the run's names (I0.., TS1.. where
// it has none; see model/names.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/run.h"

namespace kinex {

// The run's names where they fit its cycle, else the defaults.
StateNames run_names(const Run& run);

// The name of the TDI (the intermediate that starts step TDI) and of the
// TDTS (the transition state of step TDTS); empty where the step is not one
// of 1..n (a run not evaluated).
std::string tdi_state(const StateNames& names, int64_t tdi);
std::string tdts_state(const StateNames& names, int64_t tdts);

// The names of the states tied with the TDI (TDTS): tdi_state (tdts_state)
// of each step of results.TDI_ties (TDTS_ties).
std::vector<std::string> tdi_tie_states(const StateNames& names, const Results& results);
std::vector<std::string> tdts_tie_states(const StateNames& names, const Results& results);

// The intermediate (0..n-1) with the largest finite X_TOF(int), the first
// of equal ones; -1 where none is finite.
int64_t largest_xtof_intermediate(const Results& results, int64_t n);
// The step (1..n) whose transition state has the largest finite X_TOF(TS),
// the first of equal ones; 0 where none is finite.
int64_t largest_xtof_transition_state(const Results& results, int64_t n);

// The number of characters of UTF-8 text as a terminal shows them in a
// column: bytes that do not continue a UTF-8 sequence.
std::size_t shown_width(std::string_view text);

}  // namespace kinex

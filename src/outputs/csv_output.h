// The screening table of `kinex csv`: one row per cycle.
#pragma once

#include <cstddef>
#include <string>

#include "model/run.h"
#include "outputs/format.h"

namespace kinex {

// The header row, ended by a line feed:
// file,T,n,DeltaG,TOF_per_s,TDI,TDTS,energetic_span,warning,log10_TOF,
// evaluation,effective_span,apparent_barrier,warnings,TDI_state,TDTS_state,
// largest_X_TOF_intermediate,largest_X_TOF_transition_state
// (the columns from log10_TOF on come after those of earlier versions, so
// that scripts reading by position keep working).
std::string csv_header();

// The row of `run` after evaluate_cycle (with Use::outputs), ended by a
// line feed: the file name (as `names` writes it), T in K, n,
// DeltaG and the energetic span in kcal/mol, the TOF in s^-1, warning 1 when
// the driving force is not positive, else 0; then log10 |TOF|, the
// evaluation ("direct" or "log-space"), the effective span and the apparent
// barrier in kcal/mol; last the number of findings (`warnings`, see
// kinex/check.h); then the names (see kinex/state_names.h) of the TDI, the
// TDTS and the intermediate and transition state with the largest X_TOF, as
// `names` writes them (empty where there is none). Reals as
// shortest().
std::string csv_row(const Run& run, CsvNames& names, std::size_t warnings);

}  // namespace kinex

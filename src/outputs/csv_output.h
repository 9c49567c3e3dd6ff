// The screening table of `kinex csv`: one row per cycle.
#pragma once

#include <cstddef>
#include <string>

#include "model/run.h"
#include "outputs/format.h"

namespace kinex {

// The header row, ended by a line feed:
// file,T,n,DeltaG,tof_per_s,tdi_step,tdts_step,energetic_span,warning,
// log10_tof,evaluation,effective_span,apparent_barrier,warning_count,tdi,tdts,
// largest_xtof_int,largest_xtof_ts,tdi_tie_steps,tdts_tie_steps
// (the columns from log10_tof on come after those of earlier versions, so
// that scripts reading by position keep working).
std::string csv_header();

// The row of `run` after evaluate_cycle (with Use::outputs), ended by a
// line feed: the file name (as `names` writes it), T in K, n,
// DeltaG and the energetic span in kcal/mol, the TOF in s^-1, warning true
// when the driving force is not positive, else false; then log10 |TOF|, the
// evaluation ("direct" or "log-space"), the effective span and the apparent
// barrier in kcal/mol; the number of findings (`warnings`, see
// kinex/check.h); then the names (see kinex/state_names.h) of the TDI, the
// TDTS and the intermediate and transition state with the largest X_TOF, as
// `names` writes them (empty where there is none); last the steps of the
// TDI's and the TDTS's ties. Reals as shortest().
std::string csv_row(const Run& run, CsvNames& names, std::size_t warnings);

}  // namespace kinex

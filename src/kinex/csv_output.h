// The screening table of `kinex csv`: one row per cycle.
#pragma once

#include <string>

#include "model/run.h"

namespace kinex {

// The header row, ended by a line feed:
// file,T,n,DeltaG,TOF_per_s,TDI,TDTS,energetic_span,warning
std::string csv_header();

// The row of `run` after evaluate_cycle, ended by a line feed: the file name
// (as csv_name_field() writes it), T in K, n, DeltaG and the energetic span in kcal/mol,
// the TOF in s^-1 (reals as shortest()), and warning 1 when the driving force
// is not positive, else 0.
std::string csv_row(const Run& run, bool for_spreadsheet);

}  // namespace kinex

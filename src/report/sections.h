// The sections of the report, each appended to `out`.
#pragma once

#include <string>

#include "driver/run.h"

namespace kinex::report {

// The driving-force warning lines (an empty line of zero characters and two
// text lines); nothing when the driving force is positive.
void write_warning(const Run& run, std::string& out);

// Fills xtof_reac_cell and xtof_prod_cell from the X_TOF values.
void fill_xtof_cells(Run& run);

// The whole report in its order, each section under its switch: the head
// (empty line, banner, input-file name), the repeat of the input, the degrees
// of TOF control, the analysis of the cycle and the TOF.
void write_report(const Run& run, std::string& out);

}  // namespace kinex::report

// The sections of the report, each appended to `out` as the line writer
// renders them (free-form lines begin with a blank, laid-out lines do not).
#pragma once

#include <string>

#include "model/run.h"

namespace kinex::report {

// The driving-force warning: a line of zero characters, "WARNING! There is
// no positive driving force." and the likely reason (DeltaG not negative, or
// else the concentrations). Nothing when the driving force is positive.
// Written before the report, so that it is seen even if the run stops later.
void write_warning(const Profile& profile, std::string& out);

// A concentration as the repeat of the input shows it: ES7.1 without
// trailing blanks ("5.0E-01"), or "x" for none.
std::string concentration_text(bool has_conc, double conc);

// A concentration cell of the degrees-of-control table, without trailing
// blanks: the F9.2 field of the X_TOF value where the step has that
// concentration, the free-form " x" where it has none.
std::string xtof_cell(bool has_conc, double xtof);

// The advice of the analysis of the cycle: the sentences naming the
// reactants to give in high concentration and the products to remove, and
// the closing pair; nothing when the span names no such step.
void write_advice(const Results& results, std::string& out);

// The whole report in its order, each section under its switch: the head
// (empty line, banner, input-file name and an empty line), the repeat of the
// input, the degrees of TOF control, the analysis of the cycle and the TOF.
// Without `headings` the boxed heading (and its empty line) of the last four
// is left out. `input_name` is shown as the input file's name.
void write_report(const std::string& input_name, const Cycle& cycle, const Profile& profile,
                  const Results& results, const Switches& show, std::string& out);

}  // namespace kinex::report

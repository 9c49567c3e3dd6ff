// Scans: one cycle evaluated over a range of temperatures or of one step's
// reactant or product concentration, to see where the TDI and TDTS switch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kinex/scan.h"
#include "kinex/types.h"
#include "model/run.h"
#include "outputs/format.h"
#include "platform/progress.h"
#include "text/shown_name.h"

namespace kinex {

// More rows than this are refused rather than computed.
inline constexpr std::size_t kMaxScanRows = 100000;

// Reads the argument of --temperature ("FROM:TO:STEP") or of --reactant and
// --product ("STEP=FROM:TO:FACTOR") into `sweep`. Numbers as std::from_chars
// reads them (no blanks, no leading '+'); the step a whole number of at
// least 1. Checks the range: every number finite, FROM <= TO; temperatures
// FROM > 0 and STEP > 0; concentrations FROM > 0 and FACTOR > 1; at most
// kMaxScanRows values. Keeps FROM and STEP (FACTOR) as typed as well. On
// failure returns false with the reason in `error`.
bool parse_sweep(Sweep::Kind kind, std::string_view text, Sweep& sweep, std::string& error);

// The swept values in ascending order: FROM + k*STEP, resp. FROM * FACTOR^k,
// for k = 0, 1, ... while not beyond TO. Each is the double nearest to the
// exact decimal value of the typed numbers (599.9 in 250:600:0.1, 1e-05 in
// 1e-8:1:10) wherever that value has at most 38 significant digits; beyond
// (FACTOR 1.5 to a high power) it is computed in doubles from FROM directly.
// A last value within a relative 1e-9 of TO is TO itself.
std::vector<double> sweep_values(const Sweep& sweep);

// Evaluates `cycle` (read, not yet evaluated) once per value with the swept
// quantity replaced: T, or the step's concentration, which then counts as
// given even where the file has "x"; the logarithms always evaluated
// (Use::outputs), so that log10_TOF comes from them. The one record
// serves every row, so the storage of the cycle is had once. Each row goes
// to `take` as soon as it is computed; a false from `take` ends the scan (and run_scan returns
// true). `progress`, when set, hears the share of the scan done. A step
// outside 1..n fails with kExitFailed.
bool run_scan(Run& cycle, const Sweep& sweep, const std::vector<double>& values,
              const std::function<bool(const ScanRow&)>& take, const ProgressFn& progress,
              Failure& failure);

// The rows of a scan as text, one line at a time, so that each row can go
// out as it is computed; the widths are therefore fixed from the start.
//
// The text table is for reading, its columns right-aligned and two blanks
// apart: the swept value as typed (shortest(), the column as wide as the
// widest of `values`), the TOF in exponent form, log10 TOF, the TDI and the
// TDTS by name (the columns as wide as the widest name, control characters
// escaped as text::shown_name() does), the energetic and the effective
// span and, in temperature scans, the apparent activation energy Ea, these
// with four significant digits (significant()); then a note where the TDI
// or TDTS switches ("TDTS TS2 -> TS3"), where the
// driving force is not positive, and "log-space" where the log-space
// evaluation gave the row.
//
// CSV has a header row: the swept value ("T", "reactant_STEP" or
// "product_STEP"), tof_per_s, tdi_step, tdts_step, energetic_span, warning,
// tdi_changed, tdts_changed (flags as true or false), log10_tof, evaluation
// ("direct" or "log-space"), effective_span, apparent_barrier and, in
// temperature scans, apparent_activation_energy; last tdi and tdts, the
// names as CsvNames writes them, and tdi_tie_steps and tdts_tie_steps.
// Reals as shortest().
class ScanWriter {
 public:
  // `names`: the cycle's (see kinex/state_names.h); `n` alone: the defaults.
  // `for_spreadsheet`: CSV names a spreadsheet would take for formulas are
  // written as text (see CsvNames).
  ScanWriter(const Sweep& sweep, const std::vector<double>& values, const StateNames& names,
             bool csv, bool for_spreadsheet = false);
  ScanWriter(const Sweep& sweep, const std::vector<double>& values, int64_t n, bool csv);
  std::string header() const;
  // The line of `row`; `before` is the row before it (nullptr for the first).
  std::string line(const ScanRow& row, const ScanRow* before);
  // The warnings about names written as they are, since the last call.
  std::string take_warnings() { return guard_.take_warnings(); }

 private:
  std::vector<std::string> headings() const;  // of the text table

  Sweep sweep_;
  bool csv_;
  StateNames names_;
  CsvNames guard_;
  std::vector<std::size_t> width_;
};

}  // namespace kinex

// Scans: one cycle evaluated over a range of temperatures or of one step's
// reactant or product concentration, to see where the TDI and TDTS switch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run.h"

namespace kinex {

struct Sweep {
  enum class Kind { Temperature, Reactant, Product };
  Kind kind = Kind::Temperature;
  int64_t step = 0;  // the step whose concentration is swept
  double from = 0.0;
  double to = 0.0;
  double by = 0.0;  // temperature: the increment in K; concentration: the factor
};

// More rows than this are refused rather than computed.
inline constexpr std::size_t kMaxScanRows = 100000;

// Reads the argument of --temperature ("FROM:TO:STEP") or of --reactant and
// --product ("STEP=FROM:TO:FACTOR") into `sweep`. Numbers as std::from_chars
// reads them (no blanks, no leading '+'); the step a whole number of at
// least 1. Checks the range: every number finite, FROM <= TO; temperatures
// FROM > 0 and STEP > 0; concentrations FROM > 0 and FACTOR > 1; at most
// kMaxScanRows values. On failure returns false with the reason in `error`.
bool parse_sweep(Sweep::Kind kind, std::string_view text, Sweep& sweep, std::string& error);

// The swept values in ascending order: FROM + k*STEP, resp. FROM * FACTOR^k,
// for k = 0, 1, ... while not beyond TO. A last value within a relative 1e-9
// of TO is TO itself, so that 250:400:0.1 ends at 400 exactly.
std::vector<double> sweep_values(const Sweep& sweep);

struct ScanRow {
  double value = 0.0;  // the swept value of this row
  double TOF = 0.0;    // s^-1
  int64_t TDI = 0;
  int64_t TDTS = 0;
  double energetic_span = 0.0;  // kcal/mol
  bool warning = false;         // the driving force is not positive
  bool tdi_changed = false;     // against the row before; never in the first row
  bool tdts_changed = false;
};

// Evaluates a copy of `base` (read, not yet evaluated) for each value with
// the swept quantity replaced: T, or the step's concentration, which then
// counts as given even where the file has "x". A step outside 1..n fails with
// status 2; storage that cannot be had fails as the reader does.
bool run_scan(const Run& base, const Sweep& sweep, const std::vector<double>& values,
              std::vector<ScanRow>& rows, Failure& failure);

// The rows as an aligned text table with a header line; the last column notes
// where the TDI or TDTS switches ("TDTS 2 -> 3") and rows without a positive
// driving force.
std::string scan_table(const Sweep& sweep, const std::vector<ScanRow>& rows);

// The rows as CSV with a header row: the swept value ("T", "reactant_STEP" or
// "product_STEP"), TOF_per_s, TDI, TDTS, energetic_span, warning,
// TDI_changed, TDTS_changed (flags as 0 or 1).
std::string scan_csv(const Sweep& sweep, const std::vector<ScanRow>& rows);

}  // namespace kinex

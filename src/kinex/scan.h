// Scans: one cycle evaluated over a range of temperatures or of one step's
// reactant or product concentration, to see where the TDI and TDTS switch.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/progress.h"
#include "input/failure.h"
#include "model/run.h"

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

// Evaluates `cycle` (read, not yet evaluated) once per value with the swept
// quantity replaced: T, or the step's concentration, which then counts as
// given even where the file has "x". The one record serves every row, so
// the storage of the cycle is had once. Each row goes to `take` as soon as
// it is computed; a false from `take` ends the scan (and run_scan returns
// true). `progress`, when set, hears the share of the scan done. A step
// outside 1..n fails with kExitFailed.
bool run_scan(Run& cycle, const Sweep& sweep, const std::vector<double>& values,
              const std::function<bool(const ScanRow&)>& take, const ProgressFn& progress,
              Failure& failure);

// The rows of a scan as text, one line at a time, so that each row can go
// out as it is computed. The text table is aligned: the value column as wide
// as the widest of `values`, the step columns as wide as the cycle's steps
// need, the reals as wide as any shortest() text; the last column notes
// where the TDI or TDTS switches ("TDTS 2 -> 3") and rows without a
// positive driving force. CSV has a header row: the swept value ("T",
// "reactant_STEP" or "product_STEP"), TOF_per_s, TDI, TDTS, energetic_span,
// warning, TDI_changed, TDTS_changed (flags as 0 or 1).
class ScanWriter {
 public:
  ScanWriter(const Sweep& sweep, const std::vector<double>& values, int64_t n, bool csv);
  std::string header() const;
  // The line of `row`; `before` is the row before it (nullptr for the first).
  std::string line(const ScanRow& row, const ScanRow* before) const;

 private:
  Sweep sweep_;
  bool csv_;
  std::array<std::size_t, 5> width_{};
};

}  // namespace kinex

#include "scan/scan.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "batch/cycle.h"
#include "kinex/types.h"
#include "model/evaluate.h"
#include "model/profile.h"
#include "outputs/format.h"
#include "outputs/state_names.h"
#include "outputs/summary.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

// Slack, in units of one step of the sweep, that keeps TO on the grid when
// rounding puts it a hair beyond the last step.
constexpr double kSlack = 1e-9;

bool read_real(std::string_view text, double& x) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), x);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Exponents beyond this are never those of a finite double; they are left
// to the doubles, so that sums of them cannot overflow.
constexpr int64_t kMaxTypedExponent = 1000000;

// `text` (as read_real accepts it) as digits * 10^exponent, trailing zeros
// taken into the exponent; not exact for a sign, "inf", "nan" or more than
// 19 significant digits.
TypedDecimal typed_decimal(std::string_view text) {
  TypedDecimal typed;
  std::string digits;  // the significant ones
  int64_t exponent = 0;
  bool any = false;
  std::size_t k = 0;
  auto take = [&](bool fraction) {
    for (; k < text.size() && is_digit(text[k]); ++k) {
      any = true;
      if (!digits.empty() || text[k] != '0') digits += text[k];
      if (fraction) --exponent;
    }
  };
  take(false);
  if (k < text.size() && text[k] == '.') {
    ++k;
    take(true);
  }
  if (!any) return typed;
  if (k < text.size() && (text[k] == 'e' || text[k] == 'E')) {
    int64_t power = 0;
    const char* begin = text.data() + k + 1;
    const auto result = std::from_chars(begin, text.data() + text.size(), power);
    if (result.ec != std::errc() || result.ptr == begin || power > kMaxTypedExponent ||
        power < -kMaxTypedExponent) {
      return typed;
    }
    exponent += power;
    k = static_cast<std::size_t>(result.ptr - text.data());
  }
  if (k != text.size()) return typed;
  while (!digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++exponent;
  }
  if (digits.size() > 19 || exponent > kMaxTypedExponent || exponent < -kMaxTypedExponent) {
    return typed;
  }
  typed.exponent = digits.empty() ? 0 : exponent;
  for (const char c : digits) typed.digits = typed.digits * 10 + static_cast<uint64_t>(c - '0');
  typed.exact = true;
  return typed;
}

// Exact grid values in 128 bits, each step checked for overflow.
__extension__ typedef unsigned __int128 Wide;
constexpr Wide kWideMax = ~Wide{0};

bool times(Wide a, Wide b, Wide& product) {
  if (a != 0 && b > kWideMax / a) return false;
  product = a * b;
  return true;
}

bool plus(Wide a, Wide b, Wide& sum) {
  if (b > kWideMax - a) return false;
  sum = a + b;
  return true;
}

// digits * 10^power (power >= 0).
bool shifted(Wide digits, int64_t power, Wide& result) {
  for (; power > 0; --power) {
    if (!times(digits, 10, digits)) return false;
  }
  result = digits;
  return true;
}

// The double nearest to digits * 10^exponent: from_chars rounds correctly.
bool nearest_double(Wide digits, int64_t exponent, double& x) {
  char text[64];
  char* end = text + sizeof text;
  char* begin = end;
  do {
    *--begin = static_cast<char>('0' + static_cast<int>(digits % 10));
    digits /= 10;
  } while (digits != 0);
  std::string decimal(begin, end);
  decimal += 'e' + std::to_string(exponent);
  const auto result = std::from_chars(decimal.data(), decimal.data() + decimal.size(), x);
  return result.ec == std::errc() && result.ptr == decimal.data() + decimal.size();
}

// The number of steps of the sweep beyond FROM (infinite or huge when the
// sweep does not end sensibly).
double steps_beyond_from(const Sweep& sweep) {
  if (sweep.kind == Sweep::Kind::Temperature) {
    return std::floor((sweep.to - sweep.from) / sweep.by + kSlack);
  }
  // By logarithms: the ratio TO/FROM overflows for ranges such as
  // 1e-160:1e160.
  return std::floor((std::log(sweep.to) - std::log(sweep.from)) / std::log(sweep.by) + kSlack);
}

// FROM * FACTOR^k; where FACTOR^k alone overflows (1e-160:1e160:10), in two
// halves.
double concentration_at(const Sweep& sweep, int64_t k) {
  const double whole = std::pow(sweep.by, static_cast<double>(k));
  if (std::isfinite(whole)) return sweep.from * whole;
  const int64_t half = k / 2;
  return sweep.from * std::pow(sweep.by, static_cast<double>(half)) *
         std::pow(sweep.by, static_cast<double>(k - half));
}

std::string option_name(Sweep::Kind kind) {
  switch (kind) {
    case Sweep::Kind::Temperature:
      return "--temperatures";
    case Sweep::Kind::Reactant:
      return "--reactant";
    case Sweep::Kind::Product:
      return "--product";
  }
  return "";
}

std::string value_heading(const Sweep& sweep, bool csv) {
  const std::string step = std::to_string(sweep.step);
  switch (sweep.kind) {
    case Sweep::Kind::Temperature:
      return csv ? "T" : "T/K";
    case Sweep::Kind::Reactant:
      return csv ? "reactant_" + step : "reactant " + step;
    case Sweep::Kind::Product:
      return csv ? "product_" + step : "product " + step;
  }
  return "";
}

// A state's name as the text table shows it: control characters escaped.
std::string shown_state(const std::string& name) { return text::shown_name(name); }

std::string note(const ScanRow& row, const ScanRow* before, const StateNames& names) {
  std::string text;
  auto add = [&text](const std::string& part) {
    if (!text.empty()) text += ", ";
    text += part;
  };
  if (before != nullptr && row.tdi_changed) {
    std::string part = "TDI ";
    part += shown_state(tdi_state(names, before->TDI)) + " -> ";
    part += shown_state(tdi_state(names, row.TDI));
    add(part);
  }
  if (before != nullptr && row.tdts_changed) {
    std::string part = "TDTS ";
    part += shown_state(tdts_state(names, before->TDTS)) + " -> ";
    part += shown_state(tdts_state(names, row.TDTS));
    add(part);
  }
  // Tied states, where they first show or change.
  const auto tied = [&](const char* what, int64_t state, const std::vector<int64_t>& ties,
                        const std::vector<int64_t>* ties_before, bool tdi) {
    if (ties.empty() || (ties_before != nullptr && *ties_before == ties)) return;
    std::string part = std::string(what) + ' ' +
                       shown_state(tdi ? tdi_state(names, state) : tdts_state(names, state));
    for (const int64_t i : ties) {
      part += " = " + shown_state(tdi ? tdi_state(names, i) : tdts_state(names, i));
    }
    add(part);
  };
  tied("TDI", row.TDI, row.TDI_ties, before != nullptr ? &before->TDI_ties : nullptr, true);
  tied("TDTS", row.TDTS, row.TDTS_ties, before != nullptr ? &before->TDTS_ties : nullptr, false);
  if (row.warning) add("no positive driving force");
  if (row.evaluation == EvaluationMethod::log_space) add("log-space");
  return text;
}

// The columns of a text row, each right-aligned in its width, two blanks
// apart.
std::string aligned(const std::vector<std::string>& cells, const std::vector<std::size_t>& width) {
  std::string line;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (c > 0) line += "  ";
    const std::size_t shown = shown_width(cells[c]);
    if (shown < width[c]) line.append(width[c] - shown, ' ');
    line += cells[c];
  }
  return line;
}

}  // namespace

bool parse_sweep(Sweep::Kind kind, std::string_view text, Sweep& sweep, std::string& error) {
  const bool temperature = kind == Sweep::Kind::Temperature;
  const std::string option = option_name(kind);
  const std::string form = temperature ? "FROM:TO:STEP" : "STEP=FROM:TO:FACTOR";
  std::string quoted(1, '\'');
  quoted.append(text).push_back('\'');
  sweep = Sweep{};
  sweep.kind = kind;

  std::string_view range = text;
  if (!temperature) {
    const std::size_t equals = text.find('=');
    const std::string_view step = text.substr(0, equals);
    const auto result = std::from_chars(step.data(), step.data() + step.size(), sweep.step);
    if (equals == std::string_view::npos || result.ec != std::errc() ||
        result.ptr != step.data() + step.size()) {
      error = option + " " + quoted + ": expected " + form + " with a whole step number";
      return false;
    }
    if (sweep.step < 1) {
      error = option + " " + quoted + ": steps are numbered from 1";
      return false;
    }
    range = text.substr(equals + 1);
  }
  const std::size_t colon1 = range.find(':');
  const std::size_t colon2 =
      colon1 == std::string_view::npos ? colon1 : range.find(':', colon1 + 1);
  if (colon2 == std::string_view::npos || !read_real(range.substr(0, colon1), sweep.from) ||
      !read_real(range.substr(colon1 + 1, colon2 - colon1 - 1), sweep.to) ||
      !read_real(range.substr(colon2 + 1), sweep.by)) {
    error = option + " " + quoted + ": expected " + form + " with three numbers";
    return false;
  }
  sweep.from_typed = typed_decimal(range.substr(0, colon1));
  sweep.by_typed = typed_decimal(range.substr(colon2 + 1));

  auto refuse = [&](const std::string& reason) {
    error = option + " " + quoted + ": " + reason;
    return false;
  };
  if (!std::isfinite(sweep.from) || !std::isfinite(sweep.to) || !std::isfinite(sweep.by)) {
    return refuse("the numbers must be finite");
  }
  if (sweep.from > sweep.to) return refuse("FROM must not be above TO");
  if (temperature) {
    if (sweep.from <= 0.0) return refuse("temperatures must be above 0 K");
    if (sweep.by <= 0.0) return refuse("STEP must be above 0");
  } else {
    if (sweep.from <= 0.0) return refuse("concentrations must be above 0");
    if (sweep.by <= 1.0) return refuse("FACTOR must be above 1");
  }
  // Written so that NaN and infinity (a sweep that never ends) are refused.
  if (!(steps_beyond_from(sweep) < static_cast<double>(kMaxScanRows))) {
    return refuse("more than " + std::to_string(kMaxScanRows) + " rows; take a larger " +
                  (temperature ? "STEP" : "FACTOR") + " or a narrower range");
  }
  return true;
}

std::vector<double> sweep_values(const Sweep& sweep) {
  const auto last = static_cast<int64_t>(steps_beyond_from(sweep));
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(last) + 1);
  const bool temperature = sweep.kind == Sweep::Kind::Temperature;
  const TypedDecimal& from = sweep.from_typed;
  const TypedDecimal& by = sweep.by_typed;
  // Temperatures: (FROM + k*STEP) = (A + k*B) * 10^scale, A and B whole.
  // Concentrations: FROM * FACTOR^k = product * 10^scale, the product
  // multiplied by FACTOR's digits and the scale raised by its exponent from
  // one value to the next. `exact` holds while these fit into 128 bits.
  bool exact = from.exact && by.exact;
  Wide A = 0, B = 0, product = from.digits;
  int64_t scale = from.exponent;
  if (exact && temperature) {
    scale = std::min(from.exponent, by.exponent);
    exact = shifted(from.digits, from.exponent - scale, A) &&
            shifted(by.digits, by.exponent - scale, B);
  }
  for (int64_t k = 0; k <= last; ++k) {
    if (exact && !temperature && k > 0) {
      exact = times(product, by.digits, product);
      scale += by.exponent;
    }
    Wide digits = product;
    bool fits = exact;
    if (fits && temperature) {
      fits = times(static_cast<Wide>(k), B, digits) && plus(A, digits, digits);
    }
    double x = 0.0;
    if (!(fits && nearest_double(digits, scale, x))) {
      // Each value from FROM directly, so that rounding does not pile up.
      x = temperature ? sweep.from + static_cast<double>(k) * sweep.by : concentration_at(sweep, k);
    }
    values.push_back(x);
  }
  double& end = values.back();
  if (end > sweep.to || std::fabs(end - sweep.to) <= kSlack * sweep.to) end = sweep.to;
  return values;
}

bool run_scan(Run& cycle, const Sweep& sweep, const std::vector<double>& values,
              const std::function<bool(const ScanRow&)>& take, const ProgressFn& progress,
              Failure& failure) {
  if (sweep.kind != Sweep::Kind::Temperature && (sweep.step < 1 || sweep.step > cycle.cycle.n)) {
    failure.status = kExitFailed;
    failure.message = "kinex: " + text::shown_name(cycle.input_name) + ": " +
                      option_name(sweep.kind) + " names step " + std::to_string(sweep.step) +
                      ", but the cycle has steps 1.." + std::to_string(cycle.cycle.n) + "\n";
    return false;
  }
  const auto i = static_cast<std::size_t>(sweep.step);
  const double rows = static_cast<double>(values.size());
  ScanRow before;
  for (std::size_t k = 0; k < values.size(); ++k) {
    const double x = values[k];
    if (progress) {
      const double done = static_cast<double>(k);
      cycle.progress = [&progress, done, rows](double part) { progress((done + part) / rows); };
    }
    switch (sweep.kind) {
      case Sweep::Kind::Temperature:
        cycle.cycle.T = x;
        break;
      case Sweep::Kind::Reactant:
        cycle.cycle.has_reac[i] = true;
        cycle.cycle.conc_reac[i] = x;
        break;
      case Sweep::Kind::Product:
        cycle.cycle.has_prod[i] = true;
        cycle.cycle.conc_prod[i] = x;
        break;
    }
    evaluate_cycle(cycle, 0, Use::outputs);
    const Results& results = cycle.results;
    ScanRow row;
    row.value = x;
    row.TOF = results.TOF;
    row.TDI = results.TDI;
    row.TDTS = results.TDTS;
    row.TDI_ties = results.TDI_ties;
    row.TDTS_ties = results.TDTS_ties;
    row.energetic_span = energetic_span(cycle);
    row.warning = needs_driving_force_warning(cycle.profile);
    row.log10_TOF = results.log10_TOF;
    row.evaluation = results.evaluation;
    row.effective_span = results.effective_span;
    row.apparent_barrier = results.apparent_barrier;
    if (sweep.kind == Sweep::Kind::Temperature) {
      row.apparent_activation_energy = results.apparent_activation_energy;
    }
    if (k > 0) {
      row.tdi_changed = row.TDI != before.TDI;
      row.tdts_changed = row.TDTS != before.TDTS;
    }
    if (!take(row)) break;
    before = row;
  }
  cycle.progress = nullptr;
  return true;
}

ScanWriter::ScanWriter(const Sweep& sweep, const std::vector<double>& values, int64_t n, bool csv)
    : ScanWriter(sweep, values, default_names(n), csv) {}

ScanWriter::ScanWriter(const Sweep& sweep, const std::vector<double>& values,
                       const StateNames& names, bool csv, bool for_spreadsheet)
    : sweep_(sweep), csv_(csv), names_(names), guard_(for_spreadsheet) {
  if (csv) return;
  std::size_t value_width = value_heading(sweep, false).size();
  for (const double x : values) value_width = std::max(value_width, shortest(x).size());
  std::size_t tdi_width = 3, tdts_width = 4;
  for (const std::string& name : names.intermediate) {
    tdi_width = std::max(tdi_width, shown_width(shown_state(name)));
  }
  for (std::size_t i = 1; i < names.transition.size(); ++i) {
    tdts_width = std::max(tdts_width, shown_width(shown_state(names.transition[i])));
  }
  for (const std::string& heading : headings()) {
    width_.push_back(std::max(heading.size(), kReadableWidth));
  }
  width_[0] = value_width;
  width_[3] = tdi_width;
  width_[4] = tdts_width;
}

std::vector<std::string> ScanWriter::headings() const {
  std::vector<std::string> names{value_heading(sweep_, false),
                                 "TOF/s^-1",
                                 "log10 TOF",
                                 "TDI",
                                 "TDTS",
                                 "span/(kcal/mol)",
                                 "effective span"};
  if (sweep_.kind == Sweep::Kind::Temperature) names.push_back("Ea/(kcal/mol)");
  return names;
}

std::string ScanWriter::header() const {
  const bool temperature = sweep_.kind == Sweep::Kind::Temperature;
  if (csv_) {
    return value_heading(sweep_, true) +
           ",tof_per_s,tdi_step,tdts_step,energetic_span,warning,tdi_changed,tdts_changed,"
           "log10_tof,evaluation,effective_span,apparent_barrier" +
           (temperature ? ",apparent_activation_energy" : "") +
           ",tdi,tdts,tdi_tie_steps,tdts_tie_steps\n";
  }
  return aligned(headings(), width_) + '\n';
}

std::string ScanWriter::line(const ScanRow& row, const ScanRow* before) {
  const bool temperature = sweep_.kind == Sweep::Kind::Temperature;
  if (csv_) {
    std::string text = shortest(row.value) + ',' + shortest(row.TOF) + ',' +
                       std::to_string(row.TDI) + ',' + std::to_string(row.TDTS) + ',' +
                       shortest(row.energetic_span) + ',' + csv_bool(row.warning) + ',' +
                       csv_bool(row.tdi_changed) + ',' + csv_bool(row.tdts_changed) + ',' +
                       shortest(row.log10_TOF) + ',' + evaluation_name(row.evaluation) + ',' +
                       shortest(row.effective_span) + ',' + shortest(row.apparent_barrier);
    if (temperature) text += ',' + shortest(row.apparent_activation_energy);
    text += ',';
    text += guard_.field(tdi_state(names_, row.TDI));
    text += ',';
    text += guard_.field(tdts_state(names_, row.TDTS));
    text += ',' + step_list(row.TDI_ties) + ',' + step_list(row.TDTS_ties);
    return text + '\n';
  }
  std::vector<std::string> cells{shortest(row.value),
                                 exponent_form(row.TOF),
                                 significant(row.log10_TOF),
                                 shown_state(tdi_state(names_, row.TDI)),
                                 shown_state(tdts_state(names_, row.TDTS)),
                                 significant(row.energetic_span),
                                 significant(row.effective_span)};
  if (temperature) cells.push_back(significant(row.apparent_activation_energy));
  std::string text = aligned(cells, width_);
  const std::string remark = note(row, before, names_);
  if (!remark.empty()) text += "  " + remark;
  return text + '\n';
}

}  // namespace kinex

#include "outputs/check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "model/profile.h"
#include "outputs/format.h"
#include "outputs/state_names.h"
#include "outputs/summary.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

// Named in the findings' texts: at most this many degrees of control.
constexpr std::size_t kNamedResults = 4;

std::string energy(double kcal) { return shortest(kcal) + " kcal/mol"; }

void add(std::vector<InputWarning>& found, const char* code, int64_t line, std::string text) {
  found.push_back({code, line, std::move(text), {}});
}

// A temperature that a chemist gives in kelvin is hardly below 200 K; one
// in degrees Celsius without its unit is.
void check_celsius_like(double T, const ReadNotes& notes, std::vector<InputWarning>& found) {
  if (!temperature_looks_celsius(T)) return;
  for (const InputWarning& w : notes.warnings) {
    if (w.code == std::string(kCelsiusTemperature)) return;
  }
  add(found, kTemperatureLooksCelsius, notes.lines.T,
      "the temperature is " + shortest(T) + " K, below " + shortest(kLowestLikelyTemperature) +
          " K: if it is in \u00b0C, write " + shortest(T + 273.15) +
          "; KINEX takes the temperature in kelvin.");
}

// A span no catalyst turns over at is most often energies in kJ/mol.
void check_kilojoule_like(const Run& run, const ReadNotes& notes,
                          std::vector<InputWarning>& found) {
  const double span = energetic_span(run);
  if (!span_looks_kilojoules(span)) return;
  const auto tdts = static_cast<std::size_t>(run.results.TDTS);
  const int64_t line = tdts < notes.lines.step.size() ? notes.lines.step[tdts] : 0;
  add(found, kEnergiesLookKilojoules, line,
      "the energetic span is " + energy(span) + ", " + energy(kLargestLikelySpan) +
          " or more: are the energies in kJ/mol? KINEX takes kcal/mol (1 kcal/mol = 4.184 "
          "kJ/mol).");
}

void check_temperature(const Run& run, const ReadNotes& notes, std::vector<InputWarning>& found) {
  const double T = run.cycle.T;
  check_celsius_like(T, notes, found);
  if (T > 0.0) return;
  std::string text = "the temperature is " + shortest(T) + " K, not above 0 K";
  text += "; KINEX takes the temperature in kelvin.";
  add(found, kTemperatureNotPositive, notes.lines.T, std::move(text));
}

// A given concentration that is 0, negative, NaN or infinite.
void check_concentration(const char* what, int64_t step, double conc, int64_t line,
                         std::vector<InputWarning>& found) {
  std::string text = "the ";
  text += what;
  text += " concentration of step " + std::to_string(step) + " is " + shortest(conc);
  if (std::isinf(conc) && conc > 0.0) {
    add(found, kConcentrationNotFinite, line, text + ", not a finite number.");
    return;
  }
  if (conc > 0.0) return;
  text += ", not above 0: a given concentration must be positive. Write x where the step has no ";
  text += what;
  text += '.';
  add(found, kConcentrationNotPositive, line, std::move(text));
}

// A state's name in a finding: control characters escaped, so that a name
// cannot start a line or reach the terminal as a command.
std::string shown(const std::string& name) { return text::shown_name(name); }

// The energies of step i's transition state and of the intermediates
// before it (its own step's) and after it (the next step's; after the last
// step the first of the next turn).
struct Barrier {
  double ts, before, after;
};
Barrier barrier_of(const Cycle& cycle, int64_t i) {
  const auto at = static_cast<std::size_t>(i);
  return {cycle.G_ts[at], cycle.G_int[at - 1],
          i < cycle.n ? cycle.G_int[at] : cycle.G_int[0] + cycle.DeltaG};
}

// One finding per intermediate that the transition state of step `i` lies
// below: its own step's before it, the next one's after it.
void check_barriers(const Run& run, const StateNames& names, int64_t i, int64_t line,
                    std::vector<InputWarning>& found) {
  const int64_t n = run.cycle.n;
  const auto at = static_cast<std::size_t>(i);
  const auto [ts, before, after] = barrier_of(run.cycle, i);
  if (!negative_barrier(run.cycle, i)) return;  // the texts only where they are needed
  const std::string state = shown(names.transition[at]) + " (" + energy(ts) + ") lies below ";
  if (ts < before) {
    add(found, kNegativeBarrier, line,
        state + shown(names.intermediate[at - 1]) + " (" + energy(before) +
            ") before it: a negative barrier");
  }
  std::string named = shown(i < n ? names.intermediate[at] : final_state_name(names));
  named += " (" + energy(after);
  if (i == n) named += ", " + shown(names.intermediate[0]) + " of the next turn";
  if (ts < after)
    add(found, kNegativeBarrier, line, state + named + ") after it: a negative barrier");
}

void check_tof_limit(const Run& run, std::vector<InputWarning>& found) {
  const Results& results = run.results;
  if (!tof_above_limit(results)) return;
  const double limit = std::log10(results.prefactor);
  std::string text = "the TOF (log10 " + significant(results.log10_TOF) +
                     " per second) lies above k_B T/h (log10 " + significant(limit) +
                     "), which no cycle of elementary steps reaches";
  if (std::isfinite(results.apparent_barrier)) {
    text += ": its apparent barrier is " + significant(results.apparent_barrier) + " kcal/mol";
  }
  text +=
      ". A transition state below an intermediate (a negative span) or concentrations that "
      "outweigh the barriers give this.";
  add(found, kTofAboveLimit, 0, std::move(text));
}

void check_results(const Run& run, std::vector<InputWarning>& found) {
  const Results& results = run.results;
  if (!results_not_finite(run.cycle, results)) return;
  if (!std::isfinite(results.TOF)) {
    std::string text = "the TOF is " + shortest(results.TOF) + ", not a finite number";
    if (std::isfinite(results.log10_TOF)) {
      text += " (its log10, from the logarithms, is " + significant(results.log10_TOF) + ")";
    }
    add(found, kResultNotFinite, 0, text + ".");
  }

  std::vector<std::string> named;
  std::size_t count = 0;
  const auto note = [&](double x, const std::string& what) {
    if (std::isfinite(x)) return;
    if (count++ < kNamedResults) named.push_back(what + " (" + shortest(x) + ")");
  };
  const int64_t n = run.cycle.n;
  const StateNames names = run_names(run);
  for (int64_t i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const std::string step = " of step " + std::to_string(i);
    note(results.xtof_int[at - 1], shown(names.intermediate[at - 1]));
    note(results.xtof_ts[at], shown(names.transition[at]));
    if (run.cycle.has_reac[i]) note(results.xtof_reac[i], "the reactant" + step);
    if (run.cycle.has_prod[i]) note(results.xtof_prod[i], "the product" + step);
  }
  if (count == 0) return;
  std::string text = count == 1 ? std::string("the degree of TOF control of ")
                                : std::to_string(count) +
                                      " degrees of TOF control are not "
                                      "finite: those of ";
  for (std::size_t k = 0; k < named.size(); ++k) {
    if (k > 0) text += k + 1 == named.size() && named.size() == count ? " and " : ", ";
    text += named[k];
  }
  if (count > named.size()) text += " and " + std::to_string(count - named.size()) + " more";
  if (count == 1) text += " is not finite";
  add(found, kResultNotFinite, 0, text + ".");
}

}  // namespace

bool temperature_looks_celsius(double T) { return T > 0.0 && T < kLowestLikelyTemperature; }

bool negative_barrier(const Cycle& cycle, int64_t i) {
  const Barrier b = barrier_of(cycle, i);
  return b.ts < b.before || b.ts < b.after;
}

bool tof_above_limit(const Results& results) {
  return tof_above_limit(results, std::log10(results.prefactor));
}

bool tof_above_limit(const Results& results, double limit) {
  // A TOF at k_B T/h itself (no barrier at all) may come out a rounding
  // above it; only what lies beyond that counts.
  const double rounding = 1e-12 * std::max(1.0, std::fabs(limit));
  return results.TOF_sign > 0 && results.log10_TOF - limit > rounding;
}

bool span_looks_kilojoules(double span) {
  return span >= kLargestLikelySpan && std::isfinite(span);
}

bool results_not_finite(const Cycle& cycle, const Results& results) {
  if (!std::isfinite(results.TOF)) return true;
  for (int64_t i = 1; i <= cycle.n; ++i) {
    if (!std::isfinite(results.xtof_int[i - 1]) || !std::isfinite(results.xtof_ts[i])) return true;
    if (cycle.has_reac[i] && !std::isfinite(results.xtof_reac[i])) return true;
    if (cycle.has_prod[i] && !std::isfinite(results.xtof_prod[i])) return true;
  }
  return false;
}

std::vector<InputWarning> findings(const Run& evaluated, const ReadNotes& notes) {
  const Run& run = evaluated;
  std::vector<InputWarning> found = notes.warnings;
  check_temperature(run, notes, found);
  const int64_t n = run.cycle.n;
  const StateNames names = run_names(run);
  for (int64_t i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const int64_t line = at < notes.lines.step.size() ? notes.lines.step[at] : 0;
    if (run.cycle.has_reac[at]) {
      check_concentration("reactant", i, run.cycle.conc_reac[at], line, found);
    }
    if (run.cycle.has_prod[at]) {
      check_concentration("product", i, run.cycle.conc_prod[at], line, found);
    }
    check_barriers(run, names, i, line, found);
  }
  check_tof_limit(run, found);
  check_kilojoule_like(run, notes, found);
  if (needs_driving_force_warning(run.profile)) {
    // The report's words, without its "WARNING! ": a finding is shown as
    // a warning already.
    std::string text = warning_text(run);
    if (text.starts_with("WARNING! ")) text.erase(0, 9);
    add(found, kNoDrivingForce, notes.lines.DeltaG, text);
  }
  check_results(run, found);

  const auto place = [](const InputWarning& w) {
    return w.line > 0 ? w.line : std::numeric_limits<int64_t>::max();
  };
  std::stable_sort(found.begin(), found.end(), [&](const InputWarning& a, const InputWarning& b) {
    return place(a) < place(b);
  });
  return found;
}

std::string finding_line(const std::string& file, const InputWarning& finding) {
  std::string line = file + ":";
  if (finding.line > 0) line += std::to_string(finding.line) + ":";
  line += " warning: ";
  line += finding.text;
  line += '\n';
  return line;
}

std::string warning_count(std::size_t count) {
  if (count == 0) return "no warnings";
  return std::to_string(count) + (count == 1 ? " warning" : " warnings");
}

Json check_json(const std::string& name, bool read, const std::vector<InputWarning>& found) {
  Json doc = document_head("check");
  doc["file"] = name;
  doc["read"] = read;
  doc["warnings"] = warnings_json(found);
  return doc;
}

}  // namespace kinex

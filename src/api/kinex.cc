#include <kinex/kinex.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "input/reader.h"
#include "model/evaluate.h"
#include "model/storage.h"
#include "report/line_writer.h"
#include "report/sections.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

std::string shown(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", x);
  return text;
}

// The reason a value of step `step` (0: none) is refused, or "" when fine.
std::string refusal(int64_t step, const char* what, double x, bool positive) {
  const std::string where = step > 0 ? "step " + std::to_string(step) + ": " : "";
  if (!std::isfinite(x)) return where + what + " " + shown(x) + " is not finite";
  if (positive && !(x > 0.0)) return where + what + " " + shown(x) + " is not above 0";
  return "";
}

}  // namespace

bool build_cycle(double T, const std::vector<StepInput>& steps, double DeltaG, Cycle& cycle,
                 std::string& error) {
  const auto n = static_cast<int64_t>(steps.size());
  if (n < 1) {
    error = "a cycle needs at least one step";
    return false;
  }
  error = refusal(0, "temperature", T, true);
  if (error.empty()) error = refusal(0, "DeltaG", DeltaG, false);
  for (int64_t i = 1; i <= n && error.empty(); ++i) {
    const StepInput& s = steps[static_cast<std::size_t>(i - 1)];
    error = refusal(i, "G_int", s.G_int, false);
    if (error.empty()) error = refusal(i, "G_ts", s.G_ts, false);
    if (error.empty() && s.reactant)
      error = refusal(i, "reactant concentration", *s.reactant, true);
    if (error.empty() && s.product) error = refusal(i, "product concentration", *s.product, true);
  }
  if (!error.empty()) return false;

  Cycle built;
  built.T = T;
  built.n = n;
  built.DeltaG = DeltaG;
  built.G_int.assign(static_cast<std::size_t>(n), 0.0);
  built.G_ts.assign(static_cast<std::size_t>(n) + 1, 0.0);
  built.conc_reac.assign(static_cast<std::size_t>(n) + 1, 1.0);
  built.conc_prod.assign(static_cast<std::size_t>(n) + 1, 1.0);
  built.has_reac.assign(static_cast<std::size_t>(n) + 1, false);
  built.has_prod.assign(static_cast<std::size_t>(n) + 1, false);
  for (int64_t i = 1; i <= n; ++i) {
    const StepInput& s = steps[static_cast<std::size_t>(i - 1)];
    const auto at = static_cast<std::size_t>(i);
    built.G_int[at - 1] = s.G_int;
    built.G_ts[at] = s.G_ts;
    if (s.reactant) built.has_reac[at] = true, built.conc_reac[at] = *s.reactant;
    if (s.product) built.has_prod[at] = true, built.conc_prod[at] = *s.product;
  }
  cycle = std::move(built);
  return true;
}

bool read_cycle(const std::string& path, Cycle& cycle, Failure& failure) {
  std::vector<InputWarning> warnings;
  return read_cycle(path, cycle, failure, warnings);
}

bool read_cycle(const std::string& path, Cycle& cycle, Failure& failure,
                std::vector<InputWarning>& warnings) {
  ReadNotes notes;
  const bool ok = read_cycle(path, cycle, failure, notes);
  warnings = std::move(notes.warnings);
  return ok;
}

bool read_cycle(const std::string& path, Cycle& cycle, Failure& failure, ReadNotes& notes) {
  notes = ReadNotes{};
  int error = 0;
  std::FILE* file = open_input(path, error);
  if (file == nullptr) {
    failure.status = kExitFailed;
    failure.message = text::shown_name(path) + ": " + std::strerror(error) + "\n";
    failure.place = ErrorPlace{path, 0, 0, std::strerror(error)};
    return false;
  }
  Run run;
  run.input_name = path;
  const bool ok = read_input(run, file, failure, notes);
  std::fclose(file);
  if (ok) {
    cycle = std::move(run.cycle);
  } else {
    notes = ReadNotes{};
  }
  return ok;
}

bool evaluate(const Cycle& cycle, Evaluation& evaluation, Failure& failure, int threads) {
  Run run;
  run.input_name = "cycle";
  run.cycle.n = cycle.n;
  if (!allocate_storage(run, failure)) return false;
  run.cycle = cycle;
  evaluate_cycle(run, threads, Use::outputs);
  evaluation.cycle = std::move(run.cycle);
  evaluation.profile = std::move(run.profile);
  evaluation.results = std::move(run.results);
  return true;
}

std::string report_text(const std::string& name, const Evaluation& evaluation,
                        const report::Switches& show) {
  std::string text;
  report::write_warning(evaluation.profile, text);
  report::write_report(name, evaluation.cycle, evaluation.profile, evaluation.results, show, text);
  return text;
}

}  // namespace kinex

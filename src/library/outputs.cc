// What kinex's outputs say about a cycle, for callers of the public headers.
#include <kinex/kinex.h>
#include <kinex/outputs.h>

#include "driver/driver.h"
#include "library/json_visit.h"
#include "outputs/check.h"
#include "outputs/json_output.h"
#include "outputs/state_names.h"
#include "outputs/summary.h"
#include "platform/files.h"
#include "text/strings.h"

namespace kinex::features {

void cycle_json(const Run& run, const std::vector<std::string>& command_line,
                const std::vector<InputWarning>& warnings, JsonVisitor& to) {
  visit_json(kinex::cycle_json(run, command_line, warnings), to);
}

void table_row_json(const Run& run, const std::vector<std::string>& command_line,
                    const std::vector<InputWarning>& warnings, const std::string& file,
                    const TableRow& row, JsonVisitor& to) {
  visit_json(with_table(kinex::cycle_json(run, command_line, warnings), file, row), to);
}

std::vector<InputWarning> findings(const Run& run, const ReadNotes& notes) {
  return kinex::findings(run, notes);
}

StateNames run_names(const Run& run) { return kinex::run_names(run); }

std::string tdi_state(const StateNames& names, int64_t tdi) { return kinex::tdi_state(names, tdi); }

std::string tdts_state(const StateNames& names, int64_t tdts) {
  return kinex::tdts_state(names, tdts);
}

std::vector<std::string> tdi_tie_states(const StateNames& names, const Results& results) {
  return kinex::tdi_tie_states(names, results);
}

std::vector<std::string> tdts_tie_states(const StateNames& names, const Results& results) {
  return kinex::tdts_tie_states(names, results);
}

double energetic_span(const Run& run) { return kinex::energetic_span(run); }

std::string warning_text(const Run& run) { return kinex::warning_text(run); }

std::string advice_text(const Run& run) { return kinex::advice_text(run); }

std::vector<int64_t> advice_reactant_steps(const Run& run) {
  return kinex::advice_reactant_steps(run);
}

std::vector<int64_t> advice_product_steps(const Run& run) {
  return kinex::advice_product_steps(run);
}

std::string report_of(const Run& run, const std::vector<std::string>& args) {
  Evaluation evaluation;
  evaluation.cycle = run.cycle;
  evaluation.profile = run.profile;
  evaluation.results = run.results;
  return report_text(std::string(text::trim_right(run.input_name)), evaluation,
                     read_command_line(args).show);
}

bool replace_file(const std::string& path, std::string_view text, std::string& reason) {
  return kinex::replace_file(path, text, reason);
}

}  // namespace kinex::features

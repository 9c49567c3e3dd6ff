// What kinex's outputs say about one evaluated cycle: its JSON document,
// the findings of kinex check, its states by name, the energetic span, the
// report's advice and warning, the report itself; and writing a file whole
// or not at all.
#pragma once

#include <kinex/json.h>
#include <kinex/run.h>
#include <kinex/table.h>
#include <kinex/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kinex::features {

// The document of kinex json for `run` (evaluated with
// evaluate_for_outputs), the same keys and numbers: `command_line` stored
// as given, `warnings` (the findings) last.
void cycle_json(const Run& run, const std::vector<std::string>& command_line,
                const std::vector<InputWarning>& warnings, JsonVisitor& to);

// The same document for the row `row` of the table `file`, as kinex json
// gives it for a table's row: with "table" and "descriptors" after "file".
void table_row_json(const Run& run, const std::vector<std::string>& command_line,
                    const std::vector<InputWarning>& warnings, const std::string& file,
                    const TableRow& row, JsonVisitor& to);

// Everything kinex check finds about the evaluated `run` read with `notes`:
// the reader's warnings, then what the cycle shows, ordered by line (those
// without one last).
std::vector<InputWarning> findings(const Run& run, const ReadNotes& notes);

// The run's names where they fit its cycle, else I0.., TS1..
StateNames run_names(const Run& run);

// The name of the TDI (the intermediate that starts step `tdi`) and of the
// TDTS (the transition state of step `tdts`); empty outside 1..n.
std::string tdi_state(const StateNames& names, int64_t tdi);
std::string tdts_state(const StateNames& names, int64_t tdts);

// The names of the states tied with the TDI (TDTS), by results.TDI_ties
// (TDTS_ties).
std::vector<std::string> tdi_tie_states(const StateNames& names, const Results& results);
std::vector<std::string> tdts_tie_states(const StateNames& names, const Results& results);

// The energetic span of the evaluated run (kcal/mol).
double energetic_span(const Run& run);

// The report's driving-force warning, its lines joined by one blank; empty
// when the driving force is positive.
std::string warning_text(const Run& run);

// The report's advice on concentrations, its lines joined by one blank;
// empty when it names no step.
std::string advice_text(const Run& run);

// The steps the advice names, ascending: reactants to give in high
// concentration, products to remove.
std::vector<int64_t> advice_reactant_steps(const Run& run);
std::vector<int64_t> advice_product_steps(const Run& run);

// The report of KINEX.exe for the evaluated `run`, as the command line
// `args` (the input file's name, then the option strings) asks for it: the
// parts its option letters leave, the name trimmed of trailing blanks.
std::string report_of(const Run& run, const std::vector<std::string>& args);

// Puts `text` into the file `path` whole or not at all (a temporary file
// renamed into place; the process's own streams, devices and pipes written
// to as they are). False with the system's reason in `reason`, the old file
// as it was.
bool replace_file(const std::string& path, std::string_view text, std::string& reason);

}  // namespace kinex::features

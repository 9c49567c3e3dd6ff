// The JSON document of one cycle: what was read, the constants used and every
// result, for scripts.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "input/table.h"
#include "input/warnings.h"
#include "model/run.h"

namespace kinex {

// Keys keep the order in which the document lists them.
using Json = nlohmann::ordered_json;

// Every JSON document of kinex starts with "schema_version" (kSchemaVersion,
// raised when a key is renamed or its meaning changes) and "document", its
// kind ("result", "check", "uncertainty", "volcano"): document_head(kind).
// Keys are the names of the project's vocabulary (docs/reference/vocabulary.md).
inline constexpr int kSchemaVersion = 2;
Json document_head(std::string_view kind);

// The "result" document of `run` after evaluate_cycle (with Use::outputs, so
// that "log10_tof" comes from the logarithms); "evaluation" names the
// evaluation that gave the results ("direct" or "log-space"). Per-step arrays
// hold step 1 first; "G_int" and "xtof_int" hold intermediates 0..n-1. A
// concentration or X_TOF of a step without that concentration is null. Every
// non-finite number is null as well and listed in "non_finite" under its JSON
// pointer ("/results/tof_per_s": "NaN", "Infinity" or "-Infinity"); that
// object is empty when every number is finite.
//
// States by name (the run's names, else I0.., TS1..): "input"/"states" lists
// them in cycle order, intermediates and transition states interleaved, then
// the final state ({"name", "kind": "intermediate", "transition_state" or
// "final", "step": the step it starts or whose barrier it is, null for the
// final state, "G"}). In "results", "tdi" and "tdts" name the states (null
// where the step is not 1..n) and "tdi_step" and "tdts_step" give their step
// numbers; "tdi_ties"/"tdts_ties" name the states that tie, "*_tie_steps"
// give their steps; "largest_xtof_int" and "largest_xtof_ts" name the states
// with the largest X_TOF (null where none is finite); "xtof_by_state" holds
// the degrees of control keyed by state name ("int", "ts"; a repeated name
// gets " (step STEP)" appended), reactants and products keyed by step number
// and only where given ("reactant", "product"). `command_line` is stored as
// given. Last, "warnings" lists `warnings` (the findings of kinex/check.h) as
// warnings_json() writes them.
Json cycle_json(const Run& run, const std::vector<std::string>& command_line,
                const std::vector<InputWarning>& warnings);

// `name` as a key of `object`: as it is, or where a state of the same name
// came before, with " (step STEP)" appended, so that no value is lost.
std::string state_key(const Json& object, const std::string& name, int64_t step);

// The document of a table's row: `doc` with, after "file", "table" ({"file":
// the table `file`, "row": the line of the row, "name"}) and "descriptors"
// ({name: value}).
Json with_table(const Json& doc, const std::string& file, const TableRow& row);

// The findings as an array of {"code", "line" (null where none applies),
// "text"}, in their order.
Json warnings_json(const std::vector<InputWarning>& warnings);

// Appends `doc` as JSON text to `out`, ending with a line feed: objects one
// member a line, indented by two blanks a level; arrays of plain values on
// one line. Reals in shortest round-trip form (see shortest()), non-finite
// ones as null; strings escaped by nlohmann, invalid UTF-8 replaced by U+FFFD.
void write_json(const Json& doc, std::string& out);

// An array of documents written one at a time, with the same bytes as
// write_json of the whole array of objects: element `index` (0 first) with what comes
// before it, then end_json_array with the number of elements written.
void write_json_element(const Json& doc, std::size_t index, std::string& out);
void end_json_array(std::size_t count, std::string& out);

}  // namespace kinex

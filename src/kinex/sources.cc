#include "kinex/sources.h"

#include <algorithm>

#include "kinex/cycle.h"
#include "model/evaluate.h"
#include "report/line_writer.h"

namespace kinex {

std::string source_name(const Source& source) {
  if (!source.from_table || !source.error.empty()) return source.file;
  if (source.row.name.empty()) return source.file + ":" + std::to_string(source.row.row);
  return source.file + ":" + source.row.name;
}

std::vector<Source> expand_sources(const std::vector<std::string>& args, double default_T) {
  std::vector<Source> sources;
  for (const std::string& arg : args) {
    if (!is_table_name(arg)) {
      sources.push_back(Source{arg, false, {}, {}});
      continue;
    }
    std::vector<TableRow> rows;
    std::string error;
    if (!read_table(arg, default_T, rows, error)) {
      sources.push_back(Source{arg, true, {}, error});
      continue;
    }
    for (TableRow& row : rows) sources.push_back(Source{arg, true, std::move(row), {}});
  }
  return sources;
}

bool load_source(const Source& source, Run& run, Failure& failure, ReadNotes& notes) {
  notes = ReadNotes{};
  if (!source.from_table) return load_cycle(source.file, run, failure, notes);
  const std::string& error = source.error.empty() ? source.row.error : source.error;
  if (!source.error.empty() || !source.row.ok) {
    failure.status = kExitFailed;
    failure.message = "kinex: " + report::shown_name(error) + "\n";
    return false;
  }
  TableRow row = source.row;
  if (!table_run(source.file, std::move(row), run, failure)) {
    failure.message = "kinex: " + failure.message;
    return false;
  }
  return true;
}

bool evaluated(const Source& source, Run& run, ReadNotes& notes, std::string& err,
               const ProgressFn& progress) {
  Failure failure;
  if (!load_source(source, run, failure, notes)) {
    err += failure.message;
    return false;
  }
  run.progress = progress;
  evaluate_cycle(run, 0, Use::outputs);
  return true;
}

void warn_reading(const std::string& file, const ReadNotes& notes, std::string& err) {
  for (const InputWarning& warning : notes.warnings) {
    err += warning_message("kinex: ", report::shown_name(file), warning);
  }
}

bool single_source(const std::string& arg, const TableOptions& options, Source& source,
                   std::string& err) {
  if (!is_table_name(arg)) {
    if (!options.row.empty()) {
      err += "kinex: --row picks a row of a table (.csv or .tsv); " + report::shown_name(arg) +
             " is an input file\n";
      return false;
    }
    source = Source{arg, false, {}, {}};
    return true;
  }
  std::vector<Source> sources = expand_sources({arg}, options.default_T);
  if (sources.size() == 1 && !sources[0].error.empty()) {
    source = std::move(sources[0]);
    return true;  // loading it gives its diagnostic
  }
  const auto matches = [&](const Source& s) { return s.row.name == options.row; };
  if (options.row.empty()) {
    if (sources.size() != 1) {
      err += "kinex: " + report::shown_name(arg) + " has " + std::to_string(sources.size()) +
             " rows; pick one with --row NAME\n";
      return false;
    }
    source = std::move(sources[0]);
    return true;
  }
  const auto found = std::find_if(sources.begin(), sources.end(), matches);
  if (found == sources.end()) {
    err += "kinex: " + report::shown_name(arg) + " has no row named '" +
           report::shown_name(options.row) + "'\n";
    return false;
  }
  if (std::find_if(found + 1, sources.end(), matches) != sources.end()) {
    err += "kinex: " + report::shown_name(arg) + " has several rows named '" +
           report::shown_name(options.row) + "'\n";
    return false;
  }
  source = std::move(*found);
  return true;
}

bool load_cycles(const std::vector<std::string>& args, double default_T, std::vector<Run>& runs,
                 std::vector<ReadNotes>& notes, std::string& err) {
  bool all = true;
  for (const Source& source : expand_sources(args, default_T)) {
    Run run;
    ReadNotes read_notes;
    Failure failure;
    if (!load_source(source, run, failure, read_notes)) {
      err += failure.message;
      all = false;
      continue;
    }
    runs.push_back(std::move(run));
    notes.push_back(std::move(read_notes));
  }
  return all;
}

std::vector<std::string> descriptor_names(const std::vector<Source>& sources) {
  std::vector<std::string> names;
  for (const Source& source : sources) {
    for (const Descriptor& d : source.row.descriptors) {
      if (std::find(names.begin(), names.end(), d.name) == names.end()) names.push_back(d.name);
    }
  }
  return names;
}

}  // namespace kinex

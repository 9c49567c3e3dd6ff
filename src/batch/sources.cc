#include "batch/sources.h"

#include <algorithm>

#include "batch/cycle.h"
#include "model/evaluate.h"
#include "text/shown_name.h"

namespace kinex {

std::string source_name(const Source& source) {
  if (!source.from_table || !source.error.empty()) return source.file;
  if (source.row.name.empty()) return source.file + ":" + std::to_string(source.row.row);
  return source.file + ":" + source.row.name;
}

SourceStream::SourceStream(std::vector<std::string> args, double default_T)
    : args_(std::move(args)), default_T_(default_T), kept_(args_.size()) {}

double SourceStream::share(std::size_t k, double part) const {
  return (static_cast<double>(k) + part) / static_cast<double>(args_.size());
}

bool SourceStream::open_table(std::size_t k) {
  if (kept_[k]) {
    reader_ = std::move(*kept_[k]);
    kept_[k].reset();
    return !reader_.failed();
  }
  return reader_.open_file(args_[k], default_T_, kRowByRow);
}

bool SourceStream::next(Source& source) {
  while (arg_ < args_.size()) {
    const std::string& arg = args_[arg_];
    if (!is_table_name(arg)) {
      source = Source{arg, false, {}, {}};
      before_ = share(arg_, 0.0);
      after_ = share(arg_++, 1.0);
      return true;
    }
    if (!reading_) {
      reading_ = true;
      if (!open_table(arg_)) {
        source = Source{arg, true, {}, reader_.error()};
        reading_ = false;
        before_ = share(arg_, 0.0);
        after_ = share(arg_++, 1.0);
        return true;
      }
    }
    TableRow row;
    if (reader_.next(row)) {
      source = Source{arg, true, std::move(row), {}};
      before_ = after_ = share(arg_, reader_.fraction());
      return true;
    }
    reading_ = false;
    const bool failed = reader_.failed();
    if (failed) source = Source{arg, true, {}, reader_.error()};
    reader_ = TableReader();
    before_ = after_ = share(arg_++, 1.0);
    if (failed) return true;
  }
  return false;
}

std::vector<std::string> SourceStream::descriptor_names() {
  std::vector<std::string> names;
  for (std::size_t k = arg_; k < args_.size(); ++k) {
    if (!is_table_name(args_[k])) continue;
    const TableReader* header = kept_[k].get();
    TableReader reader;
    if (header == nullptr) {
      reader.open_file(args_[k], default_T_, kRowByRow);
      header = &reader;
      if (!reader.regular_file()) {
        kept_[k] = std::make_unique<TableReader>(std::move(reader));
        header = kept_[k].get();
      }
    }
    for (const std::string& name : header->descriptor_names()) {
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
  }
  return names;
}

std::vector<Source> expand_sources(const std::vector<std::string>& args, double default_T) {
  std::vector<Source> sources;
  SourceStream stream(args, default_T);
  Source source;
  while (stream.next(source)) sources.push_back(std::move(source));
  return sources;
}

bool load_source(const Source& source, Run& run, Failure& failure, ReadNotes& notes) {
  notes = ReadNotes{};
  if (!source.from_table) return load_cycle(source.file, run, failure, notes);
  const std::string& error = source.error.empty() ? source.row.error : source.error;
  if (!source.error.empty() || !source.row.ok) {
    failure.status = kExitFailed;
    failure.message = "kinex: " + text::shown_name(error) + "\n";
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
    err += warning_message("kinex: ", text::shown_name(file), warning);
  }
}

bool single_source(const std::string& arg, const TableOptions& options, Source& source,
                   std::string& err) {
  if (!is_table_name(arg)) {
    if (!options.row.empty()) {
      err += "kinex: --row picks a row of a table (.csv or .tsv); " + text::shown_name(arg) +
             " is an input file\n";
      return false;
    }
    source = Source{arg, false, {}, {}};
    return true;
  }
  // One row is kept: the match (or the only row) and, to name it, a count.
  SourceStream stream({arg}, options.default_T);
  Source next;
  std::size_t rows = 0, matches = 0;
  while (stream.next(next)) {
    if (!next.error.empty()) {
      source = std::move(next);
      return true;  // loading it gives the table's diagnostic
    }
    ++rows;
    if (options.row.empty() ? rows == 1 : next.row.name == options.row) {
      if (++matches == 1) source = std::move(next);
    }
  }
  if (options.row.empty()) {
    if (rows != 1) {
      err += "kinex: " + text::shown_name(arg) + " has " + std::to_string(rows) +
             " rows; pick one with --row NAME\n";
      return false;
    }
    return true;
  }
  if (matches == 0) {
    err += "kinex: " + text::shown_name(arg) + " has no row named '" +
           text::shown_name(options.row) + "'\n";
    return false;
  }
  if (matches > 1) {
    err += "kinex: " + text::shown_name(arg) + " has several rows named '" +
           text::shown_name(options.row) + "'\n";
    return false;
  }
  return true;
}

bool load_cycles(const std::vector<std::string>& args, double default_T, std::vector<Run>& runs,
                 std::vector<ReadNotes>& notes, std::string& err) {
  bool all = true;
  SourceStream stream(args, default_T);
  Source source;
  while (stream.next(source)) {
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

}  // namespace kinex

// kinex json, csv and check: the results, the screening table and the
// findings of a batch of cycles, each written as its cycle is done.
#include <memory>
#include <string>
#include <vector>

#include "batch/sources.h"
#include "cli/commands.h"
#include "cli/shared.h"
#include "cli/subcommand.h"
#include "network/check.h"
#include "network/reader.h"
#include "outputs/check.h"
#include "outputs/csv_output.h"
#include "outputs/format.h"
#include "outputs/json_output.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

constexpr const char* kJsonFooter =
    "The input, the constants and every result of each file as one JSON\n"
    "document (an array for several files or a table): tof_per_s, log10_tof,\n"
    "tdi and tdts, the spans, every X_TOF, the advice and what kinex check finds\n"
    "(schema_version 2; the keys in docs/reference/vocabulary.md). A file\n"
    "that cannot be read gets its diagnostic on standard error and is left out\n"
    "(exit status 2). Put -- before a first file whose name starts with '-'.\n"
    "Example:\n"
    "  kinex json catalyst_*.txt > results.json";

constexpr const char* kCsvFooter =
    "One CSV row per file or table row: file, T, n, DeltaG, tof_per_s, the\n"
    "TDI's and TDTS's steps, the spans, log10_tof, the warnings and the states\n"
    "by name, then the table's descriptors. A file that cannot be read gets its\n"
    "diagnostic on standard error and no row (exit status 2); --spreadsheet\n"
    "guards names a spreadsheet would take for formulas.\n"
    "Example:\n"
    "  kinex csv catalyst_*.txt > screening.csv";

constexpr const char* kCheckFooter =
    "A line per warning (FILE:LINE: warning: TEXT) and a summary per file:\n"
    "how the file reads, temperatures and concentrations that cannot be meant\n"
    "or look like the wrong unit, negative barriers, a TOF above k_B T/h, no\n"
    "driving force, results that are not finite. Network files (.net) are\n"
    "checked alike (see kinex network). Exit status: 0 when every file is\n"
    "clean, 1 when some have warnings, 2 when a file cannot be read.\n"
    "Example:\n"
    "  kinex check catalyst_*.txt";

// The extra CSV fields of a batch with descriptors: a column per name, the
// row's value or empty.
std::string descriptor_fields(const std::vector<std::string>& names, const Source& source) {
  std::string fields;
  for (const std::string& name : names) {
    fields += ',';
    for (const Descriptor& d : source.row.descriptors) {
      if (d.name == name) {
        fields += shortest(d.value);
        break;
      }
    }
  }
  return fields;
}

constexpr const char* kFilesHelp = "Input files of KINEX.exe, or tables (.csv, .tsv)";

class JsonSubcommand : public Subcommand {
 public:
  explicit JsonSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand("json", "The input and every result as JSON, for scripts")) {
    // The files are taken out before CLI11 sees the command line, so that a
    // file named like an option stays a file; FILE here only shows in the help.
    app_->add_option("FILE", unused_, kFilesHelp);
    app_->add_flag(kStrictFlag, strict_, kStrictHelp);
    app_->add_option("-T,--temperature", tables_.default_T, kTemperatureHelp)->type_name("K");
    app_->formatter(std::make_shared<FixedUsage>("Usage: kinex json [OPTIONS] [--] FILE...\n"));
    app_->footer(with_reference(kJsonFooter));
  }
  int run(const Call& call) override {
    if (!table_temperature_ok(tables_, call.err)) return kExitFailed;
    return command_json(call.files, call.args[0], strict_ ? Strict::yes : Strict::no, call.out,
                        call.err, call.progress, tables_);
  }

 private:
  std::vector<std::string> unused_;
  bool strict_ = false;
  TableOptions tables_;
};

class CsvSubcommand : public Subcommand {
 public:
  explicit CsvSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand("csv", "One CSV row per file, for screening many cycles")) {
    app_->add_option("FILE", unused_, kFilesHelp);
    app_->add_flag(kSpreadsheetFlag, for_spreadsheet_, kSpreadsheetHelp);
    app_->add_flag(kStrictFlag, strict_, kStrictHelp);
    app_->add_option("-T,--temperature", tables_.default_T, kTemperatureHelp)->type_name("K");
    app_->formatter(std::make_shared<FixedUsage>("Usage: kinex csv [OPTIONS] [--] FILE...\n"));
    app_->footer(with_reference(kCsvFooter));
  }
  int run(const Call& call) override {
    if (!table_temperature_ok(tables_, call.err)) return kExitFailed;
    return command_csv(call.files, for_spreadsheet_, strict_ ? Strict::yes : Strict::no, call.out,
                       call.err, call.progress, tables_);
  }

 private:
  std::vector<std::string> unused_;
  bool for_spreadsheet_ = false, strict_ = false;
  TableOptions tables_;
};

class CheckSubcommand : public Subcommand {
 public:
  explicit CheckSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand(
            "check", "The warnings about each cycle, before a screening or a paper")) {
    app_->add_option("FILE", unused_, kFilesHelp);
    app_->add_flag(kJsonFlag, as_json_, "One JSON array instead of the text lines");
    app_->add_option("-T,--temperature", tables_.default_T, kTemperatureHelp)->type_name("K");
    app_->formatter(std::make_shared<FixedUsage>("Usage: kinex check [OPTIONS] [--] FILE...\n"));
    app_->footer(with_reference(kCheckFooter));
  }
  int run(const Call& call) override {
    if (!table_temperature_ok(tables_, call.err)) return kExitFailed;
    return command_check(call.files, as_json_, call.out, call.err, call.progress, tables_);
  }

 private:
  std::vector<std::string> unused_;
  bool as_json_ = false;
  TableOptions tables_;
};

}  // namespace

std::unique_ptr<Subcommand> json_subcommand(CLI::App& app) {
  return std::make_unique<JsonSubcommand>(app);
}
std::unique_ptr<Subcommand> csv_subcommand(CLI::App& app) {
  return std::make_unique<CsvSubcommand>(app);
}
std::unique_ptr<Subcommand> check_subcommand(CLI::App& app) {
  return std::make_unique<CheckSubcommand>(app);
}

namespace {

// The findings of the network file `file`; false, its diagnostic on `err`,
// when it cannot be read or evaluated.
bool network_checked(const std::string& file, std::vector<InputWarning>& found, std::string& err) {
  network::Network network;
  Failure failure;
  if (!network::read_network(file, network, failure)) {
    err += "kinex: " + failure.message;
    return false;
  }
  network::NetworkResults results;
  std::string error;
  if (!network::evaluate_network(network, results, error)) {
    err += "kinex: " + text::shown_name(file) + ": " + error + "\n";
    return false;
  }
  found = network::network_findings(network, results);
  return true;
}

}  // namespace

int command_check(const std::vector<std::string>& files, bool as_json, Output& out,
                  std::string& err, const ProgressFn& progress, const TableOptions& tables) {
  bool unread = false, warned = false;
  std::size_t count = 0;
  auto report = [&](const std::string& name, bool read, const std::vector<InputWarning>& found) {
    unread = unread || !read;
    warned = warned || !found.empty();
    if (as_json) {
      write_json_element(check_json(name, read, found), count, out.text);
    } else {
      const std::string shown = text::shown_name(name);
      for (const InputWarning& finding : found) out.text += finding_line(shown, finding);
      out.text += shown + ": " + (read ? warning_count(found.size()) : "could not be read") + "\n";
    }
    ++count;
    return out.deliver();
  };
  // Network files (.net) one by one; the cycles and tables between them as
  // one stream each.
  for (std::size_t first = 0; first < files.size();) {
    if (network::is_network_name(files[first])) {
      std::vector<InputWarning> found;
      const bool read = network_checked(files[first], found, err);
      if (!report(files[first], read, found)) return kExitFailed;
      ++first;
      continue;
    }
    std::size_t last = first;
    while (last < files.size() && !network::is_network_name(files[last])) ++last;
    SourceStream sources({files.begin() + static_cast<std::ptrdiff_t>(first),
                          files.begin() + static_cast<std::ptrdiff_t>(last)},
                         tables.default_T);
    for (Source source; sources.next(source);) {
      Run run;
      ReadNotes notes;
      const bool read = evaluated(source, run, notes, err, source_progress(progress, sources));
      if (!report(source_name(source), read,
                  read ? findings(run, notes) : std::vector<InputWarning>{})) {
        return kExitFailed;
      }
    }
    first = last;
  }
  if (as_json) end_json_array(count, out.text);
  if (!out.deliver()) return kExitFailed;
  return unread ? kExitFailed : warned ? kExitWarned : kExitOk;
}

int command_json(const std::vector<std::string>& files, const std::string& program, Strict strict,
                 Output& out, std::string& err, const ProgressFn& progress,
                 const TableOptions& tables) {
  SourceStream sources(files, tables.default_T);
  // One file alone gives one document; a table, or several cycles, an array.
  const bool alone = files.size() == 1 && !is_table_name(files[0]);
  int status = kExitOk;
  std::size_t written = 0;
  for (Source source; sources.next(source);) {
    Run run;
    std::vector<InputWarning> found;
    if (!accepted(source, strict, run, found, err, source_progress(progress, sources))) {
      status = kExitFailed;
      continue;
    }
    Json doc = cycle_json(run, {program, "json", source.file}, found);
    if (source.from_table) doc = with_table(doc, source.file, source.row);
    if (alone) {
      write_json(doc, out.text);
    } else {
      write_json_element(doc, written, out.text);
    }
    ++written;
    if (!out.deliver()) return kExitFailed;
  }
  if (!alone) end_json_array(written, out.text);
  return out.deliver() ? status : kExitFailed;
}

int command_csv(const std::vector<std::string>& files, bool for_spreadsheet, Strict strict,
                Output& out, std::string& err, const ProgressFn& progress,
                const TableOptions& tables) {
  SourceStream sources(files, tables.default_T);
  const std::vector<std::string> descriptors = sources.descriptor_names();
  int status = kExitOk;
  CsvNames guard(for_spreadsheet);
  std::string header = csv_header();
  header.pop_back();  // the line feed
  for (const std::string& name : descriptors) header += ',' + guard.field(name);
  out.text += header + '\n';
  err += guard.take_warnings();
  for (Source source; sources.next(source);) {
    Run run;
    std::vector<InputWarning> found;
    if (!accepted(source, strict, run, found, err, source_progress(progress, sources))) {
      status = kExitFailed;
      continue;
    }
    // The row first: its names are those the guard warns about.
    std::string row = csv_row(run, guard, found.size());
    err += guard.take_warnings();
    row.pop_back();  // the line feed
    out.text += row + descriptor_fields(descriptors, source) + '\n';
    if (!out.deliver()) return kExitFailed;
  }
  return out.deliver() ? status : kExitFailed;
}

}  // namespace kinex

#include "kinex/commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <type_traits>

#include "driver/driver.h"
#include "input/failure.h"
#include "kinex/check.h"
#include "kinex/csv_output.h"
#include "kinex/cycle.h"
#include "kinex/format.h"
#include "kinex/json_output.h"
#include "kinex/output_file.h"
#include "kinex/plot.h"
#include "kinex/sources.h"
#include "kinex/state_names.h"
#include "kinex/uncertainty.h"
#include "kinex/volcano.h"
#include "report/line_writer.h"

#ifndef KINEX_VERSION
#define KINEX_VERSION "unknown"
#endif

namespace kinex {
namespace {

constexpr const char* kSpreadsheetFlag = "--spreadsheet";
constexpr const char* kSpreadsheetHelp =
    "Write names that a spreadsheet would take for formulas as text (a leading ')";
constexpr const char* kStrictFlag = "--strict";
constexpr const char* kJsonFlag = "--json";

constexpr const char* kDescription =
    "kinex: the results of KINEX for scripts, screening and scans.\n"
    "Reads the input files of KINEX.exe with the same reader and computes with\n"
    "the same model, so every number is the one behind the report.";

constexpr const char* kFooter =
    "Run 'kinex SUBCOMMAND --help' for what each one writes; see also kinex(1).\n"
    "Exit status: 0 when every file was read and its result written, 2 when\n"
    "any file failed or the command line is wrong (kinex report keeps the\n"
    "statuses of KINEX.exe; kinex check gives 1 for files with warnings).";

constexpr const char* kReportFooter =
    "OPTIONS are the option strings of KINEX.exe; their letters leave out parts:\n"
    "i the repeat of the input, d the degrees of TOF control, a the analysis of\n"
    "the cycle, t the TOF, h the boxed headings, l the banner.\n"
    "Example:\n"
    "  kinex report cycle.txt l";

constexpr const char* kJsonFooter =
    "Each document holds the program version, the command that gives it alone\n"
    "(program, json, its file), the input as read (null for a step without\n"
    "that concentration), the constants, and the results: TOF per second, hour\n"
    "and day, log10_TOF (of |TOF|, from the logarithms of the terms, so right\n"
    "far beyond the range of doubles), evaluation (direct, or log-space where\n"
    "the direct numbers overflow or underflow), driving force and warning,\n"
    "TDI, TDTS, energetic span, effective span (which counts the\n"
    "concentrations) and apparent barrier (kcal/mol), every X_TOF and the\n"
    "advice. States are named I0.., TS1.. (the first intermediate of the next\n"
    "turn I0\u2032): input/states lists them in cycle order with their energies;\n"
    "TDI and TDTS stay step numbers, TDI_state and TDTS_state name them;\n"
    "largest_X_TOF names the intermediate and the transition state with the\n"
    "largest X_TOF; X_TOF_by_state keys the X_TOF by state name (reactants\n"
    "and products by step). Reals are written in shortest round-trip form; a\n"
    "non-finite one is null and listed under its JSON pointer in\n"
    "\"non_finite\". Last,\n"
    "\"warnings\" lists what kinex check finds: {code, line (null where none),\n"
    "text}. A table's row adds \"table\" {file, row, name} and \"descriptors\"\n"
    "{name: value} after \"file\". Several files, or a table, give an array.\n"
    "A file (or a table's row) that cannot be read gets its diagnostic on\n"
    "standard error and is left out; the others are still written, and the\n"
    "exit status is 2. The reading warnings go to standard error as well;\n"
    "--strict treats a file with any warning as one that cannot be read. Every argument from the "
    "first file on is a file, so --strict\n"
    "comes before them; put -- before a first file whose name starts with '-'.\n"
    "Example:\n"
    "  kinex json catalyst_*.txt > results.json";

constexpr const char* kCsvFooter =
    "Columns: file, T (K), n, DeltaG (kcal/mol), TOF_per_s, TDI, TDTS,\n"
    "energetic_span (kcal/mol), warning (1: no positive driving force),\n"
    "log10_TOF (of |TOF|, from the logarithms, right beyond the range of\n"
    "doubles), evaluation (direct or log-space), effective_span and\n"
    "apparent_barrier (kcal/mol; NaN where not defined), warnings (how many\n"
    "kinex check lists for the file), then by name (I0.., TS1..) TDI_state,\n"
    "TDTS_state, largest_X_TOF_intermediate and largest_X_TOF_transition_state\n"
    "(the states with the largest X_TOF); then, when a table has descriptor\n"
    "columns, one column per descriptor (empty for a cycle without it).\n"
    "Fields are quoted as RFC 4180 has it, lines end in a line feed. A file\n"
    "that cannot be read gets its diagnostic on standard error and no row; the\n"
    "exit status is then 2. The reading warnings go to standard error;\n"
    "--strict treats a file with any warning as one that cannot be read. Names\n"
    "are written as they are; one that a spreadsheet would take for a formula\n"
    "(starting with =, +, -, @, a tab or a carriage return) is warned about,\n"
    "and --spreadsheet writes it with a leading ' instead. Every argument from\n"
    "the first file on is a file, so the options come before them; put -- before\n"
    "a first file whose name starts with '-'.\n"
    "Example:\n"
    "  kinex csv catalyst_*.txt > screening.csv";

constexpr const char* kUncertaintyFooter =
    "Carries the uncertainty of the energies into the TOF, the TDI and TDTS\n"
    "and every X_TOF: N samples of the energies, each state's error normal with\n"
    "its sigma, a share RHO of each state's variance common to all states\n"
    "(--correlation: 0 independent errors, 1 one shift of the whole profile,\n"
    "which changes nothing), every sample evaluated over the logarithms (never\n"
    "NaN, Inf or 0). The final state (I0 of the next turn) counts as a state:\n"
    "its error and that of I0 move DeltaG. --sigmas FILE gives states their\n"
    "own sigmas, a line each (NAME SIGMA, or NAME,SIGMA; the final state also\n"
    "as final); --sigma S is every other state's. Writes the median TOF with its\n"
    "68 % and 95 % intervals, mean and sd of log10 TOF beside the first-order\n"
    "estimate from the degrees of TOF control, how likely each state is the TDI\n"
    "and the TDTS, and every X_TOF as mean and sd. The same seed gives the same\n"
    "numbers, bit for bit, on any number of threads. --ensemble takes tables\n"
    "whose rows are members of one ensemble (the energies of several\n"
    "functionals), each evaluated exactly.\n"
    "Examples:\n"
    "  kinex uncertainty cycle.txt --sigma 1.5\n"
    "  kinex uncertainty screening.csv --sigma 2 --correlation 0.5 --csv\n"
    "  kinex uncertainty functionals.csv --ensemble --json";

constexpr const char* kVolcanoFooter =
    "Fits every state's Gibbs energy in a table of catalysts as a straight line\n"
    "of one descriptor (least squares over the rows), then evaluates the cycle of\n"
    "the fitted energies along the descriptor: log10 TOF, the energetic and\n"
    "effective spans, the most endergonic step (the largest G of an\n"
    "intermediate less that of the one before it, the final state after the\n"
    "last), TDI and TDTS, and the regions where they hold. The descriptor is a\n"
    "Descriptor column or a state column by its header; auto takes the state\n"
    "against which the others fit best (mean R2); without --descriptor, the\n"
    "table's only Descriptor column, else auto. An implied transition state\n"
    "TS(A->B) is the higher of A and B. The 95 % band comes from N joint draws\n"
    "of all lines (the residuals' covariance across states, with a Student-t\n"
    "scale for its estimate), each evaluated exactly; the same seed gives the\n"
    "same band, bit for bit, on any --threads. The range is the rows' with\n"
    "10 % added on each side unless --range says otherwise. A row is an\n"
    "outlier when a state's studentized residual fails a Bonferroni test at\n"
    "5 %. All rows must be read and share the temperature and\n"
    "concentrations. Without --json or --csv: the fits, the\n"
    "regions, the top of the volcano and the catalysts. -o OUT.svg draws the\n"
    "volcano as well, a column wide, and the text, JSON or CSV still goes to\n"
    "standard output: the curve --curve names with its band, the regions\n"
    "shaded and labelled by TDI and TDTS, the catalysts as points at their own\n"
    "values (outliers of the fits open and red) and the top.\n"
    "Examples:\n"
    "  kinex volcano screening.csv --descriptor 'Descriptor G(O)'\n"
    "  kinex volcano screening.csv --descriptor auto --range=-2:3 --csv\n"
    "  kinex volcano screening.csv -o volcano.svg --curve span";

constexpr const char* kScanFooter =
    "Each row is the cycle evaluated with the swept value in place of the\n"
    "file's: the temperature, or the concentration of the step, which then\n"
    "counts as given. The values run FROM, FROM+STEP, ... (FROM*FACTOR, ...\n"
    "for concentrations) up to TO, which is included when it lies on the grid;\n"
    "each is the decimal number asked for (250:600:0.1 reaches 599.9).\n"
    "Temperatures and concentrations must be above 0, FROM not above TO, STEP\n"
    "above 0, FACTOR above 1, and the scan at most 100000 rows.\n"
    "Columns: the value, TOF (s^-1), log10 TOF, TDI and TDTS by name (I0..,\n"
    "TS1..), energetic and effective span (kcal/mol) and, in temperature\n"
    "scans, the apparent activation energy Ea (kcal/mol), with four\n"
    "significant digits; --csv gives them in shortest round-trip form with the\n"
    "TDI and TDTS as step numbers, the evaluation and the apparent barrier, and\n"
    "TDI_state and TDTS_state last. Notes mark the rows where the TDI or the\n"
    "TDTS switches (TDTS TS1 -> TS2), those without a positive driving force,\n"
    "and those evaluated in log space (over the logarithms of the terms, where\n"
    "the direct numbers would overflow or underflow). The reading warnings go\n"
    "to standard error; --strict refuses a file that has warnings as it stands\n"
    "(see kinex check).\n"
    "Examples:\n"
    "  kinex scan cycle.txt --temperature 250:450:10\n"
    "  kinex scan cycle.txt --reactant 2=1e-3:10:10 --csv";

constexpr const char* kPlotFooter =
    "Bars for the intermediates and transition states along the reaction\n"
    "coordinate, labelled with their names, the TDI and TDTS marked with the\n"
    "energetic span between them; a dashed arrow for the effective span where\n"
    "the concentrations move it, and the driving-force warning when there is\n"
    "no positive driving force. Several files are overlaid in one picture, each\n"
    "cycle in a colour, dash pattern and marker of its own, named in a legend.\n"
    "Long titles wrap; a picture is at most 1200 px wide unless --width says\n"
    "otherwise (long cycles get smaller labels and fewer energies, with a note).\n"
    "Only SVG is written: OUT must end in .svg; convert it, e.g.\n"
    "rsvg-convert -f pdf -o out.pdf out.svg. A file starting with '-' goes\n"
    "after '--'.\n"
    "OUT is replaced whole or not at all (a temporary file, then a rename); an\n"
    "OUT that is the input file itself is refused. The reading warnings go to\n"
    "standard error; --strict refuses a file with warnings (see kinex check).\n"
    "Examples:\n"
    "  kinex plot cycle.txt -o cycle.svg\n"
    "  kinex plot a.txt b.txt c.txt --title 'Three ligands' --width 800 -o abc.svg";

constexpr const char* kCheckFooter =
    "Lists what to look at in each cycle before it goes into a screening or a\n"
    "paper: a line per warning (FILE:LINE: warning: TEXT; no LINE where none\n"
    "applies) and a summary line per file. The codes: leftover-values,\n"
    "values-after-DeltaG and celsius-temperature (how the file reads),\n"
    "temperature-not-positive, concentration-not-positive,\n"
    "concentration-not-finite, negative-barrier (a transition state below the\n"
    "intermediate before or after it: TS2 (8.0 kcal/mol) lies below I2 ...),\n"
    "TOF-above-limit (a TOF above k_B T/h),\n"
    "no-driving-force and result-not-finite. --json writes one array with an\n"
    "object per file: file, read (false when it cannot be read) and warnings,\n"
    "each {code, line (null where none), text}. A file that cannot be read\n"
    "gets its diagnostic on standard error.\n"
    "Exit status: 0 when every file is clean, 1 when every file was read and\n"
    "some have warnings, 2 when a file cannot be read or the command line is\n"
    "wrong. Every argument from the first file on is a file; put -- before a\n"
    "first file whose name starts with '-'.\n"
    "Example:\n"
    "  kinex check catalyst_*.txt";

// The usage line of a subcommand whose arguments CLI11 does not see whole
// (the report's, the files of json and csv), written out.
class FixedUsage : public CLI::Formatter {
 public:
  explicit FixedUsage(std::string line) : line_(std::move(line)) {}
  std::string make_usage(const CLI::App*, std::string) const override { return line_; }

 private:
  std::string line_;
};

// A sigma of the energies: a finite number of kcal/mol, at least 0.
const CLI::Validator kSigmaValue(
    [](std::string& text) -> std::string {
      double x = 0.0;
      const char* end = text.data() + text.size();
      const auto [at, ec] = std::from_chars(text.data(), end, x);
      if (ec == std::errc::result_out_of_range && at == end) {
        // Beyond the range of doubles: too small to be told from 0, or too
        // large for any number.
        const bool tiny = std::strtod(text.c_str(), nullptr) == 0.0;
        return "'" + text + "' is not a sigma in kcal/mol: " +
               (tiny ? "it is too small to be told from 0 (write 0)" : "it is too large");
      }
      if (ec != std::errc() || at != end || !std::isfinite(x) || x < 0.0) {
        return "'" + text + "' is not a sigma in kcal/mol (a finite number, at least 0)";
      }
      return "";
    },
    "S");

// A bound as a person writes it: 0 and 1, not 0.0 and 1.0.
std::string plain_number(double x) {
  std::string text = shortest(x);
  if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  return text;
}

// A value of type T from `low` to `high` (NaN is none), said in the user's
// words: "'TEXT' is not a KIND from LOW to HIGH".
template <class T>
CLI::Validator in_range(T low, T high, const std::string& kind, const std::string& tag) {
  const auto bound = [](T x) {
    if constexpr (std::is_integral_v<T>) {
      return std::to_string(x);
    } else {
      return plain_number(x);
    }
  };
  const std::string range = bound(low) + " to " + bound(high);
  return CLI::Validator(
      [low, high, kind, range](std::string& text) -> std::string {
        T x{};
        const char* end = text.data() + text.size();
        const auto [at, ec] = std::from_chars(text.data(), end, x);
        if (ec == std::errc() && at == end && x >= low && x <= high) return "";
        return "'" + text + "' is not a " + kind + " from " + range;
      },
      tag + " in [" + bound(low) + " - " + bound(high) + "]");
}

CLI::Validator whole_number(int64_t low, int64_t high) {
  return in_range(low, high, "whole number", "INT");
}

CLI::Validator number_from(double low, double high) {
  return in_range(low, high, "number", "FLOAT");
}

// A seed: a whole number from 0 to 18446744073709551615.
const CLI::Validator kSeedValue(
    [](std::string& text) -> std::string {
      uint64_t x = 0;
      const char* end = text.data() + text.size();
      const auto [at, ec] = std::from_chars(text.data(), end, x);
      if (ec != std::errc() || at != end) {
        return "'" + text + "' is not a seed (a whole number from 0 to 18446744073709551615)";
      }
      return "";
    },
    "K");

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

// With Strict::yes, whether the cycle `name` (from the argument `file`) has
// findings; if so, says so on `err`.
bool refused(Strict strict, const std::string& name, const std::string& file, std::size_t count,
             std::string& err) {
  if (strict == Strict::no || count == 0) return false;
  err += "kinex: " + report::shown_name(name) + ": " + warning_count(count) + "; " + kStrictFlag +
         " takes only clean files (kinex check " + report::shown_name(file) + " lists them)\n";
  return true;
}

// Reads and evaluates one cycle of a batch, its reading warnings on `err`
// and its findings in `found`; false, with the reason on `err`, when it
// cannot be read or --strict refuses it.
bool accepted(const Source& source, Strict strict, Run& run, std::vector<InputWarning>& found,
              std::string& err, const ProgressFn& progress) {
  ReadNotes notes;
  if (!evaluated(source, run, notes, err, progress)) return false;
  const std::string name = source_name(source);
  warn_reading(name, notes, err);
  found = findings(run, notes);
  return !refused(strict, name, source.file, found.size(), err);
}

// The progress of cycle k of `count`.
ProgressFn part_progress(const ProgressFn& progress, std::size_t k, std::size_t count) {
  if (!progress) return {};
  const double done = static_cast<double>(k), all = static_cast<double>(count);
  return [&progress, done, all](double part) { progress((done + part) / all); };
}

// The progress of the source `stream` gave last, within the batch.
ProgressFn source_progress(const ProgressFn& progress, const SourceStream& stream) {
  if (!progress) return {};
  const double from = stream.done_before(), to = stream.done_after();
  return [&progress, from, to](double part) { progress(from + part * (to - from)); };
}

// The options a batch command (json, csv, check) takes before its files.
bool batch_option(const std::string& arg, const std::string& command) {
  if (arg == "-h" || arg == "--help") return true;
  if (arg.rfind("-T", 0) == 0 || arg.rfind("--temperature=", 0) == 0 || arg == "--temperature")
    return true;
  if (command == "check") return arg == kJsonFlag;
  return arg == kStrictFlag || (command == "csv" && arg == kSpreadsheetFlag);
}

// Splits the arguments of a batch command at its first file: what comes
// before are its options, the first argument that is not one of them and
// everything after it are files (a leading "--" only marks where the files
// begin). An argument before the files that looks like an option but is none
// is refused with a hint, rather than read as a file.
bool split_batch(const std::vector<std::string>& args, std::vector<std::string>& options,
                 std::vector<std::string>& files, std::string& err) {
  std::size_t k = 2;
  for (; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg == "--") {
      ++k;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;
    if (!batch_option(arg, args[1])) {
      const std::string shown = report::shown_name(arg);
      err += "kinex " + args[1] + ": unknown option '" + shown +
             "'; a file whose name starts with '-' goes after '--' (kinex " + args[1] + " -- " +
             shown + ") or as ./" + shown + "\nRun with --help for more information.\n";
      return false;
    }
    options.push_back(arg);
    // The value of -T / --temperature is the next argument, not a file.
    if ((arg == "-T" || arg == "--temperature") && k + 1 < args.size())
      options.push_back(args[++k]);
  }
  files.assign(args.begin() + static_cast<std::ptrdiff_t>(k), args.end());
  return true;
}

}  // namespace

int command_report(const std::vector<std::string>& args, std::string& out, std::string& err,
                   const ProgressFn& progress) {
  return run_program(args, out, err, 0, progress);
}

int command_check(const std::vector<std::string>& files, bool as_json, Output& out,
                  std::string& err, const ProgressFn& progress, const TableOptions& tables) {
  SourceStream sources(files, tables.default_T);
  bool unread = false, warned = false;
  std::size_t count = 0;
  for (Source source; sources.next(source); ++count) {
    Run run;
    ReadNotes notes;
    const bool read = evaluated(source, run, notes, err, source_progress(progress, sources));
    const std::vector<InputWarning> found =
        read ? findings(run, notes) : std::vector<InputWarning>{};
    unread = unread || !read;
    warned = warned || !found.empty();
    const std::string name = source_name(source);
    if (as_json) {
      Json doc;
      doc["file"] = name;
      doc["read"] = read;
      doc["warnings"] = warnings_json(found);
      write_json_element(doc, count, out.text);
    } else {
      const std::string shown = report::shown_name(name);
      for (const InputWarning& finding : found) out.text += finding_line(shown, finding);
      out.text += shown + ": " + (read ? warning_count(found.size()) : "could not be read") + "\n";
    }
    if (!out.deliver()) return kExitFailed;
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

int command_scan(const std::string& file, const Sweep& sweep, bool csv, Strict strict, Output& out,
                 std::string& err, const ProgressFn& progress, const TableOptions& tables,
                 bool for_spreadsheet) {
  Source source;
  if (!single_source(file, tables, source, err)) return kExitFailed;
  const std::string name = source_name(source);
  Run cycle;
  Failure failure;
  ReadNotes notes;
  if (!load_source(source, cycle, failure, notes)) {
    err += failure.message;
    return kExitFailed;
  }
  warn_reading(name, notes, err);
  if (strict == Strict::yes) {
    // The file as it stands; each row then evaluates the cycle anew.
    evaluate_cycle(cycle, 0, Use::outputs);
    if (refused(strict, name, source.file, findings(cycle, notes).size(), err)) return kExitFailed;
  }
  const std::vector<double> values = sweep_values(sweep);
  ScanWriter writer(sweep, values, run_names(cycle), csv, for_spreadsheet);
  bool header = false;
  ScanRow before;
  bool first = true;
  const auto take = [&](const ScanRow& row) {
    if (!header) out.text += writer.header();
    header = true;
    out.text += writer.line(row, first ? nullptr : &before);
    err += writer.take_warnings();
    before = row;
    first = false;
    return out.deliver();
  };
  if (!run_scan(cycle, sweep, values, take, progress, failure)) {
    err += failure.message;
    return kExitFailed;
  }
  return out.deliver() ? kExitOk : kExitFailed;
}

namespace {

// Whether a picture may be written to `name`: it ends in ".svg", in any
// case, or it is a device or a pipe (/dev/stdout, a FIFO), which is
// written to as it is whatever its name.
bool svg_name(const std::string& name) {
  if (is_device_or_pipe(name)) return true;
  if (name.size() < 4) return false;
  return report::ascii_lower(name.substr(name.size() - 4)) == ".svg";
}

// "FROM:TO" in kcal/mol, FROM below TO.
bool parse_y_range(const std::string& text, PlotOptions& options, std::string& err) {
  const std::size_t colon = text.find(':', 1);
  char* end = nullptr;
  bool ok = colon != std::string::npos;
  if (ok) {
    const std::string from = text.substr(0, colon), to = text.substr(colon + 1);
    options.y_from = std::strtod(from.c_str(), &end);
    ok = !from.empty() && *end == '\0';
    options.y_to = std::strtod(to.c_str(), &end);
    ok = ok && !to.empty() && *end == '\0' && std::isfinite(options.y_from) &&
         std::isfinite(options.y_to) && options.y_from < options.y_to;
  }
  if (!ok) {
    err += "kinex plot: --y-range " + report::shown_name(text) +
           ": give FROM:TO in kcal/mol, FROM below TO (--y-range=-10:30)\n";
  }
  options.has_y_range = ok;
  return ok;
}

}  // namespace

int command_plot(const std::vector<std::string>& files, const std::string& output,
                 const PlotOptions& options, Strict strict, Output& out, std::string& err,
                 const ProgressFn& progress, const TableOptions& tables, const SigmaSpec* sigmas) {
  const bool to_file = !output.empty() && output != "-";
  // Every file the command reads, the sigmas file among them.
  std::vector<std::string> inputs = files;
  if (sigmas != nullptr && !sigmas->file.empty()) inputs.push_back(sigmas->file);
  if (const std::string input = to_file ? input_named_by(output, inputs) : std::string();
      !input.empty()) {
    err += "kinex plot: " + report::shown_name(output) + " is the input file " +
           report::shown_name(input) + "; it is not overwritten. Name another output file.\n";
    return kExitFailed;
  }
  if (to_file && !svg_name(output)) {
    err += "kinex plot: " + report::shown_name(output) +
           ": only SVG is written; name the file .svg and convert it, e.g. rsvg-convert -f pdf "
           "-o out.pdf out.svg\n";
    return kExitFailed;
  }
  // Every cycle of the files: a table gives its rows, or the one --row names.
  std::vector<Source> sources;
  if (tables.row.empty()) {
    sources = expand_sources(files, tables.default_T);
  } else {
    for (const std::string& file : files) {
      Source source;
      if (!single_source(file, tables, source, err)) return kExitFailed;
      sources.push_back(std::move(source));
    }
  }
  std::vector<Run> runs(sources.size());
  std::vector<const Run*> evaluated_runs;
  for (std::size_t k = 0; k < sources.size(); ++k) {
    std::vector<InputWarning> found;
    if (!accepted(sources[k], strict, runs[k], found, err,
                  part_progress(progress, k, sources.size()))) {
      return kExitFailed;
    }
    evaluated_runs.push_back(&runs[k]);
  }
  if (evaluated_runs.empty()) {
    err += "kinex plot: no cycle to draw\n";
    return kExitFailed;
  }
  PlotOptions drawn = options;
  if (sigmas != nullptr) {
    if (evaluated_runs.size() > 1) {
      err += "kinex plot: --sigma draws the error bars of one cycle, and " +
             std::to_string(evaluated_runs.size()) +
             " are named; name one file (--row NAME for a table's row)\n";
      return kExitFailed;
    }
    std::string reason;
    if (!source_sigmas(*sigmas, sources.front(), runs.front(), drawn.sigmas, reason)) {
      err +=
          "kinex plot: " + report::shown_name(source_name(sources.front())) + ": " + reason + "\n";
      return kExitFailed;
    }
  }
  const std::string svg =
      evaluated_runs.size() == 1
          ? render_profile_svg(runs.front(), source_name(sources.front()), drawn)
          : render_profiles_svg(evaluated_runs, drawn);
  if (!to_file) {
    out.text += svg;
    return out.deliver() ? kExitOk : kExitFailed;
  }
  std::string reason;
  if (!replace_file(output, svg, reason)) {
    err += "kinex: " + report::shown_name(output) + ": " + reason + "\n";
    return kExitFailed;
  }
  return kExitOk;
}

int run_kinex(const std::vector<std::string>& args, Output& out, std::string& err,
              const ProgressFn& progress) {
  // The report takes its arguments exactly as KINEX.exe does ("-l", "--" and
  // all), so nothing after the subcommand is parsed but a lone request for
  // help.
  if (args.size() >= 2 && args[1] == "report" &&
      !(args.size() == 3 && (args[2] == "--help" || args[2] == "-h"))) {
    const int status = command_report(std::vector<std::string>(args.begin() + 2, args.end()),
                                      out.text, err, progress);
    return out.deliver() ? status : kExitFailed;
  }
  if (args.size() > 2 && args[1] == "--version") {
    err += "kinex: --version takes no arguments\nRun with --help for more information.\n";
    return kExitFailed;
  }

  CLI::App app{kDescription, "kinex"};
  app.set_version_flag("--version", std::string("kinex ") + KINEX_VERSION);
  app.require_subcommand(1);
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return "kinex: " + report::shown_name(e.what()) + "\nRun with --help for more information.\n";
  });

  CLI::App* report =
      app.add_subcommand("report", "The report of KINEX.exe, byte for byte, with its statuses");
  report->prefix_command();
  report->formatter(std::make_shared<FixedUsage>("Usage: kinex report FILE [OPTIONS...]\n"));
  report->footer(kReportFooter);

  // The files of json and csv are taken out before CLI11 sees the command
  // line (split_batch), so that a file named like an option stays a file;
  // the FILE arguments here only show in the help.
  std::vector<std::string> unused;
  bool strict = false;
  const std::string strict_help = "Refuse a file with warnings (see kinex check) as unreadable";
  CLI::App* json = app.add_subcommand("json", "The input and every result as JSON, for scripts");
  json->add_option("FILE", unused, "Input files of KINEX.exe, or tables (.csv, .tsv)");
  json->add_flag(kStrictFlag, strict, strict_help);
  TableOptions tables;
  const std::string temperature_help = "Temperature of table rows without one (default 298.15)";
  json->add_option("-T,--temperature", tables.default_T, temperature_help)->type_name("K");
  json->formatter(std::make_shared<FixedUsage>("Usage: kinex json [OPTIONS] [--] FILE...\n"));
  json->footer(kJsonFooter);

  bool for_spreadsheet = false;
  CLI::App* csv = app.add_subcommand("csv", "One CSV row per file, for screening many cycles");
  csv->add_option("FILE", unused, "Input files of KINEX.exe, or tables (.csv, .tsv)");
  csv->add_flag(kSpreadsheetFlag, for_spreadsheet, kSpreadsheetHelp);
  csv->add_flag(kStrictFlag, strict, strict_help);
  csv->add_option("-T,--temperature", tables.default_T, temperature_help)->type_name("K");
  csv->formatter(std::make_shared<FixedUsage>("Usage: kinex csv [OPTIONS] [--] FILE...\n"));
  csv->footer(kCsvFooter);

  std::string scan_file, temperature, reactant, product;
  bool scan_as_csv = false;
  CLI::App* scan =
      app.add_subcommand("scan", "The cycle over a range of temperatures or of a concentration");
  scan->add_option("FILE", scan_file, "Input file of KINEX.exe or table (.csv, .tsv)")->required();
  CLI::App* sweep_group = scan->add_option_group("sweep", "What to sweep (exactly one)");
  const CLI::Option* by_temperature =
      sweep_group->add_option("--temperature", temperature, "The temperature in K")
          ->type_name("FROM:TO:STEP");
  const CLI::Option* by_reactant =
      sweep_group->add_option("--reactant", reactant, "The reactant concentration of step STEP")
          ->type_name("STEP=FROM:TO:FACTOR");
  sweep_group->add_option("--product", product, "The product concentration of step STEP")
      ->type_name("STEP=FROM:TO:FACTOR");
  sweep_group->require_option(1);
  scan->add_flag("--csv", scan_as_csv, "CSV instead of the text table");
  bool scan_spreadsheet = false;
  scan->add_flag(kSpreadsheetFlag, scan_spreadsheet, kSpreadsheetHelp);
  scan->add_flag(kStrictFlag, strict, strict_help);
  const std::string row_help = "The row of a table (its name in column 1) to take";
  scan->add_option("--row", tables.row, row_help)->type_name("NAME");
  scan->footer(kScanFooter);

  std::vector<std::string> plot_files;
  std::string plot_output, plot_y_range;
  PlotOptions plot_options;
  CLI::App* plot = app.add_subcommand("plot", "The energy profile as an SVG picture");
  plot->add_option("FILE", plot_files,
                   "Input files of KINEX.exe or tables (.csv, .tsv), overlaid in one picture")
      ->required();
  plot->add_option("-o,--output", plot_output,
                   "Write the picture to OUT (.svg), not standard output")
      ->type_name("OUT");
  const CLI::Option* plot_title =
      plot->add_option("--title", plot_options.title, "The title instead of the file's name");
  plot->add_flag("--no-title", plot_options.no_title, "No title");
  plot->add_option("--width", plot_options.width, "The picture's width in px")
      ->check(CLI::PositiveNumber)
      ->type_name("PX");
  plot->add_option("--height", plot_options.height, "The picture's height in px, at least")
      ->check(CLI::PositiveNumber)
      ->type_name("PX");
  plot->add_option("--font-size", plot_options.font_size,
                   "The size of the state labels; all text scales with it (default 12)")
      ->check(CLI::PositiveNumber)
      ->type_name("PT");
  plot->add_option("--y-range", plot_y_range, "The energy axis in kcal/mol (--y-range=-10:30)")
      ->type_name("FROM:TO");
  SigmaSpec plot_sigmas;
  std::string plot_sigma_file;
  CLI::Option* plot_sigma =
      plot->add_option("--sigma", plot_sigmas.common,
                       "Error bars of +-S kcal/mol on every state, and how likely each is TDI/TDTS")
          ->check(kSigmaValue)
          ->type_name("S");
  CLI::Option* plot_sigma_pairs =
      plot->add_option("--sigmas", plot_sigma_file,
                       "Error bars and TDI/TDTS probabilities with these states' own sigmas")
          ->type_name("FILE");
  CLI::Option* plot_samples =
      plot->add_option("--samples", plot_options.sigma_samples,
                       "With --sigma: the samples of the energies (default 10000)")
          ->check(whole_number(1, kMaxUncertaintySamples))
          ->type_name("N");
  CLI::Option* plot_seed =
      plot->add_option("--seed", plot_options.sigma_seed, "With --sigma: the seed (default 0)")
          ->check(kSeedValue)
          ->type_name("K");
  CLI::Option* plot_correlation =
      plot->add_option("--correlation", plot_options.sigma_correlation,
                       "With --sigma: the share of each state's variance common to all (default 0)")
          ->check(number_from(0.0, 1.0))
          ->type_name("RHO");
  plot->add_flag(kStrictFlag, strict, strict_help);
  plot->add_option("--row", tables.row, row_help)->type_name("NAME");
  plot->add_option("-T,--temperature", tables.default_T, temperature_help)->type_name("K");
  plot->footer(kPlotFooter);

  std::vector<std::string> uncertainty_files;
  std::string sigma_file;
  UncertaintyOptions uncertainty_options;
  CLI::App* uncertainty = app.add_subcommand(
      "uncertainty", "The TOF, TDI and TDTS as distributions over the energies' errors");
  uncertainty
      ->add_option("FILE", uncertainty_files, "Input files of KINEX.exe, or tables (.csv, .tsv)")
      ->required();
  CLI::Option* common_sigma = uncertainty
                                  ->add_option("--sigma", uncertainty_options.sigmas.common,
                                               "The sigma of every state's Gibbs energy (kcal/mol)")
                                  ->check(kSigmaValue)
                                  ->type_name("S");
  CLI::Option* sigma_pairs =
      uncertainty->add_option("--sigmas", sigma_file, "A file of NAME SIGMA pairs, a state a line")
          ->type_name("FILE");
  CLI::Option* uncertainty_samples = uncertainty
                                         ->add_option("--samples", uncertainty_options.samples,
                                                      "The number of samples (default 10000)")
                                         ->check(whole_number(1, kMaxUncertaintySamples))
                                         ->type_name("N");
  CLI::Option* uncertainty_seed =
      uncertainty->add_option("--seed", uncertainty_options.seed, "The seed (default 0)")
          ->check(kSeedValue)
          ->type_name("K");
  CLI::Option* uncertainty_correlation =
      uncertainty
          ->add_option("--correlation", uncertainty_options.correlation,
                       "The share of each state's variance common to all states (default 0)")
          ->check(number_from(0.0, 1.0))
          ->type_name("RHO");
  CLI::Option* as_ensemble =
      uncertainty->add_flag("--ensemble", uncertainty_options.ensemble,
                            "Each table is one cycle; its rows are the members of an ensemble");
  CLI::Option* uncertainty_json =
      uncertainty->add_flag(kJsonFlag, uncertainty_options.json, "JSON instead of the text");
  uncertainty->add_flag(kSpreadsheetFlag, uncertainty_options.for_spreadsheet, kSpreadsheetHelp);
  uncertainty->add_flag("--csv", uncertainty_options.csv, "CSV, a row per cycle")
      ->excludes(uncertainty_json);
  uncertainty
      ->add_option("--threads", uncertainty_options.threads,
                   "At most this many threads (default 0: one per core)")
      ->check(whole_number(0, 1024))
      ->type_name("N");
  uncertainty->add_option("-T,--temperature", tables.default_T, temperature_help)->type_name("K");
  for (CLI::Option* sampling : {common_sigma, sigma_pairs, uncertainty_samples, uncertainty_seed,
                                uncertainty_correlation}) {
    sampling->excludes(as_ensemble);
  }
  uncertainty->footer(kUncertaintyFooter);

  std::string volcano_file, volcano_range;
  VolcanoOptions volcano_options;
  CLI::App* volcano = app.add_subcommand(
      "volcano", "TOF, spans, TDI and TDTS of a table of catalysts along one descriptor");
  volcano->add_option("TABLE", volcano_file, "A table of catalysts (.csv, .tsv)")->required();
  volcano
      ->add_option("--descriptor", volcano_options.descriptor,
                   "A Descriptor or state column by its header, or auto")
      ->type_name("COLUMN|auto");
  volcano->add_option("--range", volcano_range, "The descriptor's range (--range=-1:2)")
      ->type_name("FROM:TO");
  volcano->add_option("--points", volcano_options.points, "Points of the curve (default 200)")
      ->check(whole_number(2, 100000))
      ->type_name("N");
  volcano
      ->add_option("--samples", volcano_options.samples,
                   "Draws of the lines for the 95 % band (default 1000, 0: none)")
      ->check(whole_number(0, 100000))
      ->type_name("N");
  volcano->add_option("--seed", volcano_options.seed, "The seed of the band (default 0)")
      ->check(kSeedValue)
      ->type_name("K");
  volcano
      ->add_option("--threads", volcano_options.threads,
                   "Threads for the band (default 0: one per core; the band is the same on any)")
      ->type_name("N")
      ->check(whole_number(0, 1024));
  CLI::Option* volcano_json =
      volcano->add_flag(kJsonFlag, volcano_options.json, "JSON instead of the text");
  volcano->add_flag(kSpreadsheetFlag, volcano_options.for_spreadsheet, kSpreadsheetHelp);
  volcano->add_flag("--csv", volcano_options.csv, "CSV of the curve, a row per point")
      ->excludes(volcano_json);
  volcano
      ->add_option("-o,--output", volcano_options.output,
                   "Draw the volcano into OUT (.svg) too; -: the picture instead of the text")
      ->type_name("OUT");
  std::string volcano_curve;
  volcano
      ->add_option("--curve", volcano_curve,
                   "With -o: log10 TOF, energetic span or most endergonic step (default tof)")
      ->type_name("tof|span|step");
  volcano->add_option("-T,--temperature", tables.default_T, temperature_help)->type_name("K");
  volcano->footer(kVolcanoFooter);

  bool check_as_json = false;
  CLI::App* check =
      app.add_subcommand("check", "The warnings about each cycle, before a screening or a paper");
  check->add_option("FILE", unused, "Input files of KINEX.exe, or tables (.csv, .tsv)");
  check->add_flag(kJsonFlag, check_as_json, "One JSON array instead of the text lines");
  check->add_option("-T,--temperature", tables.default_T, temperature_help)->type_name("K");
  check->formatter(std::make_shared<FixedUsage>("Usage: kinex check [OPTIONS] [--] FILE...\n"));
  check->footer(kCheckFooter);

  app.footer(kFooter);  // after the subcommands, which would inherit it

  // CLI11 would only say that a subcommand is required.
  if (args.size() >= 2 && !args[1].empty() && args[1][0] != '-') {
    const std::string& name = args[1];
    if (app.get_subcommands([&name](const CLI::App* sub) { return sub->check_name(name); })
            .empty()) {
      err += "kinex: unknown subcommand '" + report::shown_name(name) +
             "'; the subcommands are report, json, csv, scan, plot, check, "
             "uncertainty and volcano\n"
             "Run with --help for more information.\n";
      return kExitFailed;
    }
  }

  std::vector<std::string> command_line = args;
  std::vector<std::string> files;
  const bool batch =
      args.size() >= 2 && (args[1] == "json" || args[1] == "csv" || args[1] == "check");
  if (batch) {
    std::vector<std::string> options;
    if (!split_batch(args, options, files, err)) return kExitFailed;
    command_line.resize(2);
    command_line.insert(command_line.end(), options.begin(), options.end());
  }
  std::vector<std::string> reversed(command_line.rbegin(), command_line.rend());
  if (!reversed.empty()) reversed.pop_back();  // the program name
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    std::ostringstream help, diagnostic;
    const int code = app.exit(e, help, diagnostic);
    out.text += help.str();
    err += diagnostic.str();
    if (!out.deliver()) return kExitFailed;
    return code == 0 ? kExitOk : kExitFailed;
  }

  if (report->parsed()) {
    const int status = command_report(report->remaining(), out.text, err, progress);
    return out.deliver() ? status : kExitFailed;
  }
  if (batch && files.empty()) {
    err += "kinex: FILE is required\nRun with --help for more information.\n";
    return kExitFailed;
  }
  if (!(std::isfinite(tables.default_T) && tables.default_T > 0.0)) {
    err += "kinex: -T/--temperature: " + shortest(tables.default_T) +
           " is not a temperature in K above 0\nRun with --help for more information.\n";
    return kExitFailed;
  }
  const Strict strictness = strict ? Strict::yes : Strict::no;
  if (check->parsed()) return command_check(files, check_as_json, out, err, progress, tables);
  if (json->parsed()) return command_json(files, args[0], strictness, out, err, progress, tables);
  if (csv->parsed())
    return command_csv(files, for_spreadsheet, strictness, out, err, progress, tables);
  if (uncertainty->parsed()) {
    uncertainty_options.sigmas.has_common = common_sigma->count() > 0;
    const bool any_table =
        std::any_of(uncertainty_files.begin(), uncertainty_files.end(), is_table_name);
    if (!uncertainty_options.ensemble && common_sigma->count() == 0 && sigma_pairs->count() == 0 &&
        !any_table) {
      err +=
          "kinex uncertainty: --sigma S or --sigmas FILE is needed (the errors of the "
          "energies, kcal/mol; a table may give them in sigma columns), or --ensemble\n"
          "Run with --help for more information.\n";
      return kExitFailed;
    }
    std::string problem;
    if (!sigma_file.empty() && !read_sigma_file(sigma_file, uncertainty_options.sigmas, problem)) {
      err += "kinex uncertainty: " + problem + "\n";
      return kExitFailed;
    }
    return command_uncertainty(uncertainty_files, uncertainty_options, out, err, progress, tables);
  }
  if (volcano->parsed()) {
    const std::string& output = volcano_options.output;
    if (!volcano_curve.empty() && output.empty()) {
      err += "kinex volcano: --curve chooses the curve of the picture; give -o OUT.svg with it\n";
      return kExitFailed;
    }
    if (volcano_curve == "span") {
      volcano_options.picture.curve = VolcanoCurve::energetic_span;
    } else if (volcano_curve == "step") {
      volcano_options.picture.curve = VolcanoCurve::endergonic_step;
    } else if (!volcano_curve.empty() && volcano_curve != "tof") {
      err += "kinex volcano: --curve " + report::shown_name(volcano_curve) +
             ": tof (log10 TOF), span (energetic span) or step (most endergonic step)\n";
      return kExitFailed;
    }
    if (output == "-" && (volcano_options.json || volcano_options.csv)) {
      err +=
          "kinex volcano: -o - puts the picture on standard output in place of the text; "
          "--json and --csv go without it\n";
      return kExitFailed;
    }
    if (!output.empty() && output != "-" && !svg_name(output)) {
      err += "kinex volcano: " + report::shown_name(output) +
             ": only SVG is written; name the file .svg and convert it, e.g. rsvg-convert -f pdf "
             "-o out.pdf out.svg\n";
      return kExitFailed;
    }
    if (!volcano_range.empty()) {
      const std::size_t colon = volcano_range.find(':');
      const auto number = [](const std::string& text, double& x) {
        const char* end = text.data() + text.size();
        const auto [at, ec] = std::from_chars(text.data(), end, x);
        return ec == std::errc() && at == end && std::isfinite(x);
      };
      if (colon == std::string::npos ||
          !number(volcano_range.substr(0, colon), volcano_options.from) ||
          !number(volcano_range.substr(colon + 1), volcano_options.to) ||
          !(volcano_options.from < volcano_options.to)) {
        err += "kinex volcano: --range " + report::shown_name(volcano_range) +
               ": FROM:TO with FROM below TO (--range=-1:2)\n";
        return kExitFailed;
      }
      volcano_options.has_range = true;
    }
    volcano_options.progress = progress;
    return command_volcano(volcano_file, volcano_options, out, err, tables);
  }
  if (plot->parsed()) {
    plot_options.has_title = plot_title->count() > 0;
    if (!plot_y_range.empty() && !parse_y_range(plot_y_range, plot_options, err))
      return kExitFailed;
    plot_sigmas.has_common = plot_sigma->count() > 0;
    const bool uncertain = plot_sigma->count() > 0 || plot_sigma_pairs->count() > 0;
    if (!uncertain && plot_samples->count() + plot_seed->count() + plot_correlation->count() > 0) {
      err +=
          "kinex plot: --samples, --seed and --correlation go with --sigma S or --sigmas "
          "FILE\nRun with --help for more information.\n";
      return kExitFailed;
    }
    std::string problem = check_plot_sizes(plot_options);
    if (!problem.empty()) {
      err += "kinex plot: " + problem + "\n";
      return kExitFailed;
    }
    if (!plot_sigma_file.empty() && !read_sigma_file(plot_sigma_file, plot_sigmas, problem)) {
      err += "kinex plot: " + problem + "\n";
      return kExitFailed;
    }
    return command_plot(plot_files, plot_output, plot_options, strictness, out, err, progress,
                        tables, uncertain ? &plot_sigmas : nullptr);
  }

  Sweep sweep;
  std::string problem;
  const bool ok = by_temperature->count() > 0
                      ? parse_sweep(Sweep::Kind::Temperature, temperature, sweep, problem)
                  : by_reactant->count() > 0
                      ? parse_sweep(Sweep::Kind::Reactant, reactant, sweep, problem)
                      : parse_sweep(Sweep::Kind::Product, product, sweep, problem);
  if (!ok) {
    err += "kinex scan: " + report::shown_name(problem) + "\n";
    return kExitFailed;
  }
  return command_scan(scan_file, sweep, scan_as_csv, strictness, out, err, progress, tables,
                      scan_spreadsheet);
}

int run_kinex(const std::vector<std::string>& args, std::string& out, std::string& err) {
  Output gathered;
  const int status = run_kinex(args, gathered, err);
  out += gathered.text;
  return status;
}

}  // namespace kinex

#include "kinex/commands.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "driver/driver.h"
#include "kinex/csv_output.h"
#include "kinex/cycle.h"
#include "kinex/json_output.h"
#include "kinex/plot.h"

#ifndef KINEX_VERSION
#define KINEX_VERSION "unknown"
#endif

namespace kinex {
namespace {

constexpr int kFailed = 2;

constexpr const char* kDescription =
    "kinex: the results of KINEX for scripts, screening and scans.\n"
    "Reads the input files of KINEX.exe with the same reader and computes with\n"
    "the same model, so every number is the one behind the report.";

constexpr const char* kFooter =
    "Run 'kinex SUBCOMMAND --help' for what each one writes; see also kinex(1).\n"
    "Exit status: 0 when every file was read and its result written, 2 when\n"
    "any file failed or the command line is wrong (kinex report keeps the\n"
    "statuses of KINEX.exe).";

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
    "and day, driving force and warning, TDI, TDTS, energetic span, every X_TOF\n"
    "and the advice. Reals are written in shortest round-trip form; a\n"
    "non-finite one is null and listed under its JSON pointer in\n"
    "\"non_finite\". Several files give an array. A file that cannot be read\n"
    "gets its diagnostic on standard error and is left out; the others are\n"
    "still written, and the exit status is 2.\n"
    "Example:\n"
    "  kinex json catalyst_*.txt > results.json";

constexpr const char* kCsvFooter =
    "Columns: file, T (K), n, DeltaG (kcal/mol), TOF_per_s, TDI, TDTS,\n"
    "energetic_span (kcal/mol), warning (1: no positive driving force).\n"
    "Fields are quoted as RFC 4180 has it, lines end in a line feed. A file\n"
    "that cannot be read gets its diagnostic on standard error and no row; the\n"
    "exit status is then 2.\n"
    "Example:\n"
    "  kinex csv catalyst_*.txt > screening.csv";

constexpr const char* kScanFooter =
    "Each row is the cycle evaluated with the swept value in place of the\n"
    "file's: the temperature, or the concentration of the step, which then\n"
    "counts as given. The values run FROM, FROM+STEP, ... (FROM*FACTOR, ...\n"
    "for concentrations) up to TO, which is included when it lies on the grid.\n"
    "Temperatures and concentrations must be above 0, FROM not above TO, STEP\n"
    "above 0, FACTOR above 1, and the scan at most 100000 rows. Rows where the\n"
    "TDI or the TDTS switches are marked.\n"
    "Examples:\n"
    "  kinex scan cycle.txt --temperature 250:450:10\n"
    "  kinex scan cycle.txt --reactant 2=1e-3:10:10 --csv";

constexpr const char* kPlotFooter =
    "Bars for the intermediates and transition states along the reaction\n"
    "coordinate, the TDI and TDTS marked with the energetic span between them.\n"
    "Example:\n"
    "  kinex plot cycle.txt -o cycle.svg";

// The report's arguments are not parsed, so its usage line is written out.
class ReportUsage : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App*, std::string) const override {
    return "Usage: kinex report FILE [OPTIONS...]\n";
  }
};

// Reads one file and takes it through the model; false with the diagnostic
// on `err` when it cannot be read.
bool evaluated(const std::string& file, Run& run, std::string& err) {
  Failure failure;
  if (!load_cycle(file, run, failure)) {
    err += failure.message;
    return false;
  }
  evaluate_cycle(run);
  return true;
}

bool write_file(const std::string& name, const std::string& text, std::string& err) {
  std::FILE* file = std::fopen(name.c_str(), "wb");
  int error = errno;
  bool ok = file != nullptr;
  if (ok) {
    errno = 0;
    ok = text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
    error = errno;
    if (std::fclose(file) != 0 && ok) {
      ok = false;
      error = errno;
    }
  }
  if (!ok) {
    err += "kinex: " + name + ": " + (error != 0 ? std::strerror(error) : "write error") + "\n";
  }
  return ok;
}

}  // namespace

int command_report(const std::vector<std::string>& args, std::string& out, std::string& err) {
  return run_program(args, out, err);
}

int command_json(const std::vector<std::string>& files, const std::string& program,
                 std::string& out, std::string& err) {
  int status = 0;
  Json documents = Json::array();
  for (const std::string& file : files) {
    Run run;
    if (!evaluated(file, run, err)) {
      status = kFailed;
      continue;
    }
    documents.push_back(cycle_json(run, {program, "json", file}));
  }
  if (files.size() != 1) {
    write_json(documents, out);
  } else if (!documents.empty()) {
    write_json(documents[0], out);
  }
  return status;
}

int command_csv(const std::vector<std::string>& files, std::string& out, std::string& err) {
  int status = 0;
  out += csv_header();
  for (const std::string& file : files) {
    Run run;
    if (!evaluated(file, run, err)) {
      status = kFailed;
      continue;
    }
    out += csv_row(run);
  }
  return status;
}

int command_scan(const std::string& file, const Sweep& sweep, bool csv, std::string& out,
                 std::string& err) {
  Run base;
  Failure failure;
  std::vector<ScanRow> rows;
  if (!load_cycle(file, base, failure) ||
      !run_scan(base, sweep, sweep_values(sweep), rows, failure)) {
    err += failure.message;
    return kFailed;
  }
  out += csv ? scan_csv(sweep, rows) : scan_table(sweep, rows);
  return 0;
}

int command_plot(const std::string& file, const std::string& output, std::string& out,
                 std::string& err) {
  Run run;
  if (!evaluated(file, run, err)) return kFailed;
  const std::string svg = render_profile_svg(run, file);
  if (output.empty() || output == "-") {
    out += svg;
    return 0;
  }
  return write_file(output, svg, err) ? 0 : kFailed;
}

int run_kinex(const std::vector<std::string>& args, std::string& out, std::string& err) {
  // The report takes its arguments exactly as KINEX.exe does ("-l", "--" and
  // all), so nothing after the subcommand is parsed but a lone request for
  // help.
  if (args.size() >= 2 && args[1] == "report" &&
      !(args.size() == 3 && (args[2] == "--help" || args[2] == "-h"))) {
    return command_report(std::vector<std::string>(args.begin() + 2, args.end()), out, err);
  }

  CLI::App app{kDescription, "kinex"};
  app.set_version_flag("--version", std::string("kinex ") + KINEX_VERSION);
  app.require_subcommand(1);
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("kinex: ") + e.what() + "\nRun with --help for more information.\n";
  });

  CLI::App* report =
      app.add_subcommand("report", "The report of KINEX.exe, byte for byte, with its statuses");
  report->prefix_command();
  report->formatter(std::make_shared<ReportUsage>());
  report->footer(kReportFooter);

  std::vector<std::string> json_files;
  CLI::App* json = app.add_subcommand("json", "The input and every result as JSON, for scripts");
  json->add_option("FILE", json_files, "Input files of KINEX.exe")->required();
  json->footer(kJsonFooter);

  std::vector<std::string> csv_files;
  CLI::App* csv = app.add_subcommand("csv", "One CSV row per file, for screening many cycles");
  csv->add_option("FILE", csv_files, "Input files of KINEX.exe")->required();
  csv->footer(kCsvFooter);

  std::string scan_file, temperature, reactant, product;
  bool scan_as_csv = false;
  CLI::App* scan =
      app.add_subcommand("scan", "The cycle over a range of temperatures or of a concentration");
  scan->add_option("FILE", scan_file, "Input file of KINEX.exe")->required();
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
  scan->footer(kScanFooter);

  std::string plot_file, plot_output;
  CLI::App* plot = app.add_subcommand("plot", "The energy profile as an SVG picture");
  plot->add_option("FILE", plot_file, "Input file of KINEX.exe")->required();
  plot->add_option("-o,--output", plot_output, "Write the picture to OUT, not standard output")
      ->type_name("OUT");
  plot->footer(kPlotFooter);

  app.footer(kFooter);  // after the subcommands, which would inherit it

  // CLI11 would only say that a subcommand is required.
  if (args.size() >= 2 && !args[1].empty() && args[1][0] != '-') {
    const std::string& name = args[1];
    if (app.get_subcommands([&name](const CLI::App* sub) { return sub->check_name(name); })
            .empty()) {
      err += "kinex: unknown subcommand '" + name +
             "'; the subcommands are report, json, csv, scan and plot\n"
             "Run with --help for more information.\n";
      return kFailed;
    }
  }

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  if (!reversed.empty()) reversed.pop_back();  // the program name
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    std::ostringstream help, diagnostic;
    const int code = app.exit(e, help, diagnostic);
    out += help.str();
    err += diagnostic.str();
    return code == 0 ? 0 : kFailed;
  }

  if (report->parsed()) return command_report(report->remaining(), out, err);
  if (json->parsed()) return command_json(json_files, args[0], out, err);
  if (csv->parsed()) return command_csv(csv_files, out, err);
  if (plot->parsed()) return command_plot(plot_file, plot_output, out, err);

  Sweep sweep;
  std::string problem;
  const bool ok = by_temperature->count() > 0
                      ? parse_sweep(Sweep::Kind::Temperature, temperature, sweep, problem)
                  : by_reactant->count() > 0
                      ? parse_sweep(Sweep::Kind::Reactant, reactant, sweep, problem)
                      : parse_sweep(Sweep::Kind::Product, product, sweep, problem);
  if (!ok) {
    err += "kinex scan: " + problem + "\n";
    return kFailed;
  }
  return command_scan(scan_file, sweep, scan_as_csv, out, err);
}

}  // namespace kinex

#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/shared.h"
#include "cli/subcommand.h"
#include "kinex/types.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

constexpr const char* kDescription =
    "kinex: the results of KINEX for scripts, screening and scans.\n"
    "Reads the input files of KINEX.exe with the same reader and computes with\n"
    "the same model, so every number is the one behind the report.";

constexpr const char* kFooter =
    "Run 'kinex SUBCOMMAND --help' for what each one writes; the whole reference:\n"
    "man kinex (docs/reference/kinex.md in the sources).\n"
    "Exit status: 0 when every file was read and its result written, 2 when\n"
    "any file failed or the command line is wrong (kinex report keeps the\n"
    "statuses of KINEX.exe; kinex check gives 1 for files with warnings).";

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
      const std::string shown = text::shown_name(arg);
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
    return "kinex: " + text::shown_name(e.what()) + "\nRun with --help for more information.\n";
  });
  std::vector<std::unique_ptr<Subcommand>> subcommands;
  for (auto declare : {report_subcommand, json_subcommand, csv_subcommand, scan_subcommand,
                       plot_subcommand, uncertainty_subcommand, volcano_subcommand, map_subcommand,
                       network_subcommand, check_subcommand}) {
    subcommands.push_back(declare(app));
  }
  app.footer(kFooter);  // after the subcommands, which would inherit it

  // CLI11 would only say that a subcommand is required.
  if (args.size() >= 2 && !args[1].empty() && args[1][0] != '-') {
    const std::string& name = args[1];
    if (app.get_subcommands([&name](const CLI::App* sub) { return sub->check_name(name); })
            .empty()) {
      err += "kinex: unknown subcommand '" + text::shown_name(name) +
             "'; the subcommands are report, json, csv, scan, plot, check, "
             "uncertainty, volcano, map and network\n"
             "Run with --help for more information.\n";
      return kExitFailed;
    }
  }

  // The files of json, csv and check are taken out before CLI11 sees the
  // command line, so that a file named like an option stays a file.
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
  if (batch && files.empty()) {
    err += "kinex: FILE is required\nRun with --help for more information.\n";
    return kExitFailed;
  }
  const Call call{args, files, out, err, progress};
  for (const std::unique_ptr<Subcommand>& subcommand : subcommands) {
    if (subcommand->parsed()) return subcommand->run(call);
  }
  return kExitFailed;  // CLI11 requires one subcommand
}

int run_kinex(const std::vector<std::string>& args, std::string& out, std::string& err) {
  Output gathered;
  const int status = run_kinex(args, gathered, err);
  out += gathered.text;
  return status;
}

}  // namespace kinex

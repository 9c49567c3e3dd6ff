// kinex scan: one cycle over a range of temperatures or of a concentration.
#include <memory>
#include <string>

#include "batch/sources.h"
#include "cli/commands.h"
#include "cli/shared.h"
#include "cli/subcommand.h"
#include "model/evaluate.h"
#include "outputs/check.h"
#include "outputs/format.h"
#include "outputs/state_names.h"
#include "scan/scan.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

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

class ScanSubcommand : public Subcommand {
 public:
  explicit ScanSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand(
            "scan", "The cycle over a range of temperatures or of a concentration")) {
    app_->add_option("FILE", file_, "Input file of KINEX.exe or table (.csv, .tsv)")->required();
    CLI::App* sweep = app_->add_option_group("sweep", "What to sweep (exactly one)");
    by_temperature_ = sweep->add_option("--temperature", temperature_, "The temperature in K")
                          ->type_name("FROM:TO:STEP");
    by_reactant_ =
        sweep->add_option("--reactant", reactant_, "The reactant concentration of step STEP")
            ->type_name("STEP=FROM:TO:FACTOR");
    sweep->add_option("--product", product_, "The product concentration of step STEP")
        ->type_name("STEP=FROM:TO:FACTOR");
    sweep->require_option(1);
    app_->add_flag("--csv", as_csv_, "CSV instead of the text table");
    app_->add_flag(kSpreadsheetFlag, for_spreadsheet_, kSpreadsheetHelp);
    app_->add_flag(kStrictFlag, strict_, kStrictHelp);
    app_->add_option("--row", tables_.row, kRowHelp)->type_name("NAME");
    app_->footer(kScanFooter);
  }

  int run(const Call& call) override {
    if (!table_temperature_ok(tables_, call.err)) return kExitFailed;
    Sweep sweep;
    std::string problem;
    const bool ok = by_temperature_->count() > 0
                        ? parse_sweep(Sweep::Kind::Temperature, temperature_, sweep, problem)
                    : by_reactant_->count() > 0
                        ? parse_sweep(Sweep::Kind::Reactant, reactant_, sweep, problem)
                        : parse_sweep(Sweep::Kind::Product, product_, sweep, problem);
    if (!ok) {
      call.err += "kinex scan: " + text::shown_name(problem) + "\n";
      return kExitFailed;
    }
    return command_scan(file_, sweep, as_csv_, strict_ ? Strict::yes : Strict::no, call.out,
                        call.err, call.progress, tables_, for_spreadsheet_);
  }

 private:
  std::string file_, temperature_, reactant_, product_;
  const CLI::Option* by_temperature_ = nullptr;
  const CLI::Option* by_reactant_ = nullptr;
  bool as_csv_ = false, for_spreadsheet_ = false, strict_ = false;
  TableOptions tables_;
};

}  // namespace

std::unique_ptr<Subcommand> scan_subcommand(CLI::App& app) {
  return std::make_unique<ScanSubcommand>(app);
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

}  // namespace kinex

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
    "The cycle evaluated over a range of temperatures or of one step's\n"
    "concentration, a row per value: TOF, log10 TOF, TDI and TDTS, the spans\n"
    "and, over temperatures, the apparent activation energy; notes mark where\n"
    "the TDI or TDTS switches.\n"
    "Examples:\n"
    "  kinex scan cycle.txt --temperatures 250:450:10\n"
    "  kinex scan cycle.txt --reactant 2=1e-3:10:10 --csv";

class ScanSubcommand : public Subcommand {
 public:
  explicit ScanSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand(
            "scan", "The cycle over a range of temperatures or of a concentration")) {
    app_->add_option("FILE", file_, "Input file of KINEX.exe or table (.csv, .tsv)")->required();
    CLI::App* sweep = app_->add_option_group("sweep", "What to sweep (exactly one)");
    by_temperature_ = sweep->add_option("--temperatures", temperature_, "The temperatures in K")
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
    // As in every subcommand, -T is the temperature of table rows without
    // one; the sweep over temperatures is --temperatures.
    app_->add_option("-T,--temperature", tables_.default_T, kTemperatureHelp)
        ->type_name("K")
        ->check(CLI::Validator(
            [](std::string& value) {
              return value.find(':') == std::string::npos
                         ? std::string()
                         : "one temperature in K; sweep temperatures with --temperatures " + value;
            },
            ""));
    app_->footer(with_reference(kScanFooter));
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

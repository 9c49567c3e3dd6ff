// kinex uncertainty: the TOF, TDI and TDTS of cycles as distributions over
// the errors of their energies, or over an ensemble of a table's rows.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "batch/sources.h"
#include "cli/commands.h"
#include "cli/shared.h"
#include "cli/subcommand.h"
#include "model/uncertainty.h"
#include "network/check.h"
#include "network/outputs.h"
#include "network/reader.h"
#include "network/uncertainty.h"
#include "outputs/csv_output.h"
#include "outputs/json_output.h"
#include "text/shown_name.h"
#include "uncertainty/screening.h"

namespace kinex {
namespace {

constexpr const char* kUncertaintyFooter =
    "A Monte Carlo over the errors of the energies (normal, sigma per state,\n"
    "a share RHO common to all states): the median TOF with its 68 % and 95 %\n"
    "intervals, how likely each state is the TDI and the TDTS, and every X_TOF\n"
    "as mean and sd; the same seed gives the same numbers on any number of\n"
    "threads. --ensemble takes a table's rows as the members of an ensemble.\n"
    "Examples:\n"
    "  kinex uncertainty cycle.txt --sigma 1.5\n"
    "  kinex uncertainty functionals.csv --ensemble --json";

// Writes one distribution in the chosen form; `index` counts those written.
// The names of the CSV go through `guard`.
void write_one(const UncertaintyOptions& options, const UncertaintySource& source,
               const Distribution& d, bool alone, std::size_t index, CsvNames& guard,
               std::string& out) {
  if (options.json) {
    const Json doc = uncertainty_json(source, d);
    if (alone) {
      write_json(doc, out);
    } else {
      write_json_element(doc, index, out);
    }
  } else if (options.csv) {
    out += uncertainty_csv_row(source, d, guard);
  } else {
    if (index > 0) out += "\n";
    out += uncertainty_text(source, d);
  }
}

// The central run of `source`: read and evaluated at its own energies, its
// reading warnings on `err`.
bool central_run(const Source& source, Run& run, std::string& err) {
  ReadNotes notes;
  if (!evaluated(source, run, notes, err)) return false;
  warn_reading(source_name(source), notes, err);
  return true;
}

// The sigmas of --sigma and --sigmas for `network`.
bool network_sigmas(const SigmaSpec& spec, const network::Network& network,
                    network::NetworkSampling& sampling, std::string& error) {
  std::vector<network::NamedSigma> named;
  for (const SigmaSpec::Named& given : spec.named) {
    named.push_back({given.name, given.sigma, spec.file + ":" + std::to_string(given.line)});
  }
  return network::assign_sigmas(
      network, spec.has_common ? spec.common : std::numeric_limits<double>::quiet_NaN(), named,
      sampling, error);
}

// kinex uncertainty over network files: the text or a JSON document each
// (an array for several).
int network_uncertainty(const std::vector<std::string>& files, const UncertaintyOptions& options,
                        Output& out, std::string& err) {
  int status = kExitOk;
  std::size_t written = 0;
  const bool alone = files.size() == 1;
  for (const std::string& file : files) {
    network::Network network;
    Failure failure;
    if (!network::read_network(file, network, failure)) {
      err += "kinex: " + failure.message;
      status = kExitFailed;
      continue;
    }
    network::NetworkSampling sampling;
    sampling.samples = options.samples;
    sampling.seed = options.seed;
    sampling.correlation = options.correlation;
    sampling.threads = options.threads;
    network::NetworkSpread spread;
    std::string reason;
    if (!network_sigmas(options.sigmas, network, sampling, reason) ||
        !network::sample_network(network, sampling, spread, reason)) {
      err += "kinex: " + text::shown_name(file) + ": " + reason + "\n";
      status = kExitFailed;
      continue;
    }
    if (options.json) {
      const Json doc =
          network::spread_json(file, network, spread, sampling.state_sigma, sampling.ts_sigma);
      if (alone) {
        write_json(doc, out.text);
      } else {
        write_json_element(doc, written, out.text);
      }
    } else {
      std::string sigmas;
      if (!options.sigmas.named.empty()) sigmas = "sigmas from " + options.sigmas.file;
      if (options.sigmas.has_common) {
        sigmas += (sigmas.empty() ? "sigma " : ", sigma ") + significant(options.sigmas.common) +
                  " kcal/mol" + (sigmas.empty() ? "" : " for the others");
      }
      out.text += network::spread_text(text::shown_name(file), network, spread, sigmas);
    }
    ++written;
    if (!out.deliver()) return kExitFailed;
  }
  if (options.json && !alone) end_json_array(written, out.text);
  return out.deliver() ? status : kExitFailed;
}

class UncertaintySubcommand : public Subcommand {
 public:
  explicit UncertaintySubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand(
            "uncertainty", "The TOF, TDI and TDTS as distributions over the energies' errors")) {
    app_->add_option("FILE", files_, "Input files of KINEX.exe, or tables (.csv, .tsv)")
        ->required();
    sampling_ = add_sampling_options(
        *app_, options_.sigmas, sigma_file_,
        {&options_.samples, &options_.seed, &options_.correlation},
        {"The sigma of every state's Gibbs energy (kcal/mol)",
         "A file of NAME SIGMA pairs, a state a line", "The number of samples (default 10000)",
         "The seed (default 0)",
         "The share of each state's variance common to all states (default 0)"});
    CLI::Option* as_ensemble =
        app_->add_flag("--ensemble", options_.ensemble,
                       "Each table is one cycle; its rows are the members of an ensemble");
    CLI::Option* as_json = app_->add_flag(kJsonFlag, options_.json, "JSON instead of the text");
    app_->add_flag(kSpreadsheetFlag, options_.for_spreadsheet, kSpreadsheetHelp);
    app_->add_flag("--csv", options_.csv, "CSV, a row per cycle")->excludes(as_json);
    app_->add_option("--threads", options_.threads,
                     "At most this many threads (default 0: one per core)")
        ->check(whole_number(0, 1024))
        ->type_name("N");
    app_->add_option("-T,--temperature", tables_.default_T, kTemperatureHelp)->type_name("K");
    for (CLI::Option* sampling : {sampling_.sigma, sampling_.sigmas, sampling_.samples,
                                  sampling_.seed, sampling_.correlation}) {
      sampling->excludes(as_ensemble);
    }
    app_->footer(with_reference(kUncertaintyFooter));
  }

  int run(const Call& call) override {
    std::string& err = call.err;
    if (!table_temperature_ok(tables_, err)) return kExitFailed;
    const bool any_table = std::any_of(files_.begin(), files_.end(), is_table_name);
    if (!options_.ensemble && sampling_.sigma->count() == 0 && sampling_.sigmas->count() == 0 &&
        !any_table) {
      err +=
          "kinex uncertainty: --sigma S or --sigmas FILE is needed (the errors of the "
          "energies, kcal/mol; a table may give them in sigma columns), or --ensemble\n"
          "Run with --help for more information.\n";
      return kExitFailed;
    }
    if (!take_sampling_options(sampling_, sigma_file_, options_.sigmas, "kinex uncertainty", err)) {
      return kExitFailed;
    }
    const auto networks = std::count_if(files_.begin(), files_.end(), network::is_network_name);
    if (networks > 0) {
      if (static_cast<std::size_t>(networks) != files_.size() || options_.ensemble ||
          options_.csv) {
        err +=
            "kinex uncertainty: network files (.net) go alone, without --ensemble and --csv; "
            "give the cycles in another run\n";
        return kExitFailed;
      }
      return network_uncertainty(files_, options_, call.out, err);
    }
    return command_uncertainty(files_, options_, call.out, err, call.progress, tables_);
  }

 private:
  std::vector<std::string> files_;
  std::string sigma_file_;
  UncertaintyOptions options_;
  SamplingOptions sampling_{};
  TableOptions tables_;
};

}  // namespace

std::unique_ptr<Subcommand> uncertainty_subcommand(CLI::App& app) {
  return std::make_unique<UncertaintySubcommand>(app);
}

int command_uncertainty(const std::vector<std::string>& files, const UncertaintyOptions& options,
                        Output& out, std::string& err, const ProgressFn& progress,
                        const TableOptions& tables) {
  int status = kExitOk;
  std::size_t written = 0;
  CsvNames guard(options.for_spreadsheet);
  if (options.csv) out.text += uncertainty_csv_header();

  if (options.ensemble) {
    const bool alone = files.size() == 1;
    for (std::size_t f = 0; f < files.size(); ++f) {
      if (progress) progress(static_cast<double>(f) / static_cast<double>(files.size()));
      if (!is_table_name(files[f])) {
        err += "kinex uncertainty: --ensemble takes tables (.csv, .tsv), a row per member; " +
               text::shown_name(files[f]) + " is an input file\n";
        status = kExitFailed;
        continue;
      }
      std::vector<Cycle> members;
      std::vector<std::string> member_names;
      Run first;
      bool ok = true;
      // The table's own rows: a table named twice is two ensembles, each
      // of its rows once.
      SourceStream rows({files[f]}, tables.default_T);
      for (Source source; rows.next(source);) {
        Run run;
        if (!central_run(source, run, err)) {
          ok = false;
          continue;
        }
        member_names.push_back(source.row.name);
        members.push_back(run.cycle);
        if (members.size() == 1) first = std::move(run);
      }
      if (!ok) {
        status = kExitFailed;
        continue;
      }
      Distribution d;
      std::string reason;
      if (!ensemble_uncertainty(members, d, reason, member_names)) {
        err += "kinex: " + text::shown_name(files[f]) + ": " + reason + "\n";
        status = kExitFailed;
        continue;
      }
      UncertaintySource about{files[f], &first, nullptr, member_names};
      write_one(options, about, d, alone, written++, guard, out.text);
      err += guard.take_warnings();
      if (!out.deliver()) return kExitFailed;
    }
  } else {
    const bool alone = files.size() == 1 && !is_table_name(files[0]);
    SourceStream sources(files, tables.default_T);
    for (Source source; sources.next(source);) {
      if (progress) progress(sources.done_before());
      Run run;
      if (!central_run(source, run, err)) {
        status = kExitFailed;
        continue;
      }
      const std::string name = source_name(source);
      UncertaintyModel model;
      model.samples = options.samples;
      model.seed = options.seed;
      model.correlation = options.correlation;
      std::string reason;
      Distribution d;
      if (!source_sigmas(options.sigmas, source, run, model.sigma, reason) ||
          !sample_uncertainty(run.cycle, model, options.threads, d, reason)) {
        err += "kinex: " + text::shown_name(name) + ": " + reason + "\n";
        status = kExitFailed;
        continue;
      }
      UncertaintySource about{name, &run, &model, {}};
      write_one(options, about, d, alone, written++, guard, out.text);
      err += guard.take_warnings();
      if (!out.deliver()) return kExitFailed;
    }
    if (options.json && !alone) end_json_array(written, out.text);
  }
  if (options.json && options.ensemble && files.size() != 1) end_json_array(written, out.text);
  if (progress) progress(1.0);
  return out.deliver() ? status : kExitFailed;
}

}  // namespace kinex

// kinex network: the steady state of a catalytic network, as text, JSON or
// CSV; or a cycle's input file written as a network file to start from.
#include <kinex/kinex.h>

#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/shared.h"
#include "cli/subcommand.h"
#include "figures/network_svg.h"
#include "network/network.h"
#include "network/outputs.h"
#include "network/reader.h"
#include "outputs/json_output.h"
#include "platform/files.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

constexpr const char* kNetworkFooter =
    "Reads a network file (states, steps between them over their transition\n"
    "states, species they consume and release; see the guide) and writes its\n"
    "exact steady state: the populations, the TOF and selectivity of every\n"
    "product and the turnover of the steps that close a turn, their degrees of\n"
    "TOF and selectivity control, TDI and TDTS; -o OUT draws every path from\n"
    "the resting state as a branch of one energy profile (.svg, .pdf, .png).\n"
    "--from-cycle writes a cycle's input file as a network file instead, to\n"
    "start a network from.\n"
    "Examples:\n"
    "  kinex network heck.net\n"
    "  kinex network heck.net --json\n"
    "  kinex network heck.net -o heck.svg\n"
    "  kinex network --from-cycle cycle.txt -o cycle.net";

struct NetworkCall {
  std::string file, from_cycle, output;
  bool json = false, csv = false, for_spreadsheet = false;
};

// The diagnostic of a failure (the reader's, its file name as the user
// gave it), the program's name in front.
std::string diagnostic(const Failure& failure) { return "kinex network: " + failure.message; }

int write_from_cycle(const NetworkCall& call, Output& out, std::string& err) {
  network::Network network;
  {
    Cycle cycle;
    Failure failure;
    if (!read_cycle(call.from_cycle, cycle, failure)) {
      err += diagnostic(failure);
      return failure.status;
    }
    network = network::cycle_network(cycle);
  }
  const std::string text =
      network::network_text(network, "The cycle of " + call.from_cycle + " as a network");
  if (call.output.empty() || call.output == "-") {
    out.text += text;
    return out.deliver() ? kExitOk : kExitFailed;
  }
  if (!input_named_by(call.output, {call.from_cycle}).empty()) {
    err += "kinex network: " + text::shown_name(call.output) + " is the input file " +
           text::shown_name(call.from_cycle) +
           "; it is not overwritten. Name another output file.\n";
    return kExitFailed;
  }
  std::string reason;
  if (!replace_file(call.output, text, reason)) {
    err += "kinex network: " + text::shown_name(call.output) + ": " + reason + "\n";
    return kExitFailed;
  }
  return kExitOk;
}

int evaluate_file(const NetworkCall& call, Output& out, std::string& err) {
  network::Network network;
  Failure failure;
  if (!network::read_network(call.file, network, failure)) {
    err += diagnostic(failure);
    return failure.status;
  }
  network::NetworkResults results;
  std::string error;
  if (!network::evaluate_network(network, results, error)) {
    err += "kinex network: " + text::shown_name(call.file) + ": " + error + "\n";
    return kExitFailed;
  }
  if (!call.output.empty()) {
    PictureFormat format = PictureFormat::svg;
    if (!input_named_by(call.output, {call.file}).empty()) {
      err += "kinex network: " + text::shown_name(call.output) + " is the input file " +
             text::shown_name(call.file) + "; it is not overwritten. Name another output file.\n";
      return kExitFailed;
    }
    if (!picture_file_format("kinex network", call.output, format, err) ||
        !write_picture(call.output, format, kPictureDpi,
                       plot::network_svg(call.file, network, results), err)) {
      return kExitFailed;
    }
  }
  if (call.json) {
    write_json(network::network_json(call.file, network, results), out.text);
  } else if (call.csv) {
    CsvNames names(call.for_spreadsheet);
    out.text += network::network_csv(call.file, network, results, names);
    err += names.take_warnings();
  } else {
    out.text += network::network_report(call.file, network, results);
  }
  return out.deliver() ? kExitOk : kExitFailed;
}

class NetworkSubcommand : public Subcommand {
 public:
  explicit NetworkSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand("network",
                                      "Steady state, TOF and selectivity of a catalytic network")) {
    file_ = app_->add_option("FILE", call_.file, "A network file");
    from_cycle_ = app_->add_option("--from-cycle", call_.from_cycle,
                                   "Write the cycle of an input file as a network file instead")
                      ->type_name("CYCLE");
    CLI::Option* as_json = app_->add_flag(kJsonFlag, call_.json, "JSON instead of the text");
    app_->add_flag("--csv", call_.csv, "CSV, a row per product and the turnover")
        ->excludes(as_json);
    app_->add_flag(kSpreadsheetFlag, call_.for_spreadsheet, kSpreadsheetHelp);
    app_->add_option("-o,--output", call_.output,
                     "Draw the network's profile into OUT (.svg, .pdf, .png) too; with "
                     "--from-cycle, the network file to write (default standard output)")
        ->type_name("OUT");
    app_->footer(with_reference(kNetworkFooter));
  }

  int run(const Call& call) override {
    std::string& err = call.err;
    const bool converting = from_cycle_->count() > 0;
    if (converting == (file_->count() > 0)) {
      err += "kinex network: give a network FILE, or --from-cycle CYCLE to write one\n";
      return kExitFailed;
    }
    if (converting && (call_.json || call_.csv)) {
      err += "kinex network: --json and --csv go with a network FILE, not --from-cycle\n";
      return kExitFailed;
    }
    return converting ? write_from_cycle(call_, call.out, err)
                      : evaluate_file(call_, call.out, err);
  }

 private:
  NetworkCall call_;
  CLI::Option *file_ = nullptr, *from_cycle_ = nullptr;
};

}  // namespace

std::unique_ptr<Subcommand> network_subcommand(CLI::App& app) {
  return std::make_unique<NetworkSubcommand>(app);
}

}  // namespace kinex

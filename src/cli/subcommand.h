// One subcommand of kinex: declared on the program's CLI::App with its
// options bound to state of its own, and run once the command line has been
// parsed into it. run_kinex (cli/commands.h) declares them all and runs the
// one the command line names.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "platform/output.h"
#include "platform/progress.h"

namespace kinex {

// What a subcommand runs with.
struct Call {
  const std::vector<std::string>& args;   // the command line, the program's name first
  const std::vector<std::string>& files;  // json, csv, check: the files, taken out before parsing
  Output& out;
  std::string& err;
  const ProgressFn& progress;
};

class Subcommand {
 public:
  explicit Subcommand(CLI::App* app) : app_(app) {}
  virtual ~Subcommand() = default;
  Subcommand(const Subcommand&) = delete;
  Subcommand& operator=(const Subcommand&) = delete;

  bool parsed() const { return app_->parsed(); }
  // Runs the parsed subcommand: its exit status, standard output through
  // call.out as the results come, standard error gathered in call.err.
  virtual int run(const Call& call) = 0;

 protected:
  CLI::App* app_;
};

// Each declares its subcommand on `app`; run_kinex declares them in this
// order, which is the order of the help.
std::unique_ptr<Subcommand> report_subcommand(CLI::App& app);
std::unique_ptr<Subcommand> json_subcommand(CLI::App& app);
std::unique_ptr<Subcommand> csv_subcommand(CLI::App& app);
std::unique_ptr<Subcommand> scan_subcommand(CLI::App& app);
std::unique_ptr<Subcommand> plot_subcommand(CLI::App& app);
std::unique_ptr<Subcommand> uncertainty_subcommand(CLI::App& app);
std::unique_ptr<Subcommand> volcano_subcommand(CLI::App& app);
std::unique_ptr<Subcommand> map_subcommand(CLI::App& app);
std::unique_ptr<Subcommand> network_subcommand(CLI::App& app);
std::unique_ptr<Subcommand> check_subcommand(CLI::App& app);

}  // namespace kinex

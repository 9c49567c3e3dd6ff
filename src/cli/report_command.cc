// kinex report: the report of KINEX.exe, byte for byte, with its statuses.
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/shared.h"
#include "cli/subcommand.h"
#include "driver/driver.h"

namespace kinex {
namespace {

constexpr const char* kReportFooter =
    "OPTIONS are the option strings of KINEX.exe; their letters leave out parts:\n"
    "i the repeat of the input, d the degrees of TOF control, a the analysis of\n"
    "the cycle, t the TOF, h the boxed headings, l the banner.\n"
    "Example:\n"
    "  kinex report cycle.txt l";

class ReportSubcommand : public Subcommand {
 public:
  explicit ReportSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand(
            "report", "The report of KINEX.exe, byte for byte, with its statuses")) {
    app_->prefix_command();
    app_->formatter(std::make_shared<FixedUsage>("Usage: kinex report FILE [OPTIONS...]\n"));
    app_->footer(with_reference(kReportFooter));
  }
  int run(const Call& call) override {
    const int status = command_report(app_->remaining(), call.out.text, call.err, call.progress);
    return call.out.deliver() ? status : kExitFailed;
  }
};

}  // namespace

std::unique_ptr<Subcommand> report_subcommand(CLI::App& app) {
  return std::make_unique<ReportSubcommand>(app);
}

int command_report(const std::vector<std::string>& args, std::string& out, std::string& err,
                   const ProgressFn& progress) {
  return run_program(args, out, err, 0, progress);
}

}  // namespace kinex

// kinex SUBCOMMAND ...: the results of KINEX for scripts, screening and scans.
#include <string>
#include <vector>

#include "cli/commands.h"
#include "kinex/types.h"
#include "platform/files.h"
#include "platform/names.h"
#include "platform/output.h"
#include "platform/progress.h"

int main(int argc, char** argv) {
  kinex::prepare_standard_streams();
  kinex::guard_temporary_files();
  std::vector<std::string> args = kinex::program_arguments(argc, argv);
  if (args.empty()) args.emplace_back("kinex");
  // `kinex report` speaks as KINEX.exe throughout, its messages included.
  const bool report = args.size() > 1 && args[1] == "report";
  const std::string program = report ? "KINEX.exe" : "kinex";
  kinex::Output out;
  out.fd = kinex::kStandardOutput;
  std::string err;
  out.messages = &err;
  out.messages_fd = kinex::kStandardError;
  int status = kinex::kExitOk;
  {
    kinex::ProgressLine progress(kinex::kStandardError, program + ": computing");
    out.before_write = [&progress] { progress.clear(); };
    status = kinex::run_kinex(args, out, err, progress.callback());
    out.before_write = nullptr;
  }  // the progress line is gone before anything else reaches the terminal
  if (!out.deliver()) {
    err += kinex::output_error(program, out.error);
    status = kinex::kExitFailed;
  }
  int ignored = 0;
  kinex::write_all(kinex::kStandardError, err, ignored);
  return status;
}

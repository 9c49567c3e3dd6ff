// KINEX.exe inputfile [options]: the report of one catalytic cycle.
#include <string>
#include <vector>

#include "driver/driver.h"
#include "kinex/types.h"
#include "platform/names.h"
#include "platform/output.h"
#include "platform/progress.h"

int main(int argc, char** argv) {
  kinex::prepare_standard_streams();
  std::vector<std::string> args = kinex::program_arguments(argc, argv);
  if (!args.empty()) args.erase(args.begin());
  std::string out;
  std::string err;
  int status = kinex::kExitOk;
  {
    kinex::ProgressLine progress(kinex::kStandardError, "KINEX.exe: computing");
    status = kinex::run_program(args, out, err, 0, progress.callback());
  }  // the progress line is gone before anything else reaches the terminal
  int error = 0;
  if (!kinex::write_all(kinex::kStandardOutput, out, error)) {
    err += kinex::output_error("KINEX.exe", error);
    status = kinex::kExitFailed;
  }
  kinex::write_all(kinex::kStandardError, err, error);
  return status;
}

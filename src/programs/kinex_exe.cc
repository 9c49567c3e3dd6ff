// KINEX.exe inputfile [options]: the report of one catalytic cycle.
#include <unistd.h>

#include <string>
#include <vector>

#include "driver/driver.h"
#include "kinex/types.h"
#include "platform/output.h"
#include "platform/progress.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::string out;
  std::string err;
  int status = kinex::kExitOk;
  {
    kinex::ProgressLine progress(STDERR_FILENO, "KINEX.exe: computing");
    status = kinex::run_program(args, out, err, 0, progress.callback());
  }  // the progress line is gone before anything else reaches the terminal
  int error = 0;
  if (!kinex::write_all(STDOUT_FILENO, out, error)) {
    err += kinex::output_error("KINEX.exe", error);
    status = kinex::kExitFailed;
  }
  kinex::write_all(STDERR_FILENO, err, error);
  return status;
}

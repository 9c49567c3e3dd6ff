// KINEX.exe inputfile [options]: the report of one catalytic cycle.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/driver.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::string out;
  std::string err;
  int status = kinex::run_program(args, out, err);
  errno = 0;
  if (!kinex::write_all(stdout, out)) {
    const int error = errno;
    std::string message = "KINEX.exe: error writing standard output";
    if (error != 0) message += std::string(": ") + std::strerror(error);
    err += message + "\n";
    status = 2;
  }
  kinex::write_all(stderr, err);
  return status;
}

// kinex SUBCOMMAND ...: the results of KINEX for scripts, screening and scans.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "kinex/commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  if (args.empty()) args.emplace_back("kinex");
  std::string out;
  std::string err;
  int status = kinex::run_kinex(args, out, err);
  errno = 0;
  if (!kinex::write_all(stdout, out)) {
    const int error = errno;
    // `kinex report` speaks as KINEX.exe throughout, this message included.
    const bool report = args.size() > 1 && args[1] == "report";
    std::string message = report ? "KINEX.exe" : "kinex";
    message += ": error writing standard output";
    if (error != 0) message += std::string(": ") + std::strerror(error);
    err += message + "\n";
    status = 2;
  }
  kinex::write_all(stderr, err);
  return status;
}

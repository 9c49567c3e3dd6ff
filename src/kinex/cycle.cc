#include "kinex/cycle.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "input/reader.h"
#include "model/control.h"
#include "model/profile.h"
#include "model/tof.h"
#include "report/line_writer.h"
#include "report/sections.h"
#include "report/status.h"

namespace kinex {
namespace {

// The reader and the storage name the program in their diagnostics; kinex
// shows them under its own name, the rest of every line unchanged.
std::string own_name(const std::string& message) {
  constexpr std::string_view kTheirs = "KINEX.exe: ";
  if (message.compare(0, kTheirs.size(), kTheirs) != 0) return message;
  return "kinex: " + message.substr(kTheirs.size());
}

bool fail_system(const std::string& name, int error, Failure& failure) {
  failure.status = kExitFailed;
  failure.message = "kinex: " + report::shown_name(name) + ": " + std::strerror(error) + "\n";
  return false;
}

}  // namespace

bool load_cycle(const std::string& name, Run& run, Failure& failure) {
  run.input_name = name;
  std::FILE* file = std::fopen(name.c_str(), "r");
  if (file == nullptr) return fail_system(name, errno, failure);
  struct stat opened;
  if (fstat(fileno(file), &opened) == 0 && S_ISDIR(opened.st_mode)) {
    std::fclose(file);
    return fail_system(name, EISDIR, failure);
  }
  const bool ok = read_input(run, file, failure);
  std::fclose(file);
  if (!ok) failure.message = own_name(failure.message);
  return ok;
}

void evaluate_cycle(Run& run) {
  compute_profile(run);
  compute_tof(run);
  compute_control(run);
  report::fill_xtof_cells(run);
}

}  // namespace kinex

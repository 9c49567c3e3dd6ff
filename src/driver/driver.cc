#include "driver/driver.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "input/reader.h"
#include "model/control.h"
#include "model/profile.h"
#include "model/tof.h"
#include "report/line_writer.h"
#include "report/sections.h"

namespace kinex {
namespace {

constexpr std::size_t kOptionWidth = 20;

std::string fixed_width(const std::string& text, std::size_t width) {
  std::string cell = text.substr(0, width);
  cell.resize(width, ' ');
  return cell;
}

}  // namespace

void read_command_line(Run& run, const std::vector<std::string>& args) {
  run.input_name = args.empty() ? std::string() : std::string(report::trim_right(args[0]));
  for (std::size_t j = 0; j < run.option_args.size(); ++j) {
    run.option_args[j] = fixed_width(j + 1 < args.size() ? args[j + 1] : std::string(), kOptionWidth);
  }
  run.show_input = run.show_degrees = run.show_analysis = 1;
  run.show_tof = run.show_headings = run.show_banner = 1;
  for (const std::string& option : run.option_args) {
    for (char c : option) {
      if (c == 'i') run.show_input = 0;
      if (c == 'd') run.show_degrees = 0;
      if (c == 'a') run.show_analysis = 0;
      if (c == 't') run.show_tof = 0;
      if (c == 'h') run.show_headings = 0;
      if (c == 'l') run.show_banner = 0;
    }
  }
}

bool run_phases(Run& run, std::FILE* file, std::string& out, Failure& failure) {
  if (!read_input(run, file, failure)) return false;
  compute_profile(run);
  report::write_warning(run, out);
  compute_tof(run);
  compute_control(run);
  report::fill_xtof_cells(run);
  report::write_report(run, out);
  return true;
}

int run_program(const std::vector<std::string>& args, std::string& out, std::string& err,
                std::size_t memory_limit) {
  Run run;
  run.memory_limit = memory_limit;
  read_command_line(run, args);

  // Any object the file system knows under the name counts as existing; a
  // directory is caught when it is read.
  struct stat status;
  if (run.input_name.empty() || stat(run.input_name.c_str(), &status) != 0) {
    report::write_free(out, {"The specified input file does not exist."});
    report::write_free(out, {"Program usage: KINEX.exe inputfile [options]"});
    return 2;
  }

  std::FILE* file = std::fopen(run.input_name.c_str(), "r");
  if (file == nullptr) {
    err += "KINEX.exe: " + run.input_name + ": " + std::strerror(errno) + "\n";
    return 2;
  }
  struct stat opened;
  if (fstat(fileno(file), &opened) == 0 && S_ISDIR(opened.st_mode)) {
    std::fclose(file);
    err += "KINEX.exe: " + run.input_name + ": " + std::strerror(EISDIR) + "\n";
    return 2;
  }
  Failure failure;
  const bool ok = run_phases(run, file, out, failure);
  std::fclose(file);
  if (!ok) {
    err += failure.message;
    return failure.status;
  }
  return 0;
}

bool write_all(std::FILE* stream, const std::string& text) {
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size()) {
    return false;
  }
  return std::fflush(stream) == 0;
}

}  // namespace kinex

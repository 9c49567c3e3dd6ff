#include "driver/driver.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "input/reader.h"
#include "kinex/types.h"
#include "model/evaluate.h"
#include "platform/names.h"
#include "report/line_writer.h"
#include "report/sections.h"
#include "text/shown_name.h"
#include "text/strings.h"

namespace kinex {
namespace {

// What the program's diagnostics start with.
constexpr char kProgram[] = "KINEX.exe: ";

constexpr std::size_t kOptionWidth = 20;

std::string fixed_width(const std::string& text, std::size_t width) {
  std::string cell = text.substr(0, width);
  cell.resize(width, ' ');
  return cell;
}

// The two usage lines for a file name that names nothing.
int write_usage(std::string& out) {
  report::write_free(out, {"The specified input file does not exist."});
  report::write_free(out, {"Program usage: KINEX.exe inputfile [options]"});
  return kExitFailed;
}

// What `KINEX.exe --help` (or -h) prints: the usage and the option letters.
int write_help(std::string& out) {
  for (const char* line : {"Program usage: KINEX.exe inputfile [options]",
                           "Each option string's letters leave out a part of the report:",
                           "  i  the repeat of the input", "  d  the degrees of TOF control",
                           "  a  the analysis of the cycle", "  t  the TOF",
                           "  h  the boxed headings", "  l  the banner"}) {
    report::write_free(out, {line});
  }
  return kExitOk;
}

int fail_system(const std::string& name, int error, std::string& err) {
  err += kProgram + text::shown_name(name) + ": " + std::strerror(error) + "\n";
  return kExitFailed;
}

}  // namespace

CommandLine read_command_line(const std::vector<std::string>& args) {
  CommandLine line;
  line.input_name = args.empty() ? std::string() : std::string(text::trim_right(args[0]));
  for (std::size_t j = 0; j < line.option_args.size(); ++j) {
    line.option_args[j] =
        fixed_width(j + 1 < args.size() ? args[j + 1] : std::string(), kOptionWidth);
  }
  for (const std::string& option : line.option_args) {
    for (char c : option) {
      if (c == 'i') line.show.input = false;
      if (c == 'd') line.show.degrees = false;
      if (c == 'a') line.show.analysis = false;
      if (c == 't') line.show.tof = false;
      if (c == 'h') line.show.headings = false;
      if (c == 'l') line.show.banner = false;
    }
  }
  return line;
}

bool run_phases(Run& run, const report::Switches& show, std::FILE* file, std::string& out,
                Failure& failure) {
  ReadNotes notes;
  return run_phases(run, show, file, out, failure, notes);
}

bool run_phases(Run& run, const report::Switches& show, std::FILE* file, std::string& out,
                Failure& failure, ReadNotes& notes) {
  if (!read_input(run, file, failure, notes)) return false;
  evaluate_cycle(run);
  report::write_warning(run.profile, out);
  report::write_report(run.input_name, run.cycle, run.profile, run.results, show, out);
  return true;
}

int run_program(const std::vector<std::string>& args, std::string& out, std::string& err,
                std::size_t memory_limit, const ProgressFn& progress) {
  Run run;
  run.memory_limit = memory_limit;
  run.progress = progress;
  const CommandLine line = read_command_line(args);
  run.input_name = line.input_name;

  // A file of the exact name given is read even when the name ends in
  // blanks; otherwise the name without them. The report shows the trimmed
  // name either way. Any object the file system knows under the name counts
  // as existing; a directory is caught when it is read.
  std::string path = run.input_name;
  int error = 0;
  if (!args.empty() && args[0] != path && name_exists(args[0], error)) path = args[0];
  if (path.empty()) return write_usage(out);
  // Asked for help, unless a file has that name.
  if ((path == "-h" || path == "--help") && !name_exists(path, error)) return write_help(out);
  if (path == run.input_name && !name_exists(path, error)) {
    if (error == ENOENT || error == ENOTDIR) return write_usage(out);
    return fail_system(run.input_name, error, err);
  }

  std::FILE* file = open_input(path, error);
  if (file == nullptr) return fail_system(run.input_name, error, err);
  Failure failure;
  ReadNotes notes;
  const bool ok = run_phases(run, line.show, file, out, failure, notes);
  std::fclose(file);
  for (const InputWarning& warning : notes.warnings) {
    err += warning_message(kProgram, text::shown_name(run.input_name), warning);
  }
  if (!ok) {
    err += kProgram + failure.message;
    return failure.status;
  }
  return kExitOk;
}

}  // namespace kinex

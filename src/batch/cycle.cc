#include "batch/cycle.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "input/reader.h"
#include "kinex/types.h"
#include "report/sections.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

bool fail_system(const std::string& name, int error, Failure& failure) {
  failure.status = kExitFailed;
  failure.message = "kinex: " + text::shown_name(name) + ": " + std::strerror(error) + "\n";
  return false;
}

}  // namespace

bool load_cycle(const std::string& name, Run& run, Failure& failure) {
  ReadNotes notes;
  return load_cycle(name, run, failure, notes);
}

bool load_cycle(const std::string& name, Run& run, Failure& failure, ReadNotes& notes) {
  run.input_name = name;
  notes = ReadNotes{};
  int error = 0;
  std::FILE* file = open_input(name, error);
  if (file == nullptr) return fail_system(name, error, failure);
  const bool ok = read_input(run, file, failure, notes);
  std::fclose(file);
  if (!ok) failure.message = "kinex: " + failure.message;
  return ok;
}

}  // namespace kinex

#include "input/reader.h"

namespace kinex {

bool read_input(Run& run, std::FILE* file, Failure& failure) {
  (void)run;
  (void)file;
  failure.status = 2;
  failure.message = "KINEX.exe: " + run.input_name + ": End of file\n";
  return false;
}

}  // namespace kinex

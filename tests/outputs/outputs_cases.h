// The cases of the recorded outputs (outputs_test.cc): the generated input
// files, valid and broken, and the runs of KINEX.exe and kinex made over
// them. The generated files are part of the record: a change here needs a
// new manifest recorded from unchanged program code.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kinex_outputs {

using Strings = std::vector<std::string>;

struct Runspec {
  bool report_exe = false;  // KINEX.exe; otherwise kinex (args without the program name)
  Strings args;
};

struct Case {
  std::string name;
  std::vector<std::pair<std::string, std::string>> files;  // name, contents
  std::vector<Runspec> runs;
};

// The cases of each group, in the order of the manifest.
std::vector<Case> valid_cases();
std::vector<Case> broken_cases();
std::vector<Case> mutated_cases();
std::vector<Case> scan_cases();
std::vector<Case> batch_cases();
std::vector<Case> command_line_cases();

}  // namespace kinex_outputs

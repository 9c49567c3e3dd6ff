// Warnings about an input file that reads, but perhaps not as its author
// meant: values left over at the end of a record's line (a decimal comma, a
// value too many), numbers after DeltaG (too small a number of steps), a
// temperature given in degrees Celsius. They never change how the file is
// read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kinex {

// Codes of the reading warnings, as the outputs of kinex name them.
inline constexpr const char* kLeftoverValues = "leftover-values";
inline constexpr const char* kValuesAfterDeltaG = "values-after-DeltaG";
inline constexpr const char* kCelsiusTemperature = "celsius-temperature";

struct InputWarning {
  std::string code;
  int64_t line = 0;   // 1-based; 0 where no line applies
  std::string text;   // for a chemist, saying what to check; no file or line
  std::string shown;  // the line with a caret under the place, each ended by
                      // a line feed; empty when the line is not kept
};

// Where the values of the file stand, for naming them in later findings.
struct InputLines {
  int64_t T = 0;
  int64_t n = 0;
  int64_t DeltaG = 0;
  std::vector<int64_t> step;  // 1..n: the line on which step i's record begins
};

// What the reader notes beside the cycle.
struct ReadNotes {
  std::vector<InputWarning> warnings;
  InputLines lines;
};

// The warning as a program prints it on standard error:
// "PROGRAM: FILE:LINE: warning: TEXT" (no ":LINE" where none applies), then
// the shown line and caret. `file` as the diagnostics show it.
std::string warning_message(const std::string& program, const std::string& file,
                            const InputWarning& warning);

}  // namespace kinex

// Warnings about an input file that reads, but perhaps not as its author
// meant: values left over at the end of a record's line (a decimal comma, a
// value too many), numbers after DeltaG (too small a number of steps), a
// temperature given in degrees Celsius. They never change how the file is
// read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kinex/types.h"

namespace kinex {

// Codes of the reading warnings, as the outputs of kinex name them.
inline constexpr const char* kLeftoverValues = "leftover-values";
inline constexpr const char* kValuesAfterDeltaG = "values-after-DeltaG";
inline constexpr const char* kCelsiusTemperature = "celsius-temperature";

// The warning as a program prints it on standard error:
// "PROGRAM: FILE:LINE: warning: TEXT" (no ":LINE" where none applies), then
// the shown line and caret. `file` as the diagnostics show it.
std::string warning_message(const std::string& program, const std::string& file,
                            const InputWarning& warning);

}  // namespace kinex

// Names as messages and outputs show them: a file name or a state's name
// is bytes, and must not start a line or reach a terminal as a command.
#pragma once

#include <string>
#include <string_view>

namespace kinex::text {

// Appends one byte as a diagnostic shows a byte it cannot print: a tab as
// `\t`, any other as `\x` and two lowercase hex digits.
void append_escaped(std::string& out, unsigned char byte);

// `name` with its control characters (bytes below 0x20, and 0x7F) escaped
// as append_escaped does, every other byte as it is.
std::string shown_name(std::string_view name);

}  // namespace kinex::text

// What the reader looks at in the parts of a file it ignores: the rest of a
// record's line and the lines after DeltaG. For warnings only; nothing here
// changes how the file is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kinex::input {

// A value-sized piece of a line, and the 0-based column where it starts.
struct Token {
  std::string_view text;
  int64_t column = 0;
};

// Whether `token` alone reads as a real by the rules of the input format
// (so "15", "1.0D-3", "2*0.5" and "Inf" do, "K" and "1st" do not).
bool reads_as_number(std::string_view token);

// A number by those rules, or "x" or "X", the field of no concentration.
bool value_like(std::string_view token);

// The pieces of `line` from byte `from` on, split where the input format
// splits values (blanks, tabs, one comma), up to a slash, a quote, the line
// end or an empty value.
std::vector<Token> leading_tokens(std::string_view line, std::size_t from);

// Whether a remark that begins with `token` (followed by `next`, possibly
// empty) names degrees Celsius: C, °C, ºC, ℃, degC, deg C, ° C, Celsius; any
// case.
bool celsius_unit(std::string_view token, std::string_view next);

}  // namespace kinex::input

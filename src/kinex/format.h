// Numbers and fields as kinex writes them for other programs to read.
#pragma once

#include <string>
#include <string_view>

namespace kinex {

// The shortest decimal text that reads back as exactly `x` (std::to_chars),
// with ".0" added when that text is all digits, so that it still reads as a
// real: "298.15", "1.0", "1e-07", "-0.0". Non-finite values give "NaN",
// "inf" and "-inf", which Python's float() and most CSV readers accept.
std::string shortest(double x);

// One CSV field: as it stands, or in double quotes with each quote doubled
// when it holds a comma, a quote, a carriage return or a line feed.
std::string csv_field(std::string_view text);

}  // namespace kinex

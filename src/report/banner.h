// The banner at the head of the report.
#pragma once

#include <string>

namespace kinex::report {

// Appends the 25 free-form lines of the banner (its empty lines at 6, 11, 23
// and 25 hold one blank). Every line is shorter than 80 characters.
void write_banner(std::string& out);

}  // namespace kinex::report

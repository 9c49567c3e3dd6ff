// Small text helpers every layer needs: trimming and ASCII lowering, bytes
// in and out with no locale.
#pragma once

#include <string>
#include <string_view>

namespace kinex::text {

// `text` without its trailing blanks.
std::string_view trim_right(std::string_view text);

// `text` without the blanks, tabs and carriage returns at either end.
std::string trimmed(std::string_view text);

// `text` with the ASCII letters A-Z made lowercase, every other byte as it
// is (no locale).
std::string ascii_lower(std::string_view text);

}  // namespace kinex::text

// Windows only: UTF-8 texts to and from the wide (UTF-16) texts of the
// Windows API, and the texts of its error codes.
#pragma once

#include <string>
#include <string_view>

namespace kinex {

// `text` as UTF-16; invalid UTF-8 bytes become U+FFFD.
std::wstring wide_of(std::string_view text);

// `text` as UTF-8; unpaired surrogates become U+FFFD.
std::string utf8_of(std::wstring_view text);

// The errno value that stands for the Windows error `code` (GetLastError),
// so that messages name it as on Linux; 0 when there is none.
int errno_of(unsigned long code);

// The text of the Windows error `code`: strerror's text of its errno value
// where there is one, else the system's own message.
std::string windows_error_text(unsigned long code);

}  // namespace kinex

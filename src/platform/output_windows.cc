#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/output.h"
#include "platform/wide.h"

namespace kinex {
namespace {

// The console behind `fd`, or null when it leads elsewhere.
HANDLE console_of(int fd) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
  return handle;
}

// A console shows characters, not bytes: the UTF-8 text goes to it as
// UTF-16, whatever its code page.
bool write_console(HANDLE console, std::string_view text, int& error) {
  std::wstring wide = wide_of(text);
  std::wstring_view rest = wide;
  while (!rest.empty()) {
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1 << 20));
    DWORD written = 0;
    if (!WriteConsoleW(console, rest.data(), size, &written, nullptr) || written == 0) {
      error = errno_of(GetLastError());
      if (error == 0) error = EIO;
      return false;
    }
    rest.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool write_all(int fd, std::string_view text, int& error) {
  if (HANDLE console = console_of(fd); console != nullptr) {
    return write_console(console, text, error);
  }
  while (!text.empty()) {
    const auto size = static_cast<unsigned>(std::min<std::size_t>(text.size(), INT_MAX));
    const int written = _write(fd, text.data(), size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 && errno != 0 ? errno : EIO;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool is_terminal(int fd) {
  HANDLE console = console_of(fd);
  DWORD mode = 0;
  return console != nullptr && GetConsoleMode(console, &mode) &&
         (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void prepare_standard_streams() {
  for (const int fd : {0, 1, 2}) {
    _setmode(fd, _O_BINARY);
    // The progress line redraws itself with the terminal's control
    // sequences; a console too old to take them shows none.
    if (HANDLE console = console_of(fd); console != nullptr && fd != 0) {
      DWORD mode = 0;
      GetConsoleMode(console, &mode);
      SetConsoleMode(console, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
  }
}

}  // namespace kinex

#include <unistd.h>

#include <cerrno>

#include "platform/output.h"

namespace kinex {

bool write_all(int fd, std::string_view text, int& error) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 && errno != 0 ? errno : EIO;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool is_terminal(int fd) { return isatty(fd) == 1; }

void prepare_standard_streams() {}

}  // namespace kinex

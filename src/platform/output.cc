#include "platform/output.h"

#include <cerrno>
#include <cstring>

namespace kinex {

bool write_all(int fd, std::string_view text, std::string& reason) {
  int error = 0;
  if (write_all(fd, text, error)) return true;
  reason = std::strerror(error != 0 ? error : EIO);
  return false;
}

bool Output::deliver() {
  if (failed) {
    text.clear();
    return false;
  }
  if (messages != nullptr && messages_fd >= 0 && !messages->empty()) {
    if (before_write) before_write();
    int ignored = 0;  // a message that cannot be written is no reason to stop
    write_all(messages_fd, *messages, ignored);
    messages->clear();
  }
  if (fd < 0 || text.empty()) return true;
  if (before_write) before_write();
  if (!write_all(fd, text, error)) failed = true;
  text.clear();
  return !failed;
}

std::string output_error(std::string_view program, int error) {
  std::string line(program);
  line += ": error writing standard output: ";
  line += std::strerror(error);
  return line + "\n";
}

}  // namespace kinex

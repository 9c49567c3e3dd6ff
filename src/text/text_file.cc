#include "text/text_file.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace kinex {

bool read_text_file(const std::string& path, const TextLimits& limits, std::string& text,
                    TextFault& fault) {
  text.clear();
  fault = TextFault{};
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) {
    fault.reason = "cannot be opened";
    return false;
  }
  int64_t line = 1, line_length = 0;
  char buffer[65536];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    for (std::size_t k = 0; k < got; ++k) {
      const char c = buffer[k];
      if (c == '\n') {
        ++line;
        line_length = 0;
        continue;
      }
      if (c == '\0') {
        fault = {line, "holds a NUL byte; this is no text file"};
        return false;
      }
      if (++line_length > limits.line_bytes) {
        fault = {line, "is longer than " + std::to_string(limits.line_bytes) +
                           " bytes; no line of such a file is"};
        return false;
      }
    }
    if (static_cast<int64_t>(text.size() + got) > limits.file_bytes) {
      fault = {0, "is larger than " + std::to_string(limits.file_bytes) + " bytes"};
      return false;
    }
    text.append(buffer, got);
    if (got < sizeof buffer) break;
  }
  if (std::ferror(file.get())) {
    fault = {0, "cannot be read"};
    return false;
  }
  return true;
}

}  // namespace kinex

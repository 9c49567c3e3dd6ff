#include "text/text_file.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/names.h"

namespace kinex {

bool TextBounds::take(char c, TextFault& fault) {
  ++bytes_;
  if (limits_.file_bytes > 0 && bytes_ > limits_.file_bytes) {
    fault = {0, "is larger than " + std::to_string(limits_.file_bytes) + " bytes"};
    return false;
  }
  if (c == '\n') {
    ++line_;
    line_length_ = 0;
    return true;
  }
  if (c == '\0') {
    fault = {line_, "holds a NUL byte; this is no text file"};
    return false;
  }
  if (++line_length_ > limits_.line_bytes) {
    fault = {line_, "is longer than " + std::to_string(limits_.line_bytes) +
                        " bytes; no line of such a file is"};
    return false;
  }
  return true;
}

bool read_text_file(const std::string& path, const TextLimits& limits, std::string& text,
                    TextFault& fault) {
  text.clear();
  fault = TextFault{};
  int error = 0;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(open_for_reading(path, error),
                                                             &std::fclose);
  if (!file) {
    fault.reason = "cannot be opened";
    return false;
  }
  TextBounds bounds(limits);
  char buffer[65536];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    for (std::size_t k = 0; k < got; ++k) {
      if (!bounds.take(buffer[k], fault)) return false;
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

// Reading a whole text file with bounds, so that a device without end
// (/dev/zero, /dev/urandom) or a file of no sense stops at once with a clear
// reason instead of filling the memory.
#pragma once

#include <cstdint>
#include <string>

namespace kinex {

// What a text file of kinex's (a table, a sigmas file) may hold.
struct TextLimits {
  int64_t line_bytes = 1 << 20;    // longest line, its line end not counted
  int64_t file_bytes = 1LL << 30;  // largest file; 0: no bound on the whole
};

// Where and why a file was refused: line 0 for the file as a whole.
struct TextFault {
  int64_t line = 0;
  std::string reason;
};

// The bounds of a text file, checked a byte at a time as it is read.
class TextBounds {
 public:
  explicit TextBounds(const TextLimits& limits = {}) : limits_(limits) {}

  // Counts the byte `c`. False, with the line and the reason in `fault`, at
  // the first byte that breaks a bound: a NUL byte (no text file holds
  // one), a line longer than limits.line_bytes, a file larger than
  // limits.file_bytes.
  bool take(char c, TextFault& fault);

  int64_t line() const { return line_; }    // the line of the next byte
  int64_t bytes() const { return bytes_; }  // taken so far
  const TextLimits& limits() const { return limits_; }

 private:
  TextLimits limits_;
  int64_t line_ = 1, line_length_ = 0, bytes_ = 0;
};

// Reads the file `path` whole into `text`. Refuses, with the line and the
// reason in `fault`: a file that cannot be opened or read, a NUL byte (no
// text file holds one), a line longer than limits.line_bytes and a file
// larger than limits.file_bytes, each as soon as it is met.
bool read_text_file(const std::string& path, const TextLimits& limits, std::string& text,
                    TextFault& fault);

}  // namespace kinex

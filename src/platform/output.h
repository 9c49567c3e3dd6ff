// The programs' standard streams: text that reaches its reader whole.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kinex {

// Writes all of `text` to the file descriptor `fd` with one loop of write
// calls (a regular file takes it in one call, so that texts appended to one
// file by parallel runs do not interleave). Retries after interrupts. On a
// failed write returns false and sets `error` to its errno (EIO when the
// system names none).
bool write_all(int fd, std::string_view text, int& error);

// write_all with the system's reason for a failure in `reason` (EIO's when
// the system names none).
bool write_all(int fd, std::string_view text, std::string& reason);

// The descriptors of standard output and standard error.
inline constexpr int kStandardOutput = 1;
inline constexpr int kStandardError = 2;

// True when `fd` is a terminal that shows a progress line: a terminal on
// Linux; on Windows a console that takes the terminal's control sequences
// (prepare_standard_streams asks for them).
bool is_terminal(int fd);

// For a program's main, once, first: on Windows puts the standard streams
// into binary mode, so that every byte, line feeds included, reaches a file
// or a pipe as on Linux (no carriage returns are added), and asks the
// consoles among them for the terminal's control sequences. Nothing
// elsewhere.
void prepare_standard_streams();

// A standard stream that a long command fills piece by piece: text gathers
// in `text`, and deliver() hands it to `fd` in one piece, so that the rows
// written so far survive an interrupt and memory stays flat. With fd -1
// (in-process runs, tests) the text stays in `text`.
struct Output {
  int fd = -1;
  std::string text;
  std::function<void()>
      before_write;  // when set, runs before each write (to clear a progress line)
  int error = 0;     // errno of the write that failed; after it nothing is written
  bool failed = false;
  // When set, deliver() first writes and empties the messages gathered so
  // far on messages_fd (standard error), so that a long batch tells of its
  // bad rows as it meets them and does not hold what it has told.
  std::string* messages = nullptr;
  int messages_fd = -1;

  // Writes and empties `text` (with fd -1: keeps it), the messages first. False when this or an
  // earlier write failed; the text is then dropped.
  bool deliver();
};

// The line for a failed write of standard output: "PROGRAM: error writing
// standard output: REASON" and a line feed.
std::string output_error(std::string_view program, int error);

}  // namespace kinex

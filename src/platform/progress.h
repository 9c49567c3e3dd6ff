// A progress line for long runs, on standard error when that is a terminal.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace kinex {

// Called now and then with the share of the work done, 0..1.
using ProgressFn = std::function<void(double)>;

// Shows "LABEL, 42% done" on the terminal `fd`, redrawn in place, once the work
// has run for half a second and looks to take more than about a second in
// all; erases it again when destroyed. Does nothing at all when `fd` is not
// a terminal, so that no byte reaches a file or a pipe.
class ProgressLine {
 public:
  ProgressLine(int fd, std::string label);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(double fraction);
  // Erases the line, if shown, so that other text can take its place; the
  // next update draws it again.
  void clear();
  // update() as a ProgressFn; empty when nothing will ever be shown.
  ProgressFn callback();

 private:
  int fd_;
  bool terminal_;
  bool shown_ = false;
  int last_percent_ = -1;
  std::string label_;
  std::chrono::steady_clock::time_point start_;
};

// Whether a line should be shown after `elapsed` seconds with `fraction` of
// the work done: from half a second on, when the whole work is projected to
// take more than one second.
bool progress_worth_showing(double elapsed, double fraction);

}  // namespace kinex

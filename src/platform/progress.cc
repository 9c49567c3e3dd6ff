#include "platform/progress.h"

#include <algorithm>
#include <cmath>

#include "platform/output.h"

namespace kinex {
namespace {

constexpr double kFirstLook = 0.5;  // seconds before anything is shown
constexpr double kWorthIt = 1.0;    // projected seconds that are worth a line

}  // namespace

bool progress_worth_showing(double elapsed, double fraction) {
  if (!(elapsed >= kFirstLook)) return false;
  if (!(fraction > 0.0)) return true;  // nothing done yet after half a second
  return fraction < 1.0 && elapsed / fraction > kWorthIt;
}

ProgressLine::ProgressLine(int fd, std::string label)
    : fd_(fd),
      terminal_(is_terminal(fd)),
      label_(std::move(label)),
      start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() { clear(); }

void ProgressLine::clear() {
  if (!shown_ || last_percent_ < 0) return;
  int ignored = 0;
  write_all(fd_, "\r\x1b[K", ignored);
  last_percent_ = -1;
}

void ProgressLine::update(double fraction) {
  if (!terminal_) return;
  fraction = std::clamp(std::isnan(fraction) ? 0.0 : fraction, 0.0, 1.0);
  const auto percent = static_cast<int>(fraction * 100.0);
  if (shown_ && percent == last_percent_) return;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  if (!shown_ && !progress_worth_showing(elapsed.count(), fraction)) return;
  shown_ = true;
  last_percent_ = percent;
  int ignored = 0;
  write_all(fd_, "\r" + label_ + ", " + std::to_string(percent) + "% done\x1b[K", ignored);
}

ProgressFn ProgressLine::callback() {
  if (!terminal_) return {};
  return [this](double fraction) { update(fraction); };
}

}  // namespace kinex

#include "outputs/summary.h"

#include <cstddef>
#include <string_view>

#include "model/figures.h"
#include "report/line_writer.h"
#include "report/sections.h"

namespace kinex {
namespace {

// The sentences of a free-form report text without their leading blanks and
// without the empty lines, joined by one blank.
std::string join_lines(std::string_view text) {
  std::string joined;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (line.empty()) continue;
    if (!joined.empty()) joined += ' ';
    joined += line;
  }
  return joined;
}

}  // namespace

double energetic_span(const Run& run) { return energetic_span(run.cycle, run.results); }

std::string warning_text(const Run& run) {
  std::string lines;
  report::write_warning(run.profile, lines);
  return join_lines(lines);
}

std::string advice_text(const Run& run) {
  std::string lines;
  report::write_advice(run.results, lines);
  return join_lines(lines);
}

std::vector<int64_t> advice_reactant_steps(const Run& run) { return run.results.reac_steps; }

std::vector<int64_t> advice_product_steps(const Run& run) { return run.results.prod_steps; }

}  // namespace kinex

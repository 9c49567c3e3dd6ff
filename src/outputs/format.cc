#include "outputs/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "text/shown_name.h"

namespace kinex {

std::string shortest(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "inf" : "-inf";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

std::string exponent_form(double x) {
  if (!std::isfinite(x)) return shortest(x);
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific, 3);
  return std::string(buffer, result.ptr);
}

std::string significant(double x) {
  // The power of ten of x rounded to four significant digits, so that
  // 9.99996 counts as 10.00.
  const std::string scientific = exponent_form(x);
  if (!std::isfinite(x)) return scientific;
  const char* power = scientific.data() + scientific.find('e') + 1;
  if (*power == '+') ++power;
  int magnitude = 0;
  std::from_chars(power, scientific.data() + scientific.size(), magnitude);
  if (magnitude >= 7) return scientific;
  return with_decimals(x, std::clamp(3 - magnitude, 0, 4));
}

std::string with_decimals(double x, int decimals) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
  std::string text(buffer, result.ptr);
  if (!text.empty() && text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

std::string step_list(const std::vector<int64_t>& steps) {
  std::string text;
  for (const int64_t i : steps) {
    if (!text.empty()) text += ' ';
    text += std::to_string(i);
  }
  return text;
}

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

bool formula_like(std::string_view text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

std::string csv_name_field(std::string_view name, bool for_spreadsheet) {
  if (!for_spreadsheet || !formula_like(name)) return csv_field(name);
  std::string guarded(1, '\'');
  guarded.append(name);
  return csv_field(guarded);
}

std::string CsvNames::field(std::string_view name) {
  if (!for_spreadsheet_ && formula_like(name) &&
      std::find(noted_.begin(), noted_.end(), name) == noted_.end()) {
    noted_.emplace_back(name);
    warnings_ += "kinex: warning: " + text::shown_name(name) +
                 ": a spreadsheet takes this name for a formula; --spreadsheet writes it as "
                 "text\n";
  }
  return csv_name_field(name, for_spreadsheet_);
}

std::string CsvNames::take_warnings() { return std::exchange(warnings_, std::string()); }

}  // namespace kinex

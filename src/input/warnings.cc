#include "input/warnings.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "input/remarks.h"
#include "input/scanner.h"
#include "text/strings.h"

namespace kinex {

std::string warning_message(const std::string& program, const std::string& file,
                            const InputWarning& warning) {
  std::string text = program + file + ":";
  if (warning.line > 0) text += std::to_string(warning.line) + ":";
  return text + " warning: " + warning.text + "\n" + warning.shown;
}

namespace input {

bool reads_as_number(std::string_view token) {
  if (token.empty()) return false;
  Source source = text_source(token);
  const std::array<Kind, 1> kinds{Kind::Real};
  std::array<Value, 1> values;
  ScanFailure failure;
  return read_list(source, kinds, values, failure);
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool ends_token(char c) { return is_blank(c) || c == ',' || c == '/' || c == '\n' || c == '\r'; }

}  // namespace

std::vector<Token> leading_tokens(std::string_view line, std::size_t from) {
  std::vector<Token> tokens;
  std::size_t i = from;
  while (i < line.size()) {
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i < line.size() && line[i] == ',') {
      ++i;
      while (i < line.size() && is_blank(line[i])) ++i;
    }
    if (i >= line.size() || line[i] == '/' || line[i] == ',' || line[i] == '\n' ||
        line[i] == '\r' || line[i] == '\'' || line[i] == '"') {
      break;
    }
    const std::size_t start = i;
    while (i < line.size() && !ends_token(line[i])) ++i;
    tokens.push_back({line.substr(start, i - start), static_cast<int64_t>(start)});
  }
  return tokens;
}

bool value_like(std::string_view token) {
  return token == "x" || token == "X" || reads_as_number(token);
}

bool celsius_unit(std::string_view token, std::string_view next) {
  const std::string lower = text::ascii_lower(token), after = text::ascii_lower(next);
  // U+00B0 degree sign, U+00BA masculine ordinal (often typed for it),
  // U+2103 degree Celsius.
  static constexpr std::string_view kDegree = "\xc2\xb0", kOrdinal = "\xc2\xba";
  static constexpr std::string_view kCelsiusSign = "\xe2\x84\x83";
  for (std::string_view degree : {std::string_view("deg"), kDegree, kOrdinal}) {
    if (lower == std::string(degree) + "c") return true;
    if (lower == degree && after == "c") return true;
  }
  return lower == "c" || lower == "celsius" || lower == kCelsiusSign;
}

}  // namespace input
}  // namespace kinex

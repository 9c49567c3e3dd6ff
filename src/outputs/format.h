// Numbers and fields as kinex writes them: for other programs to read, and
// for people to read in the text table of a scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kinex {

// The shortest decimal text that reads back as exactly `x` (std::to_chars),
// with ".0" added when that text is all digits, so that it still reads as a
// real: "298.15", "1.0", "1e-07", "-0.0". Non-finite values give "NaN",
// "inf" and "-inf", which Python's float() and most CSV readers accept.
std::string shortest(double x);

// The longest text shortest() gives: "-2.2250738585072014e-308".
inline constexpr std::size_t kShortestWidth = 24;

// Numbers for people to read, as the text table of a scan shows them; each
// text is at most kReadableWidth characters. Non-finite values give "NaN",
// "inf" and "-inf", as shortest() does.
//
// In exponent form with four significant digits: "8.051e-104", "2.463e+00".
std::string exponent_form(double x);
// Four significant digits in plain notation, more where the whole part has
// more digits ("-103.1", "20.07", "0.5000", "-12345"), and at most four
// decimals, so that 0.012345 gives "0.0123" and a value that rounds to zero
// gives "0.0000" without a sign; 0 gives "0.000". From 1e7 on in magnitude
// (after rounding to four digits) as exponent_form().
std::string significant(double x);

// `x` with `decimals` (0..17) decimals in plain notation, a value that
// rounds to zero without a sign: with_decimals(-0.00004, 3) is "0.000".
// For finite x below 1e300 in magnitude.
std::string with_decimals(double x, int decimals);
inline constexpr std::size_t kReadableWidth = 11;  // "-8.051e-104"

// Step numbers separated by blanks ("1 3"); empty for none.
std::string step_list(const std::vector<int64_t>& steps);

// The one guard of every CSV table kinex writes over the names in it (file
// names, state names, descriptor headers, catalysts): each name as
// csv_name_field writes it, and every name a spreadsheet would take for a
// formula that went out as it is noted, once, for the warning.
class CsvNames {
 public:
  explicit CsvNames(bool for_spreadsheet = false) : for_spreadsheet_(for_spreadsheet) {}
  std::string field(std::string_view name);
  // The warning lines ("kinex: warning: NAME: a spreadsheet takes this name
  // for a formula; --spreadsheet writes it as text") of the names noted
  // since the last call.
  std::string take_warnings();

 private:
  bool for_spreadsheet_;
  std::vector<std::string> noted_;
  std::string warnings_;
};

// One CSV field: as it stands, or in double quotes with each quote doubled
// when it holds a comma, a quote, a carriage return or a line feed.
std::string csv_field(std::string_view text);

// A flag as every CSV of kinex writes it: "true" or "false", the words of
// its JSON.
inline const char* csv_bool(bool flag) { return flag ? "true" : "false"; }

// Whether a spreadsheet would take a field of this text as a formula: it
// starts with '=', '+', '-', '@', a tab or a carriage return.
bool formula_like(std::string_view text);

// The CSV field of a name (a file or cycle name). With `for_spreadsheet`, a
// formula-like name gets a leading "'", which spreadsheets read as "this is
// text"; otherwise the name is written as it is, so that scripts read it
// unchanged.
std::string csv_name_field(std::string_view name, bool for_spreadsheet);

}  // namespace kinex

// The line writer: every character KINEX prints, and every number it turns
// into text, goes through these functions. Lines are appended to a string
// (the report is written to standard output by the caller), each ended by a
// single line feed.
//
// Two kinds of line:
//  - free-form: one blank, then the items; a blank between two items except
//    between two adjacent texts, which are joined directly;
//  - laid-out: exactly the fields of a layout such as "(A5,I2,2F9.2,A3,2A9)",
//    no leading blank; "/" ends a line inside the layout.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kinex::report {

// One item of a line: a text, a 64-bit integer or a double.
struct Item {
  enum class Kind { Text, Integer, Real };
  Kind kind;
  std::string_view text;
  int64_t integer = 0;
  double real = 0.0;

  Item(std::string_view t) : kind(Kind::Text), text(t) {}
  Item(const char* t) : kind(Kind::Text), text(t) {}
  Item(const std::string& t) : kind(Kind::Text), text(t) {}
  Item(int64_t i) : kind(Kind::Integer), integer(i) {}
  Item(int i) : kind(Kind::Integer), integer(i) {}
  Item(double x) : kind(Kind::Real), real(x) {}
};

// The free-form rendering of a line without its line feed. With no items the
// result is empty; with one empty text it is a single blank.
std::string free_form(std::initializer_list<Item> items);

// Appends a free-form line and its line feed to `out`.
void write_free(std::string& out, std::initializer_list<Item> items);

// Appends the laid-out lines of `layout` with `items` to `out`, each ended by
// a line feed. Fields: Aw (A alone: the text as it stands), Iw, Fw.d, ESw.d,
// each with an optional repeat count, and "/". A "/" after the last item ends
// one more line, which may be empty (zero characters). The layout must be well
// formed and give a value field of the item's kind to every item; a layout
// that does not is a programming error and throws std::logic_error.
void write_laid_out(std::string& out, std::string_view layout, std::initializer_list<Item> items);

// The laid-out rendering of one line (no "/" in the layout) without its line
// feed; used to fill text cells such as "(F9.2)" and "(ES7.1)". A "/" that
// would end a line throws std::logic_error, as does a malformed layout.
std::string laid_out(std::string_view layout, std::initializer_list<Item> items);

// Single fields. Each result is exactly w characters wide (w >= 1). F and ES
// round the exact binary value to nearest, ties to even; a value that does not
// fit is w asterisks; NaN, +Inf and -Inf are right-justified text (+Inf is
// "Inf" when w is 3).
std::string field_A(std::string_view text, int w);  // right-justified or cut
std::string field_I(int64_t value, int w);          // asterisks when too wide
std::string field_F(double x, int w, int d);        // fixed point, d decimals
std::string field_ES(double x, int w, int d);       // d.ddd and exponent

// Free-form renderings of single numbers: "-12", "298.15", "300.", "1.E+7",
// "1.5E-7", "-0.", "NaN", "+Inf".
std::string free_integer(int64_t value);
std::string free_real(double x);

// Appends the six lines of a boxed section heading whose title line is the
// given 68-character literal ("!!   TITLE   !!"), the last line empty.
void write_heading(std::string& out, std::string_view title_line);

}  // namespace kinex::report

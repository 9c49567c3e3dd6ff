// The free-form scanner of the input format: one read takes a list of real,
// integer and text items from a line-oriented source.
//
// Grammar of one read (bytes, no locale):
//  - A read starts where the source stands (the reader puts it at the start
//    of a line). Blanks, tabs and line ends ahead of the first value are
//    skipped; a read that needs more values goes on over further lines.
//  - Separators: blanks, tabs, line ends, and one comma with optional blanks,
//    tabs or line ends around it. CR LF is a line end; any other CR is an
//    ordinary character. A semicolon is no separator.
//  - A comma ahead of the first value, or two commas with only blanks between
//    them, is a null value; `r*` followed by a separator is r null values.
//    A slash ends the read. Every item must get a value, so a null or a slash
//    before the last item fails with "No value".
//  - `r*value` stands for r copies of value; r is 1..200000000. The copies
//    beyond the items of the read are dropped without any work.
//  - Real: [sign] digits[.digits] | [sign] .digits, then optionally an
//    exponent: E, e, D or d with [sign] digits, or a sign with digits alone
//    (1.0-3 is 0.001). Also [sign] Inf, Infinity, NaN in any case. Correctly
//    rounded; too large gives infinity.
//  - Integer: [sign] digits, fitting 64-bit signed.
//  - Text: quoted by ' or " (a doubled mark stands for one, a line end inside
//    is dropped) or unquoted up to the next blank, tab, comma, slash or line
//    end. At most kTextWidth characters are kept.
//  - Any value ends at the next separator; a slash right after a value ends
//    the value and the read.
// Every failure names the item (1-based within the read) and the place of
// the failing value, and is one of the faults below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kinex::input {

// The width of a text field: a longer text is cut.
inline constexpr std::size_t kTextWidth = 100;

// Bytes of each line kept for diagnostics.
inline constexpr std::size_t kHeadBytes = 240;

// A place in the source: 1-based line, 0-based byte column.
struct Place {
  int64_t line = 0;
  int64_t column = 0;
};

// The first kHeadBytes bytes of one line, for showing it in a diagnostic.
struct LineExcerpt {
  int64_t line = 0;
  std::string head;
  int64_t length = 0;     // bytes of the line without its line end, when complete
  bool complete = false;  // false: the line is longer than `head` (length unknown)
};

// A byte stream read front to back, from a file or from a text in memory.
// Keeps only a buffer, the head of the current line and the heads of the
// last few lines on which values started.
struct Source {
  std::FILE* file = nullptr;  // null: `buffer` holds all there is
  std::vector<char> buffer;
  std::size_t pos = 0;  // next byte not yet taken
  std::size_t end = 0;  // end of the bytes in `buffer`
  bool exhausted = false;
  int error_number = 0;  // errno of a failed read; the source then ends
  int64_t line = 1;
  int64_t column = 0;
  std::string head;  // first kHeadBytes bytes of the current line
  bool line_has_value = false;
  std::deque<LineExcerpt> recent;
};

Source file_source(std::FILE* file);
Source text_source(std::string_view text);

// Kinds of item a read can take.
enum class Kind { Real, Integer, Text };

// What one item received. Only the member of the item's kind is set.
struct Value {
  double real = 0.0;
  int64_t integer = 0;
  std::string text;
  Place place;  // where the value (or its repeat count) begins
};

enum class Fault {
  EndOfFile,
  ReadError,
  BadReal,
  BadInteger,
  IntegerOverflow,
  ZeroRepeat,
  RepeatOverflow,
  BadInfinity,
  BadNotANumber,
  NoValue,
};

struct ScanFailure {
  Fault fault = Fault::EndOfFile;
  int64_t item = 0;      // 1-based position within the read
  Place place;           // of the failing value, comma or slash
  int error_number = 0;  // for ReadError
};

// The reason text of a failure ("Bad real number in item 2 of list input").
std::string reason(const ScanFailure& failure);

// Reads one item of each kind in `kinds` into `values` (same length). Leaves
// the source right after the last value; see skip_rest_of_line.
bool read_list(Source& source, std::span<const Kind> kinds, std::span<Value> values,
               ScanFailure& failure);

// Takes the rest of the current line and its line end, so that the next read
// starts on the next line. False on a read error.
bool skip_rest_of_line(Source& source);

// Takes up to `limit` bytes from where the source stands, as they are (no
// line or column is counted): those already buffered, and with `may_read`
// more from the file. For a look past the values that are read; the source
// is spent afterwards.
std::string take_ahead(Source& source, std::size_t limit, bool may_read);

// The first bytes of `line`: the current line (reading ahead on it only as
// far as an excerpt needs) or a finished line on which a value began during
// the last few reads. An excerpt with line 0 when that line is not kept.
LineExcerpt line_excerpt(Source& source, int64_t line);

// The lines that show `column` of `excerpt` with a caret below it, each ended
// by a line feed: the line itself when it is short printable ASCII, else an
// escaped, cut excerpt, or nothing when the column lies beyond what is kept.
std::string show_column(const LineExcerpt& excerpt, int64_t column);

}  // namespace kinex::input
